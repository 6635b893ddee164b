#pragma once
// Ini files with the private-profile rules: the settings file, the user
// index, the book information files and the other ini files of the suite.
//
// Reading: sections and keys match without regard to case (ASCII and the
// common scripts, see ini_text.h); the first occurrence of a section, and
// of a key within it, wins; values are trimmed and one pair of matching
// quotes is stripped; lines starting with ';' are comments; LF and CRLF
// line ends are read. A file that is missing or cannot be read reads as
// empty. Sizes count characters (code points of UTF-8 text; a byte that is
// not UTF-8 counts as one character and is kept as it is), and an answer
// is never cut inside a character.
//
// Writing: every write takes the file's advisory lock (plat::fs::FileLock),
// reads the file again, applies its change and replaces the file
// atomically (plat::fs::writeFileAtomic), so that writers in several
// processes lose nothing and a failed write leaves the old file. Lines the
// change does not touch are kept byte for byte; lines that are written end
// in CRLF. A write creates a missing file but never its folder. A write
// that would change nothing leaves the file alone. Names and values that
// could add or hide lines are refused (std::errc::invalid_argument, nothing
// changed): see isValidSectionName, isValidKeyName and isValidValue in
// ini_document.h. Writes never throw; they answer an error code.
//
// Reads take no lock: a file is only ever replaced whole.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/profile/ini_document.h"

namespace plat::profile {

// Reads ---------------------------------------------------------------

// `value` as it must be written to read back whole: values that begin or
// end with a blank, or that a pair of quotes encloses, are written inside
// a pair of double quotes (which reading strips); others as they are.
std::string protectValue(std::string_view value);

// The value of section/key, or `def` when the section or key is missing
// (a key present with an empty value gives an empty string). Trailing
// blanks of `def` are removed, as the value's are. The answer holds at most
// size - 1 characters; size 0 gives an empty string.
std::string getString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                      std::string_view def, size_t size);

// The value of section/key as an integer: an optional sign and the leading
// decimal digits (clamped to the range of int); a value without leading
// digits gives 0; a missing key or an empty value gives `def`.
int getInt(const std::filesystem::path& file, std::string_view section, std::string_view key, int def);

// The section names in file order, each once.
std::vector<std::string> sectionNames(const std::filesystem::path& file);
// The key names of a section in file order, each once (none when the
// section is missing).
std::vector<std::string> keyNames(const std::filesystem::path& file, std::string_view section);

// The same lists as they fit a buffer of `size` characters that holds each
// name with a terminator and one more terminator at the end: names that do
// not fit whole are left out (a cut name would name nothing), and so is
// every name after the first that does not fit.
std::vector<std::string> sectionNames(const std::filesystem::path& file, size_t size);
std::vector<std::string> keyNames(const std::filesystem::path& file, std::string_view section, size_t size);

// Whether the file has the section.
bool hasSection(const std::filesystem::path& file, std::string_view section);

// One read of a file for many lookups (the book information, a status
// file): the same answers as the functions above, from the content the
// file had when it was loaded. Not for use from several threads at once.
class Snapshot {
 public:
  Snapshot() = default;
  explicit Snapshot(std::string text) : doc_(std::move(text)) {}
  static Snapshot load(const std::filesystem::path& file);

  std::string getString(std::string_view section, std::string_view key, std::string_view def, size_t size) const;
  int getInt(std::string_view section, std::string_view key, int def) const;
  std::vector<std::string> sectionNames() const;
  std::vector<std::string> keyNames(std::string_view section) const;
  bool hasSection(std::string_view section) const { return doc_.hasSection(section); }
  const std::string& text() const { return doc_.text(); }

 private:
  IniDocument doc_;
};

// Writes --------------------------------------------------------------

// Sets section/key to `value`, adding the key (and the section) when
// missing. Creates the file when missing, not its folder.
std::error_code writeString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                            std::string_view value);
// Removes the key from the section; a missing file, section or key is no
// error.
std::error_code deleteKey(const std::filesystem::path& file, std::string_view section, std::string_view key);
// Removes the section with its keys; a missing file or section is no error.
std::error_code deleteSection(const std::filesystem::path& file, std::string_view section);

// Several writes to one file applied as one: one lock, one read, one
// atomic replace, in the order they were added. A refused name or value
// refuses the whole batch before the file is touched.
class Batch {
 public:
  Batch& writeString(std::string_view section, std::string_view key, std::string_view value);
  Batch& deleteKey(std::string_view section, std::string_view key);
  Batch& deleteSection(std::string_view section);

  bool empty() const { return ops_.empty(); }
  size_t size() const { return ops_.size(); }
  void clear() { ops_.clear(); }

  // Applies the writes to the file.
  std::error_code apply(const std::filesystem::path& file) const;
  // Applies the writes to ini text in memory (no file involved). Fails with
  // std::errc::invalid_argument, leaving `text` as it was, when a name or
  // value is refused.
  std::error_code applyTo(std::string& text) const;

 private:
  std::error_code check() const;
  bool onlyDeletes() const;

  enum class Op { Write, DeleteKey, DeleteSection };
  struct Item {
    Op op;
    std::string section, key, value;
  };
  std::vector<Item> ops_;
};

// A read-modify-write whose change depends on what the file holds (a
// count to raise, a list to extend): under the file's lock the file is read
// and `fill` adds its writes to `batch` from that content; the batch is then
// applied as one. Nothing else can change the file in between, so no
// increment of another process is lost. A batch left empty writes nothing.
std::error_code update(const std::filesystem::path& file,
                       const std::function<void(const Snapshot& current, Batch& batch)>& fill);

// Replaces the whole file with `text` under its lock, atomically: a reader
// sees the old or the new file, never a part of either.
std::error_code replaceFile(const std::filesystem::path& file, std::string_view text);

// Removes an ini file together with its lock companion and the temporary
// files of interrupted writes, under the lock, so that removing a file
// leaves its folder empty (the user and book folders are removed after
// their ini files). A missing file is no error.
std::error_code removeIniFile(const std::filesystem::path& file);

}  // namespace plat::profile
