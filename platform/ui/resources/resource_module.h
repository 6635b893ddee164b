#pragma once
// A resource module: the strings, menus, accelerator tables, images and
// resource lists of one interface language, answered by id. The English
// module is built into the program; the others are read from
// `Orv_ML<CODE>.res` files (res_reader.h). The model has no Qt in it: the
// program turns menus into QMenus and images into pixmaps itself.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace plat::ui {

// One entry of a menu: a command with its caption, a popup with its own
// entries, or a separator. A caption keeps its '&' mnemonic and, after a
// tab, the accelerator text shown at the right ("&Play\tF8").
struct MenuItem {
  enum class Kind { Command, Popup, Separator };

  Kind kind = Kind::Command;
  int id = 0;               // command id; 0 for popups and separators
  std::string caption;      // empty for separators
  std::vector<MenuItem> children;  // popups only

  static MenuItem command(int id, std::string caption);
  static MenuItem popup(std::string caption, std::vector<MenuItem> children);
  static MenuItem separator();

  // The caption before the tab, and the accelerator text after it (empty
  // when there is no tab).
  std::string_view label() const;
  std::string_view acceleratorText() const;

  bool operator==(const MenuItem&) const = default;
};

// A menu bar: its top-level entries (normally popups).
struct Menu {
  std::vector<MenuItem> items;

  // The command entry with this id anywhere in the tree, or null.
  const MenuItem* findCommand(int id) const;
  // Every command id of the tree in order, duplicates included.
  std::vector<int> commandIds() const;

  bool operator==(const Menu&) const = default;
};

// One accelerator: a key in the portable text form that QKeySequence
// reads ("F1", "Shift+F1", "Ctrl+PgDown") and the command it sends.
struct Accelerator {
  std::string key;
  int command = 0;
  bool operator==(const Accelerator&) const = default;
};

// A picture: either the name of a file beside the module (in the program
// folder) or the bytes of a PNG or SVG image.
struct Image {
  enum class Kind { File, Png, Svg };
  Kind kind = Kind::Svg;
  std::string fileName;        // Kind::File
  std::vector<uint8_t> bytes;  // Kind::Png, Kind::Svg
  bool operator==(const Image&) const = default;
};

// A list of parallel resource ids describing one family of values (the
// book categories, say): entry `firstEntry + k` has the string, icon,
// bitmap and small-bitmap ids at position k of the four columns.
struct ResourceList {
  int firstEntry = 0;
  std::vector<int> stringIds;
  std::vector<int> iconIds;
  std::vector<int> bitmapIds;
  std::vector<int> smallBitmapIds;

  int count() const { return static_cast<int>(stringIds.size()); }
  bool contains(int entry) const { return entry >= firstEntry && entry - firstEntry < count(); }
  bool operator==(const ResourceList&) const = default;
};

class ResourceModule {
 public:
  // The add operations refuse (false) an id that is already present, so
  // that a module never holds two texts for one id.
  bool addString(int id, std::string text);
  bool addMenu(int id, Menu menu);
  bool addAccelerators(int id, std::vector<Accelerator> table);
  bool addImage(int id, Image image);
  bool addList(int number, ResourceList list);

  // Null when the module does not hold the id.
  const std::string* string(int id) const;
  const Menu* menu(int id) const;
  const std::vector<Accelerator>* accelerators(int id) const;
  const Image* image(int id) const;
  const ResourceList* list(int number) const;

  const std::map<int, std::string>& strings() const { return strings_; }
  const std::map<int, Menu>& menus() const { return menus_; }
  const std::map<int, std::vector<Accelerator>>& acceleratorTables() const { return accelerators_; }
  const std::map<int, Image>& images() const { return images_; }
  const std::map<int, ResourceList>& lists() const { return lists_; }

  bool operator==(const ResourceModule&) const = default;

 private:
  std::map<int, std::string> strings_;
  std::map<int, Menu> menus_;
  std::map<int, std::vector<Accelerator>> accelerators_;
  std::map<int, Image> images_;
  std::map<int, ResourceList> lists_;
};

}  // namespace plat::ui
