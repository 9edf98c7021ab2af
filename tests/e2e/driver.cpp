// Test driver for the end-to-end tests: runs beside MachineCodes in the same Wine desktop, reads its
// windows the way Windows reports them, and answers one JSON line per command read from stdin.
//
//   list [CLASS]              every top-level window of the class (default: the program's), with pids
//   state [hwnd]              window and control facts (rectangles, styles, texts, fonts, focus)
//   hittest HWND X Y          WM_NCHITTEST answer at a screen point
//   syscommand HWND CODE      posts WM_SYSCOMMAND (minimise / restore as the system menu would)
//   steal / release           shows and activates a window of the driver's own, then destroys it
//   click HWND ID             sends BM_CLICK to a control and reports how long the click took
//   send HWND MSG WPARAM      sends a message without pointers and reports its result
//   reference X Y TEXT        shows, without activating it, a window of the driver's own at screen X,Y whose
//                             client area holds a label, an edit box and a button built the documented way
//                             with the stock GUI font, for pixel comparison with the program's controls
//   quit
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/windows_gate.h"

namespace {

const wchar_t kProgramClass[] = L"MachineCodesWindow";

std::string Utf8(const wchar_t* text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return std::string();
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], length, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(length - 1));
  return out;
}

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Number(long long value) { return std::to_string(value); }

std::string RectJson(const RECT& r) {
  return "[" + Number(r.left) + "," + Number(r.top) + "," + Number(r.right - r.left) + "," +
         Number(r.bottom - r.top) + "]";
}

std::string TextOf(HWND window) {
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  return Utf8(text.data());
}

std::string ClassOf(HWND window) {
  wchar_t name[128] = L"";
  GetClassNameW(window, name, 128);
  return Utf8(name);
}

std::string Handle(const void* handle) {
  return Number(static_cast<long long>(reinterpret_cast<intptr_t>(handle)));
}

std::string listedClass = "MachineCodesWindow";

BOOL CALLBACK CollectProgramWindow(HWND window, LPARAM out) {
  if (ClassOf(window) == listedClass) reinterpret_cast<std::vector<HWND>*>(out)->push_back(window);
  return TRUE;
}

std::vector<HWND> ProgramWindows(const char* className) {
  listedClass = className[0] ? className : "MachineCodesWindow";
  std::vector<HWND> windows;
  EnumWindows(&CollectProgramWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::string ListWindows(const char* className) {
  std::string out = "[";
  for (HWND window : ProgramWindows(className)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (out.size() > 1) out += ",";
    out += "{\"hwnd\":" + Handle(window) + ",\"pid\":" + Number(pid) +
           ",\"visible\":" + (IsWindowVisible(window) ? "true" : "false") + "}";
  }
  return out + "]";
}

BOOL CALLBACK CollectChild(HWND window, LPARAM out) {
  reinterpret_cast<std::vector<HWND>*>(out)->push_back(window);
  return TRUE;
}

std::string State(HWND window) {
  if (window == nullptr || !IsWindow(window)) return "{\"error\":\"no window\"}";
  RECT outer;
  GetWindowRect(window, &outer);
  RECT client;
  GetClientRect(window, &client);
  POINT clientOrigin = {0, 0};
  ClientToScreen(window, &clientOrigin);

  DWORD pid = 0;
  const DWORD thread = GetWindowThreadProcessId(window, &pid);
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(thread, &info);
  const HFONT stockFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

  std::string out = "{\"hwnd\":" + Handle(window) + ",\"pid\":" + Number(pid);
  out += ",\"screen\":[" + Number(GetSystemMetrics(SM_CXSCREEN)) + "," +
         Number(GetSystemMetrics(SM_CYSCREEN)) + "]";
  out += ",\"rect\":" + RectJson(outer);
  out += ",\"clientOrigin\":[" + Number(clientOrigin.x) + "," + Number(clientOrigin.y) + "]";
  out += ",\"clientSize\":[" + Number(client.right) + "," + Number(client.bottom) + "]";
  out += ",\"style\":" + Number(static_cast<uint32_t>(GetWindowLongW(window, GWL_STYLE)));
  out += ",\"exStyle\":" + Number(static_cast<uint32_t>(GetWindowLongW(window, GWL_EXSTYLE)));
  out += ",\"text\":" + Json(TextOf(window));
  out += ",\"owner\":" + Handle(GetWindow(window, GW_OWNER));
  out += ",\"visible\":" + std::string(IsWindowVisible(window) ? "true" : "false");
  out += ",\"iconic\":" + std::string(IsIconic(window) ? "true" : "false");
  out += ",\"zoomed\":" + std::string(IsZoomed(window) ? "true" : "false");
  out += ",\"bigIcon\":" + Handle(reinterpret_cast<HANDLE>(SendMessageW(window, WM_GETICON, ICON_BIG, 0)));
  out +=
      ",\"smallIcon\":" + Handle(reinterpret_cast<HANDLE>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0)));
  out += ",\"font\":" + Handle(reinterpret_cast<HANDLE>(SendMessageW(window, WM_GETFONT, 0, 0)));
  out += ",\"stockFont\":" + Handle(stockFont);
  out +=
      ",\"classBackground\":" + Number(static_cast<long long>(GetClassLongPtrW(window, GCLP_HBRBACKGROUND)));
  out += ",\"active\":" + Handle(info.hwndActive);
  out += ",\"foreground\":" + Handle(GetForegroundWindow());
  out += ",\"focusId\":" +
         Number(info.hwndFocus ? static_cast<uint32_t>(GetWindowLongPtrW(info.hwndFocus, GWLP_ID)) : 0);
  out += ",\"caret\":" + Handle(info.hwndCaret);

  std::vector<HWND> children;
  EnumChildWindows(window, &CollectChild, reinterpret_cast<LPARAM>(&children));
  out += ",\"controls\":[";
  for (std::size_t i = 0; i < children.size(); ++i) {
    HWND child = children[i];
    RECT r;
    GetWindowRect(child, &r);
    OffsetRect(&r, -clientOrigin.x, -clientOrigin.y);
    if (i) out += ",";
    out += "{\"id\":" + Number(static_cast<uint32_t>(GetWindowLongPtrW(child, GWLP_ID)));
    out += ",\"class\":" + Json(ClassOf(child));
    out += ",\"rect\":" + RectJson(r);
    out += ",\"style\":" + Number(static_cast<uint32_t>(GetWindowLongW(child, GWL_STYLE)));
    out += ",\"exStyle\":" + Number(static_cast<uint32_t>(GetWindowLongW(child, GWL_EXSTYLE)));
    out += ",\"text\":" + Json(TextOf(child));
    out += ",\"font\":" + Handle(reinterpret_cast<HANDLE>(SendMessageW(child, WM_GETFONT, 0, 0)));
    out += ",\"parent\":" + Handle(GetParent(child));
    out += ",\"visible\":" + std::string(IsWindowVisible(child) ? "true" : "false");
    if (ClassOf(child) == "Edit") {
      DWORD start = 0, end = 0;
      SendMessageW(child, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
      out += ",\"selection\":[" + Number(start) + "," + Number(end) + "]";
    }
    out += "}";
  }
  return out + "]}";
}

HWND stolen = nullptr;

std::string Steal() {
  if (stolen == nullptr) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"MachineCodesTestOther";
    RegisterClassW(&windowClass);
    stolen = CreateWindowExW(0, L"MachineCodesTestOther", L"other", WS_OVERLAPPEDWINDOW, 0, 0, 200, 120,
                             nullptr, nullptr, windowClass.hInstance, nullptr);
  }
  ShowWindow(stolen, SW_SHOW);
  SetForegroundWindow(stolen);
  return "{\"hwnd\":" + Handle(stolen) + "}";
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

HWND ParseHandle(const char* text) {
  return reinterpret_cast<HWND>(static_cast<intptr_t>(std::strtoll(text, nullptr, 10)));
}

std::string Click(HWND window, uint32_t id) {
  std::vector<HWND> children;
  EnumChildWindows(window, &CollectChild, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) {
    if (static_cast<uint32_t>(GetWindowLongPtrW(child, GWLP_ID)) != id) continue;
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    // SendMessage returns only after the click's handler has run to completion.
    SendMessageW(child, BM_CLICK, 0, 0);
    QueryPerformanceCounter(&after);
    const double ms = 1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    char number[32];
    std::snprintf(number, sizeof number, "%.3f", ms);
    return std::string("{\"ms\":") + number + "}";
  }
  return "{\"error\":\"no control\"}";
}

HWND reference = nullptr;

LRESULT CALLBACK ReferenceLabelProcedure(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcW(label, message, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(label, &paint);
  RECT client;
  GetClientRect(label, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  wchar_t text[64];
  const int length = GetWindowTextW(label, text, 64);
  HGDIOBJ previous = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextW(dc, text, length, &client, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, previous);
  EndPaint(label, &paint);
  return 0;
}

std::wstring Wide(const char* utf8) {
  wchar_t out[256];
  if (MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out, 256) == 0) out[0] = L'\0';
  return out;
}

// Mirrors the program's client area: label 标签4 at (20,110), 编辑框2 at (90,50), 按钮1 at (106,152).
std::string Reference(int x, int y, const char* editText) {
  if (reference != nullptr) DestroyWindow(reference);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW labelClass = {};
  labelClass.lpfnWndProc = ReferenceLabelProcedure;
  labelClass.hInstance = instance;
  labelClass.lpszClassName = L"MachineCodesTestLabel";
  RegisterClassW(&labelClass);
  WNDCLASSW frameClass = {};
  frameClass.lpfnWndProc = DefWindowProcW;
  frameClass.hInstance = instance;
  frameClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  frameClass.lpszClassName = L"MachineCodesTestReference";
  RegisterClassW(&frameClass);
  reference = CreateWindowExW(WS_EX_TOOLWINDOW, L"MachineCodesTestReference", L"", WS_POPUP, x, y, 312, 192,
                              nullptr, nullptr, instance, nullptr);
  const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HWND label = CreateWindowExW(0, L"MachineCodesTestLabel", L"硬盘序列号", WS_CHILD | WS_VISIBLE, 20, 110, 60, 20,
                               reference, nullptr, instance, nullptr);
  HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", Wide(editText).c_str(),
                              WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | WS_TABSTOP | WS_CLIPSIBLINGS, 90, 50, 200, 25,
                              reference, nullptr, instance, nullptr);
  HWND button = CreateWindowExW(0, L"BUTTON", L"获取编码",
                                WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE |
                                    WS_TABSTOP | WS_CLIPSIBLINGS,
                                106, 152, 100, 25, reference, nullptr, instance, nullptr);
  for (HWND control : {label, edit, button}) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
  ShowWindow(reference, SW_SHOWNOACTIVATE);
  UpdateWindow(reference);
  return "{\"hwnd\":" + Handle(reference) + "}";
}

// Commands are read on a thread of their own, while the main thread keeps its message queue serviced:
// Wine makes a starting process wait on every thread that has a queue, so a driver blocked in a plain read
// would stall the start of any other program.
struct CommandQueue {
  CRITICAL_SECTION lock;
  HANDLE ready;
  std::vector<std::string> lines;
  bool closed = false;
};

DWORD WINAPI ReadCommands(void* parameter) {
  auto* queue = static_cast<CommandQueue*>(parameter);
  char line[512];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    EnterCriticalSection(&queue->lock);
    queue->lines.push_back(line);
    LeaveCriticalSection(&queue->lock);
    SetEvent(queue->ready);
  }
  EnterCriticalSection(&queue->lock);
  queue->closed = true;
  LeaveCriticalSection(&queue->lock);
  SetEvent(queue->ready);
  return 0;
}

// The next command line; false once stdin has closed and every command was taken.
bool NextCommand(CommandQueue& queue, std::string& line) {
  for (;;) {
    EnterCriticalSection(&queue.lock);
    const bool have = !queue.lines.empty();
    if (have) {
      line = queue.lines.front();
      queue.lines.erase(queue.lines.begin());
    }
    const bool closed = queue.closed;
    LeaveCriticalSection(&queue.lock);
    if (have) return true;
    if (closed) return false;
    MsgWaitForMultipleObjects(1, &queue.ready, FALSE, INFINITE, QS_ALLINPUT);
    PumpMessages();
  }
}

}  // namespace

int main() {
  CommandQueue queue;
  InitializeCriticalSection(&queue.lock);
  queue.ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  CreateThread(nullptr, 0, &ReadCommands, &queue, 0, nullptr);
  std::string text;
  while (NextCommand(queue, text)) {
    const char* line = text.c_str();
    PumpMessages();
    char command[32] = "";
    char a[64] = "", b[64] = "", c[64] = "";
    std::sscanf(line, "%31s %63s %63s %63s", command, a, b, c);
    std::string reply;
    if (std::strcmp(command, "list") == 0) {
      reply = ListWindows(a);
    } else if (std::strcmp(command, "state") == 0) {
      HWND window = a[0] ? ParseHandle(a) : FindWindowW(kProgramClass, nullptr);
      reply = State(window);
    } else if (std::strcmp(command, "hittest") == 0) {
      const LRESULT hit =
          SendMessageW(ParseHandle(a), WM_NCHITTEST, 0, MAKELPARAM(std::atoi(b), std::atoi(c)));
      reply = "{\"hit\":" + Number(hit) + "}";
    } else if (std::strcmp(command, "syscommand") == 0) {
      PostMessageW(ParseHandle(a), WM_SYSCOMMAND, static_cast<WPARAM>(std::strtoul(b, nullptr, 0)), 0);
      reply = "{}";
    } else if (std::strcmp(command, "steal") == 0) {
      reply = Steal();
    } else if (std::strcmp(command, "release") == 0) {
      if (stolen != nullptr) DestroyWindow(stolen);
      stolen = nullptr;
      reply = "{}";
    } else if (std::strcmp(command, "click") == 0) {
      reply = Click(ParseHandle(a), static_cast<uint32_t>(std::strtoul(b, nullptr, 0)));
    } else if (std::strcmp(command, "send") == 0) {
      DWORD_PTR result = 0;
      const LRESULT ok = SendMessageTimeoutW(ParseHandle(a), static_cast<UINT>(std::strtoul(b, nullptr, 0)),
                                             static_cast<WPARAM>(std::strtoull(c, nullptr, 0)), 0,
                                             SMTO_NORMAL, 5000, &result);
      reply = "{\"ok\":" + Number(ok) + ",\"result\":" + Number(static_cast<long long>(result)) +
              ",\"error\":" + Number(GetLastError()) + "}";
    } else if (std::strcmp(command, "reference") == 0) {
      reply = Reference(std::atoi(a), std::atoi(b), c);
    } else if (std::strcmp(command, "unreference") == 0) {
      if (reference != nullptr) DestroyWindow(reference);
      reference = nullptr;
      reply = "{}";
    } else if (std::strcmp(command, "quit") == 0) {
      break;
    } else {
      reply = "{\"error\":\"unknown command\"}";
    }
    PumpMessages();
    std::printf("%s\n", reply.c_str());
    std::fflush(stdout);
  }
  return 0;
}
