# The packages users install: a Debian package of the Linux program (CPack,
# from the install rules of src/linux) and a Windows installer of
# Glimmora.scr (NSIS, cross-built with Debian's makensis). scripts/package.sh
# builds both into build/packages/.

set(GLIMMORA_PUBLISHER "Quillon")

if(NOT WIN32)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME glimmora)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_VENDOR ${GLIMMORA_PUBLISHER})
  set(CPACK_PACKAGE_CONTACT "${GLIMMORA_PUBLISHER} <glimmora@quillon.invalid>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "endless OpenGL slideshow of your own pictures for XScreenSaver")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Glimmora walks the picture folders it is given, with their subfolders,
and shows every picture drifting through a perspective view, cross-fading
into the next. It reads JPEG, HEIC, AVIF, WebP, PNG, GIF, BMP, TGA, PCX
and TIFF. It runs as a hack of XScreenSaver (and of xfce4-screensaver),
with a settings description for XScreenSaver's dialog.")
  # /usr, where Debian's XScreenSaver and xfce4-screensaver look for hacks.
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION x11)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The dependencies come from the libraries the program links.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | xfce4-screensaver")
  set(CPACK_STRIP_FILES ON)
  include(CPack)
  return()
endif()

# The installer needs the cross-built saver and makensis; a machine without
# makensis builds everything else.
find_program(GLIMMORA_MAKENSIS makensis)
if(NOT GLIMMORA_MAKENSIS)
  message(STATUS "makensis not found: no Windows installer")
  return()
endif()
set(GLIMMORA_INSTALLER ${CMAKE_BINARY_DIR}/packages/Glimmora-Setup-${PROJECT_VERSION}.exe
  CACHE INTERNAL "The Windows installer this build makes")
add_custom_command(OUTPUT ${GLIMMORA_INSTALLER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packages
  COMMAND ${GLIMMORA_MAKENSIS} -V2 -NOCD
    -DVERSION=${PROJECT_VERSION}
    -DVERSION_QUAD=${PROJECT_VERSION}.0
    -DYEAR=${GLIMMORA_RELEASE_YEAR}
    -DPUBLISHER=${GLIMMORA_PUBLISHER}
    -DSAVER=$<TARGET_FILE:Glimmora>
    -DOUTFILE=${GLIMMORA_INSTALLER}
    ${CMAKE_SOURCE_DIR}/packaging/glimmora.nsi
  DEPENDS Glimmora ${CMAKE_SOURCE_DIR}/packaging/glimmora.nsi
  VERBATIM)
add_custom_target(glimmora_installer ALL DEPENDS ${GLIMMORA_INSTALLER})
