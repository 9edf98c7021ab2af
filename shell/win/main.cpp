// Process entry: the window run time's start-up and shut-down around StartProgram.
#include "platform/windows_gate.h"
#include "shell/program.h"
#include "shell/runtime.h"
#include "shell/win/win_window_system.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  mc::Win32WindowSystem system(instance);
  mc::RunTime runTime(system);
  mc::SetCurrentRunTime(&runTime);
  mc::StartProgram();  // returns 0 once the event loop has ended: go straight to shut-down
  const int exitCode = runTime.ShutDown();
  return exitCode;
}
