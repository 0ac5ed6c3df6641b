# Install rules and the Debian package.
#
#   cmake --build build --target package            # platformer_<version>_<arch>.deb
#   cmake --install build --prefix ~/.local          # for one user, without a package
#
# Layout under the prefix (the package's prefix is /usr), after Debian's games conventions:
#   games/platformer                     the game       (PLATFORMER_INSTALL_BINDIR)
#   share/games/platformer/              its pictures and the sample level
#                                                       (PLATFORMER_INSTALL_DATADIR)
#   share/man/man6/platformer.6.gz       the manual page
#   share/doc/platformer/                README.md, copyright, changelog.gz
#   share/applications/ID.desktop        the menu entry     (ID: PLATFORMER_APP_ID)
#   share/metainfo/ID.metainfo.xml       what software centres show
#   share/icons/hicolor/NxN/apps/ID.png  the icon
# A tree configured with a prefix inside the home folder defaults to bin/ and
# share/platformer/ instead, where ~/.local puts programs and their data.
#
# The game finds its data folder from its own location (PLATFORMER_DATA_FROM_BIN), so any
# prefix works without a rebuild, as long as both folders move together.

include_guard(GLOBAL)
include(GNUInstallDirs)

# How menus and software centres know the game. example.org stands in until the game has a
# home of its own; the screenshot is docs/screenshot.png published there.
set(PLATFORMER_APP_ID org.example.platformer)
set(PLATFORMER_HOMEPAGE https://example.org/platformer)

set(_platformer_home "$ENV{HOME}")
string(FIND "${CMAKE_INSTALL_PREFIX}/" "${_platformer_home}/" _platformer_in_home)
if(_platformer_home AND NOT _platformer_home STREQUAL "/" AND _platformer_in_home EQUAL 0)
  set(_platformer_bindir bin)
  set(_platformer_datadir share/platformer)
else()
  set(_platformer_bindir games)
  set(_platformer_datadir share/games/platformer)
endif()
set(PLATFORMER_INSTALL_BINDIR ${_platformer_bindir} CACHE STRING
  "Folder of the game's executable, relative to the install prefix")
set(PLATFORMER_INSTALL_DATADIR ${_platformer_datadir} CACHE STRING
  "Folder of the game's pictures and sample level, relative to the install prefix")
foreach(dir PLATFORMER_INSTALL_BINDIR PLATFORMER_INSTALL_DATADIR)
  if(IS_ABSOLUTE "${${dir}}" OR "${${dir}}" STREQUAL "")
    message(FATAL_ERROR "${dir} must be a folder relative to the install prefix, not \"${${dir}}\"")
  endif()
endforeach()

# Any absolute root gives the same answer: both folders hang off the same prefix.
file(RELATIVE_PATH _platformer_data_from_bin
  "/prefix/${PLATFORMER_INSTALL_BINDIR}" "/prefix/${PLATFORMER_INSTALL_DATADIR}")
if(_platformer_data_from_bin STREQUAL "")
  set(_platformer_data_from_bin .)
endif()
target_compile_definitions(game PUBLIC "PLATFORMER_DATA_FROM_BIN=\"${_platformer_data_from_bin}\"")

set(PLATFORMER_MAINTAINER "Platformer authors <platformer@example.org>" CACHE STRING
  "Maintainer of the Debian package, as \"Name <address>\"")
if(NOT PLATFORMER_MAINTAINER MATCHES "^[^<>@\n]*[^<>@ \n] <[^<>@ \n]+@([a-zA-Z0-9-]+\\.)+[a-zA-Z]+>$"
   OR PLATFORMER_MAINTAINER MATCHES "\\.(local|localdomain|invalid|test)>$|@localhost>$")
  message(FATAL_ERROR "PLATFORMER_MAINTAINER must be \"Name <address>\" with a real mail host, "
    "not \"${PLATFORMER_MAINTAINER}\"")
endif()

# Hardening for the package: the flags every Debian package is built with (stack protector,
# fortified functions, read-only relocations bound at start). Left out of Debug builds, where
# fortification warns without optimisation, and of sanitizer builds.
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(DPKG_BUILDFLAGS AND NOT PLATFORMER_SANITIZE AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
  set(_platformer_hardening_default ON)
else()
  set(_platformer_hardening_default OFF)
endif()
option(PLATFORMER_DPKG_BUILDFLAGS "Build the game with dpkg-buildflags' hardening flags"
  ${_platformer_hardening_default})
if(PLATFORMER_DPKG_BUILDFLAGS)
  if(NOT DPKG_BUILDFLAGS)
    message(FATAL_ERROR "PLATFORMER_DPKG_BUILDFLAGS needs dpkg-buildflags (package dpkg-dev)")
  endif()
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${DPKG_BUILDFLAGS} --get ${kind}
      # The source folder, which -ffile-prefix-map hides from the binary.
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE _platformer_flags OUTPUT_STRIP_TRAILING_WHITESPACE
      COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(_platformer_flags UNIX_COMMAND "${_platformer_flags}")
    # Optimisation and debug information stay the build type's business.
    list(FILTER _platformer_flags EXCLUDE REGEX "^-(g|O.*)$")
    set(_platformer_${kind} ${_platformer_flags})
  endforeach()
  foreach(target game platformer)
    target_compile_options(${target} PRIVATE ${_platformer_CPPFLAGS} ${_platformer_CXXFLAGS})
  endforeach()
  target_link_options(platformer PRIVATE ${_platformer_LDFLAGS})
endif()

# --- The game and its data --------------------------------------------------------------

install(TARGETS platformer RUNTIME DESTINATION ${PLATFORMER_INSTALL_BINDIR})

# Picked up at install time, so pictures or a level added after configuring still go in.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/
  DESTINATION ${PLATFORMER_INSTALL_DATADIR}
  FILES_MATCHING
    PATTERN "*.png"
    PATTERN "LoadLevel.txt")

foreach(picture Background.png Blocks.png Quillorn.png)
  if(NOT EXISTS ${PROJECT_SOURCE_DIR}/data/${picture})
    message(WARNING "data/${picture} is missing: the installed game will not start without it")
  endif()
endforeach()

# --- Documents: manual page, README, copyright, changelog ---------------------------------

# CHANGELOG.md's newest release must be the one being built: it dates the manual page and
# gives the package's changelog and the metainfo's releases.
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md _platformer_releases REGEX "^## ")
set(PLATFORMER_RELEASES "")
foreach(line IN LISTS _platformer_releases)
  if(NOT line MATCHES "^## ([0-9][0-9.]*[0-9]) - ([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])$")
    message(FATAL_ERROR "CHANGELOG.md: a release line reads \"## VERSION - YYYY-MM-DD\", not \"${line}\"")
  endif()
  if(NOT DEFINED PLATFORMER_MAN_DATE)
    if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
      message(FATAL_ERROR "CHANGELOG.md's newest release is ${CMAKE_MATCH_1}, the project's version "
        "${PROJECT_VERSION}: add a release to the changelog")
    endif()
    set(PLATFORMER_MAN_DATE ${CMAKE_MATCH_2})
  endif()
  string(APPEND PLATFORMER_RELEASES
    "    <release version=\"${CMAKE_MATCH_1}\" date=\"${CMAKE_MATCH_2}\"/>\n")
endforeach()
if(NOT DEFINED PLATFORMER_MAN_DATE)
  message(FATAL_ERROR "CHANGELOG.md holds no release line \"## VERSION - YYYY-MM-DD\"")
endif()
string(STRIP "${PLATFORMER_RELEASES}" PLATFORMER_RELEASES)
set(PLATFORMER_RELEASES "    ${PLATFORMER_RELEASES}")

# LICENSE is the one copy of the licence: the copyright file quotes it in Debian's format.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE _platformer_license)
if(NOT _platformer_license MATCHES "^Copyright \\(c\\) ([^\n]+)\n\n(.*[^\n])\n*$")
  message(FATAL_ERROR "LICENSE should start with a line \"Copyright (c) YEAR HOLDER\"")
endif()
set(PLATFORMER_COPYRIGHT "${CMAKE_MATCH_1}")
string(REPLACE "\n\n" "\n.\n" _platformer_license "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " PLATFORMER_LICENSE_TEXT " ${_platformer_license}")

# Read here rather than by a build step: a change to either must configure again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/LICENSE)

set(_platformer_out ${PROJECT_BINARY_DIR}/packaging)
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${_platformer_out}/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/docs/platformer.6.in ${_platformer_out}/platformer.6 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/platformer.metainfo.xml.in
  ${_platformer_out}/${PLATFORMER_APP_ID}.metainfo.xml @ONLY)

# Debian wants both compressed with gzip -9n (no name, no time stamp: the same bytes each build).
add_custom_command(OUTPUT ${_platformer_out}/platformer.6.gz
  COMMAND sh -c "gzip -9n < \"$1\" > \"$2\"" sh ${_platformer_out}/platformer.6 ${_platformer_out}/platformer.6.gz
  DEPENDS ${_platformer_out}/platformer.6
  COMMENT "Compressing the manual page"
  VERBATIM)
add_custom_command(OUTPUT ${_platformer_out}/changelog.gz
  COMMAND sh ${PROJECT_SOURCE_DIR}/packaging/make-changelog.sh
          ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PLATFORMER_MAINTAINER} ${_platformer_out}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/packaging/make-changelog.sh
  COMMENT "Writing the package's changelog from CHANGELOG.md"
  VERBATIM)
add_custom_target(platformer-documents ALL
  DEPENDS ${_platformer_out}/platformer.6.gz ${_platformer_out}/changelog.gz)

install(FILES ${_platformer_out}/platformer.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${_platformer_out}/copyright ${_platformer_out}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

# --- Menu entry, metainfo, icons -------------------------------------------------------

install(CODE "
  set(PLATFORMER_DESKTOP_TEMPLATE [[${PROJECT_SOURCE_DIR}/packaging/platformer.desktop.in]])
  set(PLATFORMER_APP_ID [[${PLATFORMER_APP_ID}]])
  set(PLATFORMER_COMMENT [[${PROJECT_DESCRIPTION}]])
  set(PLATFORMER_BINDIR [[${PLATFORMER_INSTALL_BINDIR}]])
  set(PLATFORMER_DATAROOTDIR [[${CMAKE_INSTALL_DATAROOTDIR}]])
  include([[${PROJECT_SOURCE_DIR}/packaging/write-desktop-entry.cmake]])
")

install(FILES ${_platformer_out}/${PLATFORMER_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)

# Made from the standing frame of data/Quillorn.png by tools/make-icons.sh.
foreach(size 16 32 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/platformer-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps
    RENAME ${PLATFORMER_APP_ID}.png)
endforeach()

# --- Debian package -------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME platformer)
set(CPACK_PACKAGE_VENDOR "The platformer authors")
set(CPACK_PACKAGE_CONTACT "${PLATFORMER_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small 2D platform game of blocks, jumps and snow")
# Lines of at most 80 characters; CPack indents them as the control file wants.
set(CPACK_PACKAGE_DESCRIPTION
"Run and jump through a world of blocks: a little figure walks, jumps higher
the longer the key is held and stands on the floor and on blocks. Drop new
blocks where the mouse points, load the sample level and let it snow.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PLATFORMER_MAINTAINER}")
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
