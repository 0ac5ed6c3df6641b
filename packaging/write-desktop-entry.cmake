# Writes share/applications/<id>.desktop while installing, not while configuring: only then
# is the real prefix known (`cmake --install build --prefix ~/.local`, or the /usr that CPack
# stages the Debian package with), and the menu entry names the game by its full path, so
# that it starts whether or not that folder is on the menu's PATH.
#
# Expects from the calling install(CODE): PLATFORMER_DESKTOP_TEMPLATE, PLATFORMER_APP_ID,
# PLATFORMER_COMMENT, PLATFORMER_BINDIR and PLATFORMER_DATAROOTDIR (relative or absolute).

function(platformer_full_install_dir dir out)
  if(IS_ABSOLUTE "${dir}")
    set(full "${dir}")
  else()
    set(full "${CMAKE_INSTALL_PREFIX}/${dir}")
  endif()
  # A relative --prefix would give the menu a path that means nothing to it.
  get_filename_component(full "${full}" ABSOLUTE)
  set(${out} "${full}" PARENT_SCOPE)
endfunction()

# A desktop "string" value: only the backslash needs escaping.
function(platformer_desktop_string value out)
  string(REPLACE "\\" "\\\\" value "${value}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

# One Exec argument. A prefix with a space or a shell character (a home folder called
# "My Games") must be quoted, or the menu would split the path and start nothing.
function(platformer_desktop_exec_arg value out)
  string(REGEX MATCH "[] \t\"'\\\\><~|&;$*?#()`[]" needs_quotes "${value}")
  if(needs_quotes)
    foreach(ch "\\" "\"" "`" "$")
      string(REPLACE "${ch}" "\\${ch}" value "${value}")
    endforeach()
    set(value "\"${value}\"")
  endif()
  string(REPLACE "%" "%%" value "${value}")
  platformer_desktop_string("${value}" value)
  set(${out} "${value}" PARENT_SCOPE)
endfunction()

platformer_full_install_dir("${PLATFORMER_BINDIR}" _platformer_bindir)
platformer_full_install_dir("${PLATFORMER_DATAROOTDIR}" _platformer_datarootdir)

if(_platformer_bindir MATCHES "[\n\r]")
  message(FATAL_ERROR "platformer: a line break in the install path cannot go into a menu entry")
endif()

platformer_desktop_exec_arg("${_platformer_bindir}/platformer" PLATFORMER_DESKTOP_EXEC)
platformer_desktop_string("${PLATFORMER_COMMENT}" PLATFORMER_COMMENT)

file(READ "${PLATFORMER_DESKTOP_TEMPLATE}" _platformer_entry)
string(CONFIGURE "${_platformer_entry}" _platformer_entry @ONLY)

set(_platformer_dest "$ENV{DESTDIR}${_platformer_datarootdir}/applications/${PLATFORMER_APP_ID}.desktop")
message(STATUS "Installing: ${_platformer_dest}")
file(WRITE "${_platformer_dest}" "${_platformer_entry}")
file(CHMOD "${_platformer_dest}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_platformer_dest}")
