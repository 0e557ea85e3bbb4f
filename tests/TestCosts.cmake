# Read by ctest after the discovered tests: the slowest tests start first, so
# they do not end a run alone while the other slots stand idle. A fresh clone
# has no timings from an earlier run to order by. Seconds each took under the
# sanitizers; a name that no longer exists is ignored. The folders that run a
# suite to a process name the suite.
set_tests_properties(RendersTest PROPERTIES COST 15)
set_tests_properties(CaptureTest PROPERTIES COST 12)
set_tests_properties(AxDumpTest PROPERTIES COST 8)
set_tests_properties(
  OneCopyTest.ACopyThatSaysItQuitsAndStaysIsWaitedForThenTheNewcomerGivesUpWithoutKillingIt
  PROPERTIES COST 31)
set_tests_properties(
  Transport/KillPointTest.AKillAtAnyStepOfTheTwoRenamesLeavesOneVerifiedAppAndNoLeftovers/false
  PROPERTIES COST 21)
set_tests_properties(
  Transport/KillPointTest.AKillAtAnyStepOfAnExchangeLeavesOneVerifiedAppAndNoLeftovers/false
  PROPERTIES COST 18)
set_tests_properties(DiskImageToolsTest.AnImageOfMoreThanAHundredThousandEntriesIsRefused PROPERTIES COST 10)
set_tests_properties(
  OneCopyTest.ACopyThatAnswersOnlyAfterItsTimeIsNeverSaidToHaveRefusedToQuit
  DiskImageToolsTest.DetachingRemovesATreeTenThousandFoldersDeepOnASmallStack
  SwitchRunningCopyTest.ACopyThatDoesNotAnswerIsLeftAloneAndTheNewcomerQuits
  OneCopyTest.ALinkSenderThatCannotReachTheCopyFailsAndNeverTakesItsPlace
  SwitchRunningCopyTest.ALinkWhoseSenderGaveUpIsNeverFollowed
  OneCopyTest.ACopyWhosePidANewcomerInASandboxCannotSeeIsNeverSignalled
  SwitchRunningCopyTest.WhileAnotherProcessHoldsTheCopyLockASwitchIsNeverDoneHere
  RealProcessTest.TheFirstSelfTestOnAFreshHomePassesAllTenChecks
  PROPERTIES COST 6)
