#include "platform/fs/program_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdlib>
#include <string>

namespace plat::fs {

namespace {
std::filesystem::path ownExecutable() {
  std::string buf(4096, '\0');
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buf.size()) {
      buf.resize(static_cast<size_t>(n));
      return std::filesystem::path(buf);
    }
    buf.resize(buf.size() * 2);  // the path may have been cut: try again
  }
}

std::filesystem::path overrideFolder() {
  const char* v = std::getenv(kProgramFolderVariable);
  if (v == nullptr || *v == '\0') return {};
  std::filesystem::path p(v);
  // A trailing separator would give an empty file name below.
  while (p.has_relative_path() && !p.has_filename()) p = p.parent_path();
  return p;
}
}  // namespace

std::filesystem::path programFile() {
  const std::filesystem::path exe = ownExecutable();
  if (auto folder = overrideFolder(); !folder.empty())
    return exe.empty() ? folder : folder / exe.filename();
  return exe;
}

std::filesystem::path programFolder() {
  if (auto folder = overrideFolder(); !folder.empty()) return folder;
  return ownExecutable().parent_path();
}

std::filesystem::path systemTempFolder() {
  const char* v = std::getenv("TMPDIR");
  if (v != nullptr && *v == '/') return std::filesystem::path(v);
  return std::filesystem::path("/tmp");
}

namespace {
std::filesystem::path absoluteFromEnv(const char* name) {
  const char* v = std::getenv(name);
  if (v == nullptr || *v != '/') return {};
  return std::filesystem::path(v);
}

// Makes `folder` (its parent must exist) with mode 0700 and checks that it
// is a folder of the user's own that no one else may write to.
bool ownFolder(const std::filesystem::path& folder) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st{};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
  if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) return false;
  return true;
}
}  // namespace

std::filesystem::path privateFolder(std::string_view name) {
  if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..") return {};
  if (const auto runtime = absoluteFromEnv("XDG_RUNTIME_DIR"); !runtime.empty()) {
    struct stat st{};
    if (::stat(runtime.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      const std::filesystem::path folder = runtime / ("talvane-" + std::string(name));
      return ownFolder(folder) ? folder : std::filesystem::path();
    }
  }
  std::filesystem::path cache = absoluteFromEnv("XDG_CACHE_HOME");
  if (cache.empty()) {
    const auto home = absoluteFromEnv("HOME");
    if (home.empty()) return {};
    cache = home / ".cache";
  }
  std::error_code ec;
  std::filesystem::create_directories(cache, ec);
  if (!ownFolder(cache / "talvane")) return {};
  const std::filesystem::path folder = cache / "talvane" / std::string(name);
  return ownFolder(folder) ? folder : std::filesystem::path();
}

}  // namespace plat::fs
