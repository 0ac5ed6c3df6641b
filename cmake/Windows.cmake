# The Windows build: Allegro through pkg-config as on Linux, linked statically where its
# static build is there (the cross-build's, so that platformer.exe needs only Windows' own
# DLLs), else its DLLs (MSYS2's packages); the icon and version in the executable.
include_guard(GLOBAL)

set(_platformer_addons allegro allegro_image allegro_primitives allegro_font allegro_ttf)
list(TRANSFORM _platformer_addons APPEND -static-5 OUTPUT_VARIABLE _platformer_static_modules)
pkg_check_modules(STATIC_ALLEGRO QUIET ${_platformer_static_modules})
if(STATIC_ALLEGRO_FOUND)
  add_library(PkgConfig::ALLEGRO INTERFACE IMPORTED)
  target_include_directories(PkgConfig::ALLEGRO INTERFACE ${STATIC_ALLEGRO_STATIC_INCLUDE_DIRS})
  target_link_libraries(PkgConfig::ALLEGRO INTERFACE ${STATIC_ALLEGRO_STATIC_LDFLAGS})
  # Without it Allegro's headers expect its functions from a DLL.
  target_compile_definitions(PkgConfig::ALLEGRO INTERFACE ALLEGRO_STATICLINK)
  # The C and C++ runtimes and the threads library inside the executable too.
  add_link_options(-static)
else()
  list(TRANSFORM _platformer_addons APPEND -5 OUTPUT_VARIABLE _platformer_modules)
  pkg_check_modules(ALLEGRO REQUIRED IMPORTED_TARGET ${_platformer_modules})
endif()

# A window of its own, no console window beside it; standard output redirected to a file
# still gets the frame-rate lines.
add_link_options(-mwindows)

# The pictures and the sample level sit beside platformer.exe; there is no shared data folder.
add_compile_definitions("PLATFORMER_DATA_FROM_BIN=\"\"")

enable_language(RC)
set(PLATFORMER_ICON ${CMAKE_CURRENT_LIST_DIR}/../packaging/icons/platformer.ico)
configure_file(${CMAKE_CURRENT_LIST_DIR}/../packaging/platformer.rc.in ${CMAKE_BINARY_DIR}/platformer.rc @ONLY)
set(PLATFORMER_EXE_SOURCES ${CMAKE_BINARY_DIR}/platformer.rc)
