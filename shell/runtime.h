// The window run time: the bookkeeping it keeps on the shell's behalf (end routines, the loop-entered
// mark, the open windows), its fatal errors, and its allocator. The windows themselves live behind the
// WindowSystem seam, whose real side is shell/win/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "shell/window_description.h"

namespace mc {

// Texts of the fatal error box, UTF-8.
extern const char kLoadWindowFailedMessage[];  // "载入启动窗口失败"
extern const char kOutOfMemoryFormat[];        // "分配 %d 字节内存失败!"

constexpr int kFatalExitCode = -1;

// The operating system's windows, as the run time uses them.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // Creates the window and its controls from the description, delivers its created event and shows it.
  // False when the window or any control could not be created.
  virtual bool CreateWindowFrom(const WindowDescription& description) = 0;
  // Retrieves and dispatches events until the quit request arrives; returns the request's code.
  virtual int RunMessageLoop() = 0;
  virtual void PostQuitRequest(int exitCode) = 0;
  // Replaces the whole text of a control; text is in the system's multibyte code page.
  virtual void SetControlText(uint32_t windowId, uint32_t controlId, const char* text) = 0;
  virtual void ShowFatalError(const char* utf8Message) = 0;
  [[noreturn]] virtual void EndProcess(int exitCode) = 0;
  // The allocator the run time hands texts, lists and records from; null when memory is exhausted.
  virtual void* Allocate(std::size_t length) = 0;
  virtual void Release(void* block) = 0;
};

using EndRoutine = void (*)();

class RunTime;
RunTime& CurrentRunTime();

// A standard allocator that obtains memory through the current run time, so that running out of memory
// while building a text or a list ends in the run time's fatal error with the requested size.
template <class T>
struct RunTimeAllocator {
  using value_type = T;
  RunTimeAllocator() = default;
  template <class U>
  RunTimeAllocator(const RunTimeAllocator<U>&) {}
  T* allocate(std::size_t count);
  void deallocate(T* block, std::size_t);
  template <class U>
  bool operator==(const RunTimeAllocator<U>&) const {
    return true;
  }
  template <class U>
  bool operator!=(const RunTimeAllocator<U>&) const {
    return false;
  }
};

// The run time of this process, installed by the program's entry before StartProgram runs.
void SetCurrentRunTime(RunTime* runTime);

// Formats the out-of-memory message without obtaining memory.
void FormatOutOfMemoryMessage(std::size_t length, char* buffer, std::size_t bufferLength);

using EndRoutineList = std::vector<EndRoutine, RunTimeAllocator<EndRoutine>>;

// A text owned by the shell.
using Text = std::basic_string<char, std::char_traits<char>, RunTimeAllocator<char>>;

class RunTime {
 public:
  explicit RunTime(WindowSystem& system) : system_(system) {}
  RunTime(const RunTime&) = delete;
  RunTime& operator=(const RunTime&) = delete;

  void Initialise();
  // Appends a routine to the end-routine list unless it is there already.
  void RegisterEndRoutine(EndRoutine routine);
  // Builds and shows a window from its stored description; failing that is fatal.
  void LoadWindow(uint32_t descriptionId);
  // Marks the loop as entered, then runs it while any window of the program is open.
  void RunEventLoop();
  // Runs the end routines in registration order, each once, and empties the list; returns the exit code.
  int ShutDown();

  // Called by the window system.
  void WindowOpened(uint32_t windowId);
  void WindowDestroyed(uint32_t windowId);
  void DeliverCreated(uint32_t windowId);
  void DeliverClick(uint32_t windowId, uint32_t controlId);

  void SetControlText(uint32_t windowId, uint32_t controlId, const char* text);

  // Memory for texts, lists and records; exhaustion is fatal.
  void* ObtainMemory(std::size_t length);
  void ReleaseMemory(void* block) { system_.Release(block); }

  [[noreturn]] void FailFatally(const char* utf8Message);
  [[noreturn]] void FailOutOfMemory(std::size_t length);

  bool LoopEntered() const { return loopEntered_; }
  std::size_t OpenWindowCount() const { return openWindows_.size(); }
  std::size_t EndRoutineCount() const { return endRoutines_.size(); }

 private:
  WindowSystem& system_;
  EndRoutineList endRoutines_;
  std::vector<uint32_t> openWindows_;
  bool loopEntered_ = false;
  int exitCode_ = 0;
};

template <class T>
T* RunTimeAllocator<T>::allocate(std::size_t count) {
  return static_cast<T*>(CurrentRunTime().ObtainMemory(count * sizeof(T)));
}
template <class T>
void RunTimeAllocator<T>::deallocate(T* block, std::size_t) {
  CurrentRunTime().ReleaseMemory(block);
}

}  // namespace mc
