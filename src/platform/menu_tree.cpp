#include "platform/menu_tree.h"

#include <algorithm>

namespace vimo {

MenuNode::MenuNode(const MenuDesign& design, MenuNode* parent, std::size_t position,
                   MenuListener* listener)
    : name_(design.name),
      caption_(design.caption),
      index_(design.index),
      level_(design.level),
      checked_(design.checked),
      enabled_(design.enabled),
      visible_(design.visible),
      position_(position),
      parent_(parent),
      listener_(listener) {
  if (parent_ != nullptr) parent_->children_.push_back(this);
}

void MenuNode::Set(bool& state, bool value, MenuListener::Change what) {
  if (listener_ != nullptr) listener_->Changing(*this);
  if (state == value) return;
  state = value;
  if (listener_ != nullptr) listener_->Changed(*this, what);
}

void MenuNode::SetChecked(bool checked) { Set(checked_, checked, MenuListener::Change::kChecked); }
void MenuNode::SetEnabled(bool enabled) { Set(enabled_, enabled, MenuListener::Change::kEnabled); }
void MenuNode::SetVisible(bool visible) { Set(visible_, visible, MenuListener::Change::kVisible); }

bool MenuNode::ClickableIn(const MenuNode& popup) const {
  if (!visible_ || !enabled_ || Separator() || !children_.empty()) return false;
  for (const MenuNode* p = parent_; p != nullptr; p = p->parent_) {
    if (p == &popup) return true;
    if (!p->visible_ || !p->enabled_) return false;
  }
  return false;
}

bool MenuNode::Clickable() const {
  const MenuNode* top = this;
  while (top->parent_ != nullptr) top = top->parent_;
  return ClickableIn(*top);
}

MenuTree::MenuTree(std::span<const MenuDesign> design, std::string_view form,
                   MenuListener* listener)
    : form_(form) {
  // An item's parent is the last item one level up.
  std::vector<MenuNode*> lastAtLevel;
  for (const MenuDesign& m : design) {
    if (m.level < 0 || static_cast<std::size_t>(m.level) > lastAtLevel.size()) {
      throw ToolkitError("menu '" + std::string(m.name) + "' skips a level");
    }
    MenuNode* parent = m.level > 0 ? lastAtLevel[static_cast<std::size_t>(m.level) - 1] : nullptr;
    items_.push_back(std::make_unique<MenuNode>(m, parent, items_.size(), listener));
    lastAtLevel.resize(static_cast<std::size_t>(m.level) + 1);
    lastAtLevel.back() = items_.back().get();
    if (m.index == 0) continue;
    auto group = std::find_if(groups_.begin(), groups_.end(),
                              [&](const auto& g) { return g->Name() == m.name; });
    if (group == groups_.end()) {
      groups_.push_back(std::make_unique<NodeGroup>(m.name));
      group = groups_.end() - 1;
    }
    (*group)->Add(*items_.back());
  }
}

MenuNode& MenuTree::Menu(std::string_view name) const {
  for (const auto& item : items_) {
    if (item->Index() == 0 && item->Name() == name) return *item;
  }
  throw ToolkitError(form_ + " has no menu item " + std::string(name));
}

MenuGroup& MenuTree::Group(std::string_view name) const {
  for (const auto& group : groups_) {
    if (group->Name() == name) return *group;
  }
  throw ToolkitError(form_ + " has no menu group " + std::string(name));
}

MenuNode* MenuTree::Find(const MenuItem& item) const {
  for (const auto& node : items_) {
    if (node.get() == &item) return node.get();
  }
  return nullptr;
}

std::int16_t MenuTree::NodeGroup::UBound() const {
  std::int16_t top = 0;
  for (const MenuNode* item : items_) top = std::max(top, item->Index());
  return top;
}

MenuItem& MenuTree::NodeGroup::Item(std::int16_t index) {
  for (MenuNode* item : items_) {
    if (item->Index() == index) return *item;
  }
  throw ToolkitError(name_ + "(" + std::to_string(index) + ") does not exist");
}

}  // namespace vimo
