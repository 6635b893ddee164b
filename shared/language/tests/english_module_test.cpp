#include "shared/language/english_module.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace tv::language {
namespace {

const plat::ui::ResourceModule& en() { return englishModule(); }

TEST(EnglishModule, HoldsEveryStringThatOtherModulesAskFor) {
  const int ids[] = {9002, 9003, 9004, 9005, 9006, 9007, 9101, 9103, 9104, 9105, 9106, 9108, 9109, 9110, 9116, 9117,
                     9203, 9300, 9301, 9302, 9303, 9304, 20001, 20002, 20003, 20004, 20005, 20006, 20007, 20008,
                     20009, 20010, 20027, 20028, 20035, 20058, 20066, 20101, 20102, 20103, 20104, 20105, 20106,
                     20237, 20242, 20253, 20254, 20261, 20262, 20263};
  for (const int id : ids) {
    const std::string* text = en().string(id);
    ASSERT_TRUE(text) << id;
    EXPECT_FALSE(text->empty()) << id;
  }
}

TEST(EnglishModule, TextsThatCallersFormatOrShowAsTheyStand) {
  struct Case {
    int id;
    const char* text;
  };
  const Case cases[] = {
      {9002, "Talvane Player: Error Window"},
      {9007, "Error Code: "},  // the trailing blank is part of the prefix
      {9101, "Can't open file !"},
      {20004, "Player Error !\n\nI can't find the path of the Grammar Browser"},
      {20009, "Echomark no.%d was playing.\nWould you like to load it now ?"},
      {20041, "Prolog:\n"},
      {20263, "Warning: the only datapath which the Talvane Player can access in Windows Vista is the "
              "Users\\Public folder (generally c:\\Users\\Public).\n These default parameters cannot be changed."},
      {20106, "Grammar"},
      {51, "Difficulty level: "},
      {9920, "Mind & Body"},
      {9807, "Hungarian"},
      {9983, "CD-ROM drive"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(en().string(c.id)) << c.id;
    EXPECT_EQ(*en().string(c.id), c.text) << c.id;
  }
}

TEST(EnglishModule, ListsHaveTheirCountsNumberingAndPictures) {
  struct Case {
    int list, first, count, firstString, firstIcon, firstBitmap;
  };
  const Case cases[] = {{kListCategories, 1, 21, 9900, 141, 267},
                        {kListDifficulties, 1, 5, 9950, 135, 288},
                        {kListLanguages, 0, 8, 9800, 196, 298}};
  for (const Case& c : cases) {
    const plat::ui::ResourceList* l = en().list(c.list);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->firstEntry, c.first);
    ASSERT_EQ(l->count(), c.count);
    for (int k = 0; k < c.count; ++k) {
      const auto u = static_cast<size_t>(k);
      EXPECT_EQ(l->stringIds[u], c.firstString + k);
      EXPECT_EQ(l->iconIds[u], c.firstIcon + k);
      EXPECT_EQ(l->bitmapIds[u], c.firstBitmap + k);
      EXPECT_EQ(l->smallBitmapIds[u], 8000 + c.firstBitmap + k);
    }
  }
  const plat::ui::ResourceList* sources = en().list(kListSourceKinds);
  ASSERT_TRUE(sources);
  EXPECT_EQ(sources->bitmapIds, (std::vector<int>{295, 296, 294, 293}));
  EXPECT_EQ(sources->smallBitmapIds, (std::vector<int>{8295, 8296, 8294, 8293}));

  // Every entry has a text and a drawn picture.
  for (const auto& [number, l] : en().lists()) {
    for (size_t k = 0; k < l.stringIds.size(); ++k) {
      EXPECT_TRUE(en().string(l.stringIds[k])) << l.stringIds[k];
      const plat::ui::Image* picture = en().image(l.smallBitmapIds[k]);
      ASSERT_TRUE(picture) << l.smallBitmapIds[k];
      EXPECT_EQ(picture->kind, plat::ui::Image::Kind::Svg);
      EXPECT_EQ(std::string(picture->bytes.begin(), picture->bytes.begin() + 4), "<svg");
    }
  }
}

TEST(EnglishModule, MenusHoldTheirCommandsOnce) {
  const plat::ui::Menu* noBook = en().menu(kMenuNoBook);
  const plat::ui::Menu* book = en().menu(kMenuBook);
  ASSERT_TRUE(noBook && book);

  ASSERT_EQ(noBook->items.size(), 2u);
  EXPECT_EQ(noBook->items[0].caption, "&File");
  EXPECT_EQ(noBook->items[1].caption, "&Help");
  EXPECT_EQ(noBook->commandIds(), (std::vector<int>{57601, 32814, 32815, 57665, 57671, 57666, 32900, 57664}));

  std::vector<std::string> popups;
  for (const auto& item : book->items) popups.push_back(item.caption);
  EXPECT_EQ(popups, (std::vector<std::string>{"&File", "&Text", "T&ools", "&Audio", "&Help"}));

  for (const plat::ui::Menu* menu : {noBook, book}) {
    const std::vector<int> ids = menu->commandIds();
    EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size());
  }
  struct Caption {
    int id;
    const char* caption;
    const char* key;
  };
  const Caption captions[] = {{115, "&Play\tF8", "F8"},
                              {116, "Pa&use\tF9", "F9"},
                              {32780, "Show non '&keywords'\tF2", "F2"},
                              {213, "Set Frag&ment Start\tF4", "F4"},
                              {32784, "Clear '&Lazy' Words", ""},
                              {32805, "&Slow", ""},
                              {32812, "Set Fragment &End", ""},
                              {59393, "&Status Bar", ""}};
  for (const Caption& c : captions) {
    const plat::ui::MenuItem* item = book->findCommand(c.id);
    ASSERT_TRUE(item) << c.id;
    EXPECT_EQ(item->caption, c.caption);
    EXPECT_EQ(item->acceleratorText(), c.key);
  }
}

TEST(EnglishModule, AcceleratorsMatchTheMenuKeys) {
  const auto* table = en().accelerators(kAcceleratorTable);
  ASSERT_TRUE(table);
  ASSERT_EQ(table->size(), 18u);
  std::map<std::string, int> keys;
  for (const auto& a : *table) EXPECT_TRUE(keys.emplace(a.key, a.command).second) << a.key;
  // A key shown in a caption sends that caption's command, both ways: F9,
  // shown for Pause, is Pause's key.
  for (const auto& a : *table) {
    if (const plat::ui::MenuItem* item = en().menu(kMenuBook)->findCommand(a.command)) {
      if (!item->acceleratorText().empty()) {
        EXPECT_EQ(item->acceleratorText(), a.key) << a.command;
      }
    }
  }
  for (int id : {115, 116, 118, 152, 193, 213, 214, 32780, 32790}) {
    const plat::ui::MenuItem* item = en().menu(kMenuBook)->findCommand(id);
    ASSERT_TRUE(item) << id;
    const std::string key(item->acceleratorText());
    ASSERT_EQ(keys.count(key), 1u) << id;
    EXPECT_EQ(keys[key], id);
  }
  EXPECT_EQ(table->front(), (plat::ui::Accelerator{"F1", 57670}));
  EXPECT_EQ(table->back(), (plat::ui::Accelerator{"Ctrl+PgUp", 231}));
}

}  // namespace
}  // namespace tv::language
