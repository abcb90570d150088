# Reads the list of rooms (src/rooms.txt) for the build and for the layering
# check, so the allowed graph is written once. Sets, in the caller's scope:
#   MORVANE_ROOMS             the rooms, lowest first
#   MORVANE_ROOM_FOLDER_<r>   the folder under src/
#   MORVANE_ROOM_USES_<r>     the rooms <r> names
#   MORVANE_ROOM_REACH_<r>    <r> and every room it may include, directly or not
# A room that names a room not listed above it is an error: it would close
# a circle or point at nothing.
function(morvane_read_rooms list_file)
  file(STRINGS "${list_file}" lines REGEX "^[a-z]")
  set(rooms)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
    list(POP_FRONT fields room folder)
    if(NOT folder)
      message(FATAL_ERROR "${list_file}: room ${room} has no folder")
    endif()
    set(reach ${room})
    foreach(used IN LISTS fields)
      if(NOT used IN_LIST rooms)
        message(FATAL_ERROR "${list_file}: room ${room} uses ${used}, which is not a room listed above it")
      endif()
      list(APPEND reach ${MORVANE_ROOM_REACH_${used}})
    endforeach()
    list(REMOVE_DUPLICATES reach)
    list(APPEND rooms ${room})
    set(MORVANE_ROOM_FOLDER_${room} ${folder})
    set(MORVANE_ROOM_USES_${room} ${fields})
    set(MORVANE_ROOM_REACH_${room} ${reach})
    set(MORVANE_ROOM_FOLDER_${room} ${folder} PARENT_SCOPE)
    set(MORVANE_ROOM_USES_${room} ${fields} PARENT_SCOPE)
    set(MORVANE_ROOM_REACH_${room} ${reach} PARENT_SCOPE)
  endforeach()
  set(MORVANE_ROOMS ${rooms} PARENT_SCOPE)
endfunction()

# The room whose folder holds path (relative to src/): the longest folder
# that is a prefix of it, so platform/qt/X.h is qt's and platform/X.h is
# platform's. Empty when no room holds it.
function(morvane_room_of path out)
  set(best "")
  set(best_length 0)
  foreach(room IN LISTS MORVANE_ROOMS)
    set(prefix "${MORVANE_ROOM_FOLDER_${room}}/")
    string(LENGTH "${prefix}" length)
    string(FIND "${path}" "${prefix}" at)
    if(at EQUAL 0 AND length GREATER best_length)
      set(best ${room})
      set(best_length ${length})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()
