#pragma once
// Listing a folder by a wildcard pattern, the way the suite's callers search
// for "*.tpk" or "*.*": '*' matches any run of characters, '?' exactly one
// character (a code point of a UTF-8 name), and letters match without
// regard to case. "*" and "*.*" match every name; a pattern ending in ".*"
// also matches names without any dot ("book.*" matches "book").

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace plat::fs {

// Whether `name` matches `pattern` by the rules above. Case is folded for
// ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic letters; bytes that
// are not valid UTF-8 match only themselves (or '?' / '*').
bool matchesPattern(std::string_view pattern, std::string_view name);

// Whether two names are equal without regard to case (the same folding).
bool equalNoCase(std::string_view a, std::string_view b);

enum class EntryKinds { Files, Folders, All };

struct FolderEntry {
  std::string name;
  bool folder = false;  // a folder, or a link to one
  bool link = false;    // the entry itself is a symbolic link
};

// The entries of `folder` whose names match `pattern` ("." and ".." never),
// restricted to `kinds`, sorted by name. Opening the folder goes through the
// fault hook (FaultOp::Open). A missing folder gives
// std::errc::no_such_file_or_directory and an empty list.
std::error_code listFolder(const std::filesystem::path& folder, std::string_view pattern,
                           std::vector<FolderEntry>& out, EntryKinds kinds = EntryKinds::All);

}  // namespace plat::fs
