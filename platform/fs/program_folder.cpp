#include "platform/fs/program_folder.h"

#include <unistd.h>

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

}  // namespace plat::fs
