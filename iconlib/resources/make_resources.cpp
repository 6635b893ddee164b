// Builds Glyphary's resource module at build time and writes it as a C++
// source that compiles the module's text into libglyphary.so:
//
//   glyphary_make_resources <output.cpp>
//
// The pictures are drawn here as small SVG images: a rounded tile in the
// colour of its kind with a sign on it (bars for the levels, initials for
// the categories, the code for the languages, a drawing for the sources).
// The short labels take the player's English list texts, so both name a
// category alike.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "iconlib/glyphary_ids.h"
#include "platform/ui/resources/res_reader.h"
#include "shared/language/english_module.h"
#include "shared/language/orv_language.h"

namespace {

using plat::ui::Image;
using plat::ui::ResourceModule;

constexpr const char* kLevelColour = "#b5651d";
constexpr const char* kCategoryColour = "#3a6ea5";
constexpr const char* kLanguageColour = "#2e8b57";
constexpr const char* kSourceColour = "#6a5acd";
constexpr const char* kHelpColour = "#c0392b";
constexpr const char* kLogoColour = "#1f4e79";

struct Size {
  int width;
  int height;
};
constexpr Size kIcon{32, 32};
constexpr Size kBitmap{48, 32};

// A drawing in a 32 x 32 box, centred on a tile of the given size.
std::string tile(Size size, const char* colour, const std::string& drawing) {
  const int dx = (size.width - 32) / 2;
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(size.width) +
                    "\" height=\"" + std::to_string(size.height) + "\" viewBox=\"0 0 " +
                    std::to_string(size.width) + " " + std::to_string(size.height) + "\">";
  svg += "<rect x=\"1\" y=\"1\" width=\"" + std::to_string(size.width - 2) + "\" height=\"" +
         std::to_string(size.height - 2) + "\" rx=\"5\" fill=\"" + colour + "\" stroke=\"#202020\" stroke-width=\"1.5\"/>";
  svg += "<g transform=\"translate(" + std::to_string(dx) + " 0)\">" + drawing + "</g></svg>";
  return svg;
}

std::string label(const std::string& text, int fontSize) {
  return "<text x=\"16\" y=\"" + std::to_string(16 + fontSize * 7 / 20) +
         "\" font-family=\"sans-serif\" font-weight=\"bold\" font-size=\"" + std::to_string(fontSize) +
         "\" text-anchor=\"middle\" fill=\"#ffffff\">" + text + "</text>";
}

// Five rising bars, the first `filled` of them solid (0 for the group icon).
std::string levelBars(int filled) {
  std::string out;
  for (int k = 0; k < 5; ++k) {
    const int h = 5 + 4 * k;
    out += "<rect x=\"" + std::to_string(5 + 5 * k) + "\" y=\"" + std::to_string(26 - h) +
           "\" width=\"3.5\" height=\"" + std::to_string(h) + "\" fill=\"" + (k < filled ? "#ffffff" : "none") +
           "\" stroke=\"#ffffff\" stroke-width=\"1\"/>";
  }
  return out;
}

// The initials of the first two words that begin with a letter, or the
// first two letters of a single word.
std::string initials(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text + " ") {
    if (c == ' ') {
      const bool letter = !word.empty() && ((word[0] >= 'A' && word[0] <= 'Z') || (word[0] >= 'a' && word[0] <= 'z'));
      if (letter) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (words.empty()) return "?";
  if (words.size() == 1) return words[0].substr(0, 2);
  return std::string{words[0][0], words[1][0]};
}

// Four small tiles: every category.
std::string categoryGrid() {
  std::string out;
  for (int k = 0; k < 4; ++k)
    out += "<rect x=\"" + std::to_string(7 + 10 * (k % 2)) + "\" y=\"" + std::to_string(7 + 10 * (k / 2)) +
           "\" width=\"8\" height=\"8\" rx=\"1.5\" fill=\"#ffffff\"/>";
  return out;
}

std::string sourceDrawing(int source) {
  switch (source) {
    case 0:  // local drive
      return "<rect x=\"5\" y=\"10\" width=\"22\" height=\"12\" rx=\"2\" fill=\"#ffffff\"/>"
             "<circle cx=\"23\" cy=\"16\" r=\"1.8\" fill=\"#2ecc71\"/>";
    case 1:  // network drive
      return "<rect x=\"5\" y=\"6\" width=\"22\" height=\"11\" rx=\"2\" fill=\"#ffffff\"/>"
             "<path d=\"M16 17 V23 M7 25 H25\" stroke=\"#ffffff\" stroke-width=\"2\"/>"
             "<circle cx=\"16\" cy=\"25\" r=\"2\" fill=\"#ffffff\"/>";
    case 2:  // Internet download
      return "<circle cx=\"16\" cy=\"16\" r=\"10\" fill=\"none\" stroke=\"#ffffff\" stroke-width=\"2\"/>"
             "<ellipse cx=\"16\" cy=\"16\" rx=\"4.5\" ry=\"10\" fill=\"none\" stroke=\"#ffffff\" stroke-width=\"1.5\"/>"
             "<path d=\"M6 16 H26\" stroke=\"#ffffff\" stroke-width=\"1.5\"/>";
    case 3:  // CD-ROM drive
      return "<circle cx=\"16\" cy=\"16\" r=\"10\" fill=\"#ffffff\"/>"
             "<circle cx=\"16\" cy=\"16\" r=\"3\" fill=\"" + std::string(kSourceColour) + "\"/>";
    default:  // kind not known
      return label("?", 18);
  }
}

std::string helpDrawing() {
  return "<circle cx=\"16\" cy=\"16\" r=\"11\" fill=\"#ffffff\"/>"
         "<text x=\"16\" y=\"22\" font-family=\"sans-serif\" font-weight=\"bold\" font-size=\"17\" "
         "text-anchor=\"middle\" fill=\"" + std::string(kHelpColour) + "\">?</text>";
}

std::string logoDrawing() {
  // An open book with a "G" above its fold.
  return "<path d=\"M4 24 Q10 20 16 24 Q22 20 28 24 V14 Q22 10 16 14 Q10 10 4 14 Z\" fill=\"#ffffff\"/>"
         "<path d=\"M16 14 V24\" stroke=\"" + std::string(kLogoColour) + "\" stroke-width=\"1\"/>"
         "<text x=\"16\" y=\"11\" font-family=\"serif\" font-weight=\"bold\" font-size=\"10\" "
         "text-anchor=\"middle\" fill=\"#ffffff\">G</text>";
}

Image svg(const std::string& text) { return Image{Image::Kind::Svg, "", std::vector<uint8_t>(text.begin(), text.end())}; }

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "glyphary_make_resources: %s\n", what.c_str());
  std::exit(1);
}

void addString(ResourceModule& m, int id, const std::string& text) {
  if (!m.addString(id, text)) fail("string " + std::to_string(id) + " given twice");
}
void addImage(ResourceModule& m, int id, const std::string& text) {
  if (!m.addImage(id, svg(text))) fail("picture " + std::to_string(id) + " given twice");
}

// The English text of entry `entry` of one of the player's resource lists.
std::string listText(int list, int entry) {
  const plat::ui::ResourceList* l = tv::language::englishModule().list(list);
  if (!l || !l->contains(entry)) fail("no English list entry " + std::to_string(list) + "/" + std::to_string(entry));
  const std::string* text = tv::language::englishModule().string(l->stringIds[static_cast<std::size_t>(entry - l->firstEntry)]);
  if (!text) fail("no English text for list entry " + std::to_string(list) + "/" + std::to_string(entry));
  return *text;
}

ResourceModule build() {
  using namespace glyphary;
  using tv::language::kListCategories;
  using tv::language::kListDifficulties;
  using tv::language::kListLanguages;
  using tv::language::kListSourceKinds;
  ResourceModule m;

  // Levels: the group icon at the level offset, then one per level.
  addString(m, kLevelIconOffset, "Level");
  addString(m, kLevelTitleOffset, "Difficulty level");
  addImage(m, kLevelIconOffset, tile(kIcon, kLevelColour, levelBars(0)));
  for (int level = kFirstLevel; level <= kLastLevel; ++level) {
    const int icon = kLevelIds[level - kFirstLevel];
    const std::string name = listText(kListDifficulties, level);
    addString(m, icon, name);
    addString(m, kLevelTitleOffset + (icon - kLevelIconOffset), "Difficulty: " + name);
    addImage(m, icon, tile(kIcon, kLevelColour, levelBars(level)));
    addImage(m, kFirstLevelBitmap + level - kFirstLevel, tile(kBitmap, kLevelColour, levelBars(level)));
  }

  // Categories: the offset is the first category's own icon; the group
  // icon stands before it.
  addString(m, kCategoryGroupIcon, "Category");
  addImage(m, kCategoryGroupIcon, tile(kIcon, kCategoryColour, categoryGrid()));
  for (int category = kFirstCategory; category <= kLastCategory; ++category) {
    const int icon = kCategoryIds[category - kFirstCategory];
    const std::string name = listText(kListCategories, category);
    addString(m, icon, name);
    addString(m, kCategoryTitleOffset + (icon - kCategoryIconOffset), "Category: " + name);
    addImage(m, icon, tile(kIcon, kCategoryColour, label(initials(name), 13)));
    addImage(m, kFirstCategoryBitmap + category - kFirstCategory, tile(kBitmap, kCategoryColour, label(initials(name), 13)));
  }

  // Languages: the group icon at the language offset, then every book
  // language the player knows, with its three-letter code on it.
  const COrv_Language names(0);
  addString(m, kLanguageIconOffset, "Language");
  addString(m, kLanguageTitleOffset, "Book language");
  addImage(m, kLanguageIconOffset, tile(kIcon, kLanguageColour, label("Aa", 14)));
  for (int language = 0; language < kLanguageCount; ++language) {
    const int icon = kFirstLanguageIcon + language;
    const std::string name = listText(kListLanguages, language);
    const std::string code = names.GetLanguageCode(language);
    addString(m, icon, name);
    addString(m, kLanguageTitleOffset + (icon - kLanguageIconOffset), "Book language: " + name);
    addImage(m, icon, tile(kIcon, kLanguageColour, label(code, 10)));
    addImage(m, kFirstLanguageBitmap + language, tile(kBitmap, kLanguageColour, label(code, 10)));
  }

  // Sources: the four kinds of the player's list and the unknown kind.
  for (int source = kFirstSource; source <= kLastSource; ++source) {
    const int icon = kSourceIds[source - kFirstSource];
    const bool known = tv::language::englishModule().list(kListSourceKinds)->contains(source);
    addString(m, icon, known ? listText(kListSourceKinds, source) : std::string("Unknown source"));
    addImage(m, icon, tile(kIcon, kSourceColour, sourceDrawing(source)));
    addImage(m, kSourceBitmapIds[source - kFirstSource], tile(kBitmap, kSourceColour, sourceDrawing(source)));
  }

  addString(m, kHelpIcon, "Help");
  addImage(m, kHelpIcon, tile(kIcon, kHelpColour, helpDrawing()));
  addString(m, kLogo, "Glyphary");
  addImage(m, kLogo, tile(kIcon, kLogoColour, logoDrawing()));
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) fail("usage: glyphary_make_resources <output.cpp>");
  const std::string text = plat::ui::writeResourceModule(build());
  // The text must read back as the module it came from.
  const plat::ui::ResReadResult check = plat::ui::readResourceModule(text);
  if (!check.module) fail("the module does not read back: " + check.error);
  if (text.size() > plat::ui::kResMaxFileBytes) fail("the module is too large");

  std::string out =
      "// Generated by glyphary_make_resources: the resource module of libglyphary.so.\n"
      "#include \"iconlib/resource_section.h\"\n\n"
      "extern \"C\" __attribute__((visibility(\"default\"))) const unsigned char TvResourceModule[] = {";
  static const char kHex[] = "0123456789abcdef";
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i % 24 == 0) out += "\n";
    const auto b = static_cast<unsigned char>(text[i]);
    out += "0x";
    out += kHex[b >> 4];
    out += kHex[b & 15];
    out += ',';
  }
  out += "\n};\n"
         "extern \"C\" __attribute__((visibility(\"default\"))) const std::size_t TvResourceModuleSize = " +
         std::to_string(text.size()) + ";\n";

  const std::string tmp = std::string(argv[1]) + ".tmp";
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    f << out;
    if (!f.flush()) fail("cannot write " + tmp);
  }
  if (std::rename(tmp.c_str(), argv[1]) != 0) fail(std::string("cannot write ") + argv[1]);
  return 0;
}
