#pragma once
// Copying, moving, creating and deleting files and folders. Every step goes
// through the fault-injection hook (fault.h). Deletes never follow symbolic
// links: a link is removed as a link, wherever it stands in a tree.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

namespace plat::fs {

enum class Existing { Replace, Fail };

// Copies the file `from` to `to`. The copy is written beside `to` and renamed
// over it, so a failed copy leaves an existing `to` as it was. The copy keeps
// the source's permission bits and its access and modification times.
// With Existing::Fail an existing `to` gives std::errc::file_exists.
// Copying a file onto itself (the same inode, under any name) is refused
// with std::errc::invalid_argument; so is a source that is not a regular
// file.
std::error_code copyFile(const std::filesystem::path& from, const std::filesystem::path& to,
                         Existing existing = Existing::Replace);

// Moves the file or folder `from` to `to`. A rename where one is possible;
// across file systems (EXDEV) a file is copied to a temporary file beside
// `to` (times kept, flushed to disk), renamed to `to`, and only then is
// `from` deleted. Folders are not moved across file systems (EXDEV stays).
// With Existing::Fail an existing `to` gives std::errc::file_exists.
std::error_code moveFile(const std::filesystem::path& from, const std::filesystem::path& to,
                         Existing existing = Existing::Replace);

// Creates one folder (its parent must exist). An existing folder gives
// std::errc::file_exists, so that callers can tell "made" from "was there".
std::error_code createFolder(const std::filesystem::path& folder);

// Removes an empty folder (a symbolic link to a folder: the link).
std::error_code removeFolder(const std::filesystem::path& folder);

// Removes a folder with everything below it, depth first, never following a
// symbolic link (a link to a folder is removed as a link and its target is
// left alone). A failure to remove one entry does not stop the walk; the
// first failure is answered. `path` naming a file or link removes just it.
// A missing path is not an error.
std::error_code removeTree(const std::filesystem::path& path);

// What a status query tells of a file, without following a final link when
// `followLinks` is false.
struct FileStatus {
  bool folder = false;
  bool link = false;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;  // modification time, ns since the epoch
};
std::optional<FileStatus> fileStatus(const std::filesystem::path& path, bool followLinks = true);

}  // namespace plat::fs
