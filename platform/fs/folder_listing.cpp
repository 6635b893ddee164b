#include "platform/fs/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/fs/fault.h"

namespace plat::fs {

namespace {
// One unit of a name: a decoded code point, or a stray byte offset into a
// range no code point uses, so it matches only itself.
using Unit = std::uint32_t;
constexpr Unit kStrayByte = 0x80000000u;

std::vector<Unit> decode(std::string_view s) {
  std::vector<Unit> out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    int len = 0;
    Unit cp = 0;
    if (b < 0x80) {
      len = 1;
      cp = b;
    } else if ((b & 0xE0) == 0xC0 && b >= 0xC2) {
      len = 2;
      cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      len = 3;
      cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0 && b <= 0xF4) {
      len = 4;
      cp = b & 0x07;
    }
    bool ok = len > 0 && i + static_cast<size_t>(len) <= s.size();
    for (int k = 1; ok && k < len; ++k) {
      const auto c = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      if ((c & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if (ok && ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
               (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))))
      ok = false;
    if (!ok) {
      out.push_back(kStrayByte | b);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += static_cast<size_t>(len);
  }
  return out;
}

// Simple lower-case folding of the scripts file names of the suite's
// languages are written in.
Unit fold(Unit c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c < 0xC0) return c;
  if (c <= 0xDE) return c == 0xD7 ? c : c + 32;
  if (c >= 0x100 && c <= 0x137) return c | 1;
  if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;
  if (c >= 0x14A && c <= 0x177) return c | 1;
  if (c == 0x178) return 0xFF;
  if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c + 1 : c;
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  return c;
}

std::vector<Unit> folded(std::string_view s) {
  std::vector<Unit> u = decode(s);
  for (Unit& c : u) c = fold(c);
  return u;
}

// Iterative wildcard match with one backtrack point (the last '*').
bool match(const std::vector<Unit>& p, const std::vector<Unit>& n) {
  size_t pi = 0, ni = 0, starP = SIZE_MAX, starN = 0;
  while (ni < n.size()) {
    if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (pi < p.size() && p[pi] == '*') {
      starP = pi++;
      starN = ni;
    } else if (starP != SIZE_MAX) {
      pi = starP + 1;
      ni = ++starN;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}
}  // namespace

bool matchesPattern(std::string_view pattern, std::string_view name) {
  if (pattern == "*" || pattern == "*.*") return true;
  const std::vector<Unit> n = folded(name);
  if (match(folded(pattern), n)) return true;
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos)
    return match(folded(pattern.substr(0, pattern.size() - 2)), n);
  return false;
}

bool equalNoCase(std::string_view a, std::string_view b) { return folded(a) == folded(b); }

std::error_code listFolder(const std::filesystem::path& folder, std::string_view pattern,
                           std::vector<FolderEntry>& out, EntryKinds kinds) {
  out.clear();
  const std::string path = folder.string();
  if (int f = takeFault(FaultOp::Open, path)) return {f, std::generic_category()};
  const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return {errno, std::generic_category()};
  DIR* d = ::fdopendir(fd);
  if (d == nullptr) {
    const int e = errno;
    ::close(fd);
    return {e, std::generic_category()};
  }
  int err = 0;
  for (;;) {
    errno = 0;
    const dirent* ent = ::readdir(d);
    if (ent == nullptr) {
      err = errno;
      break;
    }
    const std::string_view name = ent->d_name;
    if (name == "." || name == ".." || !matchesPattern(pattern, name)) continue;
    FolderEntry e;
    e.name = std::string(name);
    struct stat st{};
    if (::fstatat(::dirfd(d), ent->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    e.link = S_ISLNK(st.st_mode);
    if (e.link && ::fstatat(::dirfd(d), ent->d_name, &st, 0) != 0) st = {};  // dangling
    e.folder = S_ISDIR(st.st_mode);
    if (kinds == EntryKinds::Files && e.folder) continue;
    if (kinds == EntryKinds::Folders && !e.folder) continue;
    out.push_back(std::move(e));
  }
  ::closedir(d);
  std::sort(out.begin(), out.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return err == 0 ? std::error_code() : std::error_code(err, std::generic_category());
}

}  // namespace plat::fs
