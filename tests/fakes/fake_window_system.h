// A window system that records what the run time asks of it. EndProcess throws instead of ending the
// test, and the allocator can be told to run dry.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/runtime.h"

namespace mc {

struct ProcessEnded {
  int exitCode;
};

class FakeWindowSystem : public WindowSystem {
 public:
  struct TextWrite {
    uint32_t windowId;
    uint32_t controlId;
    std::string text;
  };

  // Set by tests.
  bool createSucceeds = true;
  long failAllocationAt = -1;  // 0-based index of the first allocation that fails; -1 never
  RunTime* runTime = nullptr;  // when set, the loop closes the window it created, as a user would
  int quitCode = 0;

  // Recorded.
  std::vector<std::string> calls;
  std::vector<std::string> fatalMessages;
  std::vector<TextWrite> textWrites;
  long allocationCount = 0;
  long releaseCount = 0;
  std::vector<std::string>* journal = nullptr;  // when set, text writes are logged there too
  std::vector<int> postedQuits;

  bool CreateWindowFrom(const WindowDescription& description) override {
    calls.push_back("create " + std::to_string(description.id));
    if (!createSucceeds) return false;
    if (runTime != nullptr) {
      runTime->WindowOpened(description.id);
      runTime->DeliverCreated(description.id);
    }
    createdId = description.id;
    return true;
  }
  int RunMessageLoop() override {
    calls.push_back("loop");
    if (runTime != nullptr) runTime->WindowDestroyed(createdId);  // the user closes the window
    return postedQuits.empty() ? -99 : postedQuits.back();
  }
  void PostQuitRequest(int exitCode) override {
    calls.push_back("quit " + std::to_string(exitCode));
    postedQuits.push_back(exitCode);
  }
  void SetControlText(uint32_t windowId, uint32_t controlId, const char* text) override {
    textWrites.push_back({windowId, controlId, text});
    if (journal != nullptr) journal->push_back("write " + std::to_string(controlId) + " " + text);
  }
  void ShowFatalError(const char* utf8Message) override { fatalMessages.push_back(utf8Message); }
  [[noreturn]] void EndProcess(int exitCode) override { throw ProcessEnded{exitCode}; }
  void* Allocate(std::size_t length) override {
    if (allocationCount++ == failAllocationAt) return nullptr;
    return std::malloc(length != 0 ? length : 1);
  }
  void Release(void* block) override {
    ++releaseCount;
    std::free(block);
  }

 private:
  uint32_t createdId = 0;
};

// Installs a run time over a fake window system for the length of a test.
struct FakeRunTime {
  FakeWindowSystem system;
  RunTime runTime{system};
  FakeRunTime() {
    system.runTime = &runTime;
    SetCurrentRunTime(&runTime);
  }
  ~FakeRunTime() { SetCurrentRunTime(nullptr); }
};

}  // namespace mc
