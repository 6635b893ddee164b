#include "platform/ui/resources/resource_module.h"

#include <utility>

namespace plat::ui {

MenuItem MenuItem::command(int id, std::string caption) {
  MenuItem item;
  item.kind = Kind::Command;
  item.id = id;
  item.caption = std::move(caption);
  return item;
}

MenuItem MenuItem::popup(std::string caption, std::vector<MenuItem> children) {
  MenuItem item;
  item.kind = Kind::Popup;
  item.caption = std::move(caption);
  item.children = std::move(children);
  return item;
}

MenuItem MenuItem::separator() {
  MenuItem item;
  item.kind = Kind::Separator;
  return item;
}

std::string_view MenuItem::label() const {
  std::string_view c = caption;
  return c.substr(0, c.find('\t'));
}

std::string_view MenuItem::acceleratorText() const {
  std::string_view c = caption;
  const auto tab = c.find('\t');
  return tab == std::string_view::npos ? std::string_view() : c.substr(tab + 1);
}

namespace {

const MenuItem* findIn(const std::vector<MenuItem>& items, int id) {
  for (const MenuItem& item : items) {
    if (item.kind == MenuItem::Kind::Command && item.id == id) return &item;
    if (item.kind == MenuItem::Kind::Popup) {
      if (const MenuItem* found = findIn(item.children, id)) return found;
    }
  }
  return nullptr;
}

void collectIds(const std::vector<MenuItem>& items, std::vector<int>& out) {
  for (const MenuItem& item : items) {
    if (item.kind == MenuItem::Kind::Command) out.push_back(item.id);
    if (item.kind == MenuItem::Kind::Popup) collectIds(item.children, out);
  }
}

template <typename Map, typename Value>
bool addUnique(Map& map, int id, Value&& value) {
  return map.emplace(id, std::forward<Value>(value)).second;
}

template <typename Map>
const typename Map::mapped_type* lookup(const Map& map, int id) {
  const auto it = map.find(id);
  return it == map.end() ? nullptr : &it->second;
}

}  // namespace

const MenuItem* Menu::findCommand(int id) const { return findIn(items, id); }

std::vector<int> Menu::commandIds() const {
  std::vector<int> ids;
  collectIds(items, ids);
  return ids;
}

bool ResourceModule::addString(int id, std::string text) { return addUnique(strings_, id, std::move(text)); }
bool ResourceModule::addMenu(int id, Menu menu) { return addUnique(menus_, id, std::move(menu)); }
bool ResourceModule::addAccelerators(int id, std::vector<Accelerator> table) {
  return addUnique(accelerators_, id, std::move(table));
}
bool ResourceModule::addImage(int id, Image image) { return addUnique(images_, id, std::move(image)); }
bool ResourceModule::addList(int number, ResourceList list) { return addUnique(lists_, number, std::move(list)); }

const std::string* ResourceModule::string(int id) const { return lookup(strings_, id); }
const Menu* ResourceModule::menu(int id) const { return lookup(menus_, id); }
const std::vector<Accelerator>* ResourceModule::accelerators(int id) const { return lookup(accelerators_, id); }
const Image* ResourceModule::image(int id) const { return lookup(images_, id); }
const ResourceList* ResourceModule::list(int number) const { return lookup(lists_, number); }

}  // namespace plat::ui
