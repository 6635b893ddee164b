#include "player/env/users.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <filesystem>

#include "platform/fs/file_io.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/folder_listing.h"
#include "platform/profile/ini_text.h"
#include "platform/profile/profile.h"
#include "platform/text/utf8.h"
#include "player/env/credential_block.h"

namespace orv {

namespace {

namespace text = plat::profile::text;

constexpr const char* kDefaultUser = "Default";
constexpr const char* kKeyCount = "Count";
constexpr const char* kKeyPwd = "pwd";
constexpr const char* kGeneralIni = "General.ini";
constexpr const char* kStatusSuffix = ".ST";
constexpr const char* kSecStatus = "EMStatus";
constexpr const char* kSecGeneral = "General";
constexpr const char* kKeyLastEM = "LastEM";
constexpr size_t kPwdBuffer = 201;    // the block is read as at most 200 characters
// Status values are read as at most four digits; the buffer is wider so
// that a longer stored value is seen whole and refused, not cut.
constexpr size_t kStatusDigits = 4;
constexpr size_t kStatusBuffer = 64;
constexpr size_t kMaxBookCode = 8;

std::string trimRight(std::string s) {
  while (!s.empty() && text::isBlank(s.back())) s.pop_back();
  return s;
}

std::string joined(const std::string& folder, std::string_view name) {
  std::string out = folder;
  if (out.empty() || out.back() != '/') out.push_back('/');
  out.append(name);
  return out;
}

// The book code as status files are named by it (upper case), or empty when
// it is not a code at all (it could then name a file outside the folder).
std::string bookFileStem(std::string_view code) {
  if (code.empty() || code.size() > kMaxBookCode) return {};
  std::string out;
  for (char c : code) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return {};
    out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  }
  return out;
}

// A plain decimal conversion of a stored status value: optional sign,
// leading digits. More than four digits is not a value this store wrote:
// it reads as 0.
int decimalValue(std::string_view s) {
  s = text::trim(s);
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    if (s.front() == '-') return 0;  // never written: status values are not negative
    s.remove_prefix(1);
  }
  const size_t digits = std::min(s.find_first_not_of("0123456789"), s.size());
  if (digits > kStatusDigits) return 0;
  int value = 0;
  std::from_chars(s.data(), s.data() + digits, value);
  return value;
}

bool storableStatus(int value) { return value >= 0 && value <= COrv_Users::kMaxStatusValue; }

// `folder`/`name`, or when that is missing an entry of `folder` whose name
// differs only in case (files that other programs named), else
// `folder`/`name` as it stands; nothing when either is empty (a name that
// cannot be a file name names nothing, never the folder itself).
std::string existingSpelling(const std::string& folder, const std::string& name) {
  if (folder.empty() || name.empty()) return {};
  const std::string exact = joined(folder, name);
  if (plat::fs::fileStatus(exact, false)) return exact;
  std::vector<plat::fs::FolderEntry> entries;
  plat::fs::listFolder(folder, "*", entries);
  for (const plat::fs::FolderEntry& e : entries)
    if (plat::fs::equalNoCase(e.name, name)) return joined(folder, e.name);
  return exact;
}

std::string emKey(int number) { return "EM" + std::to_string(number); }

// The users of an index: its sections that hold a credential block.
std::vector<std::string> usersOf(const plat::profile::Snapshot& index) {
  std::vector<std::string> users;
  for (const std::string& section : index.sectionNames())
    if (!trimRight(index.getString(section, kKeyPwd, "", kPwdBuffer)).empty()) users.push_back(section);
  return users;
}

// Reads the Talvane index and the book's information file of the data path
// in the settings file.
class BuiltInEchomarkCountSource final : public EchomarkCountSource {
 public:
  int echomarkCount(std::string_view bookCode) override {
    const std::string code = bookFileStem(bookCode);
    if (code.empty()) return -1;
    COrv_Environment env;
    if (plat::profile::getString(env.GetIndexFilePath(5), "Tv installed", code, "", 256).empty()) return -1;
    const std::string safe = COrv_Environment::MakeValidFileName(code);
    const std::string info = joined(joined(env.GetTalvanesPath(), safe), safe + ".ini");
    const int n = plat::profile::getInt(info, "Settings", "NumQuotes", 0);
    return n < 0 ? 0 : n;
  }
};

// Makes the user "Default" of a new data path through the accounts.
class UsersDefaultUserMaker final : public DefaultUserMaker {
 public:
  bool ensureDefaultUser(const std::string& dataPath) override {
    COrv_Users users(dataPath);
    if (users.UserExists(kDefaultUser)) return true;
    return users.AddUser(kDefaultUser, "", true);
  }
  std::vector<std::string> repairUsers(const std::string& dataPath) override {
    return COrv_Users(dataPath).RepairUserFolders();
  }
};

BuiltInEchomarkCountSource g_builtInCounts;
std::atomic<EchomarkCountSource*> g_counts{nullptr};
UsersDefaultUserMaker g_usersMaker;

// Programs that link the accounts make "Default" through them from the start.
const bool g_makerInstalled = (setDefaultUserMaker(&g_usersMaker), true);

}  // namespace

EchomarkCountSource* echomarkCountSource() {
  EchomarkCountSource* s = g_counts.load();
  return s != nullptr ? s : &g_builtInCounts;
}

EchomarkCountSource* setEchomarkCountSource(EchomarkCountSource* source) { return g_counts.exchange(source); }

DefaultUserMaker* installUsersDefaultUserMaker() {
  (void)g_makerInstalled;
  return setDefaultUserMaker(&g_usersMaker);
}

COrv_Users::COrv_Users(std::string_view folder) {
  if (!folder.empty()) replaceDataPath(std::string(folder));
}

// --- Names -----------------------------------------------------------------------

std::string COrv_Users::GetSectionName(std::string_view name) {
  std::string section(text::trim(credentialName(name)));
  return section.empty() ? std::string(kDefaultUser) : section;
}

bool COrv_Users::IsValidUserName(std::string_view name) {
  if (name.find_first_of(std::string_view("\r\n\0=]", 5)) != std::string_view::npos) return false;
  if (!plat::text::isValidUtf8(name)) return false;
  const std::string section = GetSectionName(name);
  if (section.find_first_not_of('.') == std::string::npos) return false;
  return plat::profile::isValidSectionName(section);
}

std::string COrv_Users::storedSpelling(const std::string& section) {
  for (const std::string& s : plat::profile::sectionNames(GetIndexFilePath(4)))
    if (text::equalNoCase(s, section)) return s;
  return section;
}

std::string COrv_Users::userFolder(const std::string& section) {
  return existingSpelling(GetUsersPath(), MakeValidFileName(storedSpelling(section)));
}

// --- Accounts ----------------------------------------------------------------------

int COrv_Users::GetUserCount() {
  const int n = plat::profile::getInt(GetIndexFilePath(4), kDefaultUser, kKeyCount, 0);
  return n < 0 ? 0 : n;
}

int COrv_Users::GetUserNames(COrv_StringList& list) {
  const std::vector<std::string> users = usersOf(plat::profile::Snapshot::load(GetIndexFilePath(4)));
  list.insert(list.end(), users.begin(), users.end());
  return static_cast<int>(users.size());
}

bool COrv_Users::UserExists(std::string_view name) {
  if (!IsValidUserName(name)) return false;
  const std::string pwd = plat::profile::getString(GetIndexFilePath(4), GetSectionName(name), kKeyPwd, "", kPwdBuffer);
  return !trimRight(pwd).empty();
}

bool COrv_Users::AddUser(std::string_view name, std::string_view password, bool acceptExisting) {
  if (!IsValidUserName(name)) return false;
  const std::string section = GetSectionName(name);
  const std::string index = GetIndexFilePath(4);
  const bool exists = UserExists(section);
  if (exists && !acceptExisting) return false;

  std::string block;
  if (!EncodeCredentials(section, password, block)) return false;
  if (!exists) {
    // Two users must not share a folder ("a/b" and "a_b" both map to "a_b").
    const std::string folderName = MakeValidFileName(section);
    for (const std::string& other : usersOf(plat::profile::Snapshot::load(index)))
      if (MakeValidFileName(other) == folderName) return false;
  }

  // The folder and its General.ini first, the index entry last: a crash on
  // the way leaves a folder nobody lists (taken again by the next AddUser)
  // or a whole user, never a listed user without a folder.
  const std::string folder = userFolder(section);
  const std::string general = joined(folder, kGeneralIni);
  // A folder already there (its index entry lost to a crash, damage or an
  // edit) is taken over as it stands: the status files in it are the
  // learner's progress and are never deleted here.
  const bool hadFolder = plat::fs::fileStatus(folder).has_value();
  if (!makeUserFolder(folder)) return false;
  if (exists) {
    // An existing user keeps the settings; only a missing file is made.
    if (!plat::fs::fileStatus(general) && plat::fs::writeFileAtomic(general, "")) return false;
  } else if (plat::fs::writeFileAtomic(general, "")) {
    if (!hadFolder) plat::fs::removeFolder(folder);
    return false;
  }

  // The count is read under the index's lock, so that users added at once
  // by two programs are both counted.
  const std::error_code ec =
      plat::profile::update(index, [&](const plat::profile::Snapshot& current, plat::profile::Batch& batch) {
        const std::vector<std::string> users = usersOf(current);
        const bool listed = std::any_of(users.begin(), users.end(),
                                        [&](const std::string& u) { return text::equalNoCase(u, section); });
        batch.writeString(section, kKeyPwd, block);
        if (!listed) batch.writeString(kDefaultUser, kKeyCount, std::to_string(users.size() + 1));
      });
  if (ec) {
    if (!exists && !hadFolder) {
      plat::profile::removeIniFile(general);
      plat::fs::removeFolder(folder);
    }
    return false;
  }
  return true;
}

bool COrv_Users::makeUserFolder(const std::string& folder) {
  if (folder.empty()) return false;
  plat::fs::createFolder(GetUsersPath());
  plat::fs::createFolder(folder);
  const auto st = plat::fs::fileStatus(folder, false);
  return st && st->folder;
}

std::vector<std::string> COrv_Users::RepairUserFolders() {
  std::vector<std::string> refused;
  for (const std::string& user : usersOf(plat::profile::Snapshot::load(GetIndexFilePath(4)))) {
    const std::string folder = userFolder(user);
    const auto st = plat::fs::fileStatus(folder, false);
    if (st && st->folder) continue;
    const std::string general = joined(folder, kGeneralIni);
    if (!makeUserFolder(folder) || plat::fs::writeFileAtomic(general, "")) refused.push_back(user);
  }
  return refused;
}

void COrv_Users::removeUser(const std::string& section) {
  const std::string index = GetIndexFilePath(4);
  const std::string spelling = storedSpelling(section);
  const std::string folder = userFolder(section);
  // The entry goes first, under the index's lock with the count read there:
  // a crash after it leaves a folder that no user names.
  const std::error_code ec =
      plat::profile::update(index, [&](const plat::profile::Snapshot& current, plat::profile::Batch& batch) {
        size_t remaining = 0;
        for (const std::string& u : usersOf(current))
          if (!text::equalNoCase(u, section)) ++remaining;
        batch.deleteSection(spelling);
        batch.writeString(kDefaultUser, kKeyCount, std::to_string(remaining));
      });
  if (ec) return;

  plat::profile::removeIniFile(joined(folder, kGeneralIni));
  std::vector<plat::fs::FolderEntry> status;
  plat::fs::listFolder(folder, std::string("*") + kStatusSuffix, status, plat::fs::EntryKinds::Files);
  for (const plat::fs::FolderEntry& e : status) plat::profile::removeIniFile(joined(folder, e.name));
  plat::fs::removeFolder(folder);  // only when nothing else is left in it
}

bool COrv_Users::DeleteUser(std::string_view name, std::string_view password) {
  if (!IsValidUserName(name)) return false;
  const std::string section = GetSectionName(name);
  if (text::equalNoCase(section, kDefaultUser)) return false;
  if (!UserExists(section) || !CheckPassword(section, password)) return false;
  const std::string index = GetIndexFilePath(4);
  const std::string before = storedSpelling(section);
  removeUser(section);
  if (plat::profile::hasSection(index, before)) return false;
  if (text::equalNoCase(currentUser_, section)) SetCurrentUser("");
  return true;
}

bool COrv_Users::ChangePassword(std::string_view oldPassword, std::string_view newPassword) {
  if (currentUser_.empty() || !CheckCurrentUserPassword(oldPassword)) return false;
  std::string block;
  if (!EncodeCredentials(currentUser_, newPassword, block)) return false;
  return !plat::profile::writeString(GetIndexFilePath(4), currentUser_, kKeyPwd, block);
}

bool COrv_Users::SetCurrentUser(std::string_view name) {
  currentUser_ = GetSectionName(name);
  return true;
}

bool COrv_Users::CheckCurrentUserPassword(std::string_view password) {
  if (currentUser_.empty() || !UserExists(currentUser_)) return false;
  return credentialPassword(password) == GetPassword(currentUser_);
}

bool COrv_Users::CheckPassword(std::string_view name, std::string_view password) {
  const std::string kept = currentUser_;
  SetCurrentUser(name);
  const bool ok = CheckCurrentUserPassword(password);
  SetCurrentUser(kept);
  return ok;
}

std::string COrv_Users::GetPassword(std::string_view name) {
  if (!UserExists(name)) return {};
  const std::string pwd =
      trimRight(plat::profile::getString(GetIndexFilePath(4), GetSectionName(name), kKeyPwd, "", kPwdBuffer));
  std::string decodedName, decodedPassword;
  if (!DecodeCredentials(pwd, decodedName, decodedPassword)) return {};
  return decodedPassword;
}

// --- Paths ---------------------------------------------------------------------------

std::string COrv_Users::GetUserPath(int kind) {
  if (kind == 4) return GetIndexFilePath(4);
  if (currentUser_.empty()) return {};
  const std::string folder = userFolder(currentUser_);
  if (folder.empty()) return {};
  return kind == 2 ? joined(folder, kGeneralIni) : folder;
}

std::string COrv_Users::GetUserFilePath(std::string_view name, int kind) {
  if (kind == 0 || kind == 2) {
    const std::string kept = currentUser_;
    SetCurrentUser(name);
    std::string path = GetUserPath(kind);
    currentUser_ = kept;
    return path;
  }
  if (kind != 3 || currentUser_.empty()) return {};
  const std::string stem = bookFileStem(name);
  if (stem.empty()) return {};
  return existingSpelling(userFolder(currentUser_), stem + kStatusSuffix);
}

// --- Credential block -------------------------------------------------------------

bool COrv_Users::EncodeCredentials(std::string_view name, std::string_view password, std::string& out) {
  if (name.empty()) return false;
  out = encodeCredentialBlock(name, password);
  return true;
}

bool COrv_Users::DecodeCredentials(std::string_view digits, std::string& name, std::string& password) {
  return decodeCredentialBlock(digits, name, password);
}

// --- Echomark status -------------------------------------------------------------------

bool COrv_Users::statusFile(std::string_view bookCode, std::string& file, int& count) {
  if (currentUser_.empty()) return false;
  count = echomarkCountSource()->echomarkCount(bookCode);
  if (count < 0 || count > kMaxEchomarks) return false;
  file = GetUserFilePath(bookCode, 3);
  if (file.empty()) return false;
  // A listed user whose folder went missing gets it back, so that the
  // learner's progress is written rather than dropped.
  const std::string folder = userFolder(currentUser_);
  const auto st = plat::fs::fileStatus(folder, false);
  if (!(st && st->folder) && UserExists(currentUser_)) {
    if (!makeUserFolder(folder)) return false;
    if (!plat::fs::fileStatus(joined(folder, kGeneralIni))) plat::fs::writeFileAtomic(joined(folder, kGeneralIni), "");
  }
  return true;
}

bool COrv_Users::ReadQuoteStatusList(std::string_view bookCode, std::vector<int>& status) {
  std::string file;
  int n = 0;
  if (!statusFile(bookCode, file, n)) return false;
  const plat::profile::Snapshot snapshot = plat::profile::Snapshot::load(file);
  status.assign(static_cast<size_t>(n), 0);
  for (int i = 0; i < n; ++i)
    status[static_cast<size_t>(i)] = decimalValue(snapshot.getString(kSecStatus, emKey(i + 1), "0", kStatusBuffer));
  return true;
}

bool COrv_Users::WriteQuoteStatusList(std::string_view bookCode, const std::vector<int>& status) {
  writeError_ = std::make_error_code(std::errc::invalid_argument);
  std::string file;
  int n = 0;
  if (!statusFile(bookCode, file, n)) return false;
  plat::profile::Batch batch;
  for (int i = 0; i < n; ++i) {
    const size_t at = static_cast<size_t>(i);
    const int value = at < status.size() ? status[at] : 0;
    if (!storableStatus(value)) return false;
    batch.writeString(kSecStatus, emKey(i + 1), std::to_string(value));
  }
  writeError_ = batch.empty() ? std::error_code() : batch.apply(file);
  return !writeError_;
}

int COrv_Users::ReadQuoteStatus(std::string_view bookCode, int number) {
  std::string file;
  int n = 0;
  if (!statusFile(bookCode, file, n) || number < 1 || number > n) return 0;
  return decimalValue(plat::profile::getString(file, kSecStatus, emKey(number), "0", kStatusBuffer));
}

bool COrv_Users::WriteQuoteStatus(std::string_view bookCode, int number, int value) {
  std::string file;
  int n = 0;
  if (!storableStatus(value) || !statusFile(bookCode, file, n) || number < 1 || number > n) return false;
  return !plat::profile::writeString(file, kSecStatus, emKey(number), std::to_string(value));
}

int COrv_Users::ReadLastQuote(std::string_view bookCode) {
  std::string file;
  int n = 0;
  if (!statusFile(bookCode, file, n)) return 0;
  return decimalValue(plat::profile::getString(file, kSecGeneral, kKeyLastEM, "0", kStatusBuffer));
}

bool COrv_Users::WriteLastQuote(std::string_view bookCode, int number) {
  writeError_ = std::make_error_code(std::errc::invalid_argument);
  std::string file;
  int n = 0;
  if (!storableStatus(number) || !statusFile(bookCode, file, n) || number > n) return false;
  writeError_ = plat::profile::writeString(file, kSecGeneral, kKeyLastEM, std::to_string(number));
  return !writeError_;
}

}  // namespace orv
