#include "shell/runtime.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace mc {

const char kLoadWindowFailedMessage[] = "载入启动窗口失败";
const char kOutOfMemoryFormat[] = "分配 %d 字节内存失败!";

namespace {
RunTime* currentRunTime = nullptr;
}

RunTime& CurrentRunTime() { return *currentRunTime; }
void SetCurrentRunTime(RunTime* runTime) { currentRunTime = runTime; }

void FormatOutOfMemoryMessage(std::size_t length, char* buffer, std::size_t bufferLength) {
  std::snprintf(buffer, bufferLength, kOutOfMemoryFormat, static_cast<int>(length));
}

void RunTime::Initialise() {
  // Windows are created on demand from their descriptions; the window system registers its classes then.
  openWindows_.clear();
  loopEntered_ = false;
  exitCode_ = 0;
}

void RunTime::RegisterEndRoutine(EndRoutine routine) {
  if (std::find(endRoutines_.begin(), endRoutines_.end(), routine) == endRoutines_.end()) {
    endRoutines_.push_back(routine);
  }
}

void RunTime::LoadWindow(uint32_t descriptionId) {
  const WindowDescription* description = FindWindowDescription(descriptionId);
  if (description == nullptr || !system_.CreateWindowFrom(*description))
    FailFatally(kLoadWindowFailedMessage);
}

void RunTime::RunEventLoop() {
  loopEntered_ = true;
  if (!openWindows_.empty()) exitCode_ = system_.RunMessageLoop();
}

int RunTime::ShutDown() {
  // Taken out first, so a routine that registers another does not extend this run.
  EndRoutineList routines;
  routines.swap(endRoutines_);
  for (EndRoutine routine : routines) routine();
  return exitCode_;
}

void RunTime::WindowOpened(uint32_t windowId) { openWindows_.push_back(windowId); }

void RunTime::WindowDestroyed(uint32_t windowId) {
  const auto at = std::find(openWindows_.begin(), openWindows_.end(), windowId);
  if (at == openWindows_.end()) return;
  openWindows_.erase(at);
  if (openWindows_.empty() && loopEntered_) system_.PostQuitRequest(0);
}

void RunTime::DeliverCreated(uint32_t windowId) {
  const WindowDescription* description = FindWindowDescription(windowId);
  if (description != nullptr && description->units[0].created != nullptr) description->units[0].created();
}

void RunTime::DeliverClick(uint32_t windowId, uint32_t controlId) {
  const WindowDescription* description = FindWindowDescription(windowId);
  if (description == nullptr) return;
  const UnitDescription* unit = FindUnit(*description, controlId);
  if (unit != nullptr && unit->click != nullptr) unit->click();
}

void RunTime::SetControlText(uint32_t windowId, uint32_t controlId, const char* text) {
  system_.SetControlText(windowId, controlId, text != nullptr ? text : "");
}

void* RunTime::ObtainMemory(std::size_t length) {
  void* block = system_.Allocate(length);
  if (block == nullptr) FailOutOfMemory(length);
  return block;
}

void RunTime::FailFatally(const char* utf8Message) {
  system_.ShowFatalError(utf8Message);
  // The process ends at once: the end routines are dropped, not run.
  endRoutines_.clear();
  system_.EndProcess(kFatalExitCode);
  std::abort();  // EndProcess does not come back
}

void RunTime::FailOutOfMemory(std::size_t length) {
  char message[64];
  FormatOutOfMemoryMessage(length, message, sizeof message);
  FailFatally(message);
}

}  // namespace mc
