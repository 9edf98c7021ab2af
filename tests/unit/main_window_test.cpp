#include <gtest/gtest.h>

#include <string>

#include "shell/window_description.h"

namespace mc {
namespace {

TEST(MainWindowDescription, HoldsTheTenUnitsInStoredOrder) {
  struct Row {
    const char* name;
    UnitKind kind;
    uint32_t id;
    UnitRect rect;
    const char* text;
    bool tabStop;
  };
  const Row rows[] = {
      {"", UnitKind::kWindow, 0x52010001, {50, 50, 318, 217}, "", false},
      {"按钮1", UnitKind::kButton, 0x1601000D, {106, 152, 100, 25}, "获取编码", true},
      {"编辑框4", UnitKind::kEditBox, 0x16010009, {90, 110, 200, 25}, "", true},
      {"编辑框3", UnitKind::kEditBox, 0x16010008, {90, 80, 200, 25}, "", true},
      {"编辑框2", UnitKind::kEditBox, 0x16010007, {90, 50, 200, 25}, "", true},
      {"编辑框1", UnitKind::kEditBox, 0x16010006, {90, 20, 200, 25}, "", true},
      {"标签4", UnitKind::kLabel, 0x16010005, {20, 110, 60, 20}, "硬盘序列号", false},
      {"标签3", UnitKind::kLabel, 0x16010004, {20, 80, 60, 20}, "cpu序列号", false},
      {"标签2", UnitKind::kLabel, 0x16010003, {20, 50, 60, 20}, "IP地址", false},
      {"标签1", UnitKind::kLabel, 0x16010002, {20, 20, 60, 20}, "MAC地址", false},
  };
  const WindowDescription* window = FindWindowDescription(1375797249);
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(window->unitCount, sizeof rows / sizeof rows[0]);
  for (std::size_t i = 0; i < window->unitCount; ++i) {
    const UnitDescription& unit = window->units[i];
    const Row& row = rows[i];
    SCOPED_TRACE(row.name);
    EXPECT_EQ(std::string(unit.name), row.name);
    EXPECT_EQ(unit.kind, row.kind);
    EXPECT_EQ(unit.id, row.id);
    EXPECT_EQ(unit.rect.left, row.rect.left);
    EXPECT_EQ(unit.rect.top, row.rect.top);
    EXPECT_EQ(unit.rect.width, row.rect.width);
    EXPECT_EQ(unit.rect.height, row.rect.height);
    EXPECT_EQ(std::string(unit.text), row.text);
    EXPECT_EQ(unit.tabStop, row.tabStop);
    EXPECT_TRUE(unit.visible);
    EXPECT_FALSE(unit.disabled);
    EXPECT_EQ(unit.tabNumber, 0);
  }
  EXPECT_EQ(FindWindowDescription(0x52010002), nullptr);
}

}  // namespace
}  // namespace mc
