// The resources inside libglyphary.so: every id an export answers is a
// picture (and a label) the library holds, every picture draws, the
// player's resource lists find their icons and bitmaps, and a library with
// a broken resource module reads as none.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <filesystem>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "iconlib/client/glyphary_library.h"
#include "shared/language/english_module.h"
#include "shared/language/orv_language.h"

namespace {

using NoArg = std::int32_t (*)();
using OneArg = std::int32_t (*)(std::int32_t);

class GlypharyResources : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = dlopen(GLYPHARY_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib_, nullptr) << dlerror();
    std::string error;
    module_ = glyphary::readLibraryResources(lib_, &error);
    ASSERT_TRUE(module_) << error;
  }
  void TearDown() override {
    tv::language::setIconLibraryLoader({});
    if (lib_) dlclose(lib_);
  }
  std::int32_t call(const char* name) { return reinterpret_cast<NoArg>(dlsym(lib_, name))(); }
  std::int32_t call(const char* name, std::int32_t argument) {
    return reinterpret_cast<OneArg>(dlsym(lib_, name))(argument);
  }

  void* lib_ = nullptr;
  std::optional<plat::ui::ResourceModule> module_;
};

// Arguments around every range and the extremes.
std::vector<std::int32_t> sweep() {
  std::vector<std::int32_t> out = {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
  for (std::int32_t i = -3; i <= 30; ++i) out.push_back(i);
  return out;
}

TEST_F(GlypharyResources, EveryAnsweredIdIsAPictureWithLabelsInBothSets) {
  struct Kind {
    const char* lookup;
    const char* first;
    const char* last;
    const char* iconOffset;
    const char* labelOffset;  // null: the kind has no label sets
  };
  const Kind kinds[] = {
      {"GetLevelResourceID", "GetFirstValidLevel", "GetLastValidLevel", "OffsetLevelIcon", "OffSetLevelLabel"},
      {"GetCategoryResourceID", "GetFirstValidCategory", "GetLastValidCategory", "OffsetCategoryIcon",
       "OffSetCategoryLabel"},
      {"GetLanguageResourceID", "GetFirstValidLanguage", "GetLastValidLanguage", "OffsetLanguageIcon",
       "OffSetLanguageLabel"},
      {"GetSourceResourceID", "GetFirstValidSource", "GetLastValidSource", nullptr, nullptr},
  };
  for (const Kind& k : kinds) {
    const std::int32_t first = call(k.first), last = call(k.last);
    for (const std::int32_t index : sweep()) {
      const std::int32_t id = call(k.lookup, index);
      // Exactly the valid indices answer, each with an id of its own picture.
      EXPECT_EQ(id != 0, index >= first && index <= last) << k.lookup << "(" << index << ")";
      if (id == 0) continue;
      EXPECT_TRUE(module_->image(id)) << k.lookup << "(" << index << ") = " << id;
      EXPECT_TRUE(module_->string(id)) << k.lookup << "(" << index << ") = " << id;
      if (!k.labelOffset) continue;
      for (const std::int32_t set : {0, 2}) {
        const std::int32_t label = call(k.labelOffset, set) + (id - call(k.iconOffset));
        const std::string* text = module_->string(label);
        ASSERT_TRUE(text) << k.labelOffset << "(" << set << ") for " << k.lookup << "(" << index << ")";
        EXPECT_FALSE(text->empty());
      }
    }
    if (k.iconOffset) {
      EXPECT_TRUE(module_->image(call(k.iconOffset))) << k.iconOffset;
    }
    if (!k.labelOffset) continue;
    for (const std::int32_t set : sweep()) {
      const std::int32_t base = call(k.labelOffset, set);
      if (base != 0) {
        EXPECT_TRUE(module_->string(base)) << k.labelOffset << "(" << set << ")";
      }
    }
  }
  EXPECT_TRUE(module_->image(call("OffsetHelpIcon")));
  EXPECT_TRUE(module_->image(call("LogoID")));
}

TEST_F(GlypharyResources, EveryPictureIsADrawableImage) {
  ASSERT_FALSE(module_->images().empty());
  for (const auto& [id, image] : module_->images()) {
    ASSERT_EQ(image.kind, plat::ui::Image::Kind::Svg) << id;
    QSvgRenderer renderer(QByteArray(reinterpret_cast<const char*>(image.bytes.data()),
                                     static_cast<qsizetype>(image.bytes.size())));
    EXPECT_TRUE(renderer.isValid()) << id;
    EXPECT_FALSE(renderer.defaultSize().isEmpty()) << id;
  }
}

TEST_F(GlypharyResources, ThePlayersListsFindTheirIconsBitmapsAndNames) {
  using tv::language::englishModule;
  for (int list = 1; list <= 4; ++list) {
    const plat::ui::ResourceList* l = englishModule().list(list);
    ASSERT_TRUE(l) << list;
    for (int k = 0; k < l->count(); ++k) {
      const auto at = static_cast<std::size_t>(k);
      EXPECT_TRUE(module_->image(l->iconIds[at])) << "list " << list << " icon " << l->iconIds[at];
      EXPECT_TRUE(module_->image(l->bitmapIds[at])) << "list " << list << " bitmap " << l->bitmapIds[at];
      // The short label of an icon is the player's English name of the entry.
      const std::string* label = module_->string(l->iconIds[at]);
      const std::string* name = englishModule().string(l->stringIds[at]);
      ASSERT_TRUE(label && name) << "list " << list << " entry " << k;
      EXPECT_EQ(*label, *name);
    }
  }

  // Through the language object, with the library opened for each request.
  tv::language::setIconLibraryLoader([] { return glyphary::openIconLibrary(GLYPHARY_LIBRARY_PATH); });
  const COrv_Language lang(0);
  EXPECT_TRUE(lang.IsIconLibraryAvailable());
  const auto icon = lang.LoadTableIcon(3, 4, 24, 24);  // German
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->image, *module_->image(200));
  EXPECT_EQ(icon->width, 24);
  const auto bitmap = lang.LoadTableBitmap(4, 3, 48, 32);  // CD-ROM drive
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->image, *module_->image(293));
  EXPECT_FALSE(lang.LoadLibraryIcon(9999, 32, 32));

  // By its module name, the library is found beside the program.
  const auto byName = glyphary::openIconLibrary();
  ASSERT_NE(byName, nullptr);
  EXPECT_EQ(byName->icon(209, 32, 32), *module_->image(209));
}

QImage rendered(const plat::ui::Image& image, int size) {
  QSvgRenderer renderer(QByteArray(reinterpret_cast<const char*>(image.bytes.data()),
                                   static_cast<qsizetype>(image.bytes.size())));
  QImage out(size, size, QImage::Format_ARGB32);
  out.fill(Qt::transparent);
  QPainter painter(&out);
  renderer.render(&painter);
  return out;
}

// The desktop entry of a book names the picture "Glyphary/<6 + category>.png"
// beside the program: icon 6 + c must be category c's icon (0: the group).
TEST_F(GlypharyResources, ThePictureFolderNumbersTheIconsInIdOrder) {
  const std::filesystem::path folder = GLYPHARY_PICTURE_FOLDER;
  std::size_t icons = 0;
  for (const auto& entry : module_->images())
    if (entry.first < 267) ++icons;
  std::size_t files = 0;
  for (const auto& f : std::filesystem::directory_iterator(folder)) files += f.path().extension() == ".png";
  EXPECT_EQ(files, icons);

  struct Case {
    int number;
    std::int32_t icon;
  };
  std::vector<Case> cases = {{0, call("OffsetLevelIcon")}, {6, call("OffsetCategoryIcon") - 1}};
  for (std::int32_t c = call("GetFirstValidCategory"); c <= call("GetLastValidCategory"); ++c)
    cases.push_back({6 + c, call("GetCategoryResourceID", c)});
  for (const Case& c : cases) {
    const QImage file(QString::fromStdString((folder / (std::to_string(c.number) + ".png")).string()));
    ASSERT_FALSE(file.isNull()) << c.number;
    ASSERT_TRUE(module_->image(c.icon)) << c.icon;
    EXPECT_EQ(file.convertToFormat(QImage::Format_ARGB32), rendered(*module_->image(c.icon), file.width()))
        << c.number << ".png is not icon " << c.icon;
  }
}

TEST(GlypharyReader, ALibraryWithoutReadableResourcesGivesNone) {
  struct Case {
    const char* what;
    const char* file;
    const char* error;
  };
  const Case cases[] = {
      {"missing file", "/nonexistent/libglyphary.so", "cannot open"},
      {"no resource module", GLYPHARY_NO_RESOURCES, "carries no resource module"},
      {"text that is no module", GLYPHARY_FIXTURE_UNREADABLE, "line 1: unsupported format version 9"},
      {"size beyond the bound", GLYPHARY_FIXTURE_OVERSIZED, "too large"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(glyphary::loadLibraryResources(c.file, &error)) << c.what;
    EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
    EXPECT_EQ(glyphary::openIconLibrary(c.file), nullptr) << c.what;
  }

  // The language object then has no icon library and no pictures from it.
  tv::language::setIconLibraryLoader([] { return glyphary::openIconLibrary(GLYPHARY_FIXTURE_UNREADABLE); });
  const COrv_Language lang(0);
  EXPECT_FALSE(lang.IsIconLibraryAvailable());
  EXPECT_FALSE(lang.LoadTableIcon(1, 1, 32, 32));
  tv::language::setIconLibraryLoader({});
}

}  // namespace
