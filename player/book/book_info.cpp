#include "player/book/book_info.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <system_error>

#include "platform/fs/file.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/folder_listing.h"
#include "platform/profile/ini_text.h"
#include "platform/profile/profile.h"
#include "platform/text/utf8.h"

namespace orv {

namespace fs = std::filesystem;
namespace profile = plat::profile;

namespace {

constexpr std::string_view kSecInstalled = "Tv installed";
constexpr std::string_view kSecGeneral = "General";
constexpr std::string_view kKeyCount = "Count";
constexpr std::string_view kSecInfoSettings = "Settings";
constexpr std::string_view kSecModules = "Modules";
constexpr std::string_view kKeySourceFile = "SourceFile";
constexpr std::string_view kKeyOrigLanguage = "OrigLanguage";
constexpr std::string_view kKeyTitle = "Title";
constexpr std::string_view kKeyDescription = "Description";
constexpr std::string_view kKeyCategory = "Category";
constexpr std::string_view kKeyDifficult = "Difficult";
constexpr std::string_view kKeyTvlClass = "TvlClass";
constexpr std::string_view kKeyNumQuotes = "NumQuotes";
constexpr std::string_view kKeySourceType = "SourceType";
constexpr std::string_view kKeyCDROMTitle = "CDROMTitle";
constexpr std::string_view kKeyIdLanguages = "IdLanguages";
constexpr std::string_view kKeyNum = "Num";
constexpr std::string_view kStatusExtension = ".ST";

constexpr int kNoLanguage = 9999;
constexpr size_t kMaxCodeLength = 8;
constexpr size_t kInstalledBuffer = 256;  // values of [Tv installed]: 255 characters
constexpr size_t kPathBuffer = 260;       // source files: 259 characters
constexpr size_t kTitleChars = 199;
constexpr size_t kPieceBuffer = 150;  // description pieces: 149 characters
constexpr size_t kPieceChars = 100;   // characters per piece written
constexpr size_t kMediumTitleChars = 510;
constexpr size_t kWholeValue = SIZE_MAX;

std::string decimal(int n) { return std::to_string(n); }

std::string descriptionKey(size_t i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "DesTrance%zu", i);
  return buf;
}

std::string langSection(int language) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "Lang%d", language);
  return buf;
}

bool isFile(const std::string& path) {
  auto st = plat::fs::fileStatus(path);
  return st && !st->folder;
}

bool isFolder(const std::string& path) {
  auto st = plat::fs::fileStatus(path);
  return st && st->folder;
}

bool makeFolder(const std::string& path) {
  const std::error_code ec = plat::fs::createFolder(path);
  return !ec || (ec == std::errc::file_exists && isFolder(path));
}

std::string joined(const std::string& folder, std::string_view name) {
  std::string out = folder;
  if (!out.empty() && out.back() != '/') out.push_back('/');
  out += name;
  return out;
}

// The file `name` in `folder`: the exact name when it exists, else the
// first entry whose name matches it without regard to case (media and
// copied folders do not keep the case of their names). Empty when none.
std::string findFileNoCase(const std::string& folder, const std::string& name) {
  const std::string exact = joined(folder, name);
  if (isFile(exact)) return exact;
  std::vector<plat::fs::FolderEntry> entries;
  if (plat::fs::listFolder(folder, "*", entries, plat::fs::EntryKinds::Files)) return {};
  for (const auto& e : entries)
    if (plat::fs::equalNoCase(e.name, name)) return joined(folder, e.name);
  return {};
}

// Cuts a text at every ',' and keeps the pieces that begin with a decimal
// number (after blanks), as numbers.
std::vector<int> parseLanguageList(std::string_view text) {
  std::vector<int> out;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t comma = text.find(',', pos);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string_view piece = profile::text::trim(text.substr(pos, comma - pos));
    if (!piece.empty() && piece.front() >= '0' && piece.front() <= '9') {
      long long n = 0;
      for (size_t i = 0; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i)
        n = std::min<long long>(n * 10 + (piece[i] - '0'), INT_MAX);
      out.push_back(static_cast<int>(n));
    }
    pos = comma + 1;
  }
  return out;
}

}  // namespace

namespace bookinfo_detail {

std::string escapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\0': out += "\\0"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

// Unknown escapes and a backslash at the end stay as they are, so that a
// text written by a tool that did not escape reads back unchanged as far
// as it can.
std::string unescapeText(std::string_view stored) {
  std::string out;
  out.reserve(stored.size());
  for (size_t i = 0; i < stored.size(); ++i) {
    const char c = stored[i];
    if (c != '\\' || i + 1 == stored.size()) {
      out.push_back(c);
      continue;
    }
    const char n = stored[i + 1];
    switch (n) {
      case '\\': out.push_back('\\'); break;
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case '0': out.push_back('\0'); break;
      default: out.push_back(c); continue;
    }
    ++i;
  }
  return out;
}

}  // namespace bookinfo_detail

using bookinfo_detail::escapeText;
using plat::profile::protectValue;
using bookinfo_detail::unescapeText;

// --- Construction and codes ----------------------------------------------------------

COrv_BookInfo::COrv_BookInfo(const std::string* dataPath) {
  if (dataPath != nullptr && !dataPath->empty()) replaceDataPath(*dataPath);
}

COrv_BookInfo::COrv_BookInfo(std::string_view code, const std::string* dataPath) : COrv_BookInfo(dataPath) {
  SelectBook(code);
}

std::string COrv_BookInfo::CanonicalBookCode(std::string_view code) {
  if (code.empty() || code.size() > kMaxCodeLength) return {};
  std::string out;
  for (char c : code) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return {};
    out.push_back(c);
  }
  return out;
}

void COrv_BookInfo::SetMountTable(plat::fs::MountTable table, std::filesystem::path sysRoot) {
  mounts_ = std::move(table);
  sysRoot_ = std::move(sysRoot);
}

// --- The list of installed books ---------------------------------------------------

int COrv_BookInfo::GetInstalledCount() { return profile::getInt(GetIndexFilePath(5), kSecGeneral, kKeyCount, 0); }

bool COrv_BookInfo::SetInstalledCount(int n) {
  return !profile::writeString(GetIndexFilePath(5), kSecGeneral, kKeyCount, decimal(n));
}

bool COrv_BookInfo::IsInstalled(std::string_view code) {
  const std::string canonical = CanonicalBookCode(code);
  if (canonical.empty()) return false;
  return !profile::getString(GetIndexFilePath(5), kSecInstalled, canonical, "", kInstalledBuffer).empty();
}

bool COrv_BookInfo::SelectBook(std::string_view code) {
  held_.reset();
  if (IsInstalled(code)) {
    code_ = CanonicalBookCode(code);
    return true;
  }
  code_.clear();
  return false;
}

int COrv_BookInfo::GetInstalledBooks(std::vector<std::string>& list) {
  list.clear();
  const profile::Snapshot index = profile::Snapshot::load(GetIndexFilePath(5));
  for (const std::string& key : index.keyNames(kSecInstalled)) {
    if (index.getString(kSecInstalled, key, "", kInstalledBuffer).empty()) continue;
    const std::string canonical = CanonicalBookCode(key);
    list.push_back(canonical.empty() ? key : canonical);
  }
  return static_cast<int>(list.size());
}

int COrv_BookInfo::ForEachInstalledBook(const std::function<void(COrv_BookInfo&)>& visit) {
  std::vector<std::string> codes;
  GetInstalledBooks(codes);
  int visited = 0;
  for (const std::string& code : codes) {
    // The codes SelectBook would refuse are skipped.
    if (CanonicalBookCode(code) != code) continue;
    code_ = code;
    held_ = Held{profile::Snapshot::load(infoFile()), std::nullopt, std::nullopt};
    visit(*this);
    ++visited;
  }
  held_.reset();
  code_.clear();
  return visited;
}

bool COrv_BookInfo::AddInstalled(std::string_view code) {
  const std::string canonical = CanonicalBookCode(code);
  if (canonical.empty()) return false;
  if (IsInstalled(canonical)) return true;
  // The count is read under the index's lock, so that two installers
  // running at once both count.
  const std::error_code ec = profile::update(GetIndexFilePath(5), [&](const profile::Snapshot& index, profile::Batch& batch) {
    if (!index.getString(kSecInstalled, canonical, "", kInstalledBuffer).empty()) return;
    const int count = std::max(0, index.getInt(kSecGeneral, kKeyCount, 0));
    batch.writeString(kSecInstalled, canonical, "1").writeString(kSecGeneral, kKeyCount, decimal(count + 1));
  });
  return !ec;
}

bool COrv_BookInfo::Register(std::string_view code, std::string_view sourceFile, int origLanguage, bool force) {
  const std::string canonical = CanonicalBookCode(code);
  if (canonical.empty() || origLanguage < 0) return false;
  held_.reset();
  if (plat::text::countChars(sourceFile) >= kPathBuffer || !profile::isValidValue(sourceFile)) return false;
  const bool wasInstalled = IsInstalled(canonical);
  if (wasInstalled && !force) return false;

  // A fresh information file holds the source file and the language; it
  // is made whole in memory and replaces the old file in one rename.
  profile::Batch batch;
  batch.writeString(kSecInfoSettings, kKeySourceFile, protectValue(sourceFile))
      .writeString(kSecInfoSettings, kKeyOrigLanguage, decimal(origLanguage));
  std::string fresh;
  if (batch.applyTo(fresh)) return false;
  if (staged_ && stagedCode_ == canonical) {
    code_ = canonical;
    *staged_ = std::move(fresh);
    return true;
  }

  code_ = canonical;
  if (GetBookFolder(true).empty() || !isFolder(GetBookFolder(false))) {
    if (!wasInstalled) code_.clear();
    return false;
  }
  // The file first, the index entry last: a crash in between leaves an
  // unlisted folder, never a listed book without its information.
  if (profile::replaceFile(infoFile(), fresh)) {
    if (!wasInstalled) code_.clear();
    return false;
  }
  if (!AddInstalled(canonical)) {
    if (!wasInstalled) {
      profile::removeIniFile(infoFile());
      plat::fs::removeFolder(GetBookFolder(false));
      code_.clear();
    }
    return false;
  }
  return true;
}

bool COrv_BookInfo::BeginBook(std::string_view code) {
  const std::string canonical = CanonicalBookCode(code);
  if (canonical.empty()) return false;
  held_.reset();
  stagedCode_ = canonical;
  staged_ = std::string();
  code_ = canonical;
  return true;
}

bool COrv_BookInfo::CommitBook() {
  if (!staged_ || code_ != stagedCode_) return false;
  const std::string text = std::move(*staged_);
  staged_.reset();
  if (GetBookFolder(true).empty() || !isFolder(GetBookFolder(false))) return false;
  if (profile::replaceFile(infoFile(), text)) return false;
  return AddInstalled(code_);
}

const profile::Snapshot& COrv_BookInfo::infoSnapshot() {
  if (holding()) return held_->info;
  if (code_.empty()) loaded_ = profile::Snapshot();
  else if (staged_) loaded_ = profile::Snapshot(*staged_);
  else loaded_ = profile::Snapshot::load(infoFile());
  return loaded_;
}

bool COrv_BookInfo::applyInfo(const profile::Batch& batch) {
  if (code_.empty()) return false;
  held_.reset();
  if (staged_) return !batch.applyTo(*staged_);
  return !batch.apply(infoFile());
}

bool COrv_BookInfo::Unregister() {
  if (code_.empty()) return false;
  held_.reset();
  const std::string index = GetIndexFilePath(5);
  const profile::Snapshot before = profile::Snapshot::load(index);
  const std::vector<std::string> keys = before.keyNames(kSecInstalled);
  const bool listed = std::any_of(keys.begin(), keys.end(),
                                  [&](const std::string& k) { return plat::fs::equalNoCase(k, code_); });
  if (listed) {
    // Count and entry are read again under the index's lock.
    profile::update(index, [&](const profile::Snapshot& current, profile::Batch& batch) {
      const std::vector<std::string> now = current.keyNames(kSecInstalled);
      if (std::none_of(now.begin(), now.end(), [&](const std::string& k) { return plat::fs::equalNoCase(k, code_); }))
        return;
      batch.deleteKey(kSecInstalled, code_);
      const int count = current.getInt(kSecGeneral, kKeyCount, 0);
      batch.writeString(kSecGeneral, kKeyCount, decimal(std::max(0, count - 1)));
    });
  }

  const std::string file = infoFile();
  if (isFile(file)) {
    profile::removeIniFile(file);
    plat::fs::removeFolder(GetBookFolder(false));  // only when nothing else is left in it
  }

  // Every user's status file of the book: <users folder>/<user>/<CODE>.ST,
  // whatever the case of its name. Links in the users folder are not
  // followed, so nothing outside it is touched.
  const std::string statusName = MakeValidFileName(code_) + std::string(kStatusExtension);
  std::vector<plat::fs::FolderEntry> users;
  plat::fs::listFolder(GetUsersPath(), "*", users, plat::fs::EntryKinds::Folders);
  for (const auto& user : users) {
    if (user.link) continue;
    const std::string folder = joined(GetUsersPath(), user.name);
    std::vector<plat::fs::FolderEntry> files;
    plat::fs::listFolder(folder, "*", files, plat::fs::EntryKinds::Files);
    for (const auto& f : files)
      if (plat::fs::equalNoCase(f.name, statusName)) profile::removeIniFile(joined(folder, f.name));
  }
  return true;
}

std::string COrv_BookInfo::GetIniPath(int kind) {
  if (kind == 5) return GetIndexFilePath(5);
  if (code_.empty()) return {};
  const std::string folder = GetBookFolder(false);
  return kind == 2 ? joined(folder, MakeValidFileName(code_) + ".ini") : folder;
}

std::string COrv_BookInfo::GetBookFolder(bool create) {
  if (code_.empty()) return {};
  const std::string folder = joined(GetTalvanesPath(), MakeValidFileName(code_));
  if (create) {
    makeFolder(GetTalvanesPath());
    makeFolder(folder);
  }
  return folder;
}

std::string COrv_BookInfo::infoFile() { return GetIniPath(2); }

// --- Reading and writing the information file -------------------------------------

bool COrv_BookInfo::writeValue(std::string_view section, std::string_view key, std::string_view value) {
  return applyInfo(profile::Batch().writeString(section, key, value));
}

bool COrv_BookInfo::writeInt(std::string_view section, std::string_view key, int n) {
  return writeValue(section, key, decimal(n));
}

int COrv_BookInfo::readInt(std::string_view section, std::string_view key) {
  if (code_.empty()) return 0;
  return infoSnapshot().getInt(section, key, 0);
}

std::string COrv_BookInfo::readText(std::string_view section, std::string_view key, size_t maxChars) {
  if (code_.empty()) return {};
  const std::string text = unescapeText(infoSnapshot().getString(section, key, "", kWholeValue));
  return std::string(plat::text::cutChars(text, maxChars));
}

int COrv_BookInfo::GetOrigLanguage() {
  if (code_.empty()) return -1;
  if (holding() && held_->origLanguage) return *held_->origLanguage;
  int n = infoSnapshot().getInt(kSecInfoSettings, kKeyOrigLanguage, kNoLanguage);
  if (n == kNoLanguage || n < 0) n = -1;
  if (holding()) held_->origLanguage = n;
  return n;
}

std::optional<std::string> COrv_BookInfo::languageSection(int language) {
  if (code_.empty()) return std::nullopt;
  if (language == -1 || language == GetOrigLanguage()) return std::string(kSecInfoSettings);
  if (language >= 0 && HasLanguage(language)) return langSection(language);
  return std::nullopt;
}

bool COrv_BookInfo::SetSourceFile(int language, std::string_view path, bool force) {
  if (code_.empty() || language < -1) return false;
  if (plat::text::countChars(path) >= kPathBuffer || !profile::isValidValue(path)) return false;
  std::string section;
  if (language == -1 || language == GetOrigLanguage()) {
    section = kSecInfoSettings;
    if (!force && !GetSourceFile(-1, false).empty()) return false;
  } else {
    std::vector<int> modules;
    GetModuleLanguages(modules);
    if (std::find(modules.begin(), modules.end(), language) == modules.end()) {
      modules.push_back(language);
      if (!SetModuleLanguages(modules)) return false;
    } else if (!force) {
      return false;
    }
    section = langSection(language);
  }
  return writeValue(section, kKeySourceFile, protectValue(path));
}

std::string COrv_BookInfo::GetSourceFile(int language, bool search) {
  const auto section = languageSection(language);
  if (!section) return {};
  const std::string stored = infoSnapshot().getString(*section, kKeySourceFile, "", kPathBuffer);
  if (stored.empty() || !search) return stored;

  const size_t slash = stored.rfind('/');
  const std::string name = slash == std::string::npos ? stored : stored.substr(slash + 1);
  if (name.empty()) return {};
  std::vector<std::string> folders;
  if (slash != std::string::npos) folders.push_back(slash == 0 ? "/" : stored.substr(0, slash));
  folders.push_back(GetInstallPath(true));
  std::vector<std::string> alternatives;
  ReadAltSources(alternatives, true);
  for (const std::string& alt : alternatives)
    if (!alt.empty()) folders.push_back(alt);
  for (const std::string& folder : folders) {
    std::string found = findFileNoCase(folder, name);
    if (!found.empty()) return found;
  }
  return {};
}

bool COrv_BookInfo::SetTitle(std::string_view title, int language) {
  const auto section = languageSection(language);
  return section && writeValue(*section, kKeyTitle, protectValue(escapeText(title)));
}

std::string COrv_BookInfo::GetTitle(int language) {
  const auto section = languageSection(language);
  return section ? readText(*section, kKeyTitle, kTitleChars) : std::string();
}

// The stored (escaped) text is cut into pieces of 100 characters; pieces
// left over from a longer description are removed, so that the file holds
// exactly what Description counts.
bool COrv_BookInfo::SetDescription(std::string_view text, int language) {
  const auto section = languageSection(language);
  if (!section) return false;
  const std::string stored = escapeText(text);
  const profile::Snapshot before = infoSnapshot();
  profile::Batch batch;
  size_t pieces = 0;
  std::string_view rest = stored;
  while (!rest.empty()) {
    const std::string_view piece = plat::text::cutChars(rest, kPieceChars);
    batch.writeString(*section, descriptionKey(++pieces), protectValue(piece));
    rest.remove_prefix(piece.size());
  }
  const size_t keys = before.keyNames(*section).size();
  for (size_t i = pieces + 1; i <= keys; ++i) batch.deleteKey(*section, descriptionKey(i));
  batch.writeString(*section, kKeyDescription, decimal(static_cast<int>(pieces)));
  return applyInfo(batch);
}

std::string COrv_BookInfo::GetDescription(int language) {
  const auto section = languageSection(language);
  if (!section) return {};
  const profile::Snapshot& info = infoSnapshot();
  const int n = info.getInt(*section, kKeyDescription, 0);
  if (n <= 0) return {};
  // A count past the keys the section holds names pieces that cannot exist:
  // at most as many pieces as the section has keys are read. When every
  // piece up to the count is there, the section holds more keys than that
  // (the count's own key besides), so listing its keys is needed only once
  // a piece is missing. A value never holds a line end, so the default
  // below tells a missing piece from an empty one.
  constexpr std::string_view kMissing = "\n-";
  std::string stored;
  for (size_t i = 1; i <= static_cast<size_t>(n); ++i) {
    std::string piece = info.getString(*section, descriptionKey(i), kMissing, kPieceBuffer);
    if (piece == kMissing) {
      const size_t pieces = std::min(static_cast<size_t>(n), info.keyNames(*section).size());
      stored.clear();
      for (size_t j = 1; j <= pieces; ++j) stored += info.getString(*section, descriptionKey(j), "", kPieceBuffer);
      break;
    }
    stored += piece;
  }
  return unescapeText(stored);
}

// --- Module languages ------------------------------------------------------------------

int COrv_BookInfo::GetModuleLanguages(std::vector<int>& list) {
  list.clear();
  if (code_.empty()) return 0;
  if (holding() && held_->modules) {
    list = *held_->modules;
    return static_cast<int>(list.size());
  }
  const profile::Snapshot& info = infoSnapshot();
  if (info.getInt(kSecModules, kKeyNum, 0) >= 1)
    list = parseLanguageList(info.getString(kSecModules, kKeyIdLanguages, "", kWholeValue));
  if (holding()) held_->modules = list;
  return static_cast<int>(list.size());
}

bool COrv_BookInfo::SetModuleLanguages(const std::vector<int>& list) {
  if (code_.empty()) return false;
  std::string joinedList;
  for (size_t i = 0; i < list.size(); ++i) {
    if (i > 0) joinedList.push_back(',');
    joinedList += decimal(list[i]);
  }
  profile::Batch batch;
  batch.writeString(kSecModules, kKeyIdLanguages, joinedList)
      .writeString(kSecModules, kKeyNum, decimal(static_cast<int>(list.size())));
  return applyInfo(batch);
}

bool COrv_BookInfo::HasLanguage(int language) {
  if (holding() && held_->modules)
    return std::find(held_->modules->begin(), held_->modules->end(), language) != held_->modules->end();
  std::vector<int> list;
  GetModuleLanguages(list);
  return std::find(list.begin(), list.end(), language) != list.end();
}

int COrv_BookInfo::GetModuleCount() { return readInt(kSecModules, kKeyNum); }

// --- Book values ----------------------------------------------------------------------

bool COrv_BookInfo::SetCategory(int n) { return writeInt(kSecInfoSettings, kKeyCategory, n); }
int COrv_BookInfo::GetCategory() { return readInt(kSecInfoSettings, kKeyCategory); }
bool COrv_BookInfo::SetDifficulty(int n) { return writeInt(kSecInfoSettings, kKeyDifficult, n); }
int COrv_BookInfo::GetDifficulty() { return readInt(kSecInfoSettings, kKeyDifficult); }
bool COrv_BookInfo::SetTvlClass(int n) { return writeInt(kSecInfoSettings, kKeyTvlClass, n); }
int COrv_BookInfo::GetTvlClass() { return readInt(kSecInfoSettings, kKeyTvlClass); }
bool COrv_BookInfo::SetNumQuotes(int n) { return writeInt(kSecInfoSettings, kKeyNumQuotes, n); }
int COrv_BookInfo::GetNumQuotes() { return readInt(kSecInfoSettings, kKeyNumQuotes); }

bool COrv_BookInfo::SetCDROMTitle(std::string_view title) {
  return writeValue(kSecInfoSettings, kKeyCDROMTitle, protectValue(escapeText(title)));
}

std::string COrv_BookInfo::GetCDROMTitle() { return readText(kSecInfoSettings, kKeyCDROMTitle, kMediumTitleChars); }

// --- Where the source lies -------------------------------------------------------------

int COrv_BookInfo::GetSourceType(int language) {
  const auto section = languageSection(language);
  return section ? readInt(*section, kKeySourceType) : 0;
}

plat::fs::DriveKind COrv_BookInfo::driveKindOf(const std::string& path) {
  if (!mounts_) mounts_ = plat::fs::MountTable::current();
  return plat::fs::driveKind(path, *mounts_, sysRoot_);
}

bool COrv_BookInfo::SetSourceType(std::string_view path, int language) {
  const auto section = languageSection(language);
  if (!section) return false;
  int value = 0;
  if (path.empty()) {
    value = GetSourceType(-1) | kSourceNoPath;
  } else if (path.size() > 2 && path[0] == '/' && path[1] == '/' && path[2] != '/') {
    // //server/share/...: a share named the way network tools name one.
    value = kSourceNetwork;
  } else {
    switch (driveKindOf(std::string(path))) {
      case plat::fs::DriveKind::Removable:
      case plat::fs::DriveKind::Optical: value = kSourceRemovable; break;
      case plat::fs::DriveKind::Fixed: value = kSourceFixed; break;
      case plat::fs::DriveKind::Network: value = kSourceNetwork; break;
      case plat::fs::DriveKind::Unknown: value = 0; break;
    }
  }
  return writeInt(*section, kKeySourceType, value);
}

std::string COrv_BookInfo::GetMediumTitle() {
  if ((GetSourceType(-1) & kSourceRemovable) == 0) return {};
  const std::string source = GetSourceFile(-1, false);
  const size_t slash = source.rfind('/');
  if (slash == std::string::npos) return {};
  const std::string folder = slash == 0 ? "/" : source.substr(0, slash);
  const auto titleIn = [&](const char* name, std::string_view section) -> std::string {
    const std::string file = findFileNoCase(folder, name);
    return file.empty() ? std::string() : profile::getString(file, section, "CDTitle", "", kMediumTitleChars + 1);
  };
  std::string title = titleIn("Install.inf", "Info");
  if (title.empty()) title = titleIn("StartUp.ini", "General");
  return title;
}

// --- The number of Echomarks for the status files ------------------------------------

namespace {

// The installed book's count on the data path in use; -1 for a book that
// is not installed (or no valid code), 0 for a missing or negative count.
class BookInfoEchomarkCounts final : public EchomarkCountSource {
 public:
  int echomarkCount(std::string_view bookCode) override {
    COrv_BookInfo book(bookCode);
    if (book.GetSelectedCode().empty()) return -1;
    return std::max(book.GetNumQuotes(), 0);
  }
};

BookInfoEchomarkCounts g_bookInfoCounts;
const bool g_countsInstalled = (setEchomarkCountSource(&g_bookInfoCounts), true);

}  // namespace

EchomarkCountSource* installBookInfoEchomarkCounts() {
  (void)g_countsInstalled;
  return setEchomarkCountSource(&g_bookInfoCounts);
}

}  // namespace orv
