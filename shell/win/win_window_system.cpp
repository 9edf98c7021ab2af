#include "shell/win/win_window_system.h"

#include <cstdlib>
#include <string>

#include "shell/layout.h"

namespace mc {
namespace {

const wchar_t kWindowClass[] = L"MachineCodesWindow";
const wchar_t kLabelClass[] = L"MachineCodesLabel";

constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kEditStyle = WS_CHILD | ES_LEFT | ES_AUTOHSCROLL | WS_CLIPSIBLINGS;
constexpr DWORD kButtonStyle =
    WS_CHILD | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE | WS_CLIPSIBLINGS;
constexpr DWORD kLabelStyle = WS_CHILD;

// Captions are kept as UTF-8 and shown through the wide functions, so they read right whatever the
// system's ANSI code page is.
std::wstring Widen(const char* utf8) {
  const int count = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (count <= 1) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &wide[0], count);
  wide.resize(static_cast<std::size_t>(count - 1));
  return wide;
}

HFONT DefaultGuiFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

// The height of one line in the edit boxes' font, measured on the widest-and-tallest kind of glyph they
// are likely to show.
int LineHeight(HFONT font) {
  HDC screen = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(screen, font);
  SIZE extent = {0, 0};
  GetTextExtentPoint32W(screen, L"吴", 1, &extent);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  return extent.cy;
}

LRESULT CALLBACK LabelProcedure(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFONT:
      SetWindowLongPtrW(label, 0, static_cast<LONG_PTR>(wParam));
      if (LOWORD(lParam)) InvalidateRect(label, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return GetWindowLongPtrW(label, 0);
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills the whole client area
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(label, message, wParam, lParam);
      InvalidateRect(label, nullptr, TRUE);
      return result;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(label, &paint);
      RECT client;
      GetClientRect(label, &client);
      FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
      wchar_t text[256];
      const int length = GetWindowTextW(label, text, 256);
      HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(GetWindowLongPtrW(label, 0)));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(0, 0, 0));
      DrawTextW(dc, text, length, &client, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      SelectObject(dc, previous);
      EndPaint(label, &paint);
      return 0;
    }
    default:
      return DefWindowProcW(label, message, wParam, lParam);
  }
}

}  // namespace

bool Win32WindowSystem::RegisterClasses() {
  if (classesRegistered_) return true;
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Win32WindowSystem::WindowProcedure;
  windowClass.hInstance = instance_;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&windowClass)) return false;

  WNDCLASSEXW labelClass = {};
  labelClass.cbSize = sizeof labelClass;
  labelClass.lpfnWndProc = &LabelProcedure;
  labelClass.cbWndExtra = sizeof(LONG_PTR);  // the label's font
  labelClass.hInstance = instance_;
  labelClass.hCursor = windowClass.hCursor;
  labelClass.lpszClassName = kLabelClass;
  if (!RegisterClassExW(&labelClass)) return false;
  classesRegistered_ = true;
  return true;
}

bool Win32WindowSystem::CreateWindowFrom(const WindowDescription& description) {
  if (window_ != nullptr || description.unitCount == 0 || !RegisterClasses()) return false;
  description_ = &description;
  font_ = DefaultGuiFont();

  const UnitRect& outer = description.units[0].rect;
  // The stored left and top are not used: the window is centred on the primary screen.
  const ScreenPoint origin =
      CentredOrigin(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), outer.width, outer.height);
  HWND window =
      CreateWindowExW(0, kWindowClass, Widen(description.units[0].text).c_str(), kWindowStyle, origin.x,
                      origin.y, outer.width, outer.height, nullptr, nullptr, instance_, this);
  if (window == nullptr) return false;
  window_ = window;
  CurrentRunTime().WindowOpened(description.id);

  RECT placed;
  GetWindowRect(window, &placed);
  if (placed.left != origin.x || placed.top != origin.y || placed.right - placed.left != outer.width ||
      placed.bottom - placed.top != outer.height) {
    SetWindowPos(window, nullptr, origin.x, origin.y, outer.width, outer.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }

  HANDLE largeIcon = LoadImageW(instance_, L"DEFAULT_ICON", IMAGE_ICON, 32, 32, 0);
  HANDLE smallIcon = LoadImageW(instance_, L"DEFAULT_ICON", IMAGE_ICON, 16, 16, 0);
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

  if (!CreateControls(description)) {
    DestroyWindow(window);
    return false;
  }
  for (std::size_t i = 1; i < description.unitCount; ++i) {
    if (description.units[i].visible) ShowWindow(controls_[i], SW_SHOWNA);
  }
  CurrentRunTime().DeliverCreated(description.id);
  ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);
  SetFocus(window);  // passes the focus on to the first control
  return true;
}

bool Win32WindowSystem::CreateControls(const WindowDescription& description) {
  controls_.assign(description.unitCount, nullptr);
  const int lineHeight = LineHeight(font_);
  for (std::size_t i = 1; i < description.unitCount; ++i) {
    const UnitDescription& unit = description.units[i];
    const wchar_t* className = kLabelClass;
    DWORD style = kLabelStyle;
    DWORD extendedStyle = 0;
    int height = unit.rect.height;
    switch (unit.kind) {
      case UnitKind::kEditBox:
        className = L"EDIT";
        style = kEditStyle;
        extendedStyle = WS_EX_CLIENTEDGE;
        height = EditBoxHeight(height, lineHeight, GetSystemMetrics(SM_CYEDGE));
        break;
      case UnitKind::kButton:
        className = L"BUTTON";
        style = kButtonStyle;
        break;
      case UnitKind::kLabel:
        break;
      case UnitKind::kWindow:
        return false;  // no nested windows
    }
    if (unit.tabStop) style |= WS_TABSTOP;
    if (unit.disabled) style |= WS_DISABLED;
    HWND control =
        CreateWindowExW(extendedStyle, className, Widen(unit.text).c_str(), style, unit.rect.left,
                        unit.rect.top, unit.rect.width, height, window_,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(unit.id)), instance_, nullptr);
    if (control == nullptr) return false;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    controls_[i] = control;
  }
  return true;
}

int Win32WindowSystem::RunMessageLoop() {
  MSG message;
  BOOL status;
  while ((status = GetMessageW(&message, nullptr, 0, 0)) != 0) {
    if (status == -1) return 0;
    if (PreTranslateKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

bool Win32WindowSystem::PreTranslateKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || window_ == nullptr) return false;
  if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) return false;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const bool alt = GetKeyState(VK_MENU) < 0;
  switch (ClassifyKey(static_cast<unsigned>(message.wParam), shift, ctrl, alt)) {
    case KeyAction::kPassOn:
      return false;
    case KeyAction::kFocusNext:
      MoveFocus(false);
      return true;
    case KeyAction::kFocusPrevious:
      MoveFocus(true);
      return true;
    case KeyAction::kClose:
      // Exactly what the close button does.
      SendMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
      return true;
    case KeyAction::kIgnore:
      return true;
  }
  return false;
}

std::size_t Win32WindowSystem::UnitIndexOf(HWND control) const {
  for (std::size_t i = 1; i < controls_.size(); ++i) {
    if (controls_[i] == control && control != nullptr) return i;
  }
  return controls_.size();
}

void Win32WindowSystem::MoveFocus(bool backwards) {
  const std::size_t next = NextInFocusOrder(*description_, UnitIndexOf(GetFocus()), backwards);
  if (next < controls_.size()) SetFocus(controls_[next]);
}

void Win32WindowSystem::FocusRemembered() {
  if (rememberedFocus_ != nullptr && IsWindow(rememberedFocus_) && IsChild(window_, rememberedFocus_)) {
    SetFocus(rememberedFocus_);
    return;
  }
  const std::vector<std::size_t> order = FocusOrder(*description_);
  if (!order.empty()) SetFocus(controls_[order.front()]);
}

LRESULT CALLBACK Win32WindowSystem::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32WindowSystem*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return self->HandleMessage(window, message, wParam, lParam);
}

LRESULT Win32WindowSystem::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) rememberedFocus_ = focus;
      }
      break;
    case WM_SETFOCUS:
      if (description_ != nullptr && !controls_.empty()) FocusRemembered();
      return 0;
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wParam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
        HWND control = reinterpret_cast<HWND>(lParam);
        // The identifiers are 32 bits wide; WM_COMMAND carries only the low 16, so ask the control.
        const auto id = static_cast<uint32_t>(GetWindowLongPtrW(control, GWLP_ID));
        CurrentRunTime().DeliverClick(description_->id, id);
        return 0;
      }
      break;
    case WM_DESTROY: {
      const uint32_t id = description_ != nullptr ? description_->id : 0;
      window_ = nullptr;
      controls_.clear();
      rememberedFocus_ = nullptr;
      CurrentRunTime().WindowDestroyed(id);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Win32WindowSystem::PostQuitRequest(int exitCode) { PostQuitMessage(exitCode); }

void Win32WindowSystem::SetControlText(uint32_t windowId, uint32_t controlId, const char* text) {
  if (description_ == nullptr || windowId != description_->id) return;
  for (std::size_t i = 1; i < controls_.size(); ++i) {
    if (description_->units[i].id == controlId) {
      // Identifiers are ASCII: the multibyte function is what the description stores them for.
      SetWindowTextA(controls_[i], text);
      return;
    }
  }
}

void Win32WindowSystem::ShowFatalError(const char* utf8Message) {
  // Memory may be exhausted: convert on the stack.
  wchar_t message[128];
  if (MultiByteToWideChar(CP_UTF8, 0, utf8Message, -1, message, 128) == 0) message[0] = L'\0';
  MessageBoxW(nullptr, message, L"MachineCodes", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

void Win32WindowSystem::EndProcess(int exitCode) { ExitProcess(static_cast<UINT>(exitCode)); }

void* Win32WindowSystem::Allocate(std::size_t length) { return std::malloc(length != 0 ? length : 1); }

void Win32WindowSystem::Release(void* block) { std::free(block); }

}  // namespace mc
