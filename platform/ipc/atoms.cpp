#include "platform/ipc/atoms.h"

#include <cstring>
#include <map>
#include <mutex>

#include "platform/ipc/runtime.h"

namespace plat::ipc {

namespace {

struct AtomEntry {
  std::string name;
  uint32_t refs = 0;
};

struct AtomTable {
  std::mutex mutex;
  std::map<ATOM, AtomEntry> byAtom;
  std::map<std::string, ATOM> byKey;  // case-folded name
  ATOM next = 0xC000;
};

AtomTable& table() {
  static AtomTable t;
  return t;
}

bool validName(const char* name) { return name != nullptr && *name != 0 && std::strlen(name) <= 255; }

}  // namespace

UINT RegisterWindowMessage(const char* name) {
  if (name == nullptr || *name == 0) return 0;
  // FNV-1a of the folded name, folded into the 0x4000 registered values.
  uint32_t h = 2166136261u;
  for (unsigned char c : foldCase(name)) {
    h ^= c;
    h *= 16777619u;
  }
  return 0xC000u + (h % 0x4000u);
}

ATOM GlobalAddAtom(const char* name) {
  if (!validName(name)) return 0;
  AtomTable& t = table();
  std::lock_guard lock(t.mutex);
  const std::string key = foldCase(name);
  if (auto it = t.byKey.find(key); it != t.byKey.end()) {
    ++t.byAtom[it->second].refs;
    return it->second;
  }
  if (t.byAtom.size() >= 0x4000) return 0;
  while (t.byAtom.count(t.next) != 0) t.next = t.next == 0xFFFF ? 0xC000 : static_cast<ATOM>(t.next + 1);
  const ATOM atom = t.next;
  t.next = t.next == 0xFFFF ? 0xC000 : static_cast<ATOM>(t.next + 1);
  t.byAtom[atom] = AtomEntry{name, 1};
  t.byKey[key] = atom;
  return atom;
}

ATOM GlobalFindAtom(const char* name) {
  if (!validName(name)) return 0;
  AtomTable& t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.byKey.find(foldCase(name));
  return it == t.byKey.end() ? 0 : it->second;
}

std::string globalAtomText(ATOM atom) {
  AtomTable& t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.byAtom.find(atom);
  return it == t.byAtom.end() ? std::string() : it->second.name;
}

UINT GlobalGetAtomName(ATOM atom, char* buffer, int size) {
  if (buffer == nullptr || size < 1) return 0;
  const std::string name = globalAtomText(atom);
  if (name.empty()) {
    buffer[0] = 0;
    return 0;
  }
  size_t n = std::min(name.size(), static_cast<size_t>(size - 1));
  // Never split a UTF-8 sequence.
  while (n > 0 && n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
  std::memcpy(buffer, name.data(), n);
  buffer[n] = 0;
  return static_cast<UINT>(n);
}

ATOM GlobalDeleteAtom(ATOM atom) {
  AtomTable& t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.byAtom.find(atom);
  if (it == t.byAtom.end()) return atom;
  if (--it->second.refs == 0) {
    t.byKey.erase(foldCase(it->second.name));
    t.byAtom.erase(it);
  }
  return 0;
}

}  // namespace plat::ipc
