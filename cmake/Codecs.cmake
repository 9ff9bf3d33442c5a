# Image codecs, included by the image subsystem that decodes with them.

if(WIN32)
  # Only static archives: the saver is one file with no codec DLLs beside
  # it. Windows-GNU's platform rules, read after the toolchain file, put the
  # DLL import libraries (.dll.a) first again, so narrow them here.
  set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
  foreach(codec zlib jpeg turbojpeg png gif tiff heif de265 dav1d webp webpdemux)
    if(GLIMMORA_${codec}_LIBRARY MATCHES "\\.dll\\.a$")
      unset(GLIMMORA_${codec}_LIBRARY CACHE)
    endif()
  endforeach()
endif()

glimmora_import(zlib HEADER zlib.h NAMES z zlib)
glimmora_import(jpeg HEADER jpeglib.h NAMES jpeg)
glimmora_import(turbojpeg HEADER turbojpeg.h NAMES turbojpeg)
glimmora_import(png HEADER png.h NAMES png16 png DEPENDS glimmora::zlib)
glimmora_import(gif HEADER gif_lib.h NAMES gif)
if(WIN32)
  # A static libtiff leaves its JPEG, Deflate and PixarLog codecs' calls into
  # libjpeg and zlib to the final link; the shared one natively carries them.
  glimmora_import(tiff HEADER tiffio.h NAMES tiff DEPENDS "glimmora::jpeg;glimmora::zlib")
else()
  glimmora_import(tiff HEADER tiffio.h NAMES tiff)
endif()

glimmora_import(webp HEADER webp/decode.h NAMES webp)
glimmora_import(webpdemux HEADER webp/demux.h NAMES webpdemux DEPENDS glimmora::webp)
if(WIN32)
  # libheif is built with both decoders inside it and no plugin loading;
  # the static archive leaves their calls to the final link. The defines
  # keep the headers from declaring DLL imports.
  glimmora_import(de265 HEADER libde265/de265.h NAMES de265)
  glimmora_import(dav1d HEADER dav1d/dav1d.h NAMES dav1d)
  glimmora_import(heif HEADER libheif/heif.h NAMES heif DEPENDS "glimmora::de265;glimmora::dav1d")
  set_property(TARGET glimmora::heif PROPERTY
    INTERFACE_COMPILE_DEFINITIONS LIBHEIF_STATIC_BUILD LIBDE265_STATIC_BUILD)
elseif(GLIMMORA_FUZZ_CODECS)
  # The fuzzer's build of the Windows revisions (scripts/build-fuzz-codecs.sh):
  # static archives, the decoders inside libheif as in the saver.
  foreach(codec heif de265 dav1d)
    find_library(GLIMMORA_${codec}_LIBRARY NAMES lib${codec}.a
      PATHS ${GLIMMORA_FUZZ_CODECS}/lib NO_DEFAULT_PATH REQUIRED)
  endforeach()
  find_path(GLIMMORA_heif_INCLUDE_DIR libheif/heif.h
    PATHS ${GLIMMORA_FUZZ_CODECS}/include NO_DEFAULT_PATH REQUIRED)
  set(GLIMMORA_de265_INCLUDE_DIR ${GLIMMORA_heif_INCLUDE_DIR})
  set(GLIMMORA_dav1d_INCLUDE_DIR ${GLIMMORA_heif_INCLUDE_DIR})
  glimmora_import(de265 HEADER libde265/de265.h NAMES de265)
  glimmora_import(dav1d HEADER dav1d/dav1d.h NAMES dav1d)
  glimmora_import(heif HEADER libheif/heif.h NAMES heif
    DEPENDS "glimmora::de265;glimmora::dav1d;Threads::Threads;${CMAKE_DL_LIBS}")
  set_property(TARGET glimmora::heif PROPERTY
    INTERFACE_COMPILE_DEFINITIONS LIBHEIF_STATIC_BUILD LIBDE265_STATIC_BUILD)
else()
  # Debian's libheif carries libde265 and dav1d as its own dependencies.
  glimmora_import(heif HEADER libheif/heif.h NAMES heif)
endif()
