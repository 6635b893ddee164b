#include "platform/fs/temp_files.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/fs/fault.h"

namespace plat::fs {

namespace {
// A fresh candidate number: random where the kernel gives randomness, mixed
// with a per-process counter so that a run of collisions cannot repeat.
std::uint32_t candidate() {
  static std::atomic<std::uint32_t> counter{0};
  std::uint32_t r = 0;
  if (::getrandom(&r, sizeof r, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof r))
    r = static_cast<std::uint32_t>(::getpid()) * 2654435761u;
  r ^= counter.fetch_add(0x9E3779B9u);
  return r == 0 ? 1 : r;
}

std::atomic<TempNumberSource> numberSource{nullptr};

bool validPrefix(std::string_view prefix) {
  return prefix.find('/') == std::string_view::npos && prefix.find('\0') == std::string_view::npos;
}
}  // namespace

void setTempNumberSource(TempNumberSource source) { numberSource.store(source); }

std::filesystem::path tempFileName(const std::filesystem::path& folder, std::string_view prefix,
                                   std::uint32_t unique) {
  if (unique == 0 || !validPrefix(prefix)) return {};
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(unique));
  return folder / (std::string(prefix) + hex + ".tmp");
}

std::error_code createTempFile(const std::filesystem::path& folder, std::string_view prefix,
                               TempFile& out) {
  out = {};
  if (!validPrefix(prefix)) return std::make_error_code(std::errc::invalid_argument);
  // 2^32 names: running out means the folder is unusable, not full.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const TempNumberSource source = numberSource.load();
    const std::uint32_t unique = source != nullptr ? source() : candidate();
    if (unique == 0) continue;
    const std::filesystem::path p = tempFileName(folder, prefix, unique);
    if (int f = takeFault(FaultOp::Open, p.string())) return {f, std::generic_category()};
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST || errno == EINTR) continue;
      return {errno, std::generic_category()};
    }
    ::close(fd);
    out.path = p;
    out.unique = unique;
    return {};
  }
  return std::make_error_code(std::errc::file_exists);
}

}  // namespace plat::fs
