// A book installed from a packet by the real installer, opened as a
// document, walked through, closed and opened again.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/testing/test_env.h"
#include "player/book/tests/document_fixture.h"
#include "player/book/tv_document.h"
#include "player/env/users.h"
#include "player/install/packet_installer.h"
#include "player/install/tests/installable_packet.h"
#include "tools/packet/packet_writer.h"

namespace {

namespace fs = std::filesystem;
using Doc = COrv_TvDocument;

class InstalledDocument : public doctest::DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    const fs::path packet = tvtest::sandbox().base / "hamlet.tpk";
    ASSERT_TRUE(tvtools::writePacket(packet, installtest::packetSpec("HAMLET")));
    orv::install::PacketInstaller installer([] { return std::make_unique<orv::install::NoProgress>(); });
    ASSERT_EQ(installer.InstallFile(packet), 1);
    boxes.clear();
  }
};

TEST_F(InstalledDocument, OpensWalksClosesAndRestores) {
  around.host.settings[Doc::kSetSaveTvStatus] = 1;
  const std::string status = [] {
    orv::COrv_Users users;
    users.SetCurrentUser("");
    return users.GetUserFilePath("HAMLET", 3);
  }();
  {
    Doc doc(around.services());
    around.attach(doc);
    ASSERT_TRUE(doc.OnOpenDocument("hamlet"));
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(doc.GetTitle(), "Hamlet");
    ASSERT_EQ(doc.GetQuoteCount(), 2u);
    EXPECT_TRUE(doc.GetDamagedQuotes().empty());
    for (unsigned n = 1; n <= doc.GetQuoteCount(); ++n) {
      SCOPED_TRACE(n);
      ASSERT_TRUE(doc.GoToQuote(n, true, true));
      EXPECT_EQ(doc.GetCurrentQuote(), n);
      EXPECT_FALSE(doc.GetQuotePlayer().GetWaveFileName().empty());
    }
    // Echomark 1 has three speeds and its two segments.
    ASSERT_TRUE(doc.GoToQuote(1, false, true));
    EXPECT_NE(doc.GetQuoteStatus(0) & Doc::kHasSpeeds, 0u);
    EXPECT_EQ(doc.GetBundle().Waves().GetSegmentCount(), 2);
    EXPECT_TRUE(doc.SelectQuoteAudio(-1));
    EXPECT_TRUE(doc.CheckUserText("to be or not", true));
    EXPECT_EQ(doc.GetQuoteStatus(0) & Doc::kSolved, Doc::kSolved);
    ASSERT_TRUE(doc.GoToQuote(2, false, true));
    doc.OnCloseDocument();
  }
  // The status file was replaced whole: no temporary file is left beside it.
  ASSERT_TRUE(fs::exists(status));
  for (const auto& e : fs::directory_iterator(fs::path(status).parent_path()))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();

  around.host.settings[Doc::kSetLoadTvStatusQuery] = 1;
  Doc again(around.services());
  ASSERT_TRUE(again.OnOpenDocument("HAMLET"));
  EXPECT_EQ(again.GetCurrentQuote(), 2u);
  EXPECT_EQ(again.GetQuoteStatus(1) & 0x6u, 0x6u);
  EXPECT_EQ(again.GetStateList().GetText(1), "to be or not");
  EXPECT_EQ(again.GetQuoteStatus(0) & Doc::kSolved, 0u);
  again.OnCloseDocument();
}

}  // namespace
