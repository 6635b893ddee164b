#include "shared/language/orv_language.h"

#include <cctype>
#include <cstdlib>
#include <system_error>
#include <utility>

#include "platform/ui/resources/res_reader.h"
#include "shared/language/english_module.h"
#include "shared/language/language_settings.h"

#include "platform/fs/module_names.h"
#include "platform/text/utf8.h"

namespace tv::language {
namespace {

struct LanguageInfo {
  const char* code;
  const char* name;
};

const LanguageInfo kLanguages[COrv_Language::kHighestIndex + 1] = {
    {"ENG", "English"},   {"FRE", "Français"},  {"ITA", "Italiano"},    {"SPA", "Español"},
    {"GER", "Deutsch"},   {"PTG", "Português"}, {"PTB", "Port.-Bras."}, {"HUN", "Magyar"},
};

InMemoryLanguageSettings& fallbackSettings() {
  static InMemoryLanguageSettings settings;
  return settings;
}
LanguageSettings* g_settings = nullptr;
FrameState* g_frame = nullptr;

std::filesystem::path defaultLocator(std::string_view name) {
  return plat::fs::modulePath(name);
}

ModuleLocator& locator() {
  static ModuleLocator l;
  return l;
}

IconLibraryLoader& iconLoader() {
  static IconLibraryLoader l;
  return l;
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// The module of a language other than English, read for this request.
std::optional<plat::ui::ResourceModule> loadModule(const std::filesystem::path& path) {
  if (path.empty()) return std::nullopt;
  plat::ui::ResReadResult r = plat::ui::loadResourceModuleFile(path);
  return std::move(r.module);
}

std::optional<Picture> pictureFrom(const plat::ui::Image& image, const std::filesystem::path& folder, int width,
                                   int height) {
  Picture p{image, {}, width, height};
  if (image.kind == plat::ui::Image::Kind::File) p.file = folder / image.fileName;
  return p;
}

std::optional<Picture> sized(std::optional<plat::ui::Image> image, int width, int height) {
  if (!image) return std::nullopt;
  return Picture{std::move(*image), {}, width, height};
}

const plat::ui::ResourceList* listOf(int list) {
  if (list < 1 || list > 4) return nullptr;
  return englishModule().list(list);
}

}  // namespace

LanguageSettings& languageSettings() { return g_settings ? *g_settings : fallbackSettings(); }
void setLanguageSettings(LanguageSettings* settings) { g_settings = settings; }
FrameState* frameState() { return g_frame; }
void setFrameState(FrameState* state) { g_frame = state; }

void setModuleLocator(ModuleLocator l) { locator() = std::move(l); }
std::filesystem::path locateModule(std::string_view name) {
  return locator() ? locator()(name) : defaultLocator(name);
}

void setIconLibraryLoader(IconLibraryLoader loader) { iconLoader() = std::move(loader); }

int languageIndexFromLocale(std::string_view locale) {
  // language[_territory][.codeset][@modifier]
  const auto cut = locale.find_first_of(".@");
  const std::string name = upper(locale.substr(0, cut));
  const auto sep = name.find_first_of("_-");
  const std::string lang = name.substr(0, sep);
  const std::string territory = sep == std::string::npos ? std::string() : name.substr(sep + 1);
  if (lang == "FR") return 1;
  if (lang == "IT") return 2;
  if (lang == "ES") return 3;
  if (lang == "DE") return 4;
  if (lang == "PT") return territory == "BR" ? 6 : 5;
  if (lang == "HU") return 7;
  return 0;
}

int languageIndexFromSystemCode(std::string_view code) {
  struct Row {
    const char* codes;
    int index;
  };
  static const Row kRows[] = {
      {"FRA FRS FRL FRB FRC", 1},
      {"ITA ITS", 2},
      {"ESP ESN ESV ESY ESD ESU ESR ESZ ESA ESI ESM ESH ESG ESF ESC ESO ESL ESB ESS ESE", 3},
      {"DEU", 4},
      {"PTG", 5},
      {"PTB", 6},
      {"HUN", 7},
  };
  if (code.size() != 3) return 0;
  const std::string key = upper(code);
  for (const Row& row : kRows) {
    const std::string_view codes = row.codes;
    for (std::size_t i = 0; i + 3 <= codes.size(); i += 4) {
      if (codes.substr(i, 3) == key) return row.index;
    }
  }
  return 0;
}

}  // namespace tv::language

using namespace tv::language;

COrv_Language::COrv_Language(int index, int highestIndex)
    : highest_(highestIndex < 0 || highestIndex > kHighestIndex ? kHighestIndex : highestIndex) {
  SetLanguage(index);
}

bool COrv_Language::SetLanguage(int index) {
  if (index == -1) {
    const FrameState* frame = frameState();
    index = frame ? frame->interfaceLanguage() : languageSettings().lastInterfaceLanguage();
  }
  current_ = index >= 1 && index <= highest_ ? index : 0;
  return true;
}

int COrv_Language::NormalizeIndex(int index) const {
  if (index == -1) return current_;
  if (index < 0 || index > highest_) return 0;
  return index;
}

std::string COrv_Language::GetLanguageCode(int index) const { return kLanguages[NormalizeIndex(index)].code; }

std::string COrv_Language::GetLanguageName(int index) const { return kLanguages[NormalizeIndex(index)].name; }

std::string COrv_Language::GetResourceLibraryName(int index) const {
  const int i = NormalizeIndex(index);
  return i == 0 ? std::string() : "Orv_ML" + GetLanguageCode(i) + ".DLL";
}

bool COrv_Language::IsResourceLibraryAvailable(int index) const {
  const int i = NormalizeIndex(index);
  return i == 0 || loadModule(locateModule(GetResourceLibraryName(i))).has_value();
}

std::string COrv_Language::LoadString(int id, int index) const {
  const int i = NormalizeIndex(index);
  if (i != 0) {
    if (const auto module = loadModule(locateModule(GetResourceLibraryName(i)))) {
      const std::string* text = module->string(id);
      if (text && !text->empty()) return std::string(plat::text::cutChars(*text, kMaxStringChars));
    }
  }
  const std::string* english = englishModule().string(id);
  return english ? *english : std::string();
}

bool COrv_Language::LoadMenu(int menuId, plat::ui::Menu& menu, int index) const {
  const int i = NormalizeIndex(index);
  if (i != 0) {
    if (const auto module = loadModule(locateModule(GetResourceLibraryName(i)))) {
      if (const plat::ui::Menu* found = module->menu(menuId)) {
        menu = *found;
        return true;
      }
    }
  }
  const plat::ui::Menu* english = englishModule().menu(menuId);
  if (!english) return false;
  menu = *english;
  return true;
}

std::optional<Picture> COrv_Language::LoadBitmap(int id, int width, int height, int index) const {
  const int i = NormalizeIndex(index);
  if (i != 0) {
    const std::filesystem::path path = locateModule(GetResourceLibraryName(i));
    if (const auto module = loadModule(path)) {
      if (const plat::ui::Image* image = module->image(id)) return pictureFrom(*image, path.parent_path(), width, height);
    }
  }
  const plat::ui::Image* english = englishModule().image(id);
  if (!english) return std::nullopt;
  // Pictures of the English module that are files lie in the program folder.
  const std::filesystem::path folder =
      english->kind == plat::ui::Image::Kind::File ? locateModule("Orvex.exe").parent_path() : std::filesystem::path();
  return pictureFrom(*english, folder, width, height);
}

const std::vector<plat::ui::Accelerator>* COrv_Language::GetAccelerators(int tableId) {
  return englishModule().accelerators(tableId);
}

std::filesystem::path COrv_Language::GetHelpFilePath(int index) const {
  return locateModule("Orv_HL" + GetLanguageCode(index) + ".chm");
}

bool COrv_Language::HelpFileExists(int index) const {
  if (index > highest_ || index < -1) return false;
  const std::filesystem::path path = GetHelpFilePath(index);
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

int COrv_Language::GetWindowsLanguage() {
  const std::string code = languageSettings().systemLanguageCode();
  if (!code.empty()) return languageIndexFromSystemCode(code);
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return languageIndexFromLocale(value);
  }
  return 0;
}

int COrv_Language::GetTableCount(int kind) {
  if (kind < 1 || kind > 16) return 0;
  return listOf((kind - 1) % 4 + 1)->count();
}

int COrv_Language::GetTableResourceId(int kind, int entry) {
  if (kind < 1 || kind > 16) return -1;
  const plat::ui::ResourceList* l = listOf((kind - 1) % 4 + 1);
  if (!l->contains(entry)) return -1;
  const auto k = static_cast<std::size_t>(entry - l->firstEntry);
  switch ((kind - 1) / 4) {
    case 0: return l->stringIds[k];
    case 1: return l->iconIds[k];
    case 2: return l->bitmapIds[k];
    default: return l->smallBitmapIds[k];
  }
}

std::string COrv_Language::LoadTableString(int list, int entry, int index) const {
  const int id = list >= 1 && list <= 4 ? GetTableResourceId(list, entry) : -1;
  return id < 0 ? std::string() : LoadString(id, index);
}

std::optional<Picture> COrv_Language::LoadTableIcon(int list, int entry, int width, int height) const {
  const int id = list >= 1 && list <= 4 ? GetTableResourceId(list + 4, entry) : -1;
  return id < 0 ? std::nullopt : LoadLibraryIcon(id, width, height);
}

std::optional<Picture> COrv_Language::LoadTableBitmap(int list, int entry, int width, int height) const {
  const int id = list >= 1 && list <= 4 ? GetTableResourceId(list + 8, entry) : -1;
  return id < 0 ? std::nullopt : LoadLibraryBitmap(id, width, height);
}

bool COrv_Language::IsIconLibraryAvailable() const { return iconLoader() && iconLoader()() != nullptr; }

std::optional<Picture> COrv_Language::LoadLibraryIcon(int iconId, int width, int height) const {
  std::unique_ptr<IconLibrary> library = iconLoader() ? iconLoader()() : nullptr;
  return library ? sized(library->icon(iconId, width, height), width, height) : std::nullopt;
}

std::optional<Picture> COrv_Language::LoadLibraryBitmap(int bitmapId, int width, int height) const {
  std::unique_ptr<IconLibrary> library = iconLoader() ? iconLoader()() : nullptr;
  return library ? sized(library->bitmap(bitmapId, width, height), width, height) : std::nullopt;
}
