// Process entry: the window run time's start-up and shut-down around StartProgram.
#include <cstdlib>

#include "identity/network.h"
#include "platform/windows_gate.h"
#include "shell/collect_codes.h"
#include "shell/program.h"
#include "shell/runtime.h"
#include "shell/win/machine_queries_win.h"
#include "shell/win/win_window_system.h"

// libstdc++'s default terminate handler prints the demangled type of an escaping exception, which links
// in some 45 KiB of demangler. Nothing here lets an exception escape; a plain abort is enough.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace {

// Windows Sockets is started with the process, before the run time calls StartProgram, and cleaned up
// when the process exits, after the window has gone.
struct SocketsLifetime {
  SocketsLifetime() { mc::StartWindowsSockets(); }
  ~SocketsLifetime() { mc::CleanUpWindowsSockets(); }
  SocketsLifetime(const SocketsLifetime&) = delete;
  SocketsLifetime& operator=(const SocketsLifetime&) = delete;
} sockets;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  mc::Win32WindowSystem system(instance);
  mc::RunTime runTime(system);
  mc::SetCurrentRunTime(&runTime);
  mc::RealMachineQueries queries;
  mc::SetMachineQueries(&queries);
  mc::StartProgram();  // returns 0 once the event loop has ended: go straight to shut-down
  return runTime.ShutDown();
}
