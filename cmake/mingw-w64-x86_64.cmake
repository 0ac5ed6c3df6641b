# Cross-builds for 64-bit Windows with Debian's mingw-w64 (the -posix compilers, whose C++
# library has threads and std::filesystem).
#
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DPLATFORMER_WINDOWS_LIBS=<prefix> ...
#
# PLATFORMER_WINDOWS_LIBS is the folder the Windows builds of the libraries were installed
# into (scripts/windows makes it); headers, libraries and pkg-config files are looked for
# there and in the mingw-w64 sysroot only, never among the host's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)
set(MINGW_SYSROOT /usr/${MINGW_TRIPLET})

# The toolchain file is read again for every check CMake compiles; the environment carries the
# library folder into those runs.
if(PLATFORMER_WINDOWS_LIBS)
  set(ENV{PLATFORMER_WINDOWS_LIBS} "${PLATFORMER_WINDOWS_LIBS}")
elseif(DEFINED ENV{PLATFORMER_WINDOWS_LIBS})
  set(PLATFORMER_WINDOWS_LIBS "$ENV{PLATFORMER_WINDOWS_LIBS}")
endif()

set(CMAKE_FIND_ROOT_PATH ${MINGW_SYSROOT} ${PLATFORMER_WINDOWS_LIBS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees only the Windows libraries' files.
set(ENV{PKG_CONFIG_LIBDIR} "${PLATFORMER_WINDOWS_LIBS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
# Allegro's own build looks for its Windows dependencies under MINGDIR.
set(ENV{MINGDIR} "${MINGW_SYSROOT}")
