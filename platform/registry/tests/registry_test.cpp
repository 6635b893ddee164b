#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/fs/config_root.h"
#include "platform/fs/fault.h"
#include "platform/registry/registry.h"
#include "platform/fs/file_io.h"
#include "platform/testing/crash_points.h"
#include "platform/testing/test_env.h"

namespace fs = std::filesystem;
using namespace plat::registry;

namespace {

// The bytes of a literal, embedded NULs included.
template <std::size_t N>
std::string B(const char (&s)[N]) {
  return std::string(s, N - 1);
}

const char kKey[] = "Software\\Quillon\\Kestrelle";

std::string toHex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

fs::path helperPath() { return fs::read_symlink("/proc/self/exe").parent_path() / "registry_helper"; }

pid_t spawnHelper(const std::vector<std::string>& args, int* outFd = nullptr) {
  int pipeFds[2] = {-1, -1};
  if (outFd != nullptr && ::pipe(pipeFds) != 0) return -1;
  const std::string exe = helperPath().string();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (outFd != nullptr) {
      ::dup2(pipeFds[1], 1);
      ::close(pipeFds[0]);
      ::close(pipeFds[1]);
    }
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(exe.c_str(), argv.data());
    ::_exit(127);
  }
  if (outFd != nullptr) {
    ::close(pipeFds[1]);
    *outFd = pipeFds[0];
  }
  return pid;
}

int waitHelper(pid_t pid) {
  int st = 0;
  if (::waitpid(pid, &st, 0) != pid || !WIFEXITED(st)) return -1;
  return WEXITSTATUS(st);
}

// Runs the helper to its end; its standard output goes to `out`.
int runHelper(const std::vector<std::string>& args, std::string* out = nullptr) {
  int fd = -1;
  const pid_t pid = spawnHelper(args, out != nullptr ? &fd : nullptr);
  if (pid < 0) return -1;
  if (out != nullptr) {
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) out->append(buf, static_cast<size_t>(n));
    ::close(fd);
  }
  return waitHelper(pid);
}

struct Stored {
  DWORD type;
  std::string data;
  bool operator==(const Stored&) const = default;
};

// The helper's view of a key: value name -> type and data.
std::map<std::string, Stored> dumpByHelper(const std::string& root, const std::string& key) {
  std::string out;
  EXPECT_EQ(runHelper({"dump", root, key}, &out), 0);
  std::map<std::string, Stored> values;
  std::size_t pos = 0;
  while (pos < out.size()) {
    const std::size_t end = out.find('\n', pos);
    const std::string line = out.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t a = line.find(' '), b = line.find(' ', a + 1);
    std::string name, data;
    for (std::size_t i = 0; i + 1 < a; i += 2) name += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
    for (std::size_t i = b + 1; i + 1 < line.size(); i += 2)
      data += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
    values[name] = {static_cast<DWORD>(std::stoul(line.substr(a + 1, b - a - 1))), data};
  }
  return values;
}

HKEY createKey(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyEx(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS)
      << path;
  return key;
}

LONG setValue(HKEY key, const std::string& name, DWORD type, const std::string& data) {
  return RegSetValueEx(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
}

LONG setDword(HKEY key, const std::string& name, DWORD v) {
  return RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
}

// Reads a value in full (size first, then the data), as the callers do.
LONG queryValue(HKEY key, const std::string& name, Stored& out) {
  DWORD size = 0;
  if (LONG r = RegQueryValueEx(key, name, nullptr, &out.type, nullptr, &size)) return r;
  out.data.assign(size, '\0');
  return RegQueryValueEx(key, name, nullptr, &out.type, reinterpret_cast<BYTE*>(out.data.data()), &size);
}

DWORD queryDword(HKEY root, const std::string& path, const std::string& name) {
  HKEY key;
  if (RegOpenKeyEx(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0xFFFFFFFF;
  DWORD v = 0, size = sizeof v;
  const LONG r = RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS ? v : 0xFFFFFFFF;
}

// Values whose bytes must survive the file: every type, and names and data
// holding the bytes the file's syntax uses.
const std::map<std::string, Stored>& awkwardValues() {
  static const std::map<std::string, Stored> values = [] {
    std::string allBytes;
    for (int i = 0; i < 256; ++i) allBytes += static_cast<char>(i);
    return std::map<std::string, Stored>{
        {"AppPath", {REG_SZ, B("/opt/talvane\0")}},
        {"Lines", {REG_SZ, B("one\r\ntwo\nthree\r=[x]%41\0")}},
        {"Bytes", {REG_SZ, B("caf\xe9 \xff\xfe \xc3\x28 ok \xc3\xa9\0")}},
        {"Empty", {REG_SZ, ""}},
        {"NoTerminator", {REG_SZ, "abc"}},
        {"Expand", {REG_EXPAND_SZ, B("%HOME%/Talvane\0")}},
        {"Multi", {REG_MULTI_SZ, B("a=b\0[c]\0\r\n\0\0")}},
        {"Blob", {REG_BINARY, allBytes}},
        {"Number", {REG_DWORD, B("\xef\xbe\xad\xde")}},
        {"ShortNumber", {REG_DWORD, B("\x01\x02")}},
        {"Wide", {REG_QWORD, B("\x01\x02\x03\x04\x05\x06\x07\x08")}},
        {"Untyped", {REG_NONE, ""}},
        {"Other", {0xFFFFFFFF, "\n"}},
        {B("na=me[\r\n\0]\xff"), {REG_SZ, B("v\0")}},
        {"", {REG_SZ, B("default value\0")}},
    };
  }();
  return values;
}

TEST(Registry, EveryValueRoundTripsThroughAnotherProcess) {
  // Written here, read by the helper.
  HKEY key = createKey(HKEY_CURRENT_USER, kKey);
  for (const auto& [name, v] : awkwardValues()) ASSERT_EQ(setValue(key, name, v.type, v.data), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(dumpByHelper("HKCU", kKey), awkwardValues());

  // Written by the helper, read here (this process has the hive cached).
  for (const auto& [name, v] : awkwardValues())
    ASSERT_EQ(runHelper({"set", "HKLM", "Software\\Classes\\.tpk", toHex(name), std::to_string(v.type), toHex(v.data)}),
              0);
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Classes\\.tpk", 0, KEY_READ, &key), ERROR_SUCCESS);
  for (const auto& [name, v] : awkwardValues()) {
    Stored back{};
    ASSERT_EQ(queryValue(key, name, back), ERROR_SUCCESS) << toHex(name);
    EXPECT_EQ(back, v) << toHex(name);
  }
  RegCloseKey(key);
}

TEST(Registry, CachedReadsSeeAnotherProcessWrite) {
  HKEY key = createKey(HKEY_CURRENT_USER, kKey);
  ASSERT_EQ(setDword(key, "ShowVolume", 1), ERROR_SUCCESS);
  EXPECT_EQ(queryDword(HKEY_CURRENT_USER, kKey, "ShowVolume"), 1u);
  // Same size, same names: only the file's identity tells the change.
  ASSERT_EQ(runHelper({"set", "HKCU", kKey, toHex("ShowVolume"), "4", "02000000"}), 0);
  EXPECT_EQ(queryDword(HKEY_CURRENT_USER, kKey, "ShowVolume"), 2u);
  ASSERT_EQ(runHelper({"delkey", "HKCU", kKey}), 0);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueEx(key, "ShowVolume", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(setDword(key, "ShowVolume", 3), ERROR_KEY_DELETED);
  RegCloseKey(key);
}

TEST(Registry, QueryReportsSizesAndShortBuffers) {
  HKEY key = createKey(HKEY_CURRENT_USER, kKey);
  ASSERT_EQ(setValue(key, "AltJingleName", REG_SZ, B("jingle\0")), ERROR_SUCCESS);

  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueEx(key, "AltJingleName", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 7u);

  struct Case {
    DWORD bufferSize;
    LONG result;
    DWORD sizeAfter;
  };
  for (const Case& c : {Case{0, ERROR_MORE_DATA, 7}, Case{6, ERROR_MORE_DATA, 7}, Case{7, ERROR_SUCCESS, 7},
                        Case{64, ERROR_SUCCESS, 7}}) {
    char buf[64];
    std::memset(buf, 'x', sizeof buf);
    size = c.bufferSize;
    EXPECT_EQ(RegQueryValueEx(key, "altjinglename", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size), c.result)
        << c.bufferSize;
    EXPECT_EQ(size, c.sizeAfter);
    if (c.result == ERROR_SUCCESS) EXPECT_EQ(std::string(buf, 7), B("jingle\0"));
    else EXPECT_EQ(buf[0], 'x');  // nothing copied
  }

  BYTE buf[4];
  EXPECT_EQ(RegQueryValueEx(key, "AltJingleName", nullptr, nullptr, buf, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueEx(key, "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValue(key, "ALTJINGLENAME"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValue(key, "AltJingleName"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegQueryValueEx(key, "AltJingleName", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST(Registry, PathsAndNamesIgnoreCaseAndKeepTheirFirstSpelling) {
  HKEY key = createKey(HKEY_CURRENT_USER, "Software\\Quillon\\Kestrelle\\Ärger");
  ASSERT_EQ(setDword(key, "ShowProlog", 1), ERROR_SUCCESS);
  ASSERT_EQ(setDword(key, "SHOWPROLOG", 0), ERROR_SUCCESS);
  RegCloseKey(key);

  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\quillon\\KESTRELLE\\äRGER\\", 0, nullptr, 0, KEY_ALL_ACCESS,
                           nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  char name[64];
  DWORD nameSize = sizeof name, type = 0;
  ASSERT_EQ(RegEnumValue(key, 0, name, &nameSize, nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::string(name), "ShowProlog");
  EXPECT_EQ(RegEnumValue(key, 1, name, &nameSize, nullptr, &type, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  RegCloseKey(key);
  EXPECT_EQ(queryDword(HKEY_CURRENT_USER, "software\\QUILLON\\kestrelle\\ÄRGER", "showprolog"), 0u);

  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "software\\quillon", 0, KEY_READ, &key), ERROR_SUCCESS);
  nameSize = sizeof name;
  ASSERT_EQ(RegEnumKeyEx(key, 0, name, &nameSize, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::string(name), "Kestrelle");
  EXPECT_EQ(nameSize, 9u);
  RegCloseKey(key);
}

TEST(Registry, SubkeysEnumerateInOrderOfTheirUpperCasedNames) {
  HKEY parent = createKey(HKEY_CLASSES_ROOT, "Talvane.document");
  for (const char* n : {"shell", "DefaultIcon", "apple", "Zeta", "beta"}) RegCloseKey(createKey(parent, n));
  std::vector<std::string> names;
  char name[16];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    const LONG r = RegEnumKeyEx(parent, i, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(r, ERROR_SUCCESS);
    names.emplace_back(name, size);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"apple", "beta", "DefaultIcon", "shell", "Zeta"}));
  DWORD size = 11;  // "DefaultIcon" needs 12 with its terminator
  EXPECT_EQ(RegEnumKeyEx(parent, 2, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  RegCloseKey(parent);
}

// Deletes a key with everything below it the way the settings code does:
// count the subkeys, enumerate them from the last index down, delete each
// subtree depth first, then close and delete the key itself.
bool deleteTree(HKEY root, const std::string& path, std::vector<std::string>& order) {
  HKEY key;
  if (RegOpenKeyEx(root, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0, longest = 0;
  if (RegQueryInfoKey(key, nullptr, nullptr, nullptr, &subkeys, &longest, nullptr, nullptr, nullptr, nullptr, nullptr,
                      nullptr) != ERROR_SUCCESS) {
    RegCloseKey(key);
    return false;
  }
  std::string name(longest + 1, '\0');
  for (DWORD i = subkeys; i-- > 0;) {
    DWORD size = longest + 1;
    if (RegEnumKeyEx(key, i, name.data(), &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
      deleteTree(root, path + "\\" + std::string(name.data(), size), order);
  }
  RegCloseKey(key);
  if (RegDeleteKey(root, path) == ERROR_SUCCESS) order.push_back(path);
  return true;
}

TEST(Registry, ThreeLevelTreeIsDeletedFromTheLeavesUp) {
  const std::string top = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Talvane";
  for (const char* leaf : {"\\Languages\\German", "\\Languages\\French", "\\Books\\KESTREL"}) {
    HKEY key = createKey(HKEY_LOCAL_MACHINE, top + leaf);
    ASSERT_EQ(setValue(key, "DisplayName", REG_SZ, B("x\0")), ERROR_SUCCESS);
    RegCloseKey(key);
  }
  HKEY sibling = createKey(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other");
  ASSERT_EQ(setDword(sibling, "Keep", 7), ERROR_SUCCESS);
  RegCloseKey(sibling);

  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, top), ERROR_ACCESS_DENIED);  // it still has subkeys
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, top + "\\Languages"), ERROR_ACCESS_DENIED);

  std::vector<std::string> order;
  ASSERT_TRUE(deleteTree(HKEY_LOCAL_MACHINE, top, order));
  EXPECT_EQ(order, (std::vector<std::string>{top + "\\Languages\\German", top + "\\Languages\\French",
                                             top + "\\Languages", top + "\\Books\\KESTREL", top + "\\Books", top}));
  HKEY key;
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, top, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(queryDword(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other", "Keep"),
            7u);
  EXPECT_FALSE(deleteTree(HKEY_LOCAL_MACHINE, top, order));
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, top), ERROR_FILE_NOT_FOUND);
}

TEST(Registry, TwoProcessesWritingInTurnLoseNothing) {
  const pid_t a = spawnHelper({"many", "HKCU", kKey, "first", "100"});
  const pid_t b = spawnHelper({"many", "HKCU", "SOFTWARE\\Quillon\\Kestrelle", "second", "100"});
  ASSERT_EQ(waitHelper(a), 0);
  ASSERT_EQ(waitHelper(b), 0);
  HKEY key;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD values = 0;
  ASSERT_EQ(RegQueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                            nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 200u);
  RegCloseKey(key);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(queryDword(HKEY_CURRENT_USER, kKey, "first" + std::to_string(i)), static_cast<DWORD>(i));
    EXPECT_EQ(queryDword(HKEY_CURRENT_USER, kKey, "second" + std::to_string(i)), static_cast<DWORD>(i));
  }
}

TEST(Registry, FailedWriteLeavesThePreviousHive) {
  plat::fs::FaultScope faults;
  HKEY key = createKey(HKEY_LOCAL_MACHINE, kKey);
  ASSERT_EQ(setValue(key, "AppPath", REG_SZ, B("/opt/old\0")), ERROR_SUCCESS);
  const fs::path hive = hivePath(HKEY_LOCAL_MACHINE);
  const std::string before = tvtest::readFile(hive);
  const std::map<std::string, Stored> old{{"AppPath", {REG_SZ, B("/opt/old\0")}}};

  struct Case {
    plat::fs::FaultOp op;
    int skip;  // operations on the hive that pass first
    LONG result;
  };
  // The hive is read under the lock (open, read), then its replacement
  // written (open, write, rename). A failed re-read must not write either.
  for (const Case& c : {Case{plat::fs::FaultOp::Open, 0, ERROR_CANTREAD}, Case{plat::fs::FaultOp::Read, 0, ERROR_CANTREAD},
                        Case{plat::fs::FaultOp::Open, 1, ERROR_CANTWRITE},
                        Case{plat::fs::FaultOp::Write, 0, ERROR_CANTWRITE},
                        Case{plat::fs::FaultOp::Rename, 0, ERROR_CANTWRITE}}) {
    plat::fs::injectFault(c.op, "/HKEY_LOCAL_MACHINE.hive", ENOSPC, 1, c.skip);
    EXPECT_EQ(setValue(key, "AppPath", REG_SZ, B("/opt/new\0")), c.result);
    plat::fs::clearFaults();
    EXPECT_EQ(tvtest::readFile(hive), before);
    Stored back{};
    ASSERT_EQ(queryValue(key, "AppPath", back), ERROR_SUCCESS);
    EXPECT_EQ(back, old.at("AppPath"));
    EXPECT_EQ(dumpByHelper("HKLM", kKey), old);
  }
  // A batch that cannot be written leaves it as well.
  plat::fs::injectFault(plat::fs::FaultOp::Rename, "/HKEY_LOCAL_MACHINE.hive", EIO);
  {
    WriteBatch batch;
    EXPECT_EQ(setDword(key, "A", 1), ERROR_SUCCESS);
    EXPECT_EQ(setDword(key, "B", 2), ERROR_SUCCESS);
    EXPECT_EQ(batch.commit(), ERROR_CANTWRITE);
  }
  EXPECT_EQ(tvtest::readFile(hive), before);
  EXPECT_EQ(queryDword(HKEY_LOCAL_MACHINE, kKey, "A"), 0xFFFFFFFFu);
  // Nothing but the hive and its lock is left in the folder.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(hive.parent_path())) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".HKEY_LOCAL_MACHINE.hive.lock", "HKEY_LOCAL_MACHINE.hive"}));
  RegCloseKey(key);
}

TEST(Registry, BatchReplacesTheHiveOnceAtCommit) {
  plat::fs::FaultScope faults;
  HKEY key = createKey(HKEY_CURRENT_USER, kKey);
  ASSERT_EQ(setDword(key, "Before", 1), ERROR_SUCCESS);
  // A second replace inside the batch would fail.
  plat::fs::injectFault(plat::fs::FaultOp::Rename, "HKEY_CURRENT_USER.hive", EIO, 1, 1);
  {
    WriteBatch batch;
    for (int i = 0; i < 25; ++i) ASSERT_EQ(setDword(key, "Setting" + std::to_string(i), i), ERROR_SUCCESS);
    {
      WriteBatch nested;  // joins the outer batch
      ASSERT_EQ(setDword(key, "Nested", 9), ERROR_SUCCESS);
      EXPECT_EQ(nested.commit(), ERROR_SUCCESS);
    }
    EXPECT_EQ(RegDeleteValue(key, "Before"), ERROR_SUCCESS);
    // The batch reads its own writes; other processes see none yet.
    EXPECT_EQ(queryDword(HKEY_CURRENT_USER, kKey, "Nested"), 9u);
    EXPECT_EQ(dumpByHelper("HKCU", kKey).size(), 1u);
    EXPECT_EQ(batch.commit(), ERROR_SUCCESS);
  }
  const auto seen = dumpByHelper("HKCU", kKey);
  EXPECT_EQ(seen.size(), 26u);
  EXPECT_EQ(seen.count("Before"), 0u);
  EXPECT_EQ(setDword(key, "After", 1), ERROR_CANTWRITE);  // the armed fault was still unused
  RegCloseKey(key);
}

TEST(Registry, HivesLiveInTheirFoldersCreatedOnTheFirstWrite) {
  const fs::path machine = plat::fs::machineSettingsFolder();
  EXPECT_EQ(hivePath(HKEY_LOCAL_MACHINE), machine / "HKEY_LOCAL_MACHINE.hive");
  EXPECT_EQ(hivePath(HKEY_CLASSES_ROOT), machine / "HKEY_CLASSES_ROOT.hive");
  EXPECT_EQ(hivePath(HKEY_CURRENT_USER), plat::fs::configRoot() / "HKEY_CURRENT_USER.hive");

  fs::remove_all(plat::fs::configRoot());
  HKEY key;
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(queryDword(HKEY_CURRENT_USER, kKey, "x"), 0xFFFFFFFFu);
  EXPECT_FALSE(fs::exists(plat::fs::configRoot()));  // reads create nothing

  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_CURRENT_USER}) {
    key = createKey(root, ".tpk");
    ASSERT_EQ(setValue(key, "Content Type", REG_SZ, B("application/octet-stream\0")), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(fs::is_regular_file(hivePath(root)));
  }
  // Each root is a hive of its own.
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, ".tpk", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, ".tpk"), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, ".TPK", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST(Registry, RefusesBadHandlesPathsAndRights) {
  HKEY key = createKey(HKEY_CURRENT_USER, kKey);
  HKEY readOnly;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &readOnly), ERROR_SUCCESS);
  HKEY out;
  DWORD size = 0;
  struct Case {
    const char* what;
    std::function<LONG()> call;
    LONG expected;
  };
  const std::string longName(256, 'n');
  const std::vector<Case> cases{
      {"null handle", [&] { return RegOpenKeyEx(nullptr, "x", 0, KEY_READ, &out); }, ERROR_INVALID_HANDLE},
      {"unknown handle",
       [&] { return RegQueryValueEx(reinterpret_cast<HKEY>(std::uintptr_t{0x77}), "x", nullptr, nullptr, nullptr, &size); },
       ERROR_INVALID_HANDLE},
      {"leading backslash", [&] { return RegOpenKeyEx(HKEY_CURRENT_USER, "\\Software", 0, KEY_READ, &out); },
       ERROR_BAD_PATHNAME},
      {"empty component",
       [&] { return RegCreateKeyEx(HKEY_CURRENT_USER, "a\\\\b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr); },
       ERROR_BAD_PATHNAME},
      {"name too long",
       [&] { return RegCreateKeyEx(key, longName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr); },
       ERROR_INVALID_PARAMETER},
      {"no result", [&] { return RegOpenKeyEx(HKEY_CURRENT_USER, kKey, 0, KEY_READ, nullptr); }, ERROR_INVALID_PARAMETER},
      {"data missing", [&] { return RegSetValueEx(key, "x", 0, REG_BINARY, nullptr, 4); }, ERROR_INVALID_PARAMETER},
      {"set on a read handle", [&] { return setDword(readOnly, "x", 1); }, ERROR_ACCESS_DENIED},
      {"delete value on a read handle", [&] { return RegDeleteValue(readOnly, "x"); }, ERROR_ACCESS_DENIED},
      {"create below a read handle",
       [&] { return RegCreateKeyEx(readOnly, "Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &out, nullptr); },
       ERROR_ACCESS_DENIED},
      {"delete a root", [&] { return RegDeleteKey(HKEY_CURRENT_USER, ""); }, ERROR_ACCESS_DENIED},
      {"delete a missing key", [&] { return RegDeleteKey(key, "Missing"); }, ERROR_FILE_NOT_FOUND},
      {"open a missing key", [&] { return RegOpenKeyEx(key, "Missing", 0, KEY_READ, &out); }, ERROR_FILE_NOT_FOUND},
      {"enumerate past the end",
       [&] {
         char n[8];
         DWORD s = sizeof n;
         return RegEnumKeyEx(key, 0, n, &s, nullptr, nullptr, nullptr, nullptr);
       },
       ERROR_NO_MORE_ITEMS},
      {"closing twice",
       [&] {
         HKEY k;
         RegOpenKeyEx(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &k);
         RegCloseKey(k);
         return RegCloseKey(k);
       },
       ERROR_INVALID_HANDLE},
      {"closing a root", [&] { return RegCloseKey(HKEY_LOCAL_MACHINE); }, ERROR_SUCCESS},
  };
  for (const Case& c : cases) EXPECT_EQ(c.call(), c.expected) << c.what;
  // Reading through the read handle works, and the key deletes itself.
  EXPECT_EQ(RegQueryInfoKey(readOnly, nullptr, nullptr, nullptr, &size, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(key, ""), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryInfoKey(readOnly, nullptr, nullptr, nullptr, &size, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr),
            ERROR_KEY_DELETED);
  RegCloseKey(readOnly);
  RegCloseKey(key);
}

TEST(Registry, AnUnsoundLineIsKeptAndEachFaultGetsABackupOfItsOwn) {
  const fs::path hive = hivePath(HKEY_CURRENT_USER);
  const std::string text =
      "talvane-registry-hive 1\n"
      "[Software\\Quillon\\Kestrelle]\n"
      "ShowProlog=dword:00000001\n"
      "ShowComment=dword:0000\n"
      "ShowFixed=dword:00000001\n";
  tvtest::writeFile(hive, text);
  const auto backups = [&] {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(hive.parent_path()))
      if (e.path().extension() == ".bad") names.push_back(e.path().filename().string());
    return names;
  };
  EXPECT_EQ(queryDword(HKEY_CURRENT_USER, kKey, "ShowProlog"), 1u);
  EXPECT_EQ(queryDword(HKEY_CURRENT_USER, kKey, "ShowFixed"), 1u);  // nothing after the bad line is lost
  EXPECT_EQ(hiveProblem(HKEY_CURRENT_USER), "line 4: a dword needs 8 hex digits");

  HKEY key = createKey(HKEY_CURRENT_USER, kKey);
  ASSERT_EQ(setDword(key, "ShowFixed", 0), ERROR_SUCCESS);
  const std::vector<std::string> first = backups();
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(tvtest::readFile(hive.parent_path() / first[0]), text);
  EXPECT_NE(tvtest::readFile(hive).find("ShowComment=dword:0000\n"), std::string::npos);
  EXPECT_EQ(dumpByHelper("HKCU", kKey),
            (std::map<std::string, Stored>{{"ShowProlog", {REG_DWORD, B("\1\0\0\0")}},
                                           {"ShowFixed", {REG_DWORD, std::string(4, '\0')}}}));

  // The same fault read again makes no second copy; a new one does, and
  // the first copy stays as it was.
  ASSERT_EQ(setDword(key, "ShowLinks", 1), ERROR_SUCCESS);
  EXPECT_EQ(backups(), first);
  const std::string damaged = tvtest::readFile(hive) + "Stray line\n";
  tvtest::writeFile(hive, damaged);
  ASSERT_EQ(setDword(key, "ShowLinks", 2), ERROR_SUCCESS);
  EXPECT_EQ(backups().size(), 2u);
  EXPECT_EQ(tvtest::readFile(hive.parent_path() / first[0]), text);
  EXPECT_EQ(queryDword(HKEY_CURRENT_USER, kKey, "ShowLinks"), 2u);
  RegCloseKey(key);
}

TEST(Registry, ThreadsShareOneConsistentRegistry) {
  HKEY key = createKey(HKEY_CURRENT_USER, kKey);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t, key] {
      for (int i = 0; i < 20; ++i) {
        if (t % 2 == 0) {
          WriteBatch batch;
          setDword(key, "t" + std::to_string(t) + "_" + std::to_string(i), i);
        } else {
          setDword(key, "t" + std::to_string(t) + "_" + std::to_string(i), i);
        }
      }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(dumpByHelper("HKCU", kKey).size(), 80u);
  RegCloseKey(key);
}

}  // namespace

namespace {

// A program killed while it writes a hive leaves the old hive or the new
// one, and the next write leaves no temporary file beside it.
TEST(Registry, AHiveIsTheOldOrTheNewVersionAfterACrash) {
  const fs::path hive = hivePath(HKEY_CURRENT_USER);
  const auto setup = [&] {
    fs::remove(hive);
    HKEY key = createKey(HKEY_CURRENT_USER, kKey);
    ASSERT_EQ(setDword(key, "A", 1), ERROR_SUCCESS);
    RegCloseKey(key);
  };
  const auto work = [&] {
    WriteBatch batch;
    HKEY key = createKey(HKEY_CURRENT_USER, kKey);
    setDword(key, "A", 2);
    setDword(key, "B", 2);
    RegCloseKey(key);
    batch.commit();
  };
  const int points = tvtest::forEachCrashPoint("HKEY_CURRENT_USER", setup, work, [&](const std::string& where) {
    const DWORD a = queryDword(HKEY_CURRENT_USER, kKey, "A"), b = queryDword(HKEY_CURRENT_USER, kKey, "B");
    EXPECT_TRUE((a == 1 && b == 0xFFFFFFFFu) || (a == 2 && b == 2)) << where << ": " << a << ", " << b;
    HKEY key = createKey(HKEY_CURRENT_USER, kKey);
    ASSERT_EQ(setDword(key, "C", 3), ERROR_SUCCESS) << where;
    RegCloseKey(key);
    for (const auto& e : fs::directory_iterator(hive.parent_path()))
      EXPECT_FALSE(plat::fs::isWriteTemporaryName(e.path().filename().string())) << where << ": " << e.path();
  });
  EXPECT_GT(points, 3);
}

}  // namespace
