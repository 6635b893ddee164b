#include "player/shell/load_switch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <vector>
#include <cctype>
#include <cstdio>
#include <system_error>

#include "platform/fs/config_root.h"
#include "platform/fs/file_io.h"
#include "platform/fs/file_ops.h"
#include "player/book/book_info.h"
#include "player/env/environment.h"
#include "player/env/msg_box.h"
#include "player/install/install_journal.h"
#include "player/shell/command_line.h"
#include "shared/language/orv_language.h"

namespace orv::shell {
namespace fs = std::filesystem;
namespace {

// Why a file was not installed, told on standard error after its name.
constexpr int kStrNotFound = 20340;
constexpr int kStrIsFolder = 20341;
constexpr int kStrUnreadable = 20342;
constexpr int kStrWrongKind = 20343;
constexpr int kStrTpkNotInstalled = 20344;
constexpr int kStrNoBook = 20345;
constexpr int kStrCannotCopy = 20346;
constexpr int kStrBadIndirection = 20347;
constexpr int kStrBadPacket = 20353;
constexpr int kStrBadLibrary = 20354;
constexpr int kStrNotInstalled = 20355;

// The first line of an indirection file is a path: longer files are not
// read further.
constexpr std::size_t kMaxIndirectionBytes = 4096;

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// Whether a and b name the same existing file.
bool sameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

// The extension that decides the kind of file: the last three characters,
// upper-cased.
std::string kindOf(const std::string& name) {
  return upper(name.size() >= 3 ? name.substr(name.size() - 3) : std::string());
}

bool isPacketOrLibrary(const std::string& name) {
  if (name.size() < 4 || name[name.size() - 4] != '.') return false;
  const std::string kind = kindOf(name);
  return kind == "TPK" || kind == "TVL";
}

// Tells the user once why the file was not installed.
bool refuseWith(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "orvex: %s: %s\n", file.c_str(), reason.c_str());
  return false;
}
bool refuse(const std::string& file, int reason) { return refuseWith(file, COrv_Language().LoadString(reason)); }
// The services' own reason when they know one, else `fallback`.
bool refuse(const std::string& file, const BookInstaller& services, int fallback) {
  const std::string why = services.FailureReason();
  return why.empty() ? refuse(file, fallback) : refuseWith(file, why);
}

// Names of the suite's own files, which an indirection name never is (the
// stand-in folder is the suite's own, but a name is checked all the same).
bool isSuiteFileName(const std::string& name) {
  const std::string u = upper(name);
  static constexpr std::array<const char*, 5> kOwn{"QLONWIN.DPL", "LOCALIZE.DPL", "AUTOINST.TVI", "INDEX.TVK",
                                                   "INDEX.USR"};
  for (const char* own : kOwn)
    if (u == own) return true;
  const auto endsWith = [&](std::string_view suffix) {
    return u.size() >= suffix.size() && u.compare(u.size() - suffix.size(), suffix.size(), suffix) == 0;
  };
  return endsWith(".HIVE") || endsWith(".BAD") || endsWith(".LOCK") || endsWith(".INI");
}

// An indirection name is one plain file name of the stand-in folder.
bool isPlainFileName(std::string_view name) {
  return !name.empty() && name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos &&
         name.front() != '.' && name.find("..") == std::string_view::npos;
}

// Reads the first line of a regular file that is not a link; false when
// there is none.
bool readFirstLine(const fs::path& path, std::string& line) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  std::string text(kMaxIndirectionBytes, '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  text.resize(got);
  const std::size_t end = text.find('\n');
  if (end == std::string::npos && got == kMaxIndirectionBytes) return false;
  line = text.substr(0, end);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return !line.empty() && line.find('\0') == std::string::npos;
}

// What the user named: a regular file that can be read, of one of the two
// kinds. Refused with its reason otherwise.
bool checkNamedFile(const std::string& name) {
  std::error_code ec;
  const fs::file_status st = fs::status(name, ec);
  if (ec || !fs::exists(st)) return refuse(name, kStrNotFound);
  if (fs::is_directory(st)) return refuse(name, kStrIsFolder);
  if (!fs::is_regular_file(st)) return refuse(name, kStrUnreadable);
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return refuse(name, kStrUnreadable);
  char probe = 0;
  const ssize_t n = ::read(fd, &probe, 1);
  ::close(fd);
  if (n < 0) return refuse(name, kStrUnreadable);
  if (!isPacketOrLibrary(name)) return refuse(name, kStrWrongKind);
  return true;
}

// The copies the load switch made in the install folder. Unless the
// installation goes ahead they are removed again, and a file of the same
// name that a copy replaced is put back.
class OwnCopies {
 public:
  explicit OwnCopies(const fs::path& folder) : journal_(folder) {}

  // Copies `from` to `to`; a file at `to` is first set aside. The copy is
  // written down first: a start after a kill removes it.
  std::error_code copy(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    journal_.Add(to);
    fs::path aside;
    if (fs::exists(fs::symlink_status(to, ec))) {
      aside = to.parent_path() / ("." + to.filename().string() + ".~old");
      plat::fs::removeFile(aside);
      if (std::error_code e = plat::fs::renameFile(to, aside)) return e;
    }
    if (std::error_code e = plat::fs::copyFile(from, to, plat::fs::Existing::Fail)) {
      plat::fs::removeStaleTemporaries(to);
      if (!aside.empty()) plat::fs::renameFile(aside, to);
      return e;
    }
    // The copy is the player's own file: it gets the mode of a new file,
    // not whatever the user's file had (a mode-000 copy could not even be
    // read back by the installer).
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(to.c_str(), 0666 & ~mask);
    entries_.push_back({to, aside});
    return {};
  }
  // A further file the switch made (a library copy of a book content file).
  void add(const fs::path& p) {
    journal_.Add(p);
    entries_.push_back({p, {}});
  }
  // The installation went ahead: the copies stay, what they replaced goes.
  void keep() {
    for (const Entry& e : entries_)
      if (!e.aside.empty()) plat::fs::removeFile(e.aside);
    entries_.clear();
    journal_.Done();
  }
  ~OwnCopies() {
    for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
      plat::fs::removeFile(it->copy);
      if (!it->aside.empty()) plat::fs::renameFile(it->aside, it->copy);
    }
  }

 private:
  struct Entry {
    fs::path copy, aside;
  };
  std::vector<Entry> entries_;
  orv::install::COrv_InstallJournal journal_;  // gone after the copies
};

}  // namespace

bool LoadSwitchServices::IsInstalled(const std::string& code) { return COrv_BookInfo().IsInstalled(code); }
bool LoadSwitchServices::CheckFormat(const fs::path&) { return true; }

LoadSwitchFolders DefaultLoadSwitchFolders() {
  return {fs::path(COrv_Environment().GetInstallPath()), plat::fs::windowsFolder()};
}

// The steps follow the classic load switch, with its checks moved before
// anything is copied: the user's own file is only read, never moved or
// deleted; the switch works on its copy in the install folder, and removes
// that copy when the file is refused.
bool LoadFromCommandLine(COrv_CommandLineInfo& cmd, LoadSwitchServices& services, const LoadSwitchFolders& folders) {
  // "@@@<name>": the first line of that file of the Windows-folder stand-in
  // names the load file. It is deleted once it has served.
  if (startsWith(cmd.m_strLoadFile, "@@@")) {
    const std::string given = cmd.m_strLoadFile;
    const std::string name = given.substr(3);
    if (!isPlainFileName(name) || isSuiteFileName(name)) return refuse(given, kStrBadIndirection);
    const fs::path indirection = folders.indirectionFolder / name;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(indirection, ec))) return refuse(given, kStrNotFound);
    std::string line;
    if (!readFirstLine(indirection, line)) return refuse(given, kStrBadIndirection);
    if (!isPacketOrLibrary(line) || !fs::is_regular_file(line, ec)) return refuse(given, kStrBadIndirection);
    cmd.m_strLoadFile = line;
    plat::fs::removeFile(indirection);
  }

  const std::string named = cmd.m_strLoadFile;
  if (named.empty()) return refuse(named, kStrNotFound);
  if (!checkNamedFile(named)) return false;

  const fs::path source(named);
  const std::string name = upper(source.filename().string());
  cmd.m_strBook = name;
  cmd.m_bBook = 1;

  // TPK<code>.<ext>: the book of that code is opened when it is installed;
  // there is nothing to install.
  if (startsWith(name, "TPK")) {
    const std::string code = name.size() > 7 ? name.substr(3, name.size() - 7) : std::string();
    if (code.empty() || !services.IsInstalled(code)) return refuse(named, kStrTpkNotInstalled);
    cmd.m_strLoadFile.clear();
    cmd.m_bLoad = 0;
    cmd.m_strBook = code;
    cmd.m_bBook = 1;
    return true;
  }

  // The copy in the install folder, made under a temporary name and renamed,
  // so that a failed copy leaves nothing half-written there.
  // The format is checked on the user's file first: a damaged or huge
  // file is refused before any time goes into copying it.
  const int badFormat = kindOf(name) == "TPK" ? kStrBadPacket : kStrBadLibrary;
  if (!services.CheckFormat(source)) return refuse(named, services, badFormat);
  OwnCopies copies(folders.installFolder);
  fs::path load = folders.installFolder / name;
  if (!sameFile(source, load) && copies.copy(source, load)) return refuse(named, kStrCannotCopy);
  cmd.m_strLoadFile = load.string();
  // The boxes of the readers and the installer name the user's file.
  const orv::ShownFileName shownCopy(load.string(), named);
  const fs::path libraryCopy = load.parent_path() / (load.stem().string() + ".tvl");
  const orv::ShownFileName shownLibraryCopy(libraryCopy.string(), named);

  // The book code, by the kind of file. The readers show their own boxes.
  std::string code;
  if (kindOf(name) == "TPK") {
    const fs::path packet = load;
    const bool read = services.ReadPacketCode(load, code);
    if (load != packet) copies.add(load);  // a book content file's library copy
    if (!read) return refuse(named, services, badFormat);
    cmd.m_strLoadFile = load.string();
  } else if (!services.ReadLibraryCode(load, code)) {
    return refuse(named, services, badFormat);
  }
  if (code.empty()) return refuse(named, kStrNoBook);

  if (!services.IsInstalled(code) && services.InstallFile(load) == 0)
    return refuse(named, services, kStrNotInstalled);
  // The copy stays in the install folder, where a book's source is looked
  // for (or the installer has taken it into BackUp).
  copies.keep();

  // With -nopen the start-up opens nothing, not even the file's name.
  if (cmd.m_bNoOpen) {
    cmd.m_strBook.clear();
    cmd.m_bBook = 0;
  } else {
    cmd.m_strBook = code;
    cmd.m_bBook = 1;
  }

  return services.CreateShortcuts(code);
}

}  // namespace orv::shell
