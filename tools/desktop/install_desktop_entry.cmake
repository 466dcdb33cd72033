# Run by `cmake --install`: writes the desktop entry for the prefix given at install time (not the
# one configured), so `--prefix` works, and installs it under DESTDIR like every other file. The
# entry starts the installed program in the installed sample folder, since the program reads its
# samples as waves/SoundN.wav from its current directory.
#   KESTU_DESKTOP_TEMPLATE, KESTU_DESKTOP_STAGING: the template and where to write the entry
#   KESTU_BINDIR, KESTU_SAMPLE_DIR, KESTU_APPLICATIONS_DIR: install folders, relative to the prefix
#                                                           or absolute
# A prefix given relative is taken from where `cmake --install` runs, as the files' places are.
get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE BASE_DIR "$ENV{PWD}")

function(kestu_full_path out dir)
  if(IS_ABSOLUTE "${dir}")
    set(${out} "${dir}" PARENT_SCOPE)
  else()
    set(${out} "${prefix}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

kestu_full_path(bindir "${KESTU_BINDIR}")
kestu_full_path(applications "${KESTU_APPLICATIONS_DIR}")

# Exec takes a quoted program path where it holds a space or a reserved character; inside the
# quotes ", `, $ and \ are escaped with a backslash, and the file format doubles every backslash.
set(KESTU_DESKTOP_EXEC "${bindir}/kestu")
if(KESTU_DESKTOP_EXEC MATCHES "[ \t\"'\\\\><~|&;$*?#()`]")
  string(REPLACE "\\" "\\\\" quoted "${KESTU_DESKTOP_EXEC}")
  string(REPLACE "\"" "\\\"" quoted "${quoted}")
  string(REPLACE "`" "\\`" quoted "${quoted}")
  string(REPLACE "$" "\\$" quoted "${quoted}")
  string(REPLACE "\\" "\\\\" quoted "${quoted}")
  set(KESTU_DESKTOP_EXEC "\"${quoted}\"")
endif()

configure_file("${KESTU_DESKTOP_TEMPLATE}" "${KESTU_DESKTOP_STAGING}/kestu-sequencer.desktop" @ONLY)
file(INSTALL DESTINATION "${applications}" TYPE FILE
     FILES "${KESTU_DESKTOP_STAGING}/kestu-sequencer.desktop")
