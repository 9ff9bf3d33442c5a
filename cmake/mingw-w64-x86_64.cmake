# Cross-compiles for 64-bit Windows with Debian's mingw-w64 posix-threads
# compilers, so that std::thread and friends are available.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(GLIMMORA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${GLIMMORA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GLIMMORA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${GLIMMORA_MINGW_TRIPLET}-windres)

# Codecs cross-built by scripts/setup.sh live outside the work tree.
if(NOT DEFINED GLIMMORA_WIN_DEPS)
  if(DEFINED ENV{GLIMMORA_WIN_DEPS})
    set(GLIMMORA_WIN_DEPS $ENV{GLIMMORA_WIN_DEPS})
  else()
    set(GLIMMORA_WIN_DEPS /var/cache/glimmora/mingw64)
  endif()
endif()

set(CMAKE_FIND_ROOT_PATH ${GLIMMORA_WIN_DEPS} /usr/${GLIMMORA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static archives only: cmake/Codecs.cmake narrows CMAKE_FIND_LIBRARY_SUFFIXES
# to .a, since the Windows platform rules reset it after this file.

# One self-contained executable: no libstdc++, libgcc or winpthread DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
