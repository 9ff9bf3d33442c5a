# THIRD-PARTY-NOTICES.txt for Glimmora.scr, which carries its codecs inside
# it: each codec's Debian source package revision as scripts/setup.sh built
# it, the newer revision apt listed but setup could not get (whose fixes the
# saver lacks), and the licence texts of the very source trees built.

set(glimmora_stamps ${GLIMMORA_WIN_DEPS}/share/glimmora-stamps)
set(glimmora_licences ${GLIMMORA_WIN_DEPS}/share/glimmora-licences)
set(glimmora_notice ${CMAKE_BINARY_DIR}/THIRD-PARTY-NOTICES.txt)

# name, what it does in the saver
set(glimmora_codecs
  "libjpeg-turbo|JPEG"
  "libpng|PNG"
  "giflib|GIF"
  "tiff|TIFF (libtiff)"
  "libde265|HEVC, for HEIC"
  "dav1d|AV1, for AVIF"
  "libheif|HEIC and AVIF"
  "libwebp|WebP")

set(text "Glimmora ${PROJECT_VERSION} for Windows contains the following libraries,\n")
string(APPEND text "built from Debian's source packages at the revisions given.\n\n")
set(summary "")
set(licences "")
foreach(entry IN LISTS glimmora_codecs)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 role)
  set(stamp ${glimmora_stamps}/${name})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${stamp})
  if(NOT EXISTS ${stamp})
    message(FATAL_ERROR "${name} has not been built: run scripts/setup.sh")
  endif()
  file(STRINGS ${stamp} version LIMIT_COUNT 1)
  string(APPEND summary "  ${name} ${version} (${role})\n")
  if(EXISTS ${stamp}.newer)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${stamp}.newer)
    file(STRINGS ${stamp}.newer newer LIMIT_COUNT 1)
    if(newer)
      string(APPEND summary "    newer revision ${newer} was listed but could not be had;\n")
      string(APPEND summary "    its fixes are not in this build\n")
    endif()
  endif()
  foreach(licence ${glimmora_licences}/${name} ${glimmora_licences}/${name}.debian)
    if(EXISTS ${licence})
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${licence})
      file(READ ${licence} body)
      string(APPEND licences "\n==== ${name} ${version}: ${licence} ====\n\n${body}")
    endif()
  endforeach()
endforeach()
set(zlib_copyright /usr/share/doc/libz-mingw-w64-dev/copyright)
execute_process(COMMAND dpkg-query -W -f=\${Version} libz-mingw-w64-dev
  OUTPUT_VARIABLE zlib_version ERROR_QUIET)
string(APPEND summary "  zlib ${zlib_version} (Deflate, from libz-mingw-w64-dev)\n")
if(EXISTS ${zlib_copyright})
  file(READ ${zlib_copyright} body)
  string(APPEND licences "\n==== zlib ${zlib_version}: ${zlib_copyright} ====\n\n${body}")
endif()
string(APPEND summary "\nGlimmora itself refuses, before libheif or libde265 sees them, the HEIF\n")
string(APPEND summary "structures that the revisions above are known to mishandle.\n")
file(WRITE ${glimmora_notice}.new "${text}${summary}${licences}")
file(COPY_FILE ${glimmora_notice}.new ${glimmora_notice} ONLY_IF_DIFFERENT)
file(REMOVE ${glimmora_notice}.new)
install(FILES ${glimmora_notice} DESTINATION .)
