// The menu tree of a form, the same in every backend: items built from the design's
// flat list (a level per item), their states, the indexed groups and the lookups by
// name. A backend shows it with its own menus and follows each change through a
// MenuListener.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/design.h"
#include "platform/toolkit.h"

namespace vimo {

class MenuNode;

class MenuListener {
 public:
  enum class Change { kChecked, kEnabled, kVisible };
  virtual ~MenuListener() = default;
  // Before the item's state changes; may raise ToolkitError to refuse it.
  virtual void Changing(const MenuNode& /*item*/) {}
  // After it changed.
  virtual void Changed(const MenuNode& item, Change what) = 0;
};

class MenuNode final : public MenuItem {
 public:
  MenuNode(const MenuDesign& design, MenuNode* parent, std::size_t position,
           MenuListener* listener);

  std::string_view Name() const override { return name_; }
  std::string Caption() const override { return caption_; }
  bool Checked() const override { return checked_; }
  void SetChecked(bool checked) override;
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;
  bool Visible() const override { return visible_; }
  void SetVisible(bool visible) override;

  std::int16_t Index() const { return index_; }
  int Level() const { return level_; }
  // Where the item stands in the design's list.
  std::size_t Position() const { return position_; }
  MenuNode* Parent() const { return parent_; }
  const std::vector<MenuNode*>& Children() const { return children_; }
  bool Separator() const { return caption_ == "-"; }
  // Whether a user can click it in the popup of `popup`: a visible, enabled command (no
  // separator, no submenu) below it, whose submenus down from it are visible and
  // enabled. The popped menu itself may be hidden.
  bool ClickableIn(const MenuNode& popup) const;
  // The same in the popup of its top-level menu.
  bool Clickable() const;

 private:
  void Set(bool& state, bool value, MenuListener::Change what);

  std::string name_;
  std::string caption_;
  std::int16_t index_;
  int level_;
  bool checked_;
  bool enabled_;
  bool visible_;
  std::size_t position_;
  MenuNode* parent_;
  std::vector<MenuNode*> children_;
  MenuListener* listener_;
};

class MenuTree {
 public:
  // ToolkitError for a list that skips a level.
  MenuTree(std::span<const MenuDesign> design, std::string_view form, MenuListener* listener);

  // The single item (index 0) or the group of that name; ToolkitError for none.
  MenuNode& Menu(std::string_view name) const;
  MenuGroup& Group(std::string_view name) const;
  // The item of this tree behind a MenuItem, or null.
  MenuNode* Find(const MenuItem& item) const;
  const std::vector<std::unique_ptr<MenuNode>>& Items() const { return items_; }

 private:
  class NodeGroup final : public MenuGroup {
   public:
    explicit NodeGroup(std::string_view name) : name_(name) {}
    std::int16_t UBound() const override;
    MenuItem& Item(std::int16_t index) override;
    std::string_view Name() const { return name_; }
    void Add(MenuNode& item) { items_.push_back(&item); }

   private:
    std::string name_;
    std::vector<MenuNode*> items_;
  };

  std::string form_;
  std::vector<std::unique_ptr<MenuNode>> items_;
  std::vector<std::unique_ptr<NodeGroup>> groups_;
};

}  // namespace vimo
