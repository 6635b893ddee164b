#pragma once
// Unique temporary files with a prefix, in the manner of the classic
// "prefix + unique number + .tmp" naming: the file is created empty and
// exclusively (O_EXCL), so two callers, threads or processes never get the
// same name. The folder is always the caller's: nothing here falls back to
// the system's temporary folder (see systemTempFolder()).

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace plat::fs {

struct TempFile {
  std::filesystem::path path;  // folder / (prefix + hex(unique) + ".tmp")
  std::uint32_t unique = 0;    // never 0
};

// Creates a new empty file folder/<prefix><unique in upper-case hex>.tmp
// (mode 0600) and answers its path and unique number. The prefix is used as
// given; it must not hold a path separator (std::errc::invalid_argument).
// The folder must exist.
std::error_code createTempFile(const std::filesystem::path& folder, std::string_view prefix,
                               TempFile& out);

// The name that `unique` (> 0) gives, without creating anything. Empty for
// unique 0 or a prefix holding a separator.
std::filesystem::path tempFileName(const std::filesystem::path& folder, std::string_view prefix,
                                   std::uint32_t unique);

// Replaces the source of candidate numbers (nullptr: the built-in random
// one), so that tests can make names collide. Not for product code.
using TempNumberSource = std::uint32_t (*)();
void setTempNumberSource(TempNumberSource source);

}  // namespace plat::fs
