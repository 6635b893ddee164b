#include "player/shell/app_help.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/testing/test_env.h"
#include "platform/ui/help_viewer.h"
#include "player/env/environment.h"
#include "player/env/help.h"
#include "shared/language/orv_language.h"

namespace {

using orv::shell::kHelpContext;
using plat::ui::HelpCommand;

// A help folder per language code under the sandbox, found by name.
struct HelpFixture : ::testing::Test {
  std::filesystem::path folder = tvtest::sandbox().base / "prog";
  plat::ui::RecordingHelpViewer viewer;
  plat::ui::ScopedHelpViewer scoped{viewer};

  void SetUp() override {
    tv::language::setModuleLocator([this](std::string_view name) {
      const std::string n(name);
      // "Orv_HL<code>.chm" -> prog/Orv_HL<code>
      return folder / n.substr(0, n.size() - 4);
    });
  }
  void TearDown() override { tv::language::setModuleLocator({}); }
  void makeHelp(const char* code) {
    tvtest::writeFile(folder / (std::string("Orv_HL") + code) / "contents.html", "<title>Contents</title>");
  }
};

TEST_F(HelpFixture, ContextsMapToTopicsOrContents) {
  makeHelp("ENG");
  COrv_HtmlHelp help;
  EXPECT_EQ(orv::shell::InitHelp(help, 0), 0);
  viewer.clear();
  struct Case {
    std::uint32_t context, command;
    HelpCommand shown;
    std::string topic;
  } const cases[] = {
      {0x1008C, kHelpContext, HelpCommand::Topic, "audiomodes.htm"},  // play loop
      {0x10000 + 32814, kHelpContext, HelpCommand::Topic, "installtv.htm"},
      {0x10000 + 59393, kHelpContext, HelpCommand::Topic, "statusbar.htm"},
      {0x10000 + 12345, kHelpContext, HelpCommand::Contents, ""},  // not in the table
      {0x1008C, 3, HelpCommand::Contents, ""},                     // not HELP_CONTEXT
      {140, kHelpContext, HelpCommand::Contents, ""},              // below the context base
  };
  for (const Case& c : cases) {
    viewer.clear();
    orv::shell::WinHelp(help, c.context, c.command);
    ASSERT_EQ(viewer.requests().size(), 1u) << c.context;
    const auto& r = viewer.requests()[0];
    EXPECT_EQ(r.command, c.shown) << c.context;
    const auto address = plat::ui::parseHelpAddress(r.target);
    EXPECT_EQ(address.topic, c.topic) << c.context;
    EXPECT_EQ(address.windowType, "Main");
    EXPECT_EQ(address.folder, folder / "Orv_HLENG");
  }
}

TEST_F(HelpFixture, MissingHelpFolderResetsTheStoredLanguage) {
  makeHelp("ENG");
  orv::COrv_Environment().SetHelpLanguage(1);  // French, with no folder
  COrv_HtmlHelp help;
  EXPECT_EQ(orv::shell::InitHelp(help, -1), 1);  // kept for this run
  EXPECT_EQ(orv::COrv_Environment().GetHelpLanguage(), 0);
  EXPECT_FALSE(help.HelpFileExists());

  makeHelp("FRE");
  orv::COrv_Environment().SetHelpLanguage(1);
  EXPECT_EQ(orv::shell::InitHelp(help, -1), 1);
  EXPECT_EQ(orv::COrv_Environment().GetHelpLanguage(), 1);
  EXPECT_TRUE(help.HelpFileExists());
}

TEST(AboutVersion, LineFromTheVersion) {
  EXPECT_EQ(orv::shell::FormatVersionLine("1.2.3.4"), "1.2.3.4");
  EXPECT_EQ(orv::shell::FormatVersionLine("0.1.0"), "0.1.0.0");
  EXPECT_EQ(orv::shell::FormatVersionLine(""), "");
  EXPECT_EQ(orv::shell::FormatVersionLine("1.x"), "");
  EXPECT_EQ(orv::shell::FormatVersionLine("70000.1"), "");  // wider than 16 bits
  EXPECT_EQ(orv::shell::ProgramVersionLine(), TV_TEST_EXPECTED_VERSION);
}

// Every page of the table exists in the English help folder of the build.
TEST(HelpPages, EnglishFolderHoldsEveryTopic) {
  const std::filesystem::path english(TV_TEST_ENGLISH_HELP);
  std::size_t n = 0;
  const std::string_view* pages = orv::shell::HelpTopicPages(n);
  ASSERT_EQ(n, 27u);
  for (std::size_t i = 0; i < n; ++i) {
    const std::string text = tvtest::readFile(english / std::string(pages[i]));
    EXPECT_NE(text.find("<title>"), std::string::npos) << pages[i];
  }
  EXPECT_TRUE(std::filesystem::exists(english / "contents.html"));
  EXPECT_TRUE(std::filesystem::exists(english / "index.html"));
}

}  // namespace
