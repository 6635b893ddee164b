#pragma once
// The in-memory tree of one registry hive and its text file form.
//
// A hive file is UTF-8 text, one record a line, LF line ends:
//
//   talvane-registry-hive 1
//   [Software\Quillon\Kestrelle]
//   AppPath=sz:/opt/talvane%00
//   LastInterfaceLanguage=dword:00000007
//   Blob=binary:00ff10
//   Odd=hex(11):0102030405060708
//
// A "[path]" line opens a key (its parents exist implicitly, an empty key is
// still listed); the lines after it are its values, "name=kind:payload".
// Names, key components and text payloads are percent-escaped: every byte
// below 0x20, 0x7F, '%', '=', '[', ']' and every byte that is not part of a
// valid UTF-8 sequence is written as %XX, so any byte round-trips and a line
// never breaks. Text kinds (sz, expand_sz, multi_sz) hold the stored bytes
// exactly, terminators included; "dword" is used only for 4-byte values and
// shows the number in hex; every other type or size is "hex(<type>)" or
// "binary" with two hex digits a byte.
//
// A line the reader cannot take (and, after a key line it cannot take, every
// line up to the next sound key line, since they belong to that key) is
// kept as it stands with the key read before it, and written back after
// that key's values: an unsound line loses nothing, neither itself nor what
// follows it. The reader reports the first such line; it never trusts a
// length, depth or name it reads.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plat::registry::hive {

// Limits of the registry: a key name has at most 255 characters, a value
// name at most 16383, a path at most 512 levels. The reader refuses more,
// so a hostile file cannot drive the recursive parts of the tree too deep.
inline constexpr std::size_t kMaxKeyNameChars = 255;
inline constexpr std::size_t kMaxValueNameChars = 16383;
inline constexpr std::size_t kMaxDepth = 512;

struct Value {
  std::string name;  // stored spelling
  std::uint32_t type = 0;
  std::string data;  // the stored bytes
};

struct Key {
  std::string name;  // stored spelling (the first one created)
  std::vector<Value> values;  // in creation order
  // Subkeys by folded name, so lookups ignore case and enumeration is in
  // the registry's order (by upper-cased name).
  std::map<std::string, std::unique_ptr<Key>> subkeys;
  // Lines of the file that could not be read, kept as they stood (without
  // their line end), in file order.
  std::vector<std::string> keptLines;

  Key* findSubkey(std::string_view name) const;
  // The subkey, created with this spelling when missing.
  Key* addSubkey(std::string_view name, bool* created = nullptr);
  bool removeSubkey(std::string_view name);

  Value* findValue(std::string_view name);
  const Value* findValue(std::string_view name) const;
  // Sets or replaces a value; an existing value keeps its stored spelling.
  void setValue(std::string_view name, std::uint32_t type, std::string_view data);
  bool removeValue(std::string_view name);

  std::unique_ptr<Key> clone() const;
};

// The case-folded form under which names are compared: every code point
// upper-cased, bytes that are not valid UTF-8 kept as they are.
std::string fold(std::string_view name);

// The number of characters (code points; a stray byte counts as one).
std::size_t charCount(std::string_view name);

// Splits a backslash path into its components. False for an empty
// component (a leading backslash or two in a row); one trailing backslash
// is tolerated. An empty path gives no components.
bool splitPath(std::string_view path, std::vector<std::string>& parts);

struct ParseReport {
  bool sound = true;
  std::size_t line = 0;  // the first unsound line (1-based), when not sound
  std::string message;   // what was wrong with it
  // Every line kept as it stood, in file order (what a backup must hold).
  std::vector<std::string> keptLines;
  // The file was refused whole (too large to be a hive): nothing was read.
  bool refused = false;
};

// Parses a hive file into `root` (which is cleared first).
ParseReport parse(std::string_view text, Key& root);

// The file form of the tree; parse(serialize(t)) gives t again (its kept
// lines included).
std::string serialize(const Key& root);

// Percent-escaping of names and text payloads (exposed for tests).
std::string escape(std::string_view bytes);
bool unescape(std::string_view text, std::string& out);

// True when the two trees hold the same keys, values and kept lines (names
// compared exactly, subkeys in order, values in order).
bool sameTree(const Key& a, const Key& b);

}  // namespace plat::registry::hive
