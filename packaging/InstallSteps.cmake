# Install-time steps of the per-user install that plain install() rules cannot express: the
# default score file copied only when absent, a desktop entry that names the launcher by its
# full path, and a manifest that scripts/install --uninstall removes the install by.
# Macros, not functions: file(INSTALL) records each file in the caller's manifest list.

# Copies the default tables to GAME_DIR/HIGHSCORE.DAT unless a file is there: an install over
# an older one keeps the player's scores.
macro(zeph_install_default_scores game_dir default_file)
  set(_zeph_scores "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${game_dir}/HIGHSCORE.DAT")
  if(EXISTS "${_zeph_scores}" OR IS_SYMLINK "${_zeph_scores}")
    message(STATUS "Kept: ${_zeph_scores}")
  else()
    file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${game_dir}" TYPE FILE
      RENAME HIGHSCORE.DAT FILES "${default_file}")
  endif()
endmacro()

# The desktop entry with Exec set to the installed launcher, quoted and escaped as the
# desktop entry format asks, so a prefix off the PATH (or with spaces) still starts.
macro(zeph_install_desktop_entry template work_dir app_id)
  set(_zeph_exec "${CMAKE_INSTALL_PREFIX}/bin/zeph")
  foreach(_zeph_char "\\" "\"" "`" "$")
    string(REPLACE "${_zeph_char}" "\\${_zeph_char}" _zeph_exec "${_zeph_exec}")
  endforeach()
  string(REPLACE "\\" "\\\\" _zeph_exec "${_zeph_exec}")
  string(REPLACE "%" "%%" _zeph_exec "${_zeph_exec}")
  set(ZEPH_EXEC "\"${_zeph_exec}\"")
  set(ZEPH_APP_ID "${app_id}")
  configure_file("${template}" "${work_dir}/${app_id}.desktop" @ONLY)
  file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications" TYPE FILE
    FILES "${work_dir}/${app_id}.desktop")
endmacro()

# Every file this and earlier installs into the prefix put there, relative to the prefix.
# The score file is left out: whether it goes is decided by its contents, not by the list.
macro(zeph_write_install_manifest game_dir)
  set(_zeph_root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  set(_zeph_manifest "${_zeph_root}/${game_dir}/install-manifest.txt")
  set(_zeph_entries "")
  if(EXISTS "${_zeph_manifest}")
    file(STRINGS "${_zeph_manifest}" _zeph_entries)
  endif()
  foreach(_zeph_file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
    string(FIND "${_zeph_file}" "${_zeph_root}/" _zeph_at)
    if(_zeph_at EQUAL 0)
      string(LENGTH "${_zeph_root}/" _zeph_length)
      string(SUBSTRING "${_zeph_file}" ${_zeph_length} -1 _zeph_file)
      if(NOT _zeph_file STREQUAL "${game_dir}/HIGHSCORE.DAT")
        list(APPEND _zeph_entries "${_zeph_file}")
      endif()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES _zeph_entries)
  list(SORT _zeph_entries)
  list(JOIN _zeph_entries "\n" _zeph_text)
  file(WRITE "${_zeph_manifest}" "${_zeph_text}\n")
  message(STATUS "Manifest: ${_zeph_manifest}")
endmacro()
