# Read by CTest once the discovered tests are defined (a TEST_INCLUDE_FILES
# entry after theirs). A test that runs real processes holds as many of a
# parallel run's processors as it has busy processes at once, so that
# `ctest -j` never oversubscribes the machine and no app misses its own fixed
# deadlines (5 s to find a copy and hear its answer) for want of a processor.
# Starting the app is the busy part; a stopped copy, an idle stand-in and the
# test process waiting for events count nothing, so a test with one app
# process at a time (ModeProcessTest, QuitDuringMoveTest, PrivateFoldersTest,
# an install killed at a step and the tool it waits for) keeps the default,
# one.
set(processors_by_suite
  # Three copies started together, beside a running or a stopped one.
  "StartedTogetherTest|UnusableFolderTest" 4
  # A running copy, and a sender, asker or newcomer starting beside it.
  "SwitchRunningCopyTest|ModeBesideTheRunningCopyTest|OneCopyTest|SquatterTest|StubbornCopyTest|SavedDataTest|SignalProcessTest"
  2)

while(processors_by_suite)
  list(POP_FRONT processors_by_suite suites processors)
  foreach(test IN LISTS tests_app_TESTS)
    # "Suite.Case", or "Instances/Suite.Case/parameter  # GetParam() = ...".
    if(test MATCHES "^([^/.]+/)?(${suites})\\.")
      set_tests_properties("${test}" PROPERTIES PROCESSORS ${processors})
    endif()
  endforeach()
endwhile()
