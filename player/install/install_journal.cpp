#include "player/install/install_journal.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "platform/fs/file_io.h"
#include "platform/fs/file_ops.h"
#include "player/book/book_info.h"
#include "player/book/packet_file.h"
#include "player/env/environment.h"

namespace orv::install {
namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefix = ".install-p";
constexpr const char* kSuffix = ".journal";

// The process id a journal's name carries; 0 for any other name.
long journalPid(const std::string& name) {
  const std::string prefix = kPrefix, suffix = kSuffix;
  if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
    return 0;
  const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::stol(digits);
}

bool running(long pid) { return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH; }

}  // namespace

COrv_InstallJournal::COrv_InstallJournal(fs::path folder)
    : m_path(std::move(folder) / (kPrefix + std::to_string(::getpid()) + kSuffix)) {}

COrv_InstallJournal::~COrv_InstallJournal() { Done(); }

bool COrv_InstallJournal::Add(const fs::path& file) {
  m_files.push_back(file.string());
  std::string text;
  for (const std::string& f : m_files) text += f + "\n";
  return !plat::fs::writeFileAtomic(m_path, text);
}

void COrv_InstallJournal::Done() {
  if (m_files.empty()) return;
  plat::fs::removeFile(m_path);
  m_files.clear();
}

void COrv_InstallJournal::RemoveLeftovers(const fs::path& folder, const std::function<bool(const fs::path&)>& keep) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    const long pid = journalPid(e.path().filename().string());
    if (pid <= 0 || pid == ::getpid() || running(pid)) continue;
    std::string text;
    if (plat::fs::readFile(e.path(), text)) continue;
    for (size_t p = 0; p < text.size();) {
      size_t end = text.find('\n', p);
      if (end == std::string::npos) end = text.size();
      const fs::path file = text.substr(p, end - p);
      p = end + 1;
      // Only plain files of that folder: a damaged journal names nothing else.
      if (file.empty() || !file.is_absolute() || !fs::equivalent(file.parent_path(), folder, ec) ||
          !fs::is_regular_file(fs::symlink_status(file, ec)))
        continue;
      if (!keep || !keep(file)) plat::fs::removeFile(file);
    }
    plat::fs::removeFile(e.path());
  }
}

void RemoveInstallLeftovers() {
  COrv_Environment env;
  // The files registered books use stay, whatever a journal says.
  std::set<fs::path> used;
  COrv_BookInfo info;
  info.ForEachInstalledBook([&](COrv_BookInfo& book) {
    const std::string source = book.GetSourceFile(-1, false);
    if (!source.empty()) used.insert(fs::weakly_canonical(source));
  });
  const auto keep = [&](const fs::path& file) { return used.count(fs::weakly_canonical(file)) > 0; };
  for (const std::string& folder : {env.GetInstallPath(), env.GetTalvanesPath(false)})
    if (!folder.empty()) COrv_InstallJournal::RemoveLeftovers(folder, keep);
  COrv_PacketFile().RemoveLeftovers();
}

}  // namespace orv::install
