// The real window system: Win32 windows built from a stored description.
#pragma once

#include <vector>

#include "platform/windows_gate.h"
#include "shell/runtime.h"

namespace mc {

class Win32WindowSystem final : public WindowSystem {
 public:
  explicit Win32WindowSystem(HINSTANCE instance) : instance_(instance) {}

  bool CreateWindowFrom(const WindowDescription& description) override;
  int RunMessageLoop() override;
  void PostQuitRequest(int exitCode) override;
  void SetControlText(uint32_t windowId, uint32_t controlId, const char* text) override;
  void ShowFatalError(const char* utf8Message) override;
  [[noreturn]] void EndProcess(int exitCode) override;
  void* Allocate(std::size_t length) override;
  void Release(void* block) override;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool RegisterClasses();
  bool CreateControls(const WindowDescription& description);
  // Tab, Esc, Enter and F1 are the window's before the focused control sees them; true when handled.
  bool PreTranslateKey(const MSG& message);
  void MoveFocus(bool backwards);
  void FocusRemembered();
  std::size_t UnitIndexOf(HWND control) const;

  HINSTANCE instance_;
  bool classesRegistered_ = false;
  const WindowDescription* description_ = nullptr;
  HWND window_ = nullptr;
  std::vector<HWND> controls_;  // by unit index; [0] is unused
  HWND rememberedFocus_ = nullptr;
  HFONT font_ = nullptr;
};

}  // namespace mc
