# Runs a data generator into a scratch file and fails unless it wrote the
# committed file's bytes.
#   cmake -DGENERATOR=<program> -DCOMMITTED=<file> -DSCRATCH=<file> -P CompareRegenerated.cmake
execute_process(COMMAND "${GENERATOR}" "${SCRATCH}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${GENERATOR} ${SCRATCH} failed (${status})")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${SCRATCH}" "${COMMITTED}" RESULT_VARIABLE differs)
file(REMOVE "${SCRATCH}")
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "${GENERATOR} wrote other bytes than ${COMMITTED}; regenerate it and commit the result")
endif()
