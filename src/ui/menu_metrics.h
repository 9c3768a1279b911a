// Sizes of the owner-drawn popup menu rows, switched by F11.
#pragma once

namespace vornix {

struct MenuMetrics {
  bool SmallMenuIcons = false;
  int MenuIconSize = 32;
  int MenuItemHeight = 36;
  int MenuTextTop = 12;

  void recompute() {
    MenuIconSize = SmallMenuIcons ? 16 : 32;
    MenuItemHeight = MenuIconSize + 4;
    MenuTextTop = (MenuItemHeight - 12) / 2;
  }
};

}  // namespace vornix
