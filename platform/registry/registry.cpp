#include "platform/registry/registry.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/fs/config_root.h"
#include "platform/fs/file_io.h"
#include "platform/registry/hive.h"

namespace plat::registry {

namespace {

enum HiveIndex { kClassesRoot = 0, kCurrentUser = 1, kLocalMachine = 2, kHiveCount = 3 };

// What identifies one version of a hive file. A replaced file has a new
// inode; an edited one a new mtime or size.
struct FileId {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  long long mtimeNs = 0;
  long long size = 0;
  bool operator==(const FileId&) const = default;
};

FileId statFile(const std::filesystem::path& path) {
  FileId id;
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) return id;
  id.exists = true;
  id.dev = st.st_dev;
  id.ino = st.st_ino;
  id.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  id.size = static_cast<long long>(st.st_size);
  return id;
}

struct Hive {
  std::unique_ptr<hive::Key> tree = std::make_unique<hive::Key>();
  bool loaded = false;
  std::filesystem::path loadedPath;
  FileId fileId;
  std::string problem;     // empty when the file read was sound
  std::string unsoundText; // the unsound file, kept for its backup
  std::string backupKey;   // what names its backup: the lines kept as they stood
  std::string lastPrinted; // the last problem printed, so it is told once
  // Held while a write batch has touched this hive.
  std::unique_ptr<fs::FileLock> batchLock;
  bool batchDirty = false;
};

struct OpenKey {
  int hive = 0;
  std::vector<std::string> path;
  REGSAM access = KEY_ALL_ACCESS;
};

struct State {
  std::recursive_mutex mutex;
  Hive hives[kHiveCount];
  std::unordered_map<std::uintptr_t, OpenKey> handles;
  std::uintptr_t nextHandle = 0x1000;
  int batchDepth = 0;
};

State& state() {
  static State* s = new State;  // never destroyed: handles may be closed during exit
  return *s;
}

int rootIndex(HKEY key) {
  if (key == HKEY_CLASSES_ROOT) return kClassesRoot;
  if (key == HKEY_CURRENT_USER) return kCurrentUser;
  if (key == HKEY_LOCAL_MACHINE) return kLocalMachine;
  return -1;
}

std::filesystem::path pathOf(int hive) {
  switch (hive) {
    case kClassesRoot: return fs::machineSettingsFolder() / "HKEY_CLASSES_ROOT.hive";
    case kCurrentUser: return fs::configRoot() / "HKEY_CURRENT_USER.hive";
    case kLocalMachine: return fs::machineSettingsFolder() / "HKEY_LOCAL_MACHINE.hive";
    default: return {};
  }
}

// Reads the hive file when it changed since the last reading (always when
// `force`). While a batch holds the hive, its tree is the truth.
LONG refresh(int index, bool force) {
  Hive& h = state().hives[index];
  if (h.batchLock) return ERROR_SUCCESS;
  const std::filesystem::path path = pathOf(index);
  const FileId now = statFile(path);
  if (!force && h.loaded && path == h.loadedPath && now == h.fileId) return ERROR_SUCCESS;

  std::string text;
  const std::error_code ec = fs::readFile(path, text);
  h.tree = std::make_unique<hive::Key>();
  h.problem.clear();
  h.unsoundText.clear();
  if (ec && ec != std::errc::no_such_file_or_directory) {
    h.loaded = false;
    return ERROR_CANTREAD;
  }
  if (!ec) {
    const hive::ParseReport report = hive::parse(text, *h.tree);
    if (!report.sound) {
      h.problem = "line " + std::to_string(report.line) + ": " + report.message;
      h.backupKey.clear();
      if (report.refused) {
        h.backupKey = text;
      } else {
        for (const std::string& line : report.keptLines) h.backupKey += line + "\n";
      }
      h.unsoundText = std::move(text);
      const std::string told = path.string() + ": " + h.problem;
      if (told != h.lastPrinted) {
        std::fprintf(stderr, "registry: %s (the line is kept as it stands)\n", told.c_str());
        h.lastPrinted = told;
      }
    }
  }
  h.loaded = true;
  h.loadedPath = path;
  h.fileId = now;
  return ERROR_SUCCESS;
}

// The backup of an unsound hive: "<hive>.<16 hex digits>.bad", the digits
// a hash of the lines kept as they stood. Each new fault gets a copy of its
// own, and the same fault read again (the lines stay in the hive) makes no
// second copy.
std::filesystem::path backupPath(const std::filesystem::path& path, std::string_view key) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : key) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  std::filesystem::path bad = path;
  bad += std::string(".") + digits + ".bad";
  return bad;
}

// Replaces the hive file with the tree. An unsound file is first copied to
// its backup, so that the file as it was can always be looked at.
LONG store(int index) {
  Hive& h = state().hives[index];
  const std::filesystem::path path = pathOf(index);
  if (!h.unsoundText.empty()) {
    const std::filesystem::path bad = backupPath(path, h.backupKey);
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(bad, ec)) && fs::writeFileAtomic(bad, h.unsoundText)) {
      h.loaded = false;
      return ERROR_CANTWRITE;
    }
  }
  if (fs::writeFileAtomic(path, hive::serialize(*h.tree))) {
    h.loaded = false;  // the tree holds changes the file does not
    return ERROR_CANTWRITE;
  }
  h.fileId = statFile(path);
  h.loadedPath = path;
  h.unsoundText.clear();
  h.backupKey.clear();
  return ERROR_SUCCESS;
}

// Takes the hive's lock and re-reads it. `lock` receives the lock.
LONG lockAndRead(int index, std::unique_ptr<fs::FileLock>& lock) {
  const std::filesystem::path path = pathOf(index);
  if (!fs::ensureFolder(path.parent_path())) return ERROR_CANTWRITE;
  lock = std::make_unique<fs::FileLock>(path);
  if (!lock->locked()) {
    lock.reset();
    return ERROR_REGISTRY_IO_FAILED;
  }
  const LONG r = refresh(index, true);
  if (r != ERROR_SUCCESS) lock.reset();
  return r;
}

struct Change {
  LONG result = ERROR_SUCCESS;
  bool changed = false;
};

// One write: under the hive's lock, on the freshly read tree, then the
// file replaced. Inside a batch the lock is taken once and the file written
// at commit. `fn` changes the tree all or nothing.
template <class Fn>
LONG mutate(int index, Fn&& fn) {
  State& s = state();
  Hive& h = s.hives[index];
  if (s.batchDepth > 0) {
    if (!h.batchLock) {
      std::unique_ptr<fs::FileLock> lock;
      if (LONG r = lockAndRead(index, lock); r != ERROR_SUCCESS) return r;
      h.batchLock = std::move(lock);
    }
    const Change c = fn(*h.tree);
    if (c.changed) h.batchDirty = true;
    return c.result;
  }
  std::unique_ptr<fs::FileLock> lock;
  if (LONG r = lockAndRead(index, lock); r != ERROR_SUCCESS) return r;
  const Change c = fn(*h.tree);
  if (!c.changed) return c.result;
  const LONG w = store(index);
  return w == ERROR_SUCCESS ? c.result : w;
}

LONG resolve(HKEY key, OpenKey& out) {
  if (int root = rootIndex(key); root >= 0) {
    out = OpenKey{root, {}, KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  auto& handles = state().handles;
  auto it = handles.find(reinterpret_cast<std::uintptr_t>(key));
  if (it == handles.end()) return ERROR_INVALID_HANDLE;
  out = it->second;
  return ERROR_SUCCESS;
}

hive::Key* walk(hive::Key& root, const std::vector<std::string>& path, std::size_t count) {
  hive::Key* k = &root;
  for (std::size_t i = 0; i < count && k != nullptr; ++i) k = k->findSubkey(path[i]);
  return k;
}

hive::Key* walk(hive::Key& root, const std::vector<std::string>& path) { return walk(root, path, path.size()); }

// Splits and checks a subkey path below a key at depth `baseDepth`.
LONG parseSubKey(std::string_view subKey, std::size_t baseDepth, std::vector<std::string>& parts) {
  if (!hive::splitPath(subKey, parts)) return ERROR_BAD_PATHNAME;
  if (baseDepth + parts.size() > hive::kMaxDepth) return ERROR_INVALID_PARAMETER;
  for (const std::string& p : parts)
    if (hive::charCount(p) > hive::kMaxKeyNameChars) return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

HKEY newHandle(OpenKey key) {
  State& s = state();
  const std::uintptr_t id = s.nextHandle;
  s.nextHandle += 4;
  s.handles.emplace(id, std::move(key));
  return reinterpret_cast<HKEY>(id);
}

// Opens a key for reading: the handle resolved, the hive refreshed, the
// key found. ERROR_KEY_DELETED when the handle's key is gone.
LONG readKey(HKEY key, REGSAM need, hive::Key*& out) {
  OpenKey ok;
  if (LONG r = resolve(key, ok); r != ERROR_SUCCESS) return r;
  if ((ok.access & need) != need) return ERROR_ACCESS_DENIED;
  if (LONG r = refresh(ok.hive, false); r != ERROR_SUCCESS) return r;
  out = walk(*state().hives[ok.hive].tree, ok.path);
  return out == nullptr ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

// Copies `name` with its terminator into a buffer of *size bytes.
LONG copyName(const std::string& name, char* buffer, DWORD* size) {
  if (buffer == nullptr || size == nullptr) return ERROR_INVALID_PARAMETER;
  if (static_cast<std::size_t>(*size) < name.size() + 1) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.data(), name.size());
  buffer[name.size()] = '\0';
  *size = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// The data half of RegQueryValueEx and RegEnumValue.
LONG copyData(const hive::Value& v, DWORD* type, BYTE* data, DWORD* size) {
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  if (type != nullptr) *type = v.type;
  const DWORD stored = static_cast<DWORD>(v.data.size());
  if (data != nullptr) {
    if (*size < stored) {
      *size = stored;
      return ERROR_MORE_DATA;
    }
    if (stored > 0) std::memcpy(data, v.data.data(), stored);
  }
  if (size != nullptr) *size = stored;
  return ERROR_SUCCESS;
}

template <class Map>
auto nth(Map& m, DWORD index) {
  auto it = m.begin();
  for (DWORD i = 0; i < index; ++i) ++it;
  return it;
}

}  // namespace

LONG RegCreateKeyEx(HKEY key, std::string_view subKey, DWORD /*reserved*/, const char* /*keyClass*/,
                    DWORD /*options*/, REGSAM samDesired, const void* /*security*/, PHKEY result,
                    DWORD* disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  std::lock_guard guard(state().mutex);
  OpenKey base;
  if (LONG r = resolve(key, base); r != ERROR_SUCCESS) return r;
  std::vector<std::string> parts;
  if (LONG r = parseSubKey(subKey, base.path.size(), parts); r != ERROR_SUCCESS) return r;
  if (!parts.empty() && (base.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;

  OpenKey opened{base.hive, base.path, samDesired};
  opened.path.insert(opened.path.end(), parts.begin(), parts.end());

  // An existing key opens without touching the file.
  if (refresh(base.hive, false) == ERROR_SUCCESS) {
    hive::Key* tree = state().hives[base.hive].tree.get();
    if (walk(*tree, base.path) == nullptr) return ERROR_KEY_DELETED;
    if (walk(*tree, opened.path) != nullptr) {
      *result = newHandle(std::move(opened));
      if (disposition) *disposition = REG_OPENED_EXISTING_KEY;
      return ERROR_SUCCESS;
    }
  }
  bool createdAny = false;
  const LONG r = mutate(base.hive, [&](hive::Key& root) {
    hive::Key* k = walk(root, base.path);
    if (k == nullptr) return Change{ERROR_KEY_DELETED, false};
    for (const std::string& p : parts) {
      bool created = false;
      k = k->addSubkey(p, &created);
      createdAny = createdAny || created;
    }
    return Change{ERROR_SUCCESS, createdAny};
  });
  if (r != ERROR_SUCCESS) return r;
  *result = newHandle(std::move(opened));
  if (disposition) *disposition = createdAny ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG RegOpenKeyEx(HKEY key, std::string_view subKey, DWORD /*options*/, REGSAM samDesired, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  std::lock_guard guard(state().mutex);
  OpenKey base;
  if (LONG r = resolve(key, base); r != ERROR_SUCCESS) return r;
  std::vector<std::string> parts;
  if (LONG r = parseSubKey(subKey, base.path.size(), parts); r != ERROR_SUCCESS) return r;
  if (LONG r = refresh(base.hive, false); r != ERROR_SUCCESS) return r;
  hive::Key* tree = state().hives[base.hive].tree.get();
  if (walk(*tree, base.path) == nullptr) return ERROR_KEY_DELETED;
  OpenKey opened{base.hive, base.path, samDesired};
  opened.path.insert(opened.path.end(), parts.begin(), parts.end());
  if (walk(*tree, opened.path) == nullptr) return ERROR_FILE_NOT_FOUND;
  *result = newHandle(std::move(opened));
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (rootIndex(key) >= 0) return ERROR_SUCCESS;
  std::lock_guard guard(state().mutex);
  return state().handles.erase(reinterpret_cast<std::uintptr_t>(key)) > 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegSetValueEx(HKEY key, std::string_view valueName, DWORD /*reserved*/, DWORD type, const BYTE* data,
                   DWORD size) {
  if (data == nullptr && size > 0) return ERROR_INVALID_PARAMETER;
  if (hive::charCount(valueName) > hive::kMaxValueNameChars) return ERROR_INVALID_PARAMETER;
  std::lock_guard guard(state().mutex);
  OpenKey ok;
  if (LONG r = resolve(key, ok); r != ERROR_SUCCESS) return r;
  if ((ok.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  const std::string_view bytes(reinterpret_cast<const char*>(data), data == nullptr ? 0 : size);
  return mutate(ok.hive, [&](hive::Key& root) {
    hive::Key* k = walk(root, ok.path);
    if (k == nullptr) return Change{ERROR_KEY_DELETED, false};
    if (const hive::Value* v = k->findValue(valueName); v != nullptr && v->type == type && v->data == bytes)
      return Change{ERROR_SUCCESS, false};
    k->setValue(valueName, type, bytes);
    return Change{ERROR_SUCCESS, true};
  });
}

LONG RegQueryValueEx(HKEY key, std::string_view valueName, DWORD* /*reserved*/, DWORD* type, BYTE* data,
                     DWORD* size) {
  std::lock_guard guard(state().mutex);
  hive::Key* k = nullptr;
  if (LONG r = readKey(key, KEY_QUERY_VALUE, k); r != ERROR_SUCCESS) return r;
  const hive::Value* v = k->findValue(valueName);
  if (v == nullptr) return ERROR_FILE_NOT_FOUND;
  return copyData(*v, type, data, size);
}

LONG RegDeleteValue(HKEY key, std::string_view valueName) {
  std::lock_guard guard(state().mutex);
  OpenKey ok;
  if (LONG r = resolve(key, ok); r != ERROR_SUCCESS) return r;
  if ((ok.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  return mutate(ok.hive, [&](hive::Key& root) {
    hive::Key* k = walk(root, ok.path);
    if (k == nullptr) return Change{ERROR_KEY_DELETED, false};
    if (!k->removeValue(valueName)) return Change{ERROR_FILE_NOT_FOUND, false};
    return Change{ERROR_SUCCESS, true};
  });
}

LONG RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* /*reserved*/, char* keyClass,
                  DWORD* classSize, FILETIME* lastWriteTime) {
  std::lock_guard guard(state().mutex);
  hive::Key* k = nullptr;
  if (LONG r = readKey(key, KEY_ENUMERATE_SUB_KEYS, k); r != ERROR_SUCCESS) return r;
  if (index >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  if (LONG r = copyName(nth(k->subkeys, index)->second->name, name, nameSize); r != ERROR_SUCCESS) return r;
  if (keyClass != nullptr && classSize != nullptr && *classSize > 0) keyClass[0] = '\0';
  if (classSize != nullptr) *classSize = 0;
  if (lastWriteTime != nullptr) *lastWriteTime = FILETIME{};
  return ERROR_SUCCESS;
}

LONG RegEnumValue(HKEY key, DWORD index, char* valueName, DWORD* valueNameSize, DWORD* /*reserved*/, DWORD* type,
                  BYTE* data, DWORD* dataSize) {
  std::lock_guard guard(state().mutex);
  hive::Key* k = nullptr;
  if (LONG r = readKey(key, KEY_QUERY_VALUE, k); r != ERROR_SUCCESS) return r;
  if (index >= k->values.size()) return ERROR_NO_MORE_ITEMS;
  const hive::Value& v = k->values[index];
  if (LONG r = copyName(v.name, valueName, valueNameSize); r != ERROR_SUCCESS) return r;
  return copyData(v, type, data, dataSize);
}

LONG RegQueryInfoKey(HKEY key, char* keyClass, DWORD* classSize, DWORD* /*reserved*/, DWORD* subKeys,
                     DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen,
                     DWORD* maxValueLen, DWORD* securityDescriptorSize, FILETIME* lastWriteTime) {
  std::lock_guard guard(state().mutex);
  hive::Key* k = nullptr;
  if (LONG r = readKey(key, KEY_QUERY_VALUE, k); r != ERROR_SUCCESS) return r;
  std::size_t longestKey = 0, longestName = 0, longestData = 0;
  for (const auto& [folded, sub] : k->subkeys) longestKey = std::max(longestKey, sub->name.size());
  for (const hive::Value& v : k->values) {
    longestName = std::max(longestName, v.name.size());
    longestData = std::max(longestData, v.data.size());
  }
  if (keyClass != nullptr && classSize != nullptr && *classSize > 0) keyClass[0] = '\0';
  if (classSize != nullptr) *classSize = 0;
  if (subKeys != nullptr) *subKeys = static_cast<DWORD>(k->subkeys.size());
  if (maxSubKeyLen != nullptr) *maxSubKeyLen = static_cast<DWORD>(longestKey);
  if (maxClassLen != nullptr) *maxClassLen = 0;
  if (values != nullptr) *values = static_cast<DWORD>(k->values.size());
  if (maxValueNameLen != nullptr) *maxValueNameLen = static_cast<DWORD>(longestName);
  if (maxValueLen != nullptr) *maxValueLen = static_cast<DWORD>(longestData);
  if (securityDescriptorSize != nullptr) *securityDescriptorSize = 0;
  if (lastWriteTime != nullptr) *lastWriteTime = FILETIME{};
  return ERROR_SUCCESS;
}

LONG RegDeleteKey(HKEY key, std::string_view subKey) {
  std::lock_guard guard(state().mutex);
  OpenKey base;
  if (LONG r = resolve(key, base); r != ERROR_SUCCESS) return r;
  std::vector<std::string> parts;
  if (LONG r = parseSubKey(subKey, base.path.size(), parts); r != ERROR_SUCCESS) return r;
  std::vector<std::string> target = base.path;
  target.insert(target.end(), parts.begin(), parts.end());
  if (target.empty()) return ERROR_ACCESS_DENIED;  // a root is never deleted
  return mutate(base.hive, [&](hive::Key& root) {
    if (walk(root, base.path) == nullptr) return Change{ERROR_KEY_DELETED, false};
    hive::Key* parent = walk(root, target, target.size() - 1);
    hive::Key* victim = parent == nullptr ? nullptr : parent->findSubkey(target.back());
    if (victim == nullptr) return Change{ERROR_FILE_NOT_FOUND, false};
    if (!victim->subkeys.empty()) return Change{ERROR_ACCESS_DENIED, false};
    parent->removeSubkey(target.back());
    return Change{ERROR_SUCCESS, true};
  });
}

WriteBatch::WriteBatch() {
  State& s = state();
  s.mutex.lock();
  outer_ = s.batchDepth == 0;
  ++s.batchDepth;
}

WriteBatch::~WriteBatch() {
  if (!done_) commit();
  State& s = state();
  --s.batchDepth;
  s.mutex.unlock();
}

LONG WriteBatch::commit() {
  if (done_ || !outer_) {
    done_ = true;
    return ERROR_SUCCESS;
  }
  done_ = true;
  LONG result = ERROR_SUCCESS;
  for (int i = 0; i < kHiveCount; ++i) {
    Hive& h = state().hives[i];
    if (!h.batchLock) continue;
    if (h.batchDirty) {
      const LONG r = store(i);
      if (r != ERROR_SUCCESS) result = r;
    }
    h.batchDirty = false;
    h.batchLock.reset();
  }
  return result;
}

std::filesystem::path hivePath(HKEY root) { return pathOf(rootIndex(root)); }

std::string hiveProblem(HKEY root) {
  const int index = rootIndex(root);
  if (index < 0) return {};
  std::lock_guard guard(state().mutex);
  refresh(index, false);
  return state().hives[index].problem;
}

}  // namespace plat::registry
