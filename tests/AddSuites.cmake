# Run after a test binary links: writes one CTest test per suite of the
# binary's, each running the suite in one process. A new case or suite is
# found at the next build, as discovered tests are.
#   -D binary=... -D output=... -D environment=...
execute_process(COMMAND "${binary}" --gtest_list_tests
  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result TIMEOUT 60)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${binary} --gtest_list_tests failed (${result}): ${errors}")
endif()
set(content "")
set(suites 0)
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
  # "Suite." or "Instances/Suite.  # TypeParam = ..."; cases are indented.
  if(line MATCHES "^([A-Za-z_][A-Za-z0-9_/]*)\\.( .*)?$")
    set(suite "${CMAKE_MATCH_1}")
    string(APPEND content "add_test([=[${suite}]=] [=[${binary}]=] [=[--gtest_filter=${suite}.*]=])\n"
      "set_tests_properties([=[${suite}]=] PROPERTIES ENVIRONMENT [=[${environment}]=])\n")
    math(EXPR suites "${suites} + 1")
  endif()
endforeach()
if(suites EQUAL 0)
  message(FATAL_ERROR "${binary} lists no test suite")
endif()
file(WRITE "${output}" "${content}")
