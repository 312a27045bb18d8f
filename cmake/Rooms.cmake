# The viewer's rooms: each folder a static library that may use only the rooms
# below it, framework <- imaging <- viewing, output, about <- app. A library
# links only the libraries below it, so a call upwards fails to link; the build
# checks every file's includes too, so that no header reaches upwards either.

set(FOLIREX_CHECK_INCLUDES ${CMAKE_CURRENT_LIST_DIR}/CheckIncludes.cmake)

# folirex_room(TARGET [USES targets...] [BELOW folders...] [EXCLUDE files...]):
# the library TARGET of the current folder's .cpp files but EXCLUDE, built on
# the libraries USES. Its files may include headers of their own folder and of
# the folders BELOW only.
function(folirex_room target)
  cmake_parse_arguments(R "" "" "USES;BELOW;EXCLUDE" ${ARGN})
  get_filename_component(room ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(files ${sources} ${headers})
  foreach(excluded ${R_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  add_library(${target} STATIC ${sources})
  target_link_libraries(${target} PUBLIC ${R_USES})

  # Checked again whenever a file of the folder changes, before the library builds.
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/includes-checked)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DFOLDER=${CMAKE_CURRENT_SOURCE_DIR} "-DALLOWED=${room};${R_BELOW}"
            -DSTAMP=${stamp} -P ${FOLIREX_CHECK_INCLUDES}
    DEPENDS ${files} ${FOLIREX_CHECK_INCLUDES}
    COMMENT "Checking what ${room}/ includes" VERBATIM)
  add_custom_target(${target}_includes DEPENDS ${stamp})
  add_dependencies(${target} ${target}_includes)
endfunction()
