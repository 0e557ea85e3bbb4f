# Read by CTest once the discovered tests are defined (a TEST_INCLUDE_FILES
# entry after theirs): a test that runs real processes holds as many of a
# parallel run's processors as it keeps busy at once, so `ctest -j` never
# oversubscribes the machine. Measured under the sanitizers (busy cores over
# 200 ms windows), copies started together peak at two, and senders kept
# three at a time all through retires are held to the same; every other
# process test stays at one, its other processes stopped, idle stand-ins or
# waiting on the app's own deadlines, and keeps the default. More than the peak
# costs much: CTest starts a test only once all its processors are free,
# and freed processors go one at a time to the tests that need one, so a
# test that holds two would wait for the end of the run. A cost above all
# but the half-minute tests (seconds) starts these first, beside those, each
# taking over the two processors of the one before it.
foreach(test IN LISTS tests_app_TESTS)
  # "Instances/Suite.Case/parameter  # GetParam() = ...".
  if(test MATCHES "^[^/.]+/(StartedTogetherTest|UnusableFolderTest)\\."
     OR test STREQUAL "RetireTest.SendersAllThroughRetiresReachACopyOrSayWhyAndNeverActAlone")
    set_tests_properties("${test}" PROPERTIES PROCESSORS 2 COST 20)
  endif()
endforeach()
