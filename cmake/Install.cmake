# Install rules and the Debian package.
#
#   cmake --install build --prefix ~/.local      # for one user
#   cmake --build build --target package          # platformer_<version>_<arch>.deb
#
# Layout (GNUInstallDirs):
#   bin/platformer                                  the game, and nothing else
#   share/platformer/                               its pictures and the sample level
#   share/applications/platformer.desktop           the menu entry
#   share/icons/hicolor/<N>x<N>/apps/platformer.png the icon
#
# The game reads its pictures from the working directory, so the menu entry starts it in
# share/platformer through its Path key. That path depends on the prefix, which is only
# certain at install time (`--prefix` can override the configured one, and CPack stages the
# package with its own /usr), so the entry is written during installation by
# packaging/write-desktop-entry.cmake rather than by configure_file.

include_guard(GLOBAL)
include(GNUInstallDirs)

install(TARGETS platformer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Picked up at install time, so pictures or a level added after configuring still go in.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/platformer
  FILES_MATCHING
    PATTERN "*.png"
    PATTERN "LoadLevel.txt")

foreach(picture Background.png Blocks.png Quillorn.png)
  if(NOT EXISTS ${PROJECT_SOURCE_DIR}/data/${picture})
    message(WARNING "data/${picture} is missing: the installed game will not start without it")
  endif()
endforeach()

install(CODE "
  set(PLATFORMER_DESKTOP_TEMPLATE [[${PROJECT_SOURCE_DIR}/packaging/platformer.desktop.in]])
  set(PLATFORMER_COMMENT [[${PROJECT_DESCRIPTION}]])
  set(PLATFORMER_BINDIR [[${CMAKE_INSTALL_BINDIR}]])
  set(PLATFORMER_DATADIR [[${CMAKE_INSTALL_DATADIR}]])
  include([[${PROJECT_SOURCE_DIR}/packaging/write-desktop-entry.cmake]])
")

# Made from the standing frame of data/Quillorn.png by tools/make-icons.sh.
foreach(size 16 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/platformer-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME platformer.png)
endforeach()

# --- Debian package -------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME platformer)
set(CPACK_PACKAGE_VENDOR "Platformer developers")
set(CPACK_PACKAGE_CONTACT "Platformer developers <dev@platformer.local>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
  "Run and jump through a world of blocks: drop new blocks where the mouse points, load the sample level and let it snow.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends (liballegro5.2, liballegro-image5.2, ...) come from the executable's own links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/out/")
include(CPack)

if(BUILD_TESTING)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/install ${PROJECT_BINARY_DIR}/tests/install)
endif()
