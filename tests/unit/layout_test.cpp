#include "shell/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mc {
namespace {

TEST(Placement, CentresTheOuterRectangleDroppingFractions) {
  struct Case {
    int32_t screenWidth, screenHeight, x, y;
  };
  const Case cases[] = {
      {1024, 768, 353, 275}, {1920, 1080, 801, 431},
      {800, 600, 241, 191},  {319, 218, 0, 0},  // one pixel to spare: the half pixel is dropped
      {300, 200, -9, -8},                       // a screen smaller than the window: toward zero, not down
  };
  for (const Case& c : cases) {
    const ScreenPoint origin = CentredOrigin(c.screenWidth, c.screenHeight, 318, 217);
    EXPECT_EQ(origin.x, c.x) << c.screenWidth << "x" << c.screenHeight;
    EXPECT_EQ(origin.y, c.y) << c.screenWidth << "x" << c.screenHeight;
  }
}

std::vector<std::string> Names(const WindowDescription& window, const std::vector<std::size_t>& indexes) {
  std::vector<std::string> names;
  for (std::size_t i : indexes) names.push_back(window.units[i].name);
  return names;
}

TEST(FocusOrder, MainWindowGoesTopToBottomThenTheButton) {
  const WindowDescription& window = *FindWindowDescription(kMainWindowId);
  EXPECT_EQ(Names(window, FocusOrder(window)),
            (std::vector<std::string>{"编辑框1", "编辑框2", "编辑框3", "编辑框4", "按钮1"}));
}

TEST(FocusOrder, TabAndShiftTabWrapAroundAndSkipLabels) {
  const WindowDescription& window = *FindWindowDescription(kMainWindowId);
  const std::vector<std::size_t> order = FocusOrder(window);
  std::vector<std::string> forward, backward;
  std::size_t at = order.front();
  for (int i = 0; i < 6; ++i) forward.push_back(window.units[at = NextInFocusOrder(window, at, false)].name);
  at = order.front();
  for (int i = 0; i < 6; ++i) backward.push_back(window.units[at = NextInFocusOrder(window, at, true)].name);
  EXPECT_EQ(forward,
            (std::vector<std::string>{"编辑框2", "编辑框3", "编辑框4", "按钮1", "编辑框1", "编辑框2"}));
  EXPECT_EQ(backward,
            (std::vector<std::string>{"按钮1", "编辑框4", "编辑框3", "编辑框2", "编辑框1", "按钮1"}));
}

TEST(FocusOrder, NumbersFirstThenLaterUnitsFirstAndOnlyEnabledVisibleTabStops) {
  const UnitDescription units[] = {
      {UnitKind::kWindow, "", 1, {0, 0, 10, 10}, true, false, false, 0, "", nullptr, nullptr},
      {UnitKind::kButton, "a", 2, {}, true, false, true, 1, "", nullptr, nullptr},
      {UnitKind::kEditBox, "b", 3, {}, true, false, true, 0, "", nullptr, nullptr},
      {UnitKind::kEditBox, "hidden", 4, {}, false, false, true, 0, "", nullptr, nullptr},
      {UnitKind::kEditBox, "disabled", 5, {}, true, true, true, 0, "", nullptr, nullptr},
      {UnitKind::kEditBox, "no tab stop", 6, {}, true, false, false, 0, "", nullptr, nullptr},
      {UnitKind::kLabel, "label", 7, {}, true, false, true, 0, "", nullptr, nullptr},
      {UnitKind::kButton, "c", 8, {}, true, false, true, 0, "", nullptr, nullptr},
      {UnitKind::kEditBox, "d", 9, {}, true, false, true, -1, "", nullptr, nullptr},
  };
  const WindowDescription window = {1, units, sizeof units / sizeof units[0]};
  EXPECT_EQ(Names(window, FocusOrder(window)), (std::vector<std::string>{"d", "c", "b", "a"}));
  // From a unit outside the order (a label, or nothing focused) Tab starts at the first, Shift+Tab at the
  // last.
  EXPECT_STREQ(units[NextInFocusOrder(window, 6, false)].name, "d");
  EXPECT_STREQ(units[NextInFocusOrder(window, window.unitCount, true)].name, "a");

  const WindowDescription bare = {1, units, 1};
  EXPECT_EQ(NextInFocusOrder(bare, 0, false), bare.unitCount);
}

TEST(EditBox, GrowsOnlyWhenOneLineAndItsEdgesDoNotFit) {
  struct Case {
    int32_t stored, line, edge, expected;
  };
  const Case cases[] = {{25, 13, 2, 25}, {25, 21, 2, 25}, {25, 22, 2, 26}, {10, 16, 2, 20}};
  for (const Case& c : cases) EXPECT_EQ(EditBoxHeight(c.stored, c.line, c.edge), c.expected) << c.line;
}

TEST(Keyboard, WindowTakesTabEscEnterF1OnlyWithoutModifiers) {
  struct Case {
    unsigned key;
    bool shift, ctrl, alt;
    KeyAction action;
  };
  const Case cases[] = {
      {kKeyTab, false, false, false, KeyAction::kFocusNext},
      {kKeyTab, true, false, false, KeyAction::kFocusPrevious},
      {kKeyTab, false, true, false, KeyAction::kPassOn},
      {kKeyTab, true, true, false, KeyAction::kPassOn},
      {kKeyTab, false, false, true, KeyAction::kPassOn},
      {kKeyEscape, false, false, false, KeyAction::kClose},
      {kKeyEscape, true, false, false, KeyAction::kPassOn},
      {kKeyEscape, false, true, false, KeyAction::kPassOn},
      {kKeyEscape, false, false, true, KeyAction::kPassOn},
      {kKeyReturn, false, false, false, KeyAction::kIgnore},
      {kKeyReturn, true, false, false, KeyAction::kPassOn},
      {kKeyF1, false, false, false, KeyAction::kIgnore},
      {0x20, false, false, false, KeyAction::kPassOn},  // Space presses a focused button by itself
      {'A', false, false, true, KeyAction::kPassOn},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClassifyKey(c.key, c.shift, c.ctrl, c.alt), c.action)
        << c.key << " shift=" << c.shift << " ctrl=" << c.ctrl << " alt=" << c.alt;
  }
}

}  // namespace
}  // namespace mc
