#include "platform/ui/resources/res_reader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/fs/fault.h"
#include "platform/testing/test_env.h"

namespace plat::ui {
namespace {

const char* const kSample =
    "TVRES 1\n"
    "# a comment\n"
    "\n"
    "string 9002 Fenêtre d'erreur\n"
    "string 20004 Ligne 1\\nLigne 2\\t\\\\fin\n"
    "string 30 \n"
    "accel 128 57670 F1\n"
    "accel 128 229 Ctrl+F2\n"
    "image 8267 file cat1.png\n"
    "image 8268 svg PHN2Zy8+\n"
    "menu 128\n"
    "  popup &Fichier\n"
    "    item 57601 &Ouvrir...\\tCtrl+O\n"
    "    separator\n"
    "    popup Plus\n"
    "      item 1 Un\n"
    "    end\n"
    "  end\n"
    "  item 57665 &Quitter\n"
    "end\n";

TEST(ResReader, ReadsEveryKindOfRecord) {
  const ResReadResult r = readResourceModule(kSample);
  ASSERT_TRUE(r.module) << r.error << " at line " << r.line;
  const ResourceModule& m = *r.module;
  ASSERT_TRUE(m.string(9002));
  EXPECT_EQ(*m.string(9002), "Fenêtre d'erreur");
  EXPECT_EQ(*m.string(20004), "Ligne 1\nLigne 2\t\\fin");
  EXPECT_EQ(*m.string(30), "");
  EXPECT_EQ(m.string(31), nullptr);

  ASSERT_TRUE(m.accelerators(128));
  EXPECT_EQ(*m.accelerators(128), (std::vector<Accelerator>{{"F1", 57670}, {"Ctrl+F2", 229}}));

  ASSERT_TRUE(m.image(8267));
  EXPECT_EQ(m.image(8267)->kind, Image::Kind::File);
  EXPECT_EQ(m.image(8267)->fileName, "cat1.png");
  EXPECT_EQ(m.image(8268)->kind, Image::Kind::Svg);
  EXPECT_EQ(std::string(m.image(8268)->bytes.begin(), m.image(8268)->bytes.end()), "<svg/>");

  const Menu* menu = m.menu(128);
  ASSERT_TRUE(menu);
  ASSERT_EQ(menu->items.size(), 2u);
  const MenuItem& file = menu->items[0];
  EXPECT_EQ(file.kind, MenuItem::Kind::Popup);
  EXPECT_EQ(file.caption, "&Fichier");
  ASSERT_EQ(file.children.size(), 3u);
  EXPECT_EQ(file.children[0].label(), "&Ouvrir...");
  EXPECT_EQ(file.children[0].acceleratorText(), "Ctrl+O");
  EXPECT_EQ(file.children[1].kind, MenuItem::Kind::Separator);
  EXPECT_EQ(file.children[2].children.at(0).id, 1);
  EXPECT_EQ(menu->commandIds(), (std::vector<int>{57601, 1, 57665}));
  ASSERT_TRUE(menu->findCommand(1));
  EXPECT_EQ(menu->findCommand(1)->caption, "Un");
  EXPECT_EQ(menu->findCommand(2), nullptr);
}

TEST(ResReader, CrLfLinesAndIndentationAreAccepted) {
  const ResReadResult r = readResourceModule("TVRES 1\r\n\tstring 5 a b \r\nmenu 1\r\nend\r\n");
  ASSERT_TRUE(r.module) << r.error;
  EXPECT_EQ(*r.module->string(5), "a b ");
  ASSERT_TRUE(r.module->menu(1));
  EXPECT_TRUE(r.module->menu(1)->items.empty());
}

TEST(ResReader, WrittenModuleReadsBackEqual) {
  const ResReadResult first = readResourceModule(kSample);
  ASSERT_TRUE(first.module);
  ResourceModule m = *first.module;
  m.addString(7, std::string("tab\there\r\nand a trailing backslash \\"));
  m.addImage(9, Image{Image::Kind::Png, "", {0x89, 'P', 'N', 'G', 0, 0xFF, 1}});
  m.addImage(10, Image{Image::Kind::Svg, "", {'a', 'b'}});
  const std::string text = writeResourceModule(m);
  const ResReadResult second = readResourceModule(text);
  ASSERT_TRUE(second.module) << second.error << " at line " << second.line << "\n" << text;
  EXPECT_EQ(*second.module, m);
}

struct BadCase {
  const char* name;
  std::string text;
  int line;  // expected error line (0: whole file)
  const char* error;
};

std::string deepMenu(int depth) {
  std::string s = "TVRES 1\nmenu 1\n";
  for (int i = 0; i < depth; ++i) s += "popup p\n";
  for (int i = 0; i < depth; ++i) s += "end\n";
  return s + "end\n";
}

TEST(ResReader, RefusesMalformedFiles) {
  const BadCase cases[] = {
      {"empty", "", 0, "missing TVRES"},
      {"only comments", "# x\n\n", 0, "missing TVRES"},
      {"no format line", "string 1 a\n", 1, "missing TVRES"},
      {"newer version", "TVRES 2\n", 1, "unsupported format version 2"},
      {"second format line", "TVRES 1\nTVRES 1\n", 2, "second format line"},
      {"unknown record", "TVRES 1\nbitmap 1 x\n", 2, "unknown record"},
      {"id too large", "TVRES 1\nstring 65536 a\n", 2, "bad string id"},
      {"negative id", "TVRES 1\nstring -1 a\n", 2, "bad string id"},
      {"id with sign", "TVRES 1\nstring +1 a\n", 2, "bad string id"},
      {"missing id", "TVRES 1\nstring\n", 2, "bad string id"},
      {"two blanks before id", "TVRES 1\nstring  1 a\n", 2, "bad string id"},
      {"duplicate string", "TVRES 1\nstring 1 a\nstring 1 b\n", 3, "used twice"},
      {"unknown escape", "TVRES 1\nstring 1 a\\q\n", 2, "unknown escape"},
      {"backslash at end", "TVRES 1\nstring 1 a\\\n", 2, "backslash at the end"},
      {"text too long", "TVRES 1\nstring 1 " + std::string(kResMaxTextBytes + 1, 'x') + "\n", 2, "too long"},
      {"escapes count unescaped", "TVRES 1\nstring 1 " + std::string(kResMaxTextBytes / 2, 'x') + std::string(kResMaxTextBytes, '\\') + "\n", 0, nullptr},
      {"invalid UTF-8", "TVRES 1\nstring 1 \xC3\x28\n", 0, "not UTF-8"},
      {"overlong UTF-8", "TVRES 1\nstring 1 \xC0\xAF\n", 0, "not UTF-8"},
      {"surrogate", "TVRES 1\nstring 1 \xED\xA0\x80\n", 0, "not UTF-8"},
      {"NUL byte", std::string("TVRES 1\nstring 1 a\0b\n", 21), 0, "not UTF-8"},
      {"truncated sequence", "TVRES 1\nstring 1 \xE2\x82", 0, "not UTF-8"},
      {"unclosed menu", "TVRES 1\nmenu 1\npopup a\nend\n", 4, "not closed"},
      {"end outside menu", "TVRES 1\nend\n", 2, "unknown record"},
      {"item outside menu", "TVRES 1\nitem 1 a\n", 2, "unknown record"},
      {"string inside menu", "TVRES 1\nmenu 1\nstring 1 a\nend\n", 3, "inside a menu"},
      {"menu twice", "TVRES 1\nmenu 1\nend\nmenu 1\nend\n", 4, "used twice"},
      {"item without id", "TVRES 1\nmenu 1\nitem x\nend\n", 3, "bad command id"},
      {"text after end", "TVRES 1\nmenu 1\nend x\n", 3, "text after end"},
      {"too deep", deepMenu(static_cast<int>(kResMaxMenuDepth) + 1), static_cast<int>(kResMaxMenuDepth) + 3, "too deep"},
      {"accelerator table split", "TVRES 1\naccel 1 2 F1\nstring 1 a\naccel 1 3 F2\n", 4, "used twice"},
      {"accelerator without key", "TVRES 1\naccel 1 2\n", 2, "bad accelerator key"},
      {"accelerator key with a control character", "TVRES 1\naccel 1 2 F1\r\r\n", 2, "bad accelerator key"},
      {"accelerator key with a blank", "TVRES 1\naccel 1 2 Ctrl F1\n", 2, "bad accelerator key"},
      {"image kind", "TVRES 1\nimage 1 gif AAAA\n", 2, "unknown image kind"},
      {"image path", "TVRES 1\nimage 1 file ../x.png\n", 2, "file name"},
      {"image dot dot", "TVRES 1\nimage 1 file ..\n", 2, "file name"},
      {"image empty name", "TVRES 1\nimage 1 file \n", 2, "file name"},
      {"base64 length", "TVRES 1\nimage 1 png AAA\n", 2, "multiple of 4"},
      {"base64 char", "TVRES 1\nimage 1 png AA*A\n", 2, "bad base64"},
      {"base64 inner pad", "TVRES 1\nimage 1 png AA==AAAA\n", 2, "padding"},
      {"base64 pad too long", "TVRES 1\nimage 1 png A===\n", 2, "padding"},
      {"base64 loose bits", "TVRES 1\nimage 1 png AB==\n", 2, "non-canonical"},
      {"empty image", "TVRES 1\nimage 1 svg \n", 2, "empty image"},
      {"image too large", "TVRES 1\nimage 1 png " + std::string((kResMaxImageBytes / 3 + 2) * 4, 'A') + "\n", 2, "too large"},
      {"line too long", "TVRES 1\nstring 1 " + std::string(kResMaxLineBytes, 'x') + "\n", 2, "line too long"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const ResReadResult r = readResourceModule(c.text);
    if (!c.error) {  // a control case: accepted
      EXPECT_TRUE(r.module) << r.error;
      continue;
    }
    EXPECT_FALSE(r.module);
    EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
    EXPECT_EQ(r.line, c.line);
  }
}

TEST(ResReader, MenuDepthAtTheLimitIsAccepted) {
  EXPECT_TRUE(readResourceModule(deepMenu(static_cast<int>(kResMaxMenuDepth))).module);
}

TEST(ResReader, FileLoading) {
  const auto dir = tvtest::sandbox().base;
  const auto path = dir / "Orv_MLTST.res";
  EXPECT_NE(loadResourceModuleFile(path).error.find("cannot open"), std::string::npos);

  tvtest::writeFile(path, "TVRES 1\nstring 1 one\n");
  const ResReadResult ok = loadResourceModuleFile(path);
  ASSERT_TRUE(ok.module) << ok.error;
  EXPECT_EQ(*ok.module->string(1), "one");

  {
    plat::fs::FaultScope faults;
    plat::fs::injectFault(plat::fs::FaultOp::Read, "Orv_MLTST", EIO);
    const ResReadResult failed = loadResourceModuleFile(path);
    EXPECT_FALSE(failed.module);
    EXPECT_NE(failed.error.find("cannot read"), std::string::npos) << failed.error;
  }

  // A huge file is refused from its size, before it is read.
  std::filesystem::resize_file(path, kResMaxFileBytes + 1);
  EXPECT_EQ(loadResourceModuleFile(path).error, "file too large");
}

}  // namespace
}  // namespace plat::ui
