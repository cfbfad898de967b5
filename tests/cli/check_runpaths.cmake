# Fails when an ELF file under any of the given folders has a RUNPATH or
# RPATH with an empty entry (a leading, trailing or doubled ':'): the loader
# reads an empty entry as the current folder, so a library planted wherever
# the program is started from would be loaded.
# Run with -DREADELF=<readelf> -DFOLDERS=<folder;...>.

set(failures)
set(checked 0)
foreach(folder IN LISTS FOLDERS)
  file(GLOB_RECURSE files LIST_DIRECTORIES false "${folder}/*")
  foreach(path IN LISTS files)
    if(path MATCHES "/CMakeFiles/" OR IS_SYMLINK "${path}")
      continue() # CMake's probes, and links to files listed anyway
    endif()
    file(READ "${path}" magic LIMIT 4 HEX)
    if(NOT magic STREQUAL "7f454c46")
      continue()
    endif()
    math(EXPR checked "${checked} + 1")
    execute_process(COMMAND ${READELF} -d "${path}" OUTPUT_VARIABLE dynamic
                    RESULT_VARIABLE result ERROR_QUIET)
    string(REGEX MATCHALL "\\((RUNPATH|RPATH)\\)[^\n]*" entries "${dynamic}")
    foreach(entry IN LISTS entries)
      string(REGEX REPLACE ".*\\[(.*)\\]$" "\\1" value "${entry}")
      if(value STREQUAL "" OR value MATCHES "^:|:$|::")
        list(APPEND failures "${path}: [${value}]")
      endif()
    endforeach()
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "no ELF file found under ${FOLDERS}")
endif()
if(failures)
  list(JOIN failures "\n  " shown)
  message(FATAL_ERROR "search paths with an empty entry (the current folder):\n  ${shown}")
endif()
message(STATUS "${checked} ELF files, no empty search-path entry")
