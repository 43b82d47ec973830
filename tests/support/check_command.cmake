# Runs one command and checks its exit code and its output together (standard output
# and standard error as one text), printing the output for CTest's log:
#
#   cmake -DEXIT=CODE -DOUTPUT=REGEX [-DSKIP=REASON] -P check_command.cmake -- COMMAND ARGS...
#
# With SKIP, a run that passes both checks is reported as skipped for REASON (the test
# carries SKIP_REGULAR_EXPRESSION on the line printed here): it ran, but in this world it
# could not check what it is for. With SRTM_TEST_FAIL_AFTER=CODE in the environment
# every command runs through a wrapper that exits with CODE after the command ended,
# so that a run can show that each command test fails when its command does.
set(command)
set(in_command FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(in_command)
    string(REPLACE ";" "\\;" arg "${CMAKE_ARGV${i}}")
    list(APPEND command "${arg}")
  elseif("${CMAKE_ARGV${i}}" STREQUAL "--")
    set(in_command TRUE)
  endif()
endforeach()
if(NOT command OR NOT DEFINED EXIT OR NOT DEFINED OUTPUT)
  message(FATAL_ERROR "usage: cmake -DEXIT=CODE -DOUTPUT=REGEX [-DSKIP=REASON] -P check_command.cmake -- COMMAND...")
endif()
if(DEFINED ENV{SRTM_TEST_FAIL_AFTER})
  list(PREPEND command sh -c "\"\$@\"\nexit $ENV{SRTM_TEST_FAIL_AFTER}" fail-after)
endif()

execute_process(COMMAND ${command} RESULT_VARIABLE code OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")
if(NOT "${code}" STREQUAL "${EXIT}")
  message(FATAL_ERROR "exit ${code}, expected ${EXIT}")
endif()
if(NOT "${output}" MATCHES "${OUTPUT}")
  message(FATAL_ERROR "the output does not match: ${OUTPUT}")
endif()
if(DEFINED SKIP)
  message("srtm-test-skipped: ${SKIP}")
endif()
