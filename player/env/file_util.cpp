// File and shell utilities.

#include "player/env/file_util.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/fs/config_root.h"
#include "platform/fs/file_io.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/folder_listing.h"
#include "platform/fs/program_folder.h"
#include "platform/fs/special_folders.h"
#include "platform/ui/message_box.h"
#include "player/env/msg_box.h"
#include "shared/language/orv_language.h"

namespace orv {

namespace fs = plat::fs;

// --- Services ---------------------------------------------------------------------
std::string FileUtilServices::backUpFolder() const { return {}; }
std::string FileUtilServices::installMenuFolder() const { return {}; }
std::string FileUtilServices::programFolder() const { return fs::programFolder().string(); }
std::string FileUtilServices::programFile() const { return fs::programFile().string(); }
std::string FileUtilServices::systemFolder() const { return fs::machineSettingsFolder().string(); }
std::string FileUtilServices::windowsFolder() const { return fs::windowsFolder().string(); }

namespace {
const FileUtilServices* gServices = nullptr;
}  // namespace

const FileUtilServices& fileUtilServices() {
  return gServices != nullptr ? *gServices : environmentFileUtilServices();
}

const FileUtilServices* setFileUtilServices(const FileUtilServices* services) {
  const FileUtilServices* previous = gServices;
  gServices = services;
  return previous;
}

namespace {

// The error box with the extra text after the message, then the end of the
// program with the error number (COrv_MsgBox kind 1 with its exit flag).
[[noreturn]] void showFatalFileError(int messageId, int errorNumber, int subNumber, const std::string& extra) {
  COrv_MsgBox box;
  box.m_nKind = 1;
  box.m_nMessageId = messageId;
  box.m_nErrorNumber = errorNumber;
  box.m_nSubNumber = subNumber;
  box.m_strExtraText = extra;
  box.m_nExitFlag = 1;
  box.Show();
  orv::exitWithCode(errorNumber);  // Show ends the process; this states it.
}

std::string nameOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool exists(const std::string& path) { return fs::fileStatus(path, false).has_value(); }

std::string replaceChars(std::string name, std::string_view chars, char by) {
  for (char& c : name)
    if (chars.find(c) != std::string_view::npos) c = by;
  return name;
}

}  // namespace

// --- Name cleaning ----------------------------------------------------------------
std::string MakeValidFileName(std::string_view name) {
  std::string out(name);
  bool onlyDots = true;
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || std::string_view("<>:\"/\\|").find(c) != std::string_view::npos) c = '_';
    if (c != '.') onlyDots = false;
  }
  // "", ".", ".." and other runs of dots do not name a child of the folder
  // (".." would climb out of it).
  if (onlyDots) return {};
  return out;
}

// --- Paths and names --------------------------------------------------------------
bool COrv_FileUtil::AddBackslash(std::string& path) const {
  if (path.empty() || path.back() != '/') path += '/';
  return true;
}

void COrv_FileUtil::SplitPath(std::string_view path, std::string& folder, std::string& name) const {
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) {
    folder.clear();
    name = std::string(path);
    return;
  }
  folder = std::string(path.substr(0, slash));
  name = std::string(path.substr(slash + 1));
}

void COrv_FileUtil::SplitPathKeepSlash(std::string_view path, std::string& folder, std::string& name) const {
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) {
    folder.clear();
    name = std::string(path);
    return;
  }
  folder = std::string(path.substr(0, slash + 1));
  name = std::string(path.substr(slash + 1));
}

void COrv_FileUtil::SplitExtension(std::string_view path, std::string& stem, std::string& extension) const {
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) {
    stem = std::string(path);
    extension.clear();
    return;
  }
  stem = std::string(path.substr(0, dot));
  extension = std::string(path.substr(dot));
}

void COrv_FileUtil::SplitAtParenthesis(std::string_view name, std::string& before, std::string& rest) const {
  const size_t paren = name.rfind('(');
  if (paren == std::string_view::npos) {
    before = std::string(name);
    rest.clear();
    return;
  }
  before = std::string(name.substr(0, paren));
  rest = std::string(name.substr(paren));
}

void COrv_FileUtil::UnderscoreInvalidChars(std::string& name) const {
  name = replaceChars(std::move(name), ":<>/\\|?\".;,", '_');
}

void COrv_FileUtil::BlankInvalidChars(std::string& name) const {
  name = replaceChars(std::move(name), ":<>/\\|?\"", ' ');
}

// --- Files and folders ------------------------------------------------------------
bool COrv_FileUtil::DeleteTempFiles(const std::string& folder) const {
  std::vector<fs::FolderEntry> entries;
  if (auto ec = fs::listFolder(folder, "*", entries, fs::EntryKinds::Files))
    return ec == std::errc::no_such_file_or_directory;
  bool all = true;
  for (const fs::FolderEntry& e : entries) {
    std::string stem, extension;
    SplitExtension(e.name, stem, extension);
    bool temporary = false;
    for (const char* t : {".~dt", ".~gz", ".~tp", ".~ft"})
      if (fs::equalNoCase(extension, t)) temporary = true;
    if (!temporary) continue;
    // Every file is tried before the failure is reported.
    if (fs::removeFile(std::filesystem::path(folder) / e.name)) all = false;
  }
  return all;
}

bool COrv_FileUtil::DeleteFolderTree(const std::string& folder) const {
  (void)fs::removeTree(folder);
  return true;
}

int COrv_FileUtil::CompareFiles(const std::string& first, const std::string& second) const {
  const std::optional<fs::FileStatus> a = fs::fileStatus(first);
  if (!a) return kCompareFirstMissing;
  const std::optional<fs::FileStatus> b = fs::fileStatus(second);
  if (!b) return kCompareSecondMissing;
  if (first == second) return kCompareSamePath;
  // Times in whole seconds: copies and file systems keep different
  // fractions of a second.
  auto seconds = [](int64_t ns) { return ns >= 0 ? ns / 1000000000 : -((-ns + 999999999) / 1000000000); };
  const int64_t ta = seconds(a->modifiedNs);
  const int64_t tb = seconds(b->modifiedNs);
  int score = 0;
  if (nameOf(first) == nameOf(second)) score += 10;
  if (a->size == b->size) score += 2;
  if (ta == tb) score += 1;
  if (score == 12) return ta > tb ? kCompareSameSizeFirstNewer : kCompareSameSizeSecondNewer;
  if (score == 10) return ta > tb ? kCompareFirstNewer : kCompareSecondNewer;
  return score;
}

bool COrv_FileUtil::MoveToBackUp(const std::string& file) const {
  std::string backup = fileUtilServices().backUpFolder();
  if (backup.empty()) return false;
  const std::optional<fs::FileStatus> source = fs::fileStatus(file);
  if (!source || source->folder) return false;
  AddBackslash(backup);

  std::string folder, name, stem, extension, base, rest;
  SplitPathKeepSlash(file, folder, name);
  SplitExtension(name, stem, extension);
  SplitAtParenthesis(stem, base, rest);

  // Candidate names: the file's own, then base(1).ext, base(2).ext, ... A
  // free name takes the file; a file there of the same size and time (whole
  // seconds) is the same backup and is replaced; anything else is skipped.
  // The file is moved once, under its final name.
  constexpr int kMaxNumber = 9999;
  for (int n = 0; n <= kMaxNumber; ++n) {
    const std::string target = backup + (n == 0 ? name : base + "(" + std::to_string(n) + ")" + extension);
    if (target == file) return true;  // already in the backup folder under this name
    const std::optional<fs::FileStatus> there = fs::fileStatus(target, false);
    if (!there) {
      const std::error_code ec = fs::moveFile(file, target, fs::Existing::Fail);
      if (!ec) return true;
      if (ec != std::errc::file_exists) return false;
      continue;  // taken meanwhile
    }
    const bool same = !there->folder && !there->link && there->size == source->size &&
                      there->modifiedNs / 1000000000 == source->modifiedNs / 1000000000;
    if (same) return !fs::moveFile(file, target, fs::Existing::Replace);
  }
  return false;
}

int COrv_FileUtil::CompareFileVersions(const std::string& first, const std::string& second, uint32_t) const {
  int64_t a = 0, b = 0;
  if (GetFileTimes(first, a) != 0 || GetFileTimes(second, b) != 0) return -1;
  if (a > b) return 1;
  if (b > a) return 2;
  return 0;
}

uint32_t COrv_FileUtil::GetFileTimes(const std::string& path, int64_t& lastWriteNs) const {
  errno = 0;
  const std::optional<fs::FileStatus> st = fs::fileStatus(path);
  if (!st) return LastErrorToHResult(errno != 0 ? errno : ENOENT);
  lastWriteNs = st->modifiedNs;
  return 0;
}

uint32_t COrv_FileUtil::GetFileVersion(const std::string& path) const {
  errno = 0;
  if (!fs::fileStatus(path)) return LastErrorToHResult(errno != 0 ? errno : ENOENT);
  return kResultNoVersionRecord;
}

uint32_t COrv_FileUtil::LastErrorToHResult(int error) {
  if (error == 0) return kResultFail;
  return 0x80070000u | (static_cast<uint32_t>(error) & 0xFFFFu);
}

uint32_t COrv_FileUtil::LastErrorToHResult() { return LastErrorToHResult(errno); }

namespace {

void copyIntoFolder(const COrv_FileUtil& util, const std::string& destinationFolder, const std::string& name,
                    int errorNumber) {
  const std::string source = fileUtilServices().programFolder() + "/" + name;
  const std::string destination = destinationFolder + "/" + name;
  // A missing source is fatal whether or not a copy is already there (the
  // comparison alone would see the missing destination first and go on
  // without the file).
  if (!fs::fileStatus(source)) showFatalFileError(kStrCantOpenFile, errorNumber, 0, source);
  const int c = util.CompareFiles(destination, source);
  if (c == kCompareFirstMissing || c == kCompareSecondNewer) {
    // A failed copy is not reported: the older copy, if any, stays usable.
    (void)fs::ensureFolder(destinationFolder);
    (void)fs::copyFile(source, destination);
  }
}

}  // namespace

bool COrv_FileUtil::CopyToSystemFolder(const std::string& name) const {
  copyIntoFolder(*this, fileUtilServices().systemFolder(), name, 961);
  return true;
}

bool COrv_FileUtil::CopyToWindowsFolder(const std::string& name) const {
  copyIntoFolder(*this, fileUtilServices().windowsFolder(), name, 1302);
  return true;
}

std::string COrv_FileUtil::CreateShellFolder(const std::string& parent, const std::string& name) const {
  std::string path = parent;
  AddBackslash(path);
  path += name;
  const std::error_code ec = fs::createFolder(path);
  if (!ec) return path;
  if (ec == std::errc::file_exists) {
    const std::optional<fs::FileStatus> st = fs::fileStatus(path);
    if (st && st->folder) return path;
  }
  return {};
}

bool COrv_FileUtil::GetDiskFreeSpace(const std::string& path, fs::DiskSpace& out) const {
  return !fs::diskSpace(path, out);
}

bool COrv_FileUtil::HasRoomFor(std::uint64_t available, std::uint32_t partSize, std::uint32_t factor) {
  return available > static_cast<std::uint64_t>(partSize) * factor;
}

std::uint64_t COrv_FileUtil::AvailableSpace(const std::string& folder, const SpaceProbe& probe) const {
  std::uint64_t available = 0;
  if (probe) return probe(folder, available) ? available : 0;
  fs::DiskSpace space;
  return GetDiskFreeSpace(folder, space) ? space.availableBytes : 0;
}

bool COrv_FileUtil::CheckSpaceForPart(const std::string& destinationFolder, const std::string& packetFolder,
                                      std::uint32_t partSize, const SpaceProbe& probe) const {
  struct Drive {
    const std::string& folder;
    std::uint32_t factor;
    int errorNumber;
  };
  for (const Drive d : {Drive{destinationFolder, 26, 622}, Drive{packetFolder, 2, 645}}) {
    const std::uint64_t available = AvailableSpace(d.folder, probe);
    if (HasRoomFor(available, partSize, d.factor)) continue;
    COrv_MsgBox box;
    box.m_nMessageId = 9117;
    box.m_nErrorNumber = d.errorNumber;
    box.m_nSubNumber = 750;
    box.m_nKind = 1;
    box.m_strExtraText = std::to_string(available / 1024) + " Kb  " + COrv_Language().LoadString(9116);
    box.Show();
    return false;
  }
  return true;
}

// --- Special folders and shortcuts ------------------------------------------------
std::string COrv_FileUtil::GetProgramsFolder() const {
  return fs::specialFolder(fs::SpecialFolder::ApplicationsMenu).string();
}
std::string COrv_FileUtil::GetDesktopFolder() const { return fs::specialFolder(fs::SpecialFolder::Desktop).string(); }
std::string COrv_FileUtil::GetStartupFolder() const {
  return fs::specialFolder(fs::SpecialFolder::Autostart).string();
}

std::string iconLibraryPicture(const std::string& programFolder, int number) {
  return programFolder + "/Glyphary/" + std::to_string(number) + ".png";
}

namespace {

// A string value of a Desktop Entry file: backslash and control characters
// escaped, a leading blank kept as "\s".
std::string entryValue(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case ' ': out += i == 0 ? "\\s" : " "; break;
      default: out += c;
    }
  }
  return out;
}

// One argument of an Exec line: quoted when it holds a reserved character,
// with " ` $ and \ escaped inside the quotes; '%' doubled (it starts field
// codes).
std::string execArgument(std::string_view arg) {
  std::string text;
  for (char c : arg) text += c == '%' ? std::string("%%") : std::string(1, c);
  const bool quote = text.empty() || text.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos;
  if (!quote) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string desktopEntryText(const std::string& name, const std::string& target, const std::string& workingFolder,
                             const std::string& arguments, const std::string& iconFile,
                             const std::string& description) {
  std::string exec = execArgument(target);
  size_t i = 0;
  while (i < arguments.size()) {
    const size_t start = arguments.find_first_not_of(" \t", i);
    if (start == std::string::npos) break;
    size_t end = arguments.find_first_of(" \t", start);
    if (end == std::string::npos) end = arguments.size();
    exec += " " + execArgument(std::string_view(arguments).substr(start, end - start));
    i = end;
  }
  std::string text = "[Desktop Entry]\nType=Application\nName=" + entryValue(name) + "\n";
  if (!description.empty()) text += "Comment=" + entryValue(description) + "\n";
  text += "Exec=" + entryValue(exec) + "\n";
  if (!workingFolder.empty()) text += "Path=" + entryValue(workingFolder) + "\n";
  if (!iconFile.empty()) text += "Icon=" + entryValue(iconFile) + "\n";
  text += "Terminal=false\n";
  return text;
}

namespace {

bool writeEntry(const std::string& link, const std::string& name, const std::string& target,
                const std::string& workingFolder, const std::string& arguments, const std::string& iconFile,
                const std::string& description) {
  if (link.empty() || target.empty()) return false;
  const std::filesystem::path path(link);
  if (path.has_parent_path() && !fs::ensureFolder(path.parent_path())) return false;
  return !fs::writeFileAtomic(path, desktopEntryText(name, target, workingFolder, arguments, iconFile, description));
}

// The entry file of a book shortcut, or empty when there is no menu folder
// or the name cannot be a file name.
std::string bookShortcutPath(const std::string& shortcutName) {
  std::string folder = fileUtilServices().installMenuFolder();
  const std::string file = MakeValidFileName(shortcutName);
  if (folder.empty() || file.empty()) return {};
  if (folder.back() != '/') folder += '/';
  return folder + file + ".desktop";
}

}  // namespace

bool COrv_FileUtil::CreateShortcut(const std::string& link, const std::string& target, const std::string& workingFolder,
                                   const std::string& arguments, const std::string& iconFile, int,
                                   const std::string& description) const {
  std::string folder, name, stem, extension;
  SplitPath(link, folder, name);
  SplitExtension(name, stem, extension);
  return writeEntry(link, stem, target, workingFolder, arguments, iconFile, description);
}

bool COrv_FileUtil::CreateBookShortcut(const std::string& bookCode, const std::string& shortcutName,
                                       int iconNumber) const {
  const std::string link = bookShortcutPath(shortcutName);
  if (link.empty()) return false;
  std::string code = bookCode;
  for (char& c : code)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  const FileUtilServices& services = fileUtilServices();
  return writeEntry(link, shortcutName, services.programFile(), {}, "-tv " + code,
                    iconLibraryPicture(services.programFolder(), iconNumber + 6), {});
}

bool COrv_FileUtil::DeleteBookShortcut(const std::string&, const std::string& shortcutName) const {
  const std::string link = bookShortcutPath(shortcutName);
  if (link.empty() || !exists(link)) return false;
  (void)fs::removeFile(link);
  return true;
}

}  // namespace orv
