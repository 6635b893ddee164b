#include "platform/fs/file_io.h"

#include <dirent.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fs/fault.h"

#include <vector>

namespace plat::fs {

namespace {
std::error_code fromErrno(int e) { return std::error_code(e, std::generic_category()); }

// Writes all of `bytes`, retrying short writes and interruptions.
int writeAll(int fd, std::string_view bytes, const std::string& path) {
  if (int f = takeFault(FaultOp::Write, path)) return f;
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return 0;
}

constexpr std::string_view kTempMark = ".~wr";
constexpr size_t kTempUniqueChars = 6;

std::string tempPrefix(const std::filesystem::path& path) {
  return "." + path.filename().string() + std::string(kTempMark);
}

void syncFolder(const std::filesystem::path& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}
}  // namespace

std::error_code readFile(const std::filesystem::path& path, std::string& out) {
  out.clear();
  const std::string p = path.string();
  if (int f = takeFault(FaultOp::Open, p)) return fromErrno(f);
  int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fromErrno(errno);
  struct stat st{};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    return fromErrno(EISDIR);
  }
  if (int f = takeFault(FaultOp::Read, p)) {
    ::close(fd);
    return fromErrno(f);
  }
  if (st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      ::close(fd);
      out.clear();
      return fromErrno(e);
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return {};
}

namespace {

// One attempt: creates, locks, writes and renames a temporary file.
// `vanished` is set when the temporary file was taken away before the
// rename (a cleaner that mistook it for a stale one), so that the caller
// may try again.
std::error_code writeOnce(const std::filesystem::path& path, std::string_view bytes, bool& vanished) {
  vanished = false;
  const std::filesystem::path folder = path.parent_path();
  const std::string target = path.string();
  std::string tmpl = (folder / (tempPrefix(path) + "XXXXXX")).string();

  if (int f = takeFault(FaultOp::Open, target)) return fromErrno(f);
  int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd < 0) return fromErrno(errno);
  // Held until the file is renamed or removed: a cleaner never takes a file
  // that a live writer holds.
  ::flock(fd, LOCK_EX | LOCK_NB);

  // mkostemp creates 0600; keep an existing file's mode, else 0644 & ~umask.
  struct stat st{};
  mode_t mode;
  if (::stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0644 & ~mask;
  }
  ::fchmod(fd, mode);

  int err = writeAll(fd, bytes, target);
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (err == 0) err = takeFault(FaultOp::Rename, target);
  if (err == 0 && ::rename(tmpl.c_str(), target.c_str()) != 0) {
    err = errno;
    vanished = err == ENOENT;
  }
  if (err != 0) ::unlink(tmpl.c_str());
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err != 0) return fromErrno(err);
  syncFolder(folder);
  return {};
}

}  // namespace

std::error_code writeFileAtomic(const std::filesystem::path& path, std::string_view bytes) {
  removeStaleTemporaries(path);
  std::error_code ec;
  for (int attempt = 0; attempt < 3; ++attempt) {
    bool vanished = false;
    ec = writeOnce(path, bytes, vanished);
    if (!vanished) break;
  }
  return ec;
}

bool isWriteTemporaryName(std::string_view name) {
  const size_t mark = name.rfind(kTempMark);
  return name.size() > 1 && name.front() == '.' && mark != std::string_view::npos && mark > 1 &&
         name.size() == mark + kTempMark.size() + kTempUniqueChars;
}

int removeUnheldFiles(const std::filesystem::path& folder, const std::function<bool(std::string_view)>& matches) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return 0;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view name(e->d_name);
    if (name != "." && name != ".." && matches(name)) names.emplace_back(name);
  }
  ::closedir(dir);
  int removed = 0;
  for (const std::string& name : names) {
    const std::string p = (folder / name).string();
    const int fd = ::open(p.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      // A link or something else that is no file of ours: only the name is
      // removed, never what it points to.
      if (errno == ELOOP && ::unlink(p.c_str()) == 0) ++removed;
      continue;
    }
    struct stat st{};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      // Still the same file at that name (not renamed into place since)?
      struct stat now{};
      if (::lstat(p.c_str(), &now) == 0 && now.st_ino == st.st_ino && now.st_dev == st.st_dev &&
          ::unlink(p.c_str()) == 0)
        ++removed;
    }
    ::close(fd);
  }
  return removed;
}

int removeStaleTemporaries(const std::filesystem::path& path) {
  const std::string prefix = tempPrefix(path);
  return removeUnheldFiles(path.parent_path(), [&](std::string_view name) {
    return name.size() == prefix.size() + kTempUniqueChars && name.substr(0, prefix.size()) == prefix;
  });
}

std::error_code removeFile(const std::filesystem::path& path) {
  const std::string p = path.string();
  if (int f = takeFault(FaultOp::Remove, p)) return fromErrno(f);
  if (::unlink(p.c_str()) != 0 && errno != ENOENT) return fromErrno(errno);
  return {};
}

std::error_code renameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (int f = takeFault(FaultOp::Rename, from.string())) return fromErrno(f);
  if (::rename(from.c_str(), to.c_str()) != 0) return fromErrno(errno);
  return {};
}

std::filesystem::path FileLock::lockPathFor(const std::filesystem::path& target) {
  return target.parent_path() / ("." + target.filename().string() + ".lock");
}

FileLock::FileLock(const std::filesystem::path& target) {
  // Only a file can be locked: an empty name, or one that names a folder
  // ("dir/", ".", ".."), would make a lock file "..lock" or "...lock" that
  // guards nothing.
  const std::filesystem::path name = target.filename();
  if (name.empty() || name == "." || name == "..") {
    error_ = std::make_error_code(std::errc::invalid_argument);
    return;
  }
  const std::string lp = lockPathFor(target).string();
  if (int f = takeFault(FaultOp::Open, lp)) {
    error_ = fromErrno(f);
    return;
  }
  // A holder may remove the lock file (with the file it guards) before it
  // unlocks; whoever waited on that inode then holds a lock nobody else
  // sees. So after locking, check that the file locked is still the one at
  // the lock path, and start again when it is not.
  for (;;) {
    fd_ = ::open(lp.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      error_ = fromErrno(errno);
      return;
    }
    int rc;
    while ((rc = ::flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
      error_ = fromErrno(errno);
      ::close(fd_);
      fd_ = -1;
      return;
    }
    struct stat held{}, onDisk{};
    if (::fstat(fd_, &held) == 0 && ::stat(lp.c_str(), &onDisk) == 0 && held.st_ino == onDisk.st_ino &&
        held.st_dev == onDisk.st_dev)
      return;
    ::close(fd_);
    fd_ = -1;
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }
}

}  // namespace plat::fs
