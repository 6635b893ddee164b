// The demo course as a learner gets it: its packet, built at build time,
// installed by the real player (orvex -instal, then orvex -load), then
// every kind of every Echomark read back from the installed book and
// compared with the course's own description.

#include <gtest/gtest.h>

#include <QProcessEnvironment>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/testing/child_process.h"
#include "platform/testing/test_env.h"
#include "player/book/book_info.h"
#include "player/book/grammar_archive.h"
#include "player/book/info_bundle.h"
#include "player/book/talvane.h"

namespace {

namespace fs = std::filesystem;

// What the course file says of each Echomark, read independently of the
// packet builder: the lines that follow "echomark".
struct Described {
  std::string text, intro, comment;
  int segments = 1, keywords = 0, fixed = 0, dict = 0, links = 0;
};

std::vector<Described> describedEchomarks() {
  std::ifstream in(TV_DEMO_COURSE);
  std::vector<Described> out;
  for (std::string line; std::getline(in, line);) {
    const std::string key = line.substr(0, line.find(' '));
    const std::string value = line.size() > key.size() ? line.substr(key.size() + 1) : std::string();
    auto count = [&] {
      std::istringstream s(value);
      int n = 0;
      for (std::string w; s >> w;) ++n;
      return n;
    };
    if (key == "echomark") out.emplace_back();
    if (out.empty()) continue;
    Described& d = out.back();
    if (key == "text") d.text = value;
    if (key == "intro") d.intro = value;
    if (key == "comment") d.comment = value;
    if (key == "segments") d.segments = count();
    if (key == "keywords") d.keywords = count();
    if (key == "fixed") d.fixed = count();
    if (key == "dict") ++d.dict;
    if (key == "link") ++d.links;
  }
  return out;
}

// Texts are stored in 32-byte lines; a full line is read back with the
// blank it was wrapped at.
std::string trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

int runOrvex(const QStringList& args) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("TALVANE_TEST_MODE", "silent");
  env.insert("QT_QPA_PLATFORM", "offscreen");
  tvtest::ChildProcess orvex(TV_ORVEX, args, QProcess::ForwardedChannels, env);
  return orvex.exitCode(120000);
}

TEST(DemoCourse, InstallsThroughThePlayerAndReadsBackWhole) {
  ASSERT_EQ(runOrvex({"-instal"}), 0);
  ASSERT_EQ(runOrvex({"-load", TV_DEMO_PACKET, "-nostart"}), 0);

  const std::vector<Described> described = describedEchomarks();
  ASSERT_EQ(described.size(), 12u);
  orv::COrv_BookInfo info("DEMO");
  EXPECT_EQ(info.GetTitle(-1), "Ein Morgen in Berlin");
  EXPECT_EQ(info.GetNumQuotes(), 12);

  COrv_Talvane book;
  ASSERT_EQ(book.Open("DEMO", 0), 1);
  const std::uint32_t language = static_cast<std::uint32_t>(book.GetOrigLanguage());
  EXPECT_EQ(language, 4u) << "German";
  for (int n = 1; n <= 12; ++n) {
    const Described& d = described[static_cast<size_t>(n - 1)];
    SCOPED_TRACE("Echomark " + std::to_string(n) + ": " + d.text);
    COrv_InfoBundle bundle;
    ASSERT_EQ(book.LoadQuoteInfo(bundle, n, -1, COrv_Talvane::kAllKinds), 1);
    EXPECT_EQ(trimmed(bundle.Words().GetText(language)), d.text);
    EXPECT_EQ(trimmed(bundle.Introductions().GetText(language)), d.intro);
    EXPECT_EQ(bundle.Comments().GetText(language), d.comment);
    EXPECT_EQ(bundle.Words().GetSortedCount(), d.segments);
    EXPECT_EQ(bundle.Words().GetList16Count(), d.keywords);
    EXPECT_EQ(bundle.Words().GetList8Count(), d.fixed);
    EXPECT_EQ(bundle.Dictionary().GetWordCount(), d.dict);
    EXPECT_EQ(bundle.Links().GetLinkCount(), d.links);

    // Real speech at three speeds, the renderings made by the installer,
    // each as many segments as the course spoke.
    const CQlWaves& waves = bundle.Waves();
    const double normal = static_cast<double>(waves.GetWaveInfo(0, CQlWaves::kDataSize));
    EXPECT_GT(normal, 22050.0) << "at least half a second of speech";
    EXPECT_NEAR(static_cast<double>(waves.GetWaveInfo(1, CQlWaves::kDataSize)), 0.8 * normal, 0.03 * normal);
    EXPECT_NEAR(static_cast<double>(waves.GetWaveInfo(-1, CQlWaves::kDataSize)), 1.2 * normal, 0.03 * normal);
    EXPECT_EQ(waves.GetSegmentCount(), d.segments);
  }

  // Every grammar link of the course has its page and its title.
  COrv_GrammarArchive archive(fs::path(TV_PROGRAM_DIR));
  for (const char* page : {"0001", "0002", "0003"}) {
    EXPECT_FALSE(archive.FindTitle(page).empty()) << page;
    EXPECT_TRUE(fs::is_regular_file(fs::path(TV_PROGRAM_DIR) / "Gramm" / (std::string(page) + ".cht"))) << page;
  }
  EXPECT_TRUE(fs::is_regular_file(fs::path(TV_PROGRAM_DIR) / "Gramm" / "0000.cht"));
}

}  // namespace
