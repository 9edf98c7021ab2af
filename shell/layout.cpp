#include "shell/layout.h"

#include <algorithm>

namespace mc {

ScreenPoint CentredOrigin(int32_t screenWidth, int32_t screenHeight, int32_t width, int32_t height) {
  // Integer division truncates toward zero, also for a screen smaller than the window.
  return {(screenWidth - width) / 2, (screenHeight - height) / 2};
}

std::vector<std::size_t> FocusOrder(const WindowDescription& window) {
  std::vector<std::size_t> order;
  for (std::size_t i = window.unitCount; i-- > 0;) {
    const UnitDescription& unit = window.units[i];
    if (unit.kind == UnitKind::kWindow || unit.kind == UnitKind::kLabel) continue;
    if (unit.visible && !unit.disabled && unit.tabStop) order.push_back(i);
  }
  // Collected from the end of the list, so a stable sort keeps later units ahead among equal numbers.
  std::stable_sort(order.begin(), order.end(), [&window](std::size_t a, std::size_t b) {
    return window.units[a].tabNumber < window.units[b].tabNumber;
  });
  return order;
}

std::size_t NextInFocusOrder(const WindowDescription& window, std::size_t current, bool backwards) {
  const std::vector<std::size_t> order = FocusOrder(window);
  if (order.empty()) return window.unitCount;
  const auto at = std::find(order.begin(), order.end(), current);
  if (at == order.end()) return backwards ? order.back() : order.front();
  const std::size_t position = static_cast<std::size_t>(at - order.begin());
  if (backwards) return order[(position + order.size() - 1) % order.size()];
  return order[(position + 1) % order.size()];
}

int32_t EditBoxHeight(int32_t storedHeight, int32_t lineHeight, int32_t edgeHeight) {
  const int32_t needed = lineHeight + 2 * edgeHeight;
  return needed > storedHeight ? needed : storedHeight;
}

KeyAction ClassifyKey(unsigned virtualKey, bool shift, bool ctrl, bool alt) {
  if (virtualKey == kKeyTab && shift && !ctrl && !alt) return KeyAction::kFocusPrevious;
  if (shift || ctrl || alt) return KeyAction::kPassOn;
  switch (virtualKey) {
    case kKeyTab:
      return KeyAction::kFocusNext;
    case kKeyEscape:
      return KeyAction::kClose;
    case kKeyReturn:  // no default button, and Enter does not move the focus
    case kKeyF1:      // no help
      return KeyAction::kIgnore;
    default:
      return KeyAction::kPassOn;
  }
}

}  // namespace mc
