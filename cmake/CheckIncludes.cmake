# cmake -DFOLDER=dir -DALLOWED="room;rooms below;folder/header.h" [-DSTAMP=file] -P CheckIncludes.cmake
#
# Fails when a .cpp or .h file of FOLDER includes a project header ("folder/name.h")
# of a folder not in ALLOWED, unless ALLOWED names that header itself, or the
# component's interfaces from anywhere but the control's wrapper. Touches STAMP
# when every include is allowed.

cmake_minimum_required(VERSION 3.20)

set(interfaces "imaging/MODI_TLB.h")
set(wrapper "imaging/TMiDocView.cpp")

file(GLOB files ${FOLDER}/*.cpp ${FOLDER}/*.h)
get_filename_component(room ${FOLDER} NAME)
set(faults "")
foreach(file ${files})
  get_filename_component(name ${file} NAME)
  file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*/")
  foreach(line ${lines})
    string(REGEX REPLACE "^[^\"]*\"([^\"]*)\".*$" "\\1" header "${line}")
    string(REGEX REPLACE "/.*$" "" folder "${header}")
    if(NOT folder IN_LIST ALLOWED AND NOT header IN_LIST ALLOWED)
      list(APPEND faults "${room}/${name} includes ${header}, from above ${room}/ or beside it")
    elseif(header STREQUAL interfaces AND NOT "${room}/${name}" STREQUAL wrapper)
      list(APPEND faults "${room}/${name} includes ${header}, which only ${wrapper} may")
    endif()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "Includes against the rooms' order:\n  ${text}")
endif()
if(STAMP)
  file(TOUCH ${STAMP})
endif()
