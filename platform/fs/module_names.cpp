#include "platform/fs/module_names.h"

#include "platform/fs/program_folder.h"

namespace plat::fs {

namespace {
struct Fixed {
  std::string_view name;  // as the code base spells it, with its extension
  std::string_view file;
  ModuleKind kind;
};

constexpr Fixed kModules[] = {
    {"LINDRA.DLL", "liblindra.so", ModuleKind::Library},
    {"Glyphary.DLL", "libglyphary.so", ModuleKind::Library},
    {"CONV32.DLL", "libconv32.so", ModuleKind::Library},
    {"Orvex.exe", "orvex", ModuleKind::Program},
    {"Brindle.exe", "brindle", ModuleKind::Program},
    {"Pelvara.exe", "pelvara", ModuleKind::Program},
    {"Orvexu.exe", "orvexu", ModuleKind::Program},
};

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool asciiEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool startsNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && asciiEqualNoCase(s.substr(0, prefix.size()), prefix);
}

bool endsNoCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && asciiEqualNoCase(s.substr(s.size() - suffix.size()), suffix);
}

// "<prefix><code><ext>" with a valid code (ext may be optional): the code
// in upper case, else nothing.
std::optional<std::string> languageCode(std::string_view name, std::string_view prefix,
                                        std::string_view ext, bool extOptional) {
  if (!startsNoCase(name, prefix)) return std::nullopt;
  std::string_view code = name.substr(prefix.size());
  if (endsNoCase(code, ext))
    code.remove_suffix(ext.size());
  else if (!extOptional)
    return std::nullopt;
  if (code.empty() || code.size() > 8) return std::nullopt;
  std::string out;
  for (char c : code) {
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!alnum) return std::nullopt;
    out.push_back(upper(c));
  }
  return out;
}
}  // namespace

std::optional<ModuleFile> moduleFile(std::string_view name) {
  if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos)
    return std::nullopt;
  for (const Fixed& m : kModules) {
    const std::string_view bare = m.name.substr(0, m.name.rfind('.'));
    if (asciiEqualNoCase(name, m.name) || asciiEqualNoCase(name, bare))
      return ModuleFile{std::string(m.file), m.kind};
  }
  if (auto code = languageCode(name, "Orv_ML", ".DLL", true))
    return ModuleFile{"Orv_ML" + *code + ".res", ModuleKind::ResourceModule};
  if (auto code = languageCode(name, "Orv_HL", ".chm", false))
    return ModuleFile{"Orv_HL" + *code, ModuleKind::HelpFolder};
  return std::nullopt;
}

std::filesystem::path modulePath(std::string_view name) {
  const auto m = moduleFile(name);
  if (!m) return {};
  return programFolder() / m->fileName;
}

}  // namespace plat::fs
