#include "platform/fs/file_ops.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/fs/fault.h"
#include "platform/fs/file_io.h"

namespace plat::fs {

namespace {
std::error_code fromErrno(int e) { return {e, std::generic_category()}; }

// A path without trailing separators, so that lstat-like calls look at a
// final link itself instead of its target ("link/" follows the link).
std::string noTrailingSlash(const std::filesystem::path& p) {
  std::string s = p.string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

// Renames without replacing an existing target.
int renameNoReplace(const char* from, const char* to) {
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the flag: a hard link cannot replace either.
  if (::link(from, to) == 0) {
    ::unlink(from);
    return 0;
  }
  return errno;
}

int copyData(int in, int out, const std::string& from, const std::string& to) {
  if (int f = takeFault(FaultOp::Read, from)) return f;
  if (int f = takeFault(FaultOp::Write, to)) return f;
  std::unique_ptr<char[]> buf(new char[1 << 18]);
  for (;;) {
    ssize_t n = ::read(in, buf.get(), 1 << 18);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return 0;
    const char* p = buf.get();
    while (n > 0) {
      ssize_t w = ::write(out, p, static_cast<size_t>(n));
      if (w < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      p += w;
      n -= w;
    }
  }
}

// The copy behind copyFile() and the cross-file-system move; `durable`
// flushes the copy to disk before it is renamed into place.
std::error_code copyImpl(const std::filesystem::path& from, const std::filesystem::path& to,
                         Existing existing, bool durable) {
  const std::string src = from.string();
  const std::string dst = noTrailingSlash(to);
  if (int f = takeFault(FaultOp::Open, src)) return fromErrno(f);
  Fd in(::open(src.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.fd < 0) return fromErrno(errno);
  struct stat sst{};
  if (::fstat(in.fd, &sst) != 0) return fromErrno(errno);
  if (S_ISDIR(sst.st_mode)) return fromErrno(EISDIR);
  if (!S_ISREG(sst.st_mode)) return fromErrno(EINVAL);

  struct stat dstat{};
  if (::stat(dst.c_str(), &dstat) == 0) {
    if (dstat.st_dev == sst.st_dev && dstat.st_ino == sst.st_ino) return fromErrno(EINVAL);
    if (existing == Existing::Fail) return fromErrno(EEXIST);
  }

  const std::filesystem::path target(dst);
  std::string tmpl =
      (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  if (int f = takeFault(FaultOp::Open, dst)) return fromErrno(f);
  const int outFd = ::mkostemp(tmpl.data(), O_CLOEXEC);
  if (outFd < 0) return fromErrno(errno);
  int err = copyData(in.fd, outFd, src, dst);
  if (err == 0 && ::fchmod(outFd, sst.st_mode & 07777) != 0) err = errno;
  const struct timespec times[2] = {sst.st_atim, sst.st_mtim};
  if (err == 0 && ::futimens(outFd, times) != 0) err = errno;
  if (err == 0 && durable && ::fsync(outFd) != 0) err = errno;
  if (::close(outFd) != 0 && err == 0) err = errno;
  if (err == 0) err = takeFault(FaultOp::Rename, dst);
  if (err == 0) {
    if (existing == Existing::Fail)
      err = renameNoReplace(tmpl.c_str(), dst.c_str());
    else if (::rename(tmpl.c_str(), dst.c_str()) != 0)
      err = errno;
  }
  if (err != 0) {
    ::unlink(tmpl.c_str());
    return fromErrno(err);
  }
  return {};
}

constexpr int kMaxTreeDepth = 256;

int removeEntry(int dirfd, const char* name, const std::string& full, int depth);

// Removes everything inside the open folder `fd` (which it closes).
int removeContents(int fd, const std::string& full, int depth) {
  DIR* d = ::fdopendir(fd);
  if (d == nullptr) {
    const int e = errno;
    ::close(fd);
    return e;
  }
  std::vector<std::string> names;
  int first = 0;
  for (;;) {
    errno = 0;
    const dirent* ent = ::readdir(d);
    if (ent == nullptr) {
      first = errno;
      break;
    }
    const std::string n = ent->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  for (const std::string& n : names) {
    const int e = removeEntry(::dirfd(d), n.c_str(), full + "/" + n, depth + 1);
    if (first == 0) first = e;
  }
  ::closedir(d);
  return first;
}

int removeEntry(int dirfd, const char* name, const std::string& full, int depth) {
  struct stat st{};
  if (::fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT ? 0 : errno;
  int first = 0;
  int flags = 0;
  if (S_ISDIR(st.st_mode)) {
    flags = AT_REMOVEDIR;
    if (depth > kMaxTreeDepth) {
      first = ELOOP;
    } else if (int f = takeFault(FaultOp::Open, full)) {
      first = f;
    } else {
      // O_NOFOLLOW: an entry swapped for a link meanwhile is not entered.
      const int fd = ::openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      first = fd < 0 ? errno : removeContents(fd, full, depth);
    }
  }
  int e = takeFault(FaultOp::Remove, full);
  if (e == 0 && ::unlinkat(dirfd, name, flags) != 0) e = errno == ENOENT ? 0 : errno;
  return first != 0 ? first : e;
}
}  // namespace

std::error_code copyFile(const std::filesystem::path& from, const std::filesystem::path& to,
                         Existing existing) {
  return copyImpl(from, to, existing, false);
}

std::error_code moveFile(const std::filesystem::path& from, const std::filesystem::path& to,
                         Existing existing) {
  const std::string src = noTrailingSlash(from);
  const std::string dst = noTrailingSlash(to);
  int err = takeFault(FaultOp::Rename, src);
  if (err == 0) {
    if (existing == Existing::Fail)
      err = renameNoReplace(src.c_str(), dst.c_str());
    else if (::rename(src.c_str(), dst.c_str()) != 0)
      err = errno;
  }
  if (err != EXDEV) return err == 0 ? std::error_code() : fromErrno(err);

  struct stat st{};
  if (::lstat(src.c_str(), &st) != 0) return fromErrno(errno);
  if (!S_ISREG(st.st_mode)) return fromErrno(EXDEV);
  if (auto ec = copyImpl(src, dst, existing, true)) return ec;
  // The copy is in place; a source that cannot be deleted is reported, and
  // the copy stays (deleting it could lose the only complete file).
  return removeFile(src);
}

std::error_code createFolder(const std::filesystem::path& folder) {
  const std::string p = noTrailingSlash(folder);
  if (int f = takeFault(FaultOp::MakeFolder, p)) return fromErrno(f);
  if (::mkdir(p.c_str(), 0777) != 0) return fromErrno(errno);
  return {};
}

std::error_code removeFolder(const std::filesystem::path& folder) {
  const std::string p = noTrailingSlash(folder);
  if (int f = takeFault(FaultOp::Remove, p)) return fromErrno(f);
  struct stat st{};
  if (::lstat(p.c_str(), &st) != 0) return fromErrno(errno);
  const int rc = S_ISLNK(st.st_mode) ? ::unlink(p.c_str()) : ::rmdir(p.c_str());
  if (rc != 0) return fromErrno(errno);
  return {};
}

std::error_code removeTree(const std::filesystem::path& path) {
  const std::string p = noTrailingSlash(path);
  if (p.empty()) return fromErrno(ENOENT);
  const int e = removeEntry(AT_FDCWD, p.c_str(), p, 0);
  return e == 0 ? std::error_code() : fromErrno(e);
}

std::optional<FileStatus> fileStatus(const std::filesystem::path& path, bool followLinks) {
  const std::string p = followLinks ? path.string() : noTrailingSlash(path);
  struct stat st{};
  if ((followLinks ? ::stat(p.c_str(), &st) : ::lstat(p.c_str(), &st)) != 0) return std::nullopt;
  FileStatus s;
  s.folder = S_ISDIR(st.st_mode);
  s.link = S_ISLNK(st.st_mode);
  s.size = static_cast<std::uint64_t>(st.st_size);
  s.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return s;
}

}  // namespace plat::fs
