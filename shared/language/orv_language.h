#pragma once
// COrv_Language: the strings, menus, pictures, help folder and resource
// lists of the interface language.
//
// English is the program's own module (english_module.h). Every other
// language is a module file `Orv_ML<CODE>.res` in the program folder, read
// for each request and dropped at once; whatever it lacks (the whole file,
// a menu, a picture, a string, or a string left empty) comes from English
// without a message. An object is cheap: make one where a text is needed,
// with index -1 for the current language, which is read when the object is
// made.
//
// Languages: 0 ENG English, 1 FRE Français, 2 ITA Italiano, 3 SPA Español,
// 4 GER Deutsch, 5 PTG Português, 6 PTB Port.-Bras., 7 HUN Magyar. The
// grammar browser knows the first seven only (highest index 6).

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/resources/resource_module.h"

namespace tv::language {

// The file of a module of the suite by its name ("Orv_MLFRE.DLL",
// "Orv_HLENG.chm", "Glyphary.DLL"); an empty path when it is unknown. The
// default asks the file layer's module-name map.
using ModuleLocator = std::function<std::filesystem::path(std::string_view name)>;
void setModuleLocator(ModuleLocator locator);  // an empty function restores the default
std::filesystem::path locateModule(std::string_view name);

// The icon library, open for one request.
class IconLibrary {
 public:
  virtual ~IconLibrary() = default;
  virtual std::optional<plat::ui::Image> icon(int id, int width, int height) = 0;
  virtual std::optional<plat::ui::Image> bitmap(int id, int width, int height) = 0;
};
// Opens the icon library; null when it cannot be loaded. The default
// loader has no library, so icons and bitmaps of the library are null
// until the program installs one.
using IconLibraryLoader = std::function<std::unique_ptr<IconLibrary>()>;
void setIconLibraryLoader(IconLibraryLoader loader);  // an empty function restores the default

// A picture to be drawn at the asked size. `file` is set, to the picture
// file beside its module, for pictures that are files.
struct Picture {
  plat::ui::Image image;
  std::filesystem::path file;
  int width = 0;
  int height = 0;
};

// The interface language for a POSIX locale name ("fr_CA.UTF-8" -> 1,
// "pt_BR" -> 6); 0 for anything else.
int languageIndexFromLocale(std::string_view locale);
// The interface language for a three-letter system language code ("FRA",
// "ptb"); 0 for anything else.
int languageIndexFromSystemCode(std::string_view code);

}  // namespace tv::language

class COrv_Language {
 public:
  static constexpr int kHighestIndex = 7;
  static constexpr int kBrowserHighestIndex = 6;  // the grammar browser has no Hungarian
  static constexpr std::size_t kMaxStringChars = 1023;

  explicit COrv_Language(int index = -1, int highestIndex = kHighestIndex);
  virtual ~COrv_Language() = default;

  // 1..highest is taken as given; -1 takes the main window's interface
  // language, or the stored one when there is no main window (a stored
  // value outside 1..highest gives English); anything else gives English.
  bool SetLanguage(int index);
  int GetLanguage() const { return current_; }
  int GetHighestIndex() const { return highest_; }

  // -1 gives the current language, an index above the highest (or below
  // -1) gives 0; else the index.
  int NormalizeIndex(int index) const;

  std::string GetLanguageCode(int index) const;
  std::string GetLanguageSuffix(int index) const { return GetLanguageCode(index); }
  std::string GetLanguageName(int index) const;  // UTF-8
  // Empty for English, else "Orv_ML" + code + ".DLL" (the module's suite name).
  std::string GetResourceLibraryName(int index) const;
  bool IsResourceLibraryAvailable(int index) const;

  // The string in the language, cut to 1023 characters, or the English one
  // when the language's module lacks it or holds it empty; empty when
  // English lacks it too.
  std::string LoadString(int id, int index = -1) const;
  // Copies the menu into `menu`: from the language's module, else English.
  // False (and `menu` untouched) when neither holds it.
  bool LoadMenu(int menuId, plat::ui::Menu& menu, int index = -1) const;
  // A picture from the language's module, else from English; nothing when
  // neither holds it.
  std::optional<tv::language::Picture> LoadBitmap(int id, int width, int height, int index = -1) const;
  // The program's accelerator table (it does not change with the language).
  static const std::vector<plat::ui::Accelerator>* GetAccelerators(int tableId);

  // The help folder of the language, English included.
  std::filesystem::path GetHelpFilePath(int index) const;
  // False above the highest index without a look at the disk; else whether
  // the help folder exists.
  bool HelpFileExists(int index) const;

  // The interface language of the system: from the configured three-letter
  // code when the settings hold one, else from the locale (LC_ALL,
  // LC_MESSAGES, LANG, the first one set).
  static int GetWindowsLanguage();

  // Resource lists. Kinds 1-4 are the string columns of lists 1-4, 5-8 the
  // icon columns, 9-12 the bitmap columns, 13-16 the small-picture columns.
  static int GetTableCount(int kind);
  // -1 for a kind outside 1-16 or an entry outside the list's numbering.
  static int GetTableResourceId(int kind, int entry);
  std::string LoadTableString(int list, int entry, int index = -1) const;
  std::optional<tv::language::Picture> LoadTableIcon(int list, int entry, int width, int height) const;
  std::optional<tv::language::Picture> LoadTableBitmap(int list, int entry, int width, int height) const;

  bool IsIconLibraryAvailable() const;
  std::optional<tv::language::Picture> LoadLibraryIcon(int iconId, int width, int height) const;
  std::optional<tv::language::Picture> LoadLibraryBitmap(int bitmapId, int width, int height) const;

 private:
  int highest_;
  int current_ = 0;
};
