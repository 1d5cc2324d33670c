# The display tests put full-screen windows on the one X server all tests share and read the
# screen back: none runs beside another test (whose windows or screenshots would collide).
set_tests_properties(
  SdlDisplay.FlippedFramesAreShownAndOnlyChangesUploaded
  SdlDisplay.FramesFlowWhileTheMainThreadPresents
  SdlDisplay.GammaRampDimsTheScreenNotThePicture
  SdlDisplay.MinimisedWindowLosesTheChainUntilRestored
  SdlDisplay.ReleasingTheDisplayGivesTheWindowBack
  SdlDisplay.InputReachesTheFormAndTheApplication
  SdlDisplay.XInputReachesTheForm
  SdlDisplayAtScreenSize.OnlyTheChangedBlockIsSent
  SdlDisplayAtScreenSize.GammaRampDimsTheScreenNotThePicture
  SdlDisplayAtScreenSize.AnotherWindowSizeScalesAgain
  PROPERTIES RUN_SERIAL TRUE)
