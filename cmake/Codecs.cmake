# Image codecs, included by the image subsystem that decodes with them.
glimmora_import(zlib HEADER zlib.h NAMES z zlib)
glimmora_import(jpeg HEADER jpeglib.h NAMES jpeg)
glimmora_import(turbojpeg HEADER turbojpeg.h NAMES turbojpeg)
glimmora_import(png HEADER png.h NAMES png16 png DEPENDS glimmora::zlib)
glimmora_import(gif HEADER gif_lib.h NAMES gif)
if(WIN32)
  # The static libtiff carries its codecs' references to libjpeg and zlib.
  glimmora_import(tiff HEADER tiffio.h NAMES tiff DEPENDS "glimmora::jpeg;glimmora::zlib")
else()
  glimmora_import(tiff HEADER tiffio.h NAMES tiff)
endif()

