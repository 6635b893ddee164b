#pragma once
// An open file for readers and writers that work piece by piece (container
// readers, WAV writers, ...). Every open, read and write asks the
// fault-injection hook (fault.h) first, each call on its own, so that a test
// can fail, say, the third read of a file.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <system_error>

namespace plat::fs {

class File {
 public:
  enum class Mode {
    Read,       // existing file, reading only
    ReadWrite,  // existing file, reading and writing
    Create,     // writing; created when missing, emptied when present
    CreateNew,  // writing; a new file only (std::errc::file_exists otherwise)
    Append,     // writing at the end; created when missing
  };

  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens `path` (closing a file already open). New files get 0644 less the
  // umask. A folder cannot be opened (std::errc::is_a_directory).
  std::error_code open(const std::filesystem::path& path, Mode mode);
  bool isOpen() const { return fd_ >= 0; }
  const std::filesystem::path& path() const { return path_; }

  // Reads up to `n` bytes at the current position; `got` tells how many
  // (fewer only at the end of the file).
  std::error_code read(void* buffer, std::size_t n, std::size_t& got);
  // The same at `offset`, leaving the current position alone.
  std::error_code readAt(std::uint64_t offset, void* buffer, std::size_t n, std::size_t& got);
  // Writes all `n` bytes at the current position, or fails.
  std::error_code write(const void* data, std::size_t n);

  // Moves the current position to `offset` from the start.
  std::error_code seek(std::uint64_t offset);
  std::error_code size(std::uint64_t& out) const;
  // Flushes the file's data to the disk (a write for the fault hook).
  std::error_code sync();
  // Starts writing the file's data to the disk without waiting for it, so
  // that a later sync() of a large file finds little left to do. Advisory:
  // nothing is reported.
  void startWriteBack();
  // Closes the file; the error of the close, if any.
  std::error_code close();
  // Takes an advisory lock on the open file, held until it is closed, so
  // that removeUnheldFiles (file_io.h) leaves it alone. False when another
  // holder has it or nothing is open.
  bool holdLock();

 private:
  int fd_ = -1;
  std::filesystem::path path_;
};

}  // namespace plat::fs
