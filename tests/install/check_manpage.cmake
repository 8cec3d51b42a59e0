# Renders the manual page with every groff warning enabled; any output at all
# (a warning or an error) or a failing status fails the test.
execute_process(COMMAND "${GROFF}" -man -ww -z "${PAGE}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
  message(FATAL_ERROR "groff -man -ww -z ${PAGE}: status ${rc}\n${out}${err}")
endif()
