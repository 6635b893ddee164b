#include "platform/profile/profile.h"

#include <cerrno>
#include <climits>

#include "platform/fs/file_io.h"
#include "platform/profile/ini_text.h"

namespace plat::profile {

std::string protectValue(std::string_view value) {
  if (value.empty()) return {};
  const bool blankAtEnd = text::isBlank(value.front()) || text::isBlank(value.back());
  const bool quoted =
      value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
  if (!blankAtEnd && !quoted) return std::string(value);
  return "\"" + std::string(value) + "\"";
}


namespace {

std::string readOrEmpty(const std::filesystem::path& file) {
  std::string text;
  if (plat::fs::readFile(file, text)) text.clear();
  return text;
}

std::string trimTrailing(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && text::isBlank(s[e - 1])) --e;
  return std::string(s.substr(0, e));
}

std::string cutToBuffer(std::string_view s, size_t size) {
  if (size == 0) return {};
  return std::string(text::cutChars(s, size - 1));
}

int parseInt(std::string_view v) {
  size_t i = 0;
  bool negative = false;
  if (i < v.size() && (v[i] == '-' || v[i] == '+')) negative = v[i++] == '-';
  long long n = 0;
  for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
    n = n * 10 + (v[i] - '0');
    if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) n = -n;
  if (n > INT_MAX) n = INT_MAX;
  return static_cast<int>(n);
}

std::vector<std::string> toStrings(const std::vector<std::string_view>& names) {
  return std::vector<std::string>(names.begin(), names.end());
}

std::vector<std::string> fitBuffer(std::vector<std::string> names, size_t size) {
  // Room for the closing terminator first, then each name and its own.
  size_t room = size == 0 ? 0 : size - 1;
  size_t kept = 0;
  for (; kept < names.size(); ++kept) {
    const size_t need = text::countChars(names[kept]) + 1;
    if (need > room) break;
    room -= need;
  }
  names.resize(kept);
  return names;
}

}  // namespace

// Reads ---------------------------------------------------------------

Snapshot Snapshot::load(const std::filesystem::path& file) { return Snapshot(readOrEmpty(file)); }

std::string Snapshot::getString(std::string_view section, std::string_view key, std::string_view def,
                                size_t size) const {
  const auto v = doc_.value(section, key);
  return v ? cutToBuffer(*v, size) : cutToBuffer(trimTrailing(def), size);
}

int Snapshot::getInt(std::string_view section, std::string_view key, int def) const {
  const auto v = doc_.value(section, key);
  if (!v || v->empty()) return def;
  return parseInt(*v);
}

std::vector<std::string> Snapshot::sectionNames() const { return toStrings(doc_.sectionNames()); }

std::vector<std::string> Snapshot::keyNames(std::string_view section) const {
  return toStrings(doc_.keyNames(section));
}

std::string getString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                      std::string_view def, size_t size) {
  return Snapshot::load(file).getString(section, key, def, size);
}

int getInt(const std::filesystem::path& file, std::string_view section, std::string_view key, int def) {
  return Snapshot::load(file).getInt(section, key, def);
}

std::vector<std::string> sectionNames(const std::filesystem::path& file) { return Snapshot::load(file).sectionNames(); }

std::vector<std::string> keyNames(const std::filesystem::path& file, std::string_view section) {
  return Snapshot::load(file).keyNames(section);
}

std::vector<std::string> sectionNames(const std::filesystem::path& file, size_t size) {
  return fitBuffer(sectionNames(file), size);
}

std::vector<std::string> keyNames(const std::filesystem::path& file, std::string_view section, size_t size) {
  return fitBuffer(keyNames(file, section), size);
}

bool hasSection(const std::filesystem::path& file, std::string_view section) {
  return Snapshot::load(file).hasSection(section);
}

// Writes --------------------------------------------------------------

Batch& Batch::writeString(std::string_view section, std::string_view key, std::string_view value) {
  ops_.push_back(Item{Op::Write, std::string(section), std::string(key), std::string(value)});
  return *this;
}

Batch& Batch::deleteKey(std::string_view section, std::string_view key) {
  ops_.push_back(Item{Op::DeleteKey, std::string(section), std::string(key), {}});
  return *this;
}

Batch& Batch::deleteSection(std::string_view section) {
  ops_.push_back(Item{Op::DeleteSection, std::string(section), {}, {}});
  return *this;
}

std::error_code Batch::check() const {
  for (const Item& it : ops_) {
    const bool ok = isValidSectionName(it.section) &&
                    (it.op == Op::DeleteSection || isValidKeyName(it.key)) &&
                    (it.op != Op::Write || isValidValue(it.value));
    if (!ok) return std::make_error_code(std::errc::invalid_argument);
  }
  return {};
}

bool Batch::onlyDeletes() const {
  for (const Item& it : ops_)
    if (it.op == Op::Write) return false;
  return true;
}

std::error_code Batch::applyTo(std::string& text) const {
  if (std::error_code ec = check()) return ec;
  IniDocument doc(std::move(text));
  for (const Item& it : ops_) {
    switch (it.op) {
      case Op::Write: doc.setValue(it.section, it.key, it.value); break;
      case Op::DeleteKey: doc.eraseKey(it.section, it.key); break;
      case Op::DeleteSection: doc.eraseSection(it.section); break;
    }
  }
  text = doc.serialise();
  return {};
}

namespace {

// Reads the file under a lock already held: `exists` tells a missing file
// from an empty one. A file that exists but cannot be read is never
// overwritten: its error is answered.
std::error_code readLocked(const std::filesystem::path& file, std::string& text, bool& exists) {
  exists = true;
  if (std::error_code ec = plat::fs::readFile(file, text)) {
    if (ec != std::errc::no_such_file_or_directory) return ec;
    exists = false;
    text.clear();
  }
  return {};
}

std::error_code applyLocked(const std::filesystem::path& file, const Batch& batch, std::string text, bool exists) {
  const std::string before = text;
  if (std::error_code ec = batch.applyTo(text)) return ec;
  if (text == before && (exists || text.empty())) return {};
  return plat::fs::writeFileAtomic(file, text);
}

}  // namespace

std::error_code Batch::apply(const std::filesystem::path& file) const {
  // Refuse bad names before the lock file is made.
  if (std::error_code ec = check()) return ec;
  // Deleting from a file that does not exist changes nothing; it leaves no
  // lock file behind either.
  std::error_code statError;
  if (onlyDeletes() && !std::filesystem::exists(file, statError) && !statError) return {};

  plat::fs::FileLock lock(file);
  if (!lock.locked()) return lock.error();
  std::string text;
  bool exists = true;
  if (std::error_code ec = readLocked(file, text, exists)) return ec;
  return applyLocked(file, *this, std::move(text), exists);
}

std::error_code update(const std::filesystem::path& file,
                       const std::function<void(const Snapshot& current, Batch& batch)>& fill) {
  plat::fs::FileLock lock(file);
  if (!lock.locked()) return lock.error();
  std::string text;
  bool exists = true;
  if (std::error_code ec = readLocked(file, text, exists)) return ec;
  Batch batch;
  fill(Snapshot(text), batch);
  if (batch.empty()) return {};
  return applyLocked(file, batch, std::move(text), exists);
}

std::error_code replaceFile(const std::filesystem::path& file, std::string_view text) {
  plat::fs::FileLock lock(file);
  if (!lock.locked()) return lock.error();
  return plat::fs::writeFileAtomic(file, text);
}

std::error_code writeString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                            std::string_view value) {
  return Batch().writeString(section, key, value).apply(file);
}

std::error_code deleteKey(const std::filesystem::path& file, std::string_view section, std::string_view key) {
  return Batch().deleteKey(section, key).apply(file);
}

std::error_code deleteSection(const std::filesystem::path& file, std::string_view section) {
  return Batch().deleteSection(section).apply(file);
}

std::error_code removeIniFile(const std::filesystem::path& file) {
  plat::fs::FileLock lock(file);
  if (!lock.locked()) {
    // No folder, no file: nothing to remove.
    if (lock.error() == std::errc::no_such_file_or_directory) return {};
    return lock.error();
  }
  if (std::error_code ec = plat::fs::removeFile(file)) return ec;
  plat::fs::removeStaleTemporaries(file);
  return plat::fs::removeFile(plat::fs::FileLock::lockPathFor(file));
}

}  // namespace plat::profile
