# Runs the compiler's preprocessor with the include directories a library's
# own files are compiled with, once for one header of every folder:
#
#   cmake -DCOMPILER=c++ -DINCLUDES=dir|dir... [-DIMPLICIT=dir;dir...] -DSEES=view,config
#         -DFOLDERS=view,config,link,... -DSOURCE_DIR=... -DWORK=dir -P CheckIncludes.cmake
#
# A header of a folder in SEES must be found, and a header of any other folder
# must not be: its include stops the compile with "not found". The header
# tried is the first one of the folder, by name, that includes nothing of Qt.
#
#   cmake -DMODE=paths -DFOLDERS=... -DSOURCE_DIR=... -P CheckIncludes.cmake
#
# fails on any quoted include of those folders that leaves the folder it is
# written from ("../link/Pacer.h") or names an absolute path: an include
# root cannot stop those.
cmake_minimum_required(VERSION 3.22)

string(REPLACE "," ";" folders "${FOLDERS}")

if(MODE STREQUAL "paths")
  set(bad "")
  foreach(folder IN LISTS folders)
    file(GLOB_RECURSE files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(file IN LISTS files)
      file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
      foreach(line IN LISTS lines)
        if(line MATCHES "\"(/|[^\"]*\\.\\./)")
          file(RELATIVE_PATH name ${SOURCE_DIR} ${file})
          string(APPEND bad "\n  ${name}: ${line}")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(bad)
    message(FATAL_ERROR "includes that leave their folder's include root:${bad}")
  endif()
  message(STATUS "every quoted include stays within the include roots")
  return()
endif()

string(REPLACE "," ";" sees "${SEES}")
string(REPLACE "|" ";" includes "${INCLUDES}")
# The compiler's own folders (IMPLICIT) stay where it puts them, as in the build.
list(REMOVE_ITEM includes ${IMPLICIT})
set(flags -std=c++17 -E -o /dev/null)
foreach(dir IN LISTS includes)
  list(APPEND flags -I${dir})
endforeach()
file(MAKE_DIRECTORY ${WORK})

set(failures "")
foreach(folder IN LISTS folders)
  file(GLOB headers RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h)
  list(SORT headers)
  set(header "")
  foreach(candidate IN LISTS headers)
    file(STRINGS ${SOURCE_DIR}/${candidate} qt REGEX "#[ \t]*include[ \t]*<Q")
    if(NOT qt)
      set(header ${candidate})
      break()
    endif()
  endforeach()
  if(NOT header)
    message(FATAL_ERROR "${folder}/ has no header to try")
  endif()

  set(source ${WORK}/${folder}.cpp)
  file(WRITE ${source} "#include \"${header}\"\n")
  execute_process(COMMAND ${COMPILER} ${flags} ${source}
                  RESULT_VARIABLE status ERROR_VARIABLE errors OUTPUT_QUIET)
  string(REPLACE "." "\\." pattern "${header}")
  list(FIND sees ${folder} seen)
  if(seen GREATER -1)
    if(NOT status EQUAL 0)
      string(APPEND failures "\n  ${header} should be found and is not:\n${errors}")
    else()
      message(STATUS "${header}: found")
    endif()
  elseif(status EQUAL 0)
    string(APPEND failures "\n  ${header} is found though ${folder}/ is not linked")
  elseif(NOT errors MATCHES "${pattern}'?:? (No such file or directory|file not found)")
    string(APPEND failures "\n  ${header} failed otherwise than as not found:\n${errors}")
  else()
    message(STATUS "${header}: not found, as it must be")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "includes against the layers:${failures}")
endif()
