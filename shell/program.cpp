#include "shell/program.h"

#include "shell/runtime.h"
#include "shell/window_description.h"

namespace mc {
namespace {

// The shell keeps no global state: both its set-up and its end routine are empty.
void InitialiseGlobals() {}
void EndProgram() {}

}  // namespace

int StartProgram() {
  RunTime& runTime = CurrentRunTime();
  runTime.Initialise();
  InitialiseGlobals();
  runTime.RegisterEndRoutine(&EndProgram);
  runTime.LoadWindow(kMainWindowId);
  runTime.RunEventLoop();
  return 0;
}

void OnMainWindowCreated() {}

}  // namespace mc
