#include "player/install/packet_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <limits>

#include "platform/testing/box_driver.h"
#include "platform/testing/test_env.h"
#include "platform/ui/qt_message_box.h"
#include "platform/ui/recording_sink.h"
#include "player/book/book_info.h"
#include "player/env/environment.h"
#include "player/env/file_util.h"
#include "player/install/packet_installer.h"
#include "player/install/tests/installable_packet.h"
#include "shared/language/orv_language.h"
#include "tools/packet/packet_writer.h"

namespace {

namespace fs = std::filesystem;
using orv::COrv_FileUtil;
using orv::install::COrv_PacketFolder;

TEST(PacketSpace, ProductsDoNotWrapAt32Bits) {
  constexpr std::uint32_t maxPart = std::numeric_limits<std::uint32_t>::max();
  struct Case {
    std::uint64_t available;
    std::uint32_t part, factor;
    bool room;
  } const cases[] = {
      {1, 0, 26, true},
      {0, 0, 26, false},
      {26 * 100, 100, 26, false},  // strictly more
      {26 * 100 + 1, 100, 26, true},
      // 200 MB times 26 is 5.2 GB: a 32-bit product wraps to under 1 GB.
      {1ull << 30, 200u << 20, 26, false},
      {6ull << 30, 200u << 20, 26, true},
      {std::uint64_t{maxPart} * 26, maxPart, 26, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(COrv_FileUtil::HasRoomFor(c.available, c.part, c.factor), c.room) << c.available << " " << c.part;
}

struct Folder : ::testing::Test {
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped{sink};
  fs::path packets = tvtest::sandbox().base / "packets";
  fs::path talvanes;
  void SetUp() override {
    ASSERT_TRUE(orv::COrv_Environment().CreateDataPath());
    talvanes = orv::COrv_Environment().GetTalvanesPath(false);
    fs::create_directories(packets);
  }
  void writePacket(const std::string& file, const std::string& code) {
    tvtools::PacketSpec spec = installtest::packetSpec(code);
    spec.books[0].title = code;
    ASSERT_TRUE(tvtools::writePacket(packets / file, spec));
  }
};

TEST_F(Folder, SpaceBoxShowsTheFreeKilobytes) {
  writePacket("a.tpk", "HAMLET");
  EXPECT_TRUE(COrv_PacketFolder::CheckSpaceForPacket(talvanes.string(), packets.string(), "a.tpk", 1));
  EXPECT_TRUE(sink.boxes().empty());
  EXPECT_FALSE(COrv_PacketFolder::CheckSpaceForPacket(talvanes.string(), packets.string(), "a.tpk", 2));
  EXPECT_TRUE(sink.boxes().empty());
  // A part no disk here holds four times over.
  EXPECT_FALSE(COrv_FileUtil().CheckSpaceForPart(talvanes.string(), packets.string(), 0xFFFFFFFFu));
  ASSERT_EQ(sink.boxes().size(), 1u);
  const std::string shown = sink.last().request.text;
  EXPECT_NE(shown.find(COrv_Language().LoadString(9117)), std::string::npos) << shown;
  EXPECT_NE(shown.find(" Kb  " + COrv_Language().LoadString(9116)), std::string::npos) << shown;
  EXPECT_NE(shown.find("622"), std::string::npos) << shown;
}

TEST_F(Folder, InstallsEveryGoodPacketAndNamesTheDamagedOne) {
  writePacket("a.tpk", "HAMLET");
  writePacket("b.tpk", "OTHELLO");
  tvtest::writeFile(packets / "c.tpk", std::string(3000, 'x'));
  orv::install::PacketInstaller installer;
  EXPECT_EQ(COrv_PacketFolder::InstallPacketsInFolder(packets, talvanes, installer, false), 2);
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_NE(sink.last().request.text.find("c.tpk"), std::string::npos) << sink.last().request.text;
  EXPECT_TRUE(fs::exists(talvanes / "HAMLET.tvl"));
  EXPECT_TRUE(fs::exists(talvanes / "OTHELLO.tvl"));
  // The installed packets went to the backup folder; the damaged one stays.
  EXPECT_FALSE(fs::exists(packets / "a.tpk"));
  EXPECT_TRUE(fs::exists(packets / "c.tpk"));
  EXPECT_EQ(orv::COrv_BookInfo("OTHELLO").GetSelectedCode(), "OTHELLO");
}

TEST_F(Folder, LibrariesNoBookNamesAreFound) {
  const fs::path libs = tvtest::sandbox().base / "libs";
  tvtest::writeFile(libs / "Known.TVL", "x");
  tvtest::writeFile(libs / "stray.tvl", "x");
  tvtest::writeFile(libs / "notes.txt", "x");
  ASSERT_TRUE(orv::COrv_BookInfo().Register("HAMLET", (libs / "known.tvl").string(), 3, false));
  const auto unnamed = COrv_PacketFolder::ScanLibraries(libs);
  ASSERT_EQ(unnamed.size(), 1u);
  EXPECT_EQ(unnamed[0].filename(), "stray.tvl");
  EXPECT_TRUE(fs::exists(libs / "stray.tvl"));
}

// A folder holding a packet of a Talvane that is installed: the reinstall
// question names it; No (and no question at all) keeps the installed book
// and the packet, Yes installs it again.
TEST_F(Folder, AnInstalledTalvaneIsInstalledAgainOnlyWhenTheLearnerSaysYes) {
  orv::install::PacketInstaller installer;
  writePacket("a.tpk", "HAMLET");
  ASSERT_EQ(COrv_PacketFolder::InstallPacketsInFolder(packets, talvanes, installer, true), 1);
  EXPECT_TRUE(sink.boxes().empty()) << "nothing installed yet: no question";
  const fs::path book = talvanes / "HAMLET.tvl";
  ASSERT_TRUE(fs::exists(book));
  // An old time on the installed file, which a reinstallation replaces.
  const auto before = fs::last_write_time(book) - std::chrono::hours(1);
  struct Case {
    const char* name;
    bool ask;
    std::vector<int> answers;
    int installed;
    std::size_t questions;
  } const cases[] = {
      {"No keeps it", true, {plat::ui::IDNO}, 0, 1},
      {"without asking it is kept", false, {}, 0, 0},
      {"Yes installs it again", true, {plat::ui::IDYES}, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writePacket("a.tpk", "HAMLET");
    sink.clear();
    sink.setScript(c.answers);
    fs::last_write_time(book, before);
    EXPECT_EQ(COrv_PacketFolder::InstallPacketsInFolder(packets, talvanes, installer, c.ask), c.installed);
    ASSERT_EQ(sink.boxes().size(), c.questions);
    if (c.questions > 0) {
      EXPECT_NE(sink.last().request.text.find("HAMLET"), std::string::npos) << sink.last().request.text;
    }
    EXPECT_TRUE(orv::COrv_BookInfo().IsInstalled("HAMLET"));
    EXPECT_TRUE(fs::exists(book));
    EXPECT_EQ(fs::last_write_time(book) != before, c.installed == 1);
    // A packet not installed stays for another time.
    EXPECT_EQ(fs::exists(packets / "a.tpk"), c.installed == 0);
  }
}

// The reinstall question on the real box, as the learner meets it: Escape
// and a close request leave it open (a Yes/No question has no answer for
// them) and change nothing; No then keeps the installed book, its folder,
// the index and the packet byte for byte, and Yes installs it again.
TEST_F(Folder, TheRealReinstallQuestionIgnoresEscapeAndClose) {
  orv::install::PacketInstaller installer;
  writePacket("a.tpk", "HAMLET");
  ASSERT_EQ(COrv_PacketFolder::InstallPacketsInFolder(packets, talvanes, installer, true), 1);
  const fs::path data = orv::COrv_Environment().ReadDataPath(true);
  plat::ui::QtMessageSink real;
  plat::ui::ScopedSink shown{real};
  for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
    SCOPED_TRACE(answer == QMessageBox::No ? "No" : "Yes");
    writePacket("a.tpk", "HAMLET");
    const auto before = tvtest::filesUnder(data), packetsBefore = tvtest::filesUnder(packets);
    const auto unchanged = [&](QMessageBox& box) {
      EXPECT_TRUE(box.isVisible());
      EXPECT_NE(box.text().toStdString().find("HAMLET"), std::string::npos) << box.text().toStdString();
      EXPECT_TRUE(tvtest::filesUnder(data) == before) << tvtest::listing(tvtest::filesUnder(data));
    };
    tvtest::BoxDriver driver({tvtest::pressKey(Qt::Key_Escape), unchanged, tvtest::requestClose(), unchanged,
                              tvtest::pressButton(answer)});
    const int installed = COrv_PacketFolder::InstallPacketsInFolder(packets, talvanes, installer, true);
    EXPECT_EQ(driver.done(), 5u) << "the question did not stay open";
    EXPECT_TRUE(orv::COrv_BookInfo().IsInstalled("HAMLET"));
    if (answer == QMessageBox::No) {
      EXPECT_EQ(installed, 0);
      EXPECT_TRUE(tvtest::filesUnder(data) == before) << tvtest::listing(tvtest::filesUnder(data));
      EXPECT_TRUE(tvtest::filesUnder(packets) == packetsBefore);
    } else {
      EXPECT_EQ(installed, 1);
      EXPECT_FALSE(fs::exists(packets / "a.tpk")) << "an installed packet goes to the backup folder";
    }
  }
  EXPECT_TRUE(sink.boxes().empty()) << "every question went to the real box";
}

}  // namespace
