// Placement, focus order and keyboard rules of a described window, as plain arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "shell/window_description.h"

namespace mc {

struct ScreenPoint {
  int32_t x;
  int32_t y;
};

// Top-left corner that centres an outer rectangle on the primary screen, each half dropping its fraction.
ScreenPoint CentredOrigin(int32_t screenWidth, int32_t screenHeight, int32_t width, int32_t height);

// The controls that take part in Tab navigation, as indexes into window.units: visible, enabled, tab-stop
// controls (never labels), by ascending tab number; among equal numbers the later stored unit comes first.
std::vector<std::size_t> FocusOrder(const WindowDescription& window);

// The unit index that Tab (or Shift+Tab when backwards) moves the focus to from `current`, wrapping at both
// ends. A `current` outside the order starts over at the first (or, backwards, the last) candidate.
// Returns window.unitCount when there is no candidate at all.
std::size_t NextInFocusOrder(const WindowDescription& window, std::size_t current, bool backwards);

// An edit box is made tall enough for one line of its font plus its sunken edge above and below.
int32_t EditBoxHeight(int32_t storedHeight, int32_t lineHeight, int32_t edgeHeight);

// What the window does with a key press before the focused control sees it.
enum class KeyAction { kPassOn, kFocusNext, kFocusPrevious, kClose, kIgnore };

constexpr unsigned kKeyTab = 0x09;
constexpr unsigned kKeyReturn = 0x0D;
constexpr unsigned kKeyEscape = 0x1B;
constexpr unsigned kKeyF1 = 0x70;

KeyAction ClassifyKey(unsigned virtualKey, bool shift, bool ctrl, bool alt);

}  // namespace mc
