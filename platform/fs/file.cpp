#include "platform/fs/file.h"

#include <sys/file.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <utility>

#include "platform/fs/fault.h"

namespace plat::fs {

namespace {
std::error_code fromErrno(int e) { return {e, std::generic_category()}; }
std::error_code notOpen() { return fromErrno(EBADF); }
}  // namespace

File::~File() { close(); }

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

std::error_code File::open(const std::filesystem::path& path, Mode mode) {
  close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::Read: flags |= O_RDONLY; break;
    case Mode::ReadWrite: flags |= O_RDWR; break;
    case Mode::Create: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    case Mode::CreateNew: flags |= O_WRONLY | O_CREAT | O_EXCL; break;
    case Mode::Append: flags |= O_WRONLY | O_CREAT | O_APPEND; break;
  }
  if (int f = takeFault(FaultOp::Open, path.string())) return fromErrno(f);
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return fromErrno(errno);
  struct stat st{};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return fromErrno(EISDIR);
  }
  fd_ = fd;
  path_ = path;
  return {};
}

std::error_code File::read(void* buffer, std::size_t n, std::size_t& got) {
  got = 0;
  if (fd_ < 0) return notOpen();
  if (int f = takeFault(FaultOp::Read, path_.string())) return fromErrno(f);
  auto* p = static_cast<char*>(buffer);
  while (got < n) {
    const ssize_t r = ::read(fd_, p + got, n - got);
    if (r < 0) {
      if (errno == EINTR) continue;
      return fromErrno(errno);
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return {};
}

std::error_code File::readAt(std::uint64_t offset, void* buffer, std::size_t n, std::size_t& got) {
  got = 0;
  if (fd_ < 0) return notOpen();
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
    return fromErrno(EINVAL);
  if (int f = takeFault(FaultOp::Read, path_.string())) return fromErrno(f);
  auto* p = static_cast<char*>(buffer);
  while (got < n) {
    const ssize_t r = ::pread(fd_, p + got, n - got, static_cast<off_t>(offset + got));
    if (r < 0) {
      if (errno == EINTR) continue;
      return fromErrno(errno);
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return {};
}

std::error_code File::write(const void* data, std::size_t n) {
  if (fd_ < 0) return notOpen();
  if (int f = takeFault(FaultOp::Write, path_.string())) return fromErrno(f);
  const auto* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = ::write(fd_, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return fromErrno(errno);
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return {};
}

std::error_code File::seek(std::uint64_t offset) {
  if (fd_ < 0) return notOpen();
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()))
    return fromErrno(EINVAL);
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return fromErrno(errno);
  return {};
}

std::error_code File::size(std::uint64_t& out) const {
  out = 0;
  if (fd_ < 0) return notOpen();
  struct stat st{};
  if (::fstat(fd_, &st) != 0) return fromErrno(errno);
  out = static_cast<std::uint64_t>(st.st_size);
  return {};
}

std::error_code File::sync() {
  if (fd_ < 0) return notOpen();
  if (int f = takeFault(FaultOp::Write, path_.string())) return fromErrno(f);
  if (::fsync(fd_) != 0) return fromErrno(errno);
  return {};
}

void File::startWriteBack() {
  if (fd_ >= 0) ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
}

std::error_code File::close() {
  if (fd_ < 0) return {};
  const int rc = ::close(std::exchange(fd_, -1));
  path_.clear();
  return rc == 0 ? std::error_code() : fromErrno(errno);
}

bool File::holdLock() { return fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0; }

}  // namespace plat::fs
