# Runs Doxygen on DOXYFILE and fails when it warned: a comment Doxygen cannot
# read, a guide link that goes nowhere. Warnings are listed.
# Run as: cmake -DDOXYGEN=<program> -DDOXYFILE=<file> -DLOG=<warnings file> -P RunDoxygen.cmake
get_filename_component(out ${LOG} DIRECTORY)
file(MAKE_DIRECTORY ${out})
file(REMOVE ${LOG})
execute_process(COMMAND ${DOXYGEN} ${DOXYFILE} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "doxygen failed (${rc})")
endif()
file(READ ${LOG} warnings)
if(NOT warnings STREQUAL "")
  message(FATAL_ERROR "Doxygen warnings:\n${warnings}")
endif()
message(STATUS "API reference: ${out}/html/index.html")
