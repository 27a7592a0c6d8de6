// The menu tree shown as Win32 popup menus.
#include "platform/win32/win32_form.h"
#include "platform/win32/win32_support.h"

namespace vimo::win32 {
namespace {

constexpr UINT kFirstMenuId = 1000;

}  // namespace

void Win32Menus::Build(const MenuTree& tree) {
  tree_ = &tree;
  submenus_.assign(tree.Items().size(), nullptr);
  inserted_.assign(tree.Items().size(), false);
  for (const auto& item : tree.Items()) {
    if (item->Level() > 0 && item->Children().empty()) continue;
    submenus_[item->Position()] = CreatePopupMenu();
    if (submenus_[item->Position()] == nullptr) {
      throw ToolkitError("cannot create the menu " + std::string(item->Name()));
    }
  }
  for (const auto& item : tree.Items()) {
    if (item->Visible()) Insert(*item);
  }
}

void Win32Menus::Destroy() {
  // A submenu inside a menu goes with that menu; only the free-standing ones are ours.
  for (std::size_t i = 0; i < submenus_.size(); ++i) {
    const bool free = tree_->Items()[i]->Parent() == nullptr || !inserted_[i];
    if (submenus_[i] != nullptr && free) DestroyMenu(submenus_[i]);
  }
  submenus_.clear();
  inserted_.clear();
}

UINT Win32Menus::Command(const MenuNode& item) {
  return kFirstMenuId + static_cast<UINT>(item.Position());
}

const MenuNode* Win32Menus::Item(UINT command) const {
  const std::size_t position = command - kFirstMenuId;
  if (command < kFirstMenuId || position >= tree_->Items().size()) return nullptr;
  return tree_->Items()[position].get();
}

UINT Win32Menus::Shown(const MenuNode& item) const {
  UINT shown = 0;
  for (const MenuNode* sibling : item.Parent()->Children()) {
    if (sibling == &item) break;
    if (inserted_[sibling->Position()]) ++shown;
  }
  return shown;
}

void Win32Menus::Insert(const MenuNode& item) {
  const MenuNode* parent = item.Parent();
  if (parent == nullptr || inserted_[item.Position()]) return;
  std::wstring text = Widen(item.Caption());
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE;
  info.wID = Command(item);
  info.fState = (item.Checked() ? MFS_CHECKED : MFS_UNCHECKED) |
                (item.Enabled() ? MFS_ENABLED : MFS_DISABLED);
  info.fType = item.Separator() ? MFT_SEPARATOR : MFT_STRING;
  if (!item.Separator()) {
    info.fMask |= MIIM_STRING;
    info.dwTypeData = text.data();
    info.cch = static_cast<UINT>(text.size());
  }
  if (HMENU submenu = Popup(item)) {
    info.fMask |= MIIM_SUBMENU;
    info.hSubMenu = submenu;
  }
  if (InsertMenuItemW(Popup(*parent), Shown(item), TRUE, &info) == FALSE) {
    throw ToolkitError("cannot show the menu item " + std::string(item.Name()));
  }
  inserted_[item.Position()] = true;
}

void Win32Menus::Changing(const MenuNode& /*item*/) { form_.LiveWindow(); }

// A top-level item is the root of a popup menu: there is no menu bar to show it in.
void Win32Menus::Changed(const MenuNode& item, Change what) {
  if (item.Parent() == nullptr) return;
  HMENU menu = Popup(*item.Parent());
  const bool shown = inserted_[item.Position()];
  switch (what) {
    case Change::kChecked:
      if (shown) {
        CheckMenuItem(menu, Shown(item), MF_BYPOSITION | (item.Checked() ? MF_CHECKED : 0));
      }
      break;
    case Change::kEnabled:
      if (shown) {
        EnableMenuItem(menu, Shown(item), MF_BYPOSITION | (item.Enabled() ? 0 : MF_GRAYED));
      }
      break;
    case Change::kVisible:
      if (item.Visible()) {
        Insert(item);
      } else if (shown) {
        RemoveMenu(menu, Shown(item), MF_BYPOSITION);
        inserted_[item.Position()] = false;
      }
      break;
  }
}

}  // namespace vimo::win32
