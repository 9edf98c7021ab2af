// The main window's description: four captioned rows and the button that fetches the codes.
#include "shell/program.h"
#include "shell/window_description.h"

namespace mc {
namespace {

// Stored order matters: it breaks ties in the focus order (later units come first), which is why the
// controls are listed bottom-up.
// clang-format off
const UnitDescription kMainWindowUnits[] = {
    // kind, name, identifier, {left, top, width, height}, visible, disabled, tab stop, tab number, text,
    // created, click
    {UnitKind::kWindow, "", kMainWindowId, {50, 50, 318, 217}, true, false, false, 0, "", &OnMainWindowCreated, nullptr},
    {UnitKind::kButton, "按钮1", kButton1Id, {106, 152, 100, 25}, true, false, true, 0, "获取编码", nullptr, &CollectCodes},
    {UnitKind::kEditBox, "编辑框4", kEditBox4Id, {90, 110, 200, 25}, true, false, true, 0, "", nullptr, nullptr},
    {UnitKind::kEditBox, "编辑框3", kEditBox3Id, {90, 80, 200, 25}, true, false, true, 0, "", nullptr, nullptr},
    {UnitKind::kEditBox, "编辑框2", kEditBox2Id, {90, 50, 200, 25}, true, false, true, 0, "", nullptr, nullptr},
    {UnitKind::kEditBox, "编辑框1", kEditBox1Id, {90, 20, 200, 25}, true, false, true, 0, "", nullptr, nullptr},
    {UnitKind::kLabel, "标签4", 0x16010005, {20, 110, 60, 20}, true, false, false, 0, "硬盘序列号", nullptr, nullptr},
    {UnitKind::kLabel, "标签3", 0x16010004, {20, 80, 60, 20}, true, false, false, 0, "cpu序列号", nullptr, nullptr},
    {UnitKind::kLabel, "标签2", 0x16010003, {20, 50, 60, 20}, true, false, false, 0, "IP地址", nullptr, nullptr},
    {UnitKind::kLabel, "标签1", 0x16010002, {20, 20, 60, 20}, true, false, false, 0, "MAC地址", nullptr, nullptr},
};
// clang-format on

const WindowDescription kMainWindow = {kMainWindowId, kMainWindowUnits,
                                       sizeof kMainWindowUnits / sizeof kMainWindowUnits[0]};

}  // namespace

const WindowDescription* FindWindowDescription(uint32_t id) {
  return id == kMainWindow.id ? &kMainWindow : nullptr;
}

const UnitDescription* FindUnit(const WindowDescription& window, uint32_t id) {
  for (std::size_t i = 0; i < window.unitCount; ++i) {
    if (window.units[i].id == id) return &window.units[i];
  }
  return nullptr;
}

}  // namespace mc
