// The data path of COrv_Environment: how it is chosen, the folders and
// files of its structure, creating, verifying, deleting and marking it, the
// named data paths and the alternative sources of Talvane libraries.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/fs/config_root.h"
#include "platform/fs/file.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/special_folders.h"
#include "platform/profile/ini_text.h"
#include "platform/profile/profile.h"
#include "platform/ui/message_box.h"
#include "player/env/env_strings.h"
#include "player/env/environment.h"
#include "player/env/settings_file.h"
#include "platform/text/utf8.h"

namespace orv {

namespace fs = std::filesystem;
using detail::settingsFile;
using detail::writeSettingsValue;

namespace {

constexpr size_t kPathBuffer = 260;  // values of the settings file: 259 characters
constexpr size_t kListBuffer = 261;  // list entries: 260 characters
constexpr int kCsidlPersonal = 5;

constexpr const char* kInstall = "Install";
constexpr const char* kBackUp = "BackUp";
constexpr const char* kDownLoad = "DownLoad";
constexpr const char* kUsers = "Users";
constexpr const char* kTalvanes = "Talvanes";
constexpr const char* kUserIndex = "Index.usr";
constexpr const char* kBookIndex = "Index.tvk";
constexpr const char* kAltSourcesFile = "Localize.dpl";
constexpr const char* kInUseMark = "active.log";
constexpr const char* kAltSources = "AltSources";

std::string publicFolder() {
  const char* p = std::getenv("PUBLIC");
  return p != nullptr ? std::string(p) : std::string();
}

std::string withoutTrailingSeparator(std::string s) {
  if (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string withTrailingSeparator(std::string s) {
  if (s.empty() || s.back() != '/') s.push_back('/');
  return s;
}

std::string joined(const std::string& folder, std::string_view name) {
  return withTrailingSeparator(folder) + std::string(name);
}

std::string key2(int i) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", i);
  return buf;
}

bool isFolder(const std::string& path) {
  auto st = plat::fs::fileStatus(path);
  return st && st->folder;
}

bool isFile(const std::string& path) {
  auto st = plat::fs::fileStatus(path);
  return st && !st->folder;
}

// The path with every link and "." or ".." resolved as far as it exists,
// so that two spellings of one folder compare equal.
std::string canonical(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::path(path), ec);
  if (ec) p = fs::path(path).lexically_normal();
  return withoutTrailingSeparator(p.string());
}

// Makes `path` the cached data path of `env` until the scope ends.
class DataPathScope {
 public:
  DataPathScope(std::string& cached, std::string path) : cached_(cached), kept_(std::move(cached)) {
    cached_ = std::move(path);
  }
  ~DataPathScope() { cached_ = std::move(kept_); }
  DataPathScope(const DataPathScope&) = delete;
  DataPathScope& operator=(const DataPathScope&) = delete;

 private:
  std::string& cached_;
  std::string kept_;
};

}  // namespace

// --- Choosing the data path -----------------------------------------------------

std::string COrv_Environment::ReadDataPath(bool fromFile) {
  std::string path =
      fromFile ? plat::profile::getString(settingsFile(), kSecDatapath, kKeyDataPath, "", kPathBuffer) : dataPath_;
  return path.empty() ? GetStandardDataPath() : path;
}

bool COrv_Environment::HasPublicFolder() { return !publicFolder().empty(); }

std::string COrv_Environment::GetStandardDataPath() {
  std::string pub = publicFolder();
  return pub.empty() ? GetDefaultDataPath() : pub;
}

// The documents folder as the desktop names it (XDG_DOCUMENTS_DIR), else
// $HOME/Documents, made when missing: a fresh account has neither the
// entry nor the folder. Next the stored default, and last a folder under
// the configuration root. Never the program folder: it is read-only, and
// learner data beside the program would be lost with it.
std::string COrv_Environment::GetDefaultDataPath() {
  std::string documents = GetSpecialFolderPath(kCsidlPersonal);
  if (documents.empty()) {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home == '/') documents = (fs::path(home) / "Documents").string();
  }
  if (!documents.empty() && plat::fs::ensureFolder(documents)) return documents;
  std::string fallback = plat::profile::getString(settingsFile(), kSecDatapath, kKeyDefaultDatapath, "", kPathBuffer);
  if (!fallback.empty()) return fallback;
  const fs::path data = plat::fs::configRoot() / "Data";
  plat::fs::ensureFolder(data);
  return data.string();
}

// The XDG folder that a CSIDL number stands for; empty for none (a lookup
// that finds nothing is no failure to report here).
std::string COrv_Environment::GetSpecialFolderPath(int csidl) {
  auto which = plat::fs::specialFolderForCsidl(csidl);
  if (!which) return {};
  return plat::fs::specialFolder(*which).string();
}

bool COrv_Environment::CheckPublicDataPath(bool move, std::string_view path) {
  const std::string pub = publicFolder();
  if (pub.empty()) return true;
  const std::string checked = path.empty() ? dataPath_ : std::string(path);
  if (checked == pub) return true;
  if (move) {
    SetDataPath(pub, false);
    return true;
  }
  plat::ui::AppMessageBox(envString(kStrPublicDataPathOnly), plat::ui::MB_OK);
  return false;
}

// With write, the new path gets its structure first (built in that path
// when it lacks one) and is stored only then, so that the settings file
// never names a folder that could not be made a data path; on failure the
// instance keeps its path and the file is left alone.
bool COrv_Environment::SetDataPath(const std::string* path, bool write) {
  std::string next = path != nullptr ? *path : ReadDataPath(true);
  if (!write) {
    dataPath_ = std::move(next);
    return true;
  }
  // A path the settings file cannot give back whole is not taken.
  if (plat::text::countChars(next) >= kPathBuffer || !plat::profile::isValidValue(next)) return false;
  if (!VerifyDataPath(&next) && !CreateDataPath(&next)) return false;
  if (!writeSettingsValue(kSecDatapath, kKeyDataPath, plat::profile::protectValue(next))) return false;
  dataPath_ = std::move(next);
  return true;
}

// --- The folders -------------------------------------------------------------------

std::string COrv_Environment::dataFolder(std::string_view name, bool flag) const {
  std::string path = joined(dataPath_, name);
  return flag ? withTrailingSeparator(path) : path;
}

std::string COrv_Environment::GetDownloadPath(bool flag) { return dataFolder(kDownLoad, flag); }
std::string COrv_Environment::GetBackUpPath(bool flag) { return dataFolder(kBackUp, flag); }
std::string COrv_Environment::GetInstallPath(bool flag) { return dataFolder(kInstall, flag); }
std::string COrv_Environment::GetTalvanesPath(bool flag) { return dataFolder(kTalvanes, flag); }
std::string COrv_Environment::GetUsersPath(bool flag) { return dataFolder(kUsers, flag); }

// The demo folder lives beside the machine settings.
std::string COrv_Environment::GetDemoPath(bool flag) {
  std::string path = (plat::fs::machineSettingsFolder() / "TalvaneDemo").string();
  return flag ? withTrailingSeparator(path) : path;
}

std::string COrv_Environment::GetIndexFilePath(int kind) {
  switch (kind) {
    case 4:
      return joined(GetUsersPath(), kUserIndex);
    case 5:
      return joined(GetTalvanesPath(), kBookIndex);
    case 6:
      return settingsFile();
    case 7:
      return joined(dataPath_, kAltSourcesFile);
    default:
      return {};
  }
}

// --- The structure -----------------------------------------------------------------

bool COrv_Environment::CreateDataPath(const std::string* folder) {
  DataPathScope scope(dataPath_, folder != nullptr ? *folder : GetStandardDataPath());
  auto makeFolder = [](const std::string& path) {
    if (isFolder(path)) return true;
    return !plat::fs::createFolder(path);
  };
  for (const char* name : {kInstall, kBackUp, kDownLoad, kTalvanes})
    if (!makeFolder(dataFolder(name, false))) return false;
  {
    plat::fs::File index;  // created when missing, its contents kept when present
    if (index.open(GetIndexFilePath(5), plat::fs::File::Mode::Append)) return false;
    if (index.close()) return false;
  }
  if (!makeFolder(GetUsersPath())) return false;
  return defaultUserMaker()->ensureDefaultUser(dataPath_);
}

bool COrv_Environment::VerifyDataPath(const std::string* folder) {
  DataPathScope scope(dataPath_, folder != nullptr ? *folder : dataPath_);
  const bool sound = isFolder(GetInstallPath()) && isFolder(GetBackUpPath()) && isFolder(GetDownloadPath()) &&
                     isFolder(GetUsersPath()) && isFile(GetIndexFilePath(4)) && isFolder(GetTalvanesPath()) &&
                     isFile(GetIndexFilePath(5));
  if (sound) {
    // A listed user without a folder would lose every status write: the
    // folder is made again, or the user is named on standard error.
    for (const std::string& user : defaultUserMaker()->repairUsers(dataPath_))
      std::fprintf(stderr, "orvex: the folder of user \"%s\" is missing and cannot be made again\n", user.c_str());
  }
  return sound;
}

// Neither the standard data path nor the one in use (cached or stored) can
// be deleted; paths compare after resolving links and dots.
bool COrv_Environment::DeleteDataPath(std::string_view folder) {
  if (folder.empty()) return false;
  const std::string target(folder);
  const std::string canonicalTarget = canonical(target);
  for (const std::string& guarded : {GetStandardDataPath(), dataPath_, ReadDataPath(true)})
    if (canonical(guarded) == canonicalTarget) return false;
  if (!VerifyDataPath(&target)) return false;

  std::vector<std::string> doomed;
  {
    DataPathScope scope(dataPath_, target);
    doomed = {GetInstallPath(), GetBackUpPath(), GetDownloadPath(), GetTalvanesPath(), GetUsersPath()};
    if (isFile(GetIndexFilePath(7))) doomed.push_back(GetIndexFilePath(7));
  }
  bool ok = true;
  for (const std::string& path : doomed)
    if (plat::fs::removeTree(path)) ok = false;
  return ok;
}

// The mark is an empty file in the stored data path. False when it cannot
// be made, or when there is none to remove.
bool COrv_Environment::MarkDataPathInUse(bool on) {
  const std::string mark = joined(ReadDataPath(true), kInUseMark);
  if (on) {
    plat::fs::File file;
    if (file.open(mark, plat::fs::File::Mode::Create)) return false;
    return !file.close();
  }
  auto st = plat::fs::fileStatus(mark, false);
  if (!st || st->folder) return false;
  return !plat::fs::removeTree(mark);
}

// --- Lists ----------------------------------------------------------------------------

int COrv_Environment::ReadAltSources(std::vector<std::string>& list, bool flag) {
  const std::string file = GetIndexFilePath(7);
  int count = 0;
  for (int i = 1; i <= kMaxAltSources; ++i) {
    std::string value = plat::profile::getString(file, kAltSources, key2(i), "", kListBuffer);
    if (value.empty()) break;
    value = flag ? withTrailingSeparator(value) : withoutTrailingSeparator(value);
    if (list.size() < static_cast<size_t>(i)) list.resize(static_cast<size_t>(i));
    list[static_cast<size_t>(i - 1)] = value;
    ++count;
  }
  return count;
}

bool COrv_Environment::WriteAltSources(const std::vector<std::string>& list) {
  if (list.size() > static_cast<size_t>(kMaxAltSources)) return false;
  // A list ReadAltSources cannot give back whole is not written: an empty
  // entry would end the list there, a longer one would come back cut.
  for (const std::string& entry : list)
    if (entry.empty() || plat::text::countChars(entry) >= kListBuffer || !plat::profile::isValidValue(entry))
      return false;
  plat::profile::Batch batch;
  batch.deleteSection(kAltSources);
  for (size_t k = 0; k < list.size(); ++k) batch.writeString(kAltSources, key2(static_cast<int>(k + 1)), plat::profile::protectValue(list[k]));
  return !batch.apply(GetIndexFilePath(7));
}

int COrv_Environment::ReadDataPathHistory(std::vector<std::string>& list) {
  const std::string file = settingsFile();
  for (int i = 1; i <= kMaxNamedPaths; ++i) {
    std::string value = plat::profile::getString(file, kSecHistory, key2(i), "", kListBuffer);
    if (!value.empty()) list.push_back(value);
  }
  return static_cast<int>(list.size());
}

std::string COrv_Environment::GetNamedDataPath(std::string_view name, bool flag) {
  if (name == kDefaultPathName) return GetStandardDataPath();
  std::string value = plat::profile::getString(settingsFile(), name, kKeyPath, "", kListBuffer);
  if (value.empty()) return value;
  return flag ? withTrailingSeparator(value) : withoutTrailingSeparator(value);
}

// Folders compare with a trailing separator and case counting (folder names
// differ by case here).
bool COrv_Environment::AddNamedDataPath(std::string_view name, std::string_view folder) {
  if (name.empty() || folder.empty() || name == kDefaultPathName) return false;
  // The name heads a section and the folder must read back whole.
  if (!plat::profile::isValidSectionName(name) || !plat::profile::isValidValue(folder) ||
      plat::text::countChars(folder) >= kListBuffer)
    return false;
  const std::string newFolder = withTrailingSeparator(std::string(folder));
  if (withTrailingSeparator(GetStandardDataPath()) == newFolder) return false;

  std::vector<std::string> names;
  ReadDataPathHistory(names);
  if (names.size() >= static_cast<size_t>(kMaxNamedPaths)) return false;

  const std::string file = settingsFile();
  if (names.empty()) {
    if (!writeSettingsValue(kSecHistory, key2(1), name)) return false;
  } else {
    bool listed = false, listedWithFolder = false, folderTaken = false;
    for (const std::string& other : names) {
      const bool sameFolder = GetNamedDataPath(other, true) == newFolder;
      if (plat::profile::text::equalNoCase(other, name)) {
        listed = true;
        listedWithFolder = listedWithFolder || sameFolder;
      } else {
        folderTaken = folderTaken || sameFolder;
      }
    }
    if (listedWithFolder) return true;
    if (!listed && folderTaken) return false;
    if (!listed) {
      int freeKey = 0;
      for (int i = 1; i <= kMaxNamedPaths && freeKey == 0; ++i)
        if (plat::profile::getString(file, kSecHistory, key2(i), "", kListBuffer).empty()) freeKey = i;
      if (freeKey == 0 || !writeSettingsValue(kSecHistory, key2(freeKey), name)) return false;
    }
  }
  return writeSettingsValue(name, kKeyPath, plat::profile::protectValue(folder));
}

}  // namespace orv
