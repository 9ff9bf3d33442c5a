# Third-party libraries, found the same way in both builds: natively from
# Debian's -dev packages, for Windows from the cache that scripts/setup.sh
# fills (static archives only, see the toolchain file).

function(glimmora_import name)
  cmake_parse_arguments(ARG "" "HEADER" "NAMES;DEPENDS" ${ARGN})
  find_library(GLIMMORA_${name}_LIBRARY NAMES ${ARG_NAMES} REQUIRED)
  find_path(GLIMMORA_${name}_INCLUDE_DIR ${ARG_HEADER} REQUIRED)
  add_library(glimmora::${name} UNKNOWN IMPORTED GLOBAL)
  set_target_properties(glimmora::${name} PROPERTIES
    IMPORTED_LOCATION "${GLIMMORA_${name}_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${GLIMMORA_${name}_INCLUDE_DIR}")
  if(ARG_DEPENDS)
    set_property(TARGET glimmora::${name} PROPERTY INTERFACE_LINK_LIBRARIES ${ARG_DEPENDS})
  endif()
endfunction()

# stb_image is a header; only its BMP and TGA readers are compiled in.
find_path(GLIMMORA_STB_INCLUDE_DIR stb_image.h
  PATHS /usr/include/stb NO_CMAKE_FIND_ROOT_PATH REQUIRED)

# OpenGL 1.1 and GLU: WGL's opengl32/glu32 on Windows, EGL with libOpenGL
# (compatibility profile) natively.
add_library(glimmora_gl INTERFACE)
if(WIN32)
  target_link_libraries(glimmora_gl INTERFACE opengl32 glu32 gdi32 user32)
else()
  find_library(GLIMMORA_OPENGL_LIBRARY OpenGL REQUIRED)
  find_library(GLIMMORA_EGL_LIBRARY EGL REQUIRED)
  find_library(GLIMMORA_GLU_LIBRARY GLU REQUIRED)
  # EGL draws into X11 windows too; RandR gives their monitors' rates.
  find_library(GLIMMORA_X11_LIBRARY X11 REQUIRED)
  find_library(GLIMMORA_XRANDR_LIBRARY Xrandr REQUIRED)
  find_path(GLIMMORA_XRANDR_INCLUDE_DIR X11/extensions/Xrandr.h REQUIRED)
  target_include_directories(glimmora_gl INTERFACE ${GLIMMORA_XRANDR_INCLUDE_DIR})
  target_link_libraries(glimmora_gl INTERFACE
    ${GLIMMORA_GLU_LIBRARY} ${GLIMMORA_OPENGL_LIBRARY} ${GLIMMORA_EGL_LIBRARY}
    ${GLIMMORA_XRANDR_LIBRARY} ${GLIMMORA_X11_LIBRARY})
endif()

if(GLIMMORA_BUILD_TESTS)
  if(CMAKE_CROSSCOMPILING)
    # Debian ships GoogleTest's sources; build them with the cross compiler.
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # Newer GoogleTest releases define these names themselves.
    if(NOT TARGET GTest::gtest)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
      add_library(GTest::gmock ALIAS gmock)
    endif()
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
