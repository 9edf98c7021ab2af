// Baseline for the start-up benchmark: the least a Win32 program does to show a window of the same size,
// centred, with the same kind of frame. Closes on Esc like the program does.
#include "platform/windows_gate.h"

namespace {

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"MachineCodesEmptyWindow";
  RegisterClassW(&windowClass);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - 318) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - 217) / 2;
  HWND window = CreateWindowExW(0, L"MachineCodesEmptyWindow", L"", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, x, y,
                                318, 217, nullptr, nullptr, instance, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
      DestroyWindow(window);
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
