#include "platform/fs/special_folders.h"

#include <cstdlib>

#include "platform/fs/file_io.h"

namespace plat::fs {

namespace {
std::filesystem::path absoluteVar(const char* name) {
  const char* v = std::getenv(name);
  if (v == nullptr || *v != '/') return {};
  return std::filesystem::path(v);
}

std::filesystem::path home() { return absoluteVar("HOME"); }

std::filesystem::path configHome() {
  if (auto p = absoluteVar("XDG_CONFIG_HOME"); !p.empty()) return p;
  if (auto h = home(); !h.empty()) return h / ".config";
  return {};
}

std::filesystem::path dataHome() {
  if (auto p = absoluteVar("XDG_DATA_HOME"); !p.empty()) return p;
  if (auto h = home(); !h.empty()) return h / ".local" / "share";
  return {};
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::filesystem::path userDir(std::string_view key) {
  const std::filesystem::path cfg = configHome();
  if (cfg.empty()) return {};
  std::string text;
  if (readFile(cfg / "user-dirs.dirs", text)) return {};
  return userDirsEntry(text, key, home());
}

bool sameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  return a.lexically_normal() / "" == b.lexically_normal() / "";
}
}  // namespace

std::filesystem::path userDirsEntry(std::string_view text, std::string_view key,
                                    const std::filesystem::path& homeFolder) {
  std::filesystem::path found;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == '#') continue;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || trim(line.substr(0, eq)) != key) continue;
    std::string_view v = trim(line.substr(eq + 1));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    // The shell quoting that xdg-user-dirs writes: \" \\ \$ \` stand for
    // themselves.
    std::string value;
    for (size_t i = 0; i < v.size(); ++i) {
      if (v[i] == '\\' && i + 1 < v.size()) ++i;
      value.push_back(v[i]);
    }
    std::filesystem::path p;
    std::string_view rest;
    bool fromHome = true;
    if (value.rfind("${HOME}", 0) == 0)
      rest = std::string_view(value).substr(7);
    else if (value.rfind("$HOME", 0) == 0)
      rest = std::string_view(value).substr(5);
    else
      fromHome = false;
    if (fromHome) {
      if (!rest.empty() && rest[0] != '/') continue;  // "$HOMEX": another variable
      if (homeFolder.empty()) continue;
      while (!rest.empty() && rest[0] == '/') rest.remove_prefix(1);
      p = rest.empty() ? homeFolder : homeFolder / rest;
    } else if (!value.empty() && value[0] == '/') {
      p = value;
    }
    if (p.empty()) continue;
    found = p;  // the shell would let the last assignment win
  }
  return found;
}

std::filesystem::path specialFolder(SpecialFolder which) {
  switch (which) {
    case SpecialFolder::Documents: {
      std::filesystem::path p = userDir("XDG_DOCUMENTS_DIR");
      const std::filesystem::path h = home();
      if (p.empty() || (!h.empty() && sameFolder(p, h))) return {};
      return p;
    }
    case SpecialFolder::Desktop: {
      if (auto p = userDir("XDG_DESKTOP_DIR"); !p.empty()) return p;
      const std::filesystem::path h = home();
      return h.empty() ? std::filesystem::path() : h / "Desktop";
    }
    case SpecialFolder::ApplicationsMenu: {
      const std::filesystem::path d = dataHome();
      return d.empty() ? d : d / "applications";
    }
    case SpecialFolder::Autostart: {
      const std::filesystem::path c = configHome();
      return c.empty() ? c : c / "autostart";
    }
  }
  return {};
}

std::optional<SpecialFolder> specialFolderForCsidl(int csidl) {
  switch (csidl) {
    case 5: return SpecialFolder::Documents;
    case 16: return SpecialFolder::Desktop;
    case 2: return SpecialFolder::ApplicationsMenu;
    case 7: return SpecialFolder::Autostart;
    default: return std::nullopt;
  }
}

}  // namespace plat::fs
