#pragma once
// Whole-file reads, atomic replacement and advisory locks: the primitives
// under every settings and learner-data file the suite writes. A file that
// is replaced is first written in full beside its target and then renamed
// over it, so a reader sees the old or the new content, never a mix, and a
// failed write leaves the previous file as it was.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

namespace plat::fs {

// Reads the whole file into `out`. A missing file gives
// std::errc::no_such_file_or_directory and an empty `out`.
std::error_code readFile(const std::filesystem::path& path, std::string& out);

// Replaces `path` with `bytes` atomically: a unique temporary file in the
// same folder is written, flushed to disk and renamed over `path`. The
// folder must exist (it is not created). The permissions of an existing
// file are kept; a new file gets 0644 less the umask. On failure the
// temporary file is removed and `path` is untouched.
//
// The temporary file is named ".<name>.~wr" and six more characters and is
// held under an advisory lock while it is written. A process that dies
// mid-write leaves it behind; the next write of the same file removes
// every such file nobody holds (removeStaleTemporaries).
std::error_code writeFileAtomic(const std::filesystem::path& path, std::string_view bytes);

// Removes the temporary files that interrupted writes of `path` left
// (see writeFileAtomic); files that a running writer holds are kept.
// Answers how many were removed.
int removeStaleTemporaries(const std::filesystem::path& path);

// Removes the files of `folder` whose names `matches` accepts and that no
// process holds under an advisory lock (a writer that still runs), never
// following a link: what interrupted writers left behind. Answers how many
// were removed.
int removeUnheldFiles(const std::filesystem::path& folder, const std::function<bool(std::string_view)>& matches);

// Whether `name` is the name of a temporary file of writeFileAtomic.
bool isWriteTemporaryName(std::string_view name);

// Removes a file (never the target of a symbolic link: the link itself).
// A missing file is not an error.
std::error_code removeFile(const std::filesystem::path& path);

// Renames within one file system, through the fault-injection hook.
std::error_code renameFile(const std::filesystem::path& from, const std::filesystem::path& to);

// An exclusive advisory lock that serialises the read-modify-write cycles of
// every process on one file. It locks a companion file ".<name>.lock" in the
// same folder (the target itself is replaced by rename, so its inode cannot
// carry the lock). The lock is released by the destructor. A target that
// names no file (empty, ending in '/', "." or "..") is refused with
// invalid_argument and creates nothing.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& target);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool locked() const { return fd_ >= 0; }
  const std::error_code& error() const { return error_; }

  // The companion lock file's path for `target`.
  static std::filesystem::path lockPathFor(const std::filesystem::path& target);

 private:
  int fd_ = -1;
  std::error_code error_;
};

}  // namespace plat::fs
