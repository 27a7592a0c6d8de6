// The popup menu tree: one Win32 popup menu per item that has items below it. An item
// made invisible is taken out of its parent menu and put back in its place when shown.
#include <algorithm>
#include <string>

#include "platform/win32/win32_form.h"
#include "platform/win32/win32_text.h"

namespace vimo::win32 {

Win32MenuItem::Win32MenuItem(Win32Form& form, const MenuDesign& design, UINT id)
    : form_(form),
      name_(design.name),
      index_(design.index),
      caption_(design.caption),
      text_(Widen(design.caption)),
      level_(design.level),
      checked_(design.checked),
      enabled_(design.enabled),
      visible_(design.visible),
      separator_(design.caption == "-"),
      id_(id) {}

void Win32MenuItem::Adopt(Win32MenuItem& child) {
  child.parent_ = this;
  children_.push_back(&child);
}

void Win32MenuItem::MakeSubmenu() {
  if (submenu_ != nullptr) return;
  submenu_ = CreatePopupMenu();
  if (submenu_ == nullptr) throw ToolkitError("cannot create the menu " + name_);
}

// Where the item stands among the items its parent menu shows now.
UINT Win32MenuItem::Position() const {
  UINT position = 0;
  for (const Win32MenuItem* sibling : parent_->children_) {
    if (sibling == this) break;
    if (sibling->inserted_) ++position;
  }
  return position;
}

void Win32MenuItem::InsertIntoParent() {
  if (parent_ == nullptr || inserted_ || parent_->submenu_ == nullptr) return;
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE;
  info.wID = id_;
  info.fState = (checked_ ? MFS_CHECKED : MFS_UNCHECKED) | (enabled_ ? MFS_ENABLED : MFS_DISABLED);
  if (separator_) {
    info.fType = MFT_SEPARATOR;
  } else {
    info.fType = MFT_STRING;
    info.fMask |= MIIM_STRING;
    info.dwTypeData = text_.data();
    info.cch = static_cast<UINT>(text_.size());
  }
  if (submenu_ != nullptr) {
    info.fMask |= MIIM_SUBMENU;
    info.hSubMenu = submenu_;
  }
  if (InsertMenuItemW(parent_->submenu_, Position(), TRUE, &info) == FALSE) {
    throw ToolkitError("cannot show the menu item " + name_);
  }
  inserted_ = true;
}

void Win32MenuItem::DestroySubmenu() {
  // A submenu inside a menu goes with that menu; only the free-standing ones are ours.
  if (submenu_ != nullptr && (parent_ == nullptr || !inserted_)) DestroyMenu(submenu_);
}

void Win32MenuItem::SetChecked(bool checked) {
  form_.LiveWindow();
  checked_ = checked;
  if (inserted_) {
    CheckMenuItem(parent_->submenu_, Position(),
                  MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
  }
}

void Win32MenuItem::SetEnabled(bool enabled) {
  form_.LiveWindow();
  enabled_ = enabled;
  if (inserted_) {
    EnableMenuItem(parent_->submenu_, Position(),
                   MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
  }
}

void Win32MenuItem::SetVisible(bool visible) {
  form_.LiveWindow();
  if (visible == visible_) return;
  // A top-level item is the root of a popup menu: there is no menu bar to show it in.
  if (parent_ != nullptr) {
    if (visible) {
      visible_ = true;
      InsertIntoParent();
    } else if (inserted_) {
      RemoveMenu(parent_->submenu_, Position(), MF_BYPOSITION);
      inserted_ = false;
    }
  }
  visible_ = visible;
}

std::int16_t Win32MenuGroup::UBound() const {
  std::int16_t upper = 0;
  for (const Win32MenuItem* item : items_) upper = std::max(upper, item->Index());
  return upper;
}

MenuItem& Win32MenuGroup::Item(std::int16_t index) {
  for (Win32MenuItem* item : items_) {
    if (item->Index() == index) return *item;
  }
  throw ToolkitError("the menu group " + name_ + " has no item " + std::to_string(index));
}

}  // namespace vimo::win32
