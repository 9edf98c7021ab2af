// The stored description of a window: its units (the window first, then its controls), with their kinds,
// names, identifiers, places, flags, texts and event bindings. The run time builds windows from it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mc {

enum class UnitKind { kWindow, kEditBox, kLabel, kButton };

using EventRoutine = void (*)();

struct UnitRect {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
};

struct UnitDescription {
  UnitKind kind;
  const char* name;  // UTF-8
  uint32_t id;
  UnitRect rect;  // the window's: outer rectangle; a control's: relative to the window's client area
  bool visible;
  bool disabled;
  bool tabStop;
  int32_t tabNumber;
  const char* text;      // UTF-8
  EventRoutine created;  // window only; may be null
  EventRoutine click;    // button only; may be null
};

struct WindowDescription {
  uint32_t id;
  const UnitDescription* units;  // units[0] is the window itself
  std::size_t unitCount;
};

constexpr uint32_t kMainWindowId = 0x52010001;
constexpr uint32_t kButton1Id = 0x1601000D;
constexpr uint32_t kEditBox1Id = 0x16010006;
constexpr uint32_t kEditBox2Id = 0x16010007;
constexpr uint32_t kEditBox3Id = 0x16010008;
constexpr uint32_t kEditBox4Id = 0x16010009;

// The program's stored window descriptions, looked up by identifier; null when there is none.
const WindowDescription* FindWindowDescription(uint32_t id);

// A unit of a description by identifier; null when the description has none.
const UnitDescription* FindUnit(const WindowDescription& window, uint32_t id);

}  // namespace mc
