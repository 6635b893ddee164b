// The install dialog offscreen: the files it lists, the space check and its
// figures, a run with its progress, Cancel between two Talvanes, damaged
// packets, and the keyboard alone.
#include "player/install/install_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QRegion>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/testing/test_env.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "player/book/book_file_writer.h"
#include "player/book/book_info.h"
#include "player/book/packet_file.h"
#include "player/env/environment.h"
#include "player/install/tests/installable_packet.h"
#include "tools/packet/packet_writer.h"

namespace {

namespace fs = std::filesystem;
using orv::install::COrv_InstallDlg;
using orv::install::InstallItem;
using State = InstallItem::State;

class FakeChooser : public orv::install::InstallFileChooser {
 public:
  std::vector<fs::path> ChooseFiles(QWidget*, const fs::path& folder) override {
    ++calls;
    startFolder = folder;
    return answer;
  }
  std::vector<fs::path> answer;
  fs::path startFolder;
  int calls = 0;
};

// Whether the name is one the installation may leave only while it runs.
// A figure as shown, without the spaces that group its digits.
std::string ungrouped(const QString& shown) {
  return QString(shown).remove(QChar(0x202F)).toStdString();
}
std::string ungrouped(const std::string& shown) { return ungrouped(QString::fromStdString(shown)); }

bool isScratchName(const fs::path& p) {
  const std::string ext = p.extension().string();
  return ext == ".~dt" || ext == ".~gz" || ext == ".~tp" || ext == ".~ft" ||
         COrv_BookFileWriter::isWriterTemporaryName(p.filename().string());
}

struct InstallDialog : ::testing::Test {
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped{sink};
  fs::path packets = tvtest::sandbox().base / "packets";
  fs::path talvanes;
  FakeChooser chooser;
  // Free bytes per folder for the fake drives; any other folder has plenty.
  std::map<std::string, std::uint64_t> free;

  void SetUp() override {
    ASSERT_TRUE(orv::COrv_Environment().CreateDataPath());
    talvanes = orv::COrv_Environment().GetTalvanesPath(false);
    fs::create_directories(packets);
  }
  orv::COrv_FileUtil::SpaceProbe probe() {
    return [this](const std::string& folder, std::uint64_t& available) {
      const auto it = free.find(folder);
      available = it == free.end() ? (1ull << 40) : it->second;
      return true;
    };
  }
  fs::path writePacket(const std::string& file, const std::vector<std::string>& codes) {
    tvtools::PacketSpec spec = installtest::packetSpec(codes.front());
    spec.books.clear();
    for (const std::string& code : codes) {
      tvtools::PacketBook book = installtest::packetSpec(code).books[0];
      book.title = code;
      spec.books.push_back(book);
    }
    const fs::path path = packets / file;
    EXPECT_TRUE(tvtools::writePacket(path, spec));
    return path;
  }
  static std::uint64_t partSize(const fs::path& packet, int slot) {
    COrv_PacketFile file;
    std::uint8_t raw[COrv_PacketFile::kSlotSize];
    EXPECT_TRUE(file.ReadSlot(packet.string(), "", raw, slot));
    return static_cast<std::uint64_t>(file.GetSlotSize());
  }
  static bool installed(const std::string& code) { return orv::COrv_BookInfo().IsInstalled(code); }
  static void waitForEnd(COrv_InstallDlg& dlg) {
    for (int i = 0; i < 2000 && dlg.IsInstalling(); ++i) QTest::qWait(5);
    ASSERT_FALSE(dlg.IsInstalling());
  }
  std::vector<State> states(const COrv_InstallDlg& dlg) {
    std::vector<State> out;
    for (const InstallItem& i : dlg.Items()) out.push_back(i.state);
    return out;
  }
  std::vector<fs::path> scratchFiles() {
    std::vector<fs::path> out;
    for (const auto& e : fs::recursive_directory_iterator(tvtest::sandbox().base))
      if (e.is_regular_file() && isScratchName(e.path())) out.push_back(e.path());
    return out;
  }
  std::vector<fs::path> contentFiles() {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(talvanes))
      if (e.path().extension() == ".tvl") out.push_back(e.path().filename());
    return out;
  }
  bool boxNames(const std::string& what) {
    for (const auto& b : sink.boxes())
      if (b.request.text.find(what) != std::string::npos) return true;
    return false;
  }
};

// The dialog's bottom rows as the screen shows them (its picture within
// its window mask, black where the screen behind would show): the inner
// texture down to the frame's own 11-pixel black edge, no black band above
// it, and the mask reaching the bottom row, at the dialog's shown size and
// after the learner has made it larger.
TEST_F(InstallDialog, TheBottomRowsAreTheFramesOwnEdge) {
  COrv_InstallDlg dlg(nullptr, &chooser);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  QApplication::processEvents();
  const QSize shown = dlg.size();
  for (const QSize size : {shown, shown + QSize(60, 80)}) {
    SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
    dlg.resize(size);
    QApplication::processEvents();
    QImage shot = dlg.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), size);
    const QRegion mask = dlg.mask();
    ASSERT_FALSE(mask.isEmpty());
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x)
        if (!mask.contains(QPoint(x, y))) shot.setPixel(x, y, 0xFF000000u);
    if (const char* dir = std::getenv("TV_SHOT_DIR"))
      shot.save(QString("%1/install_dialog_%2x%3.png").arg(dir).arg(size.width()).arg(size.height()));
    const auto black = [&](int x, int y) { return (shot.pixel(x, y) & 0xFFFFFFu) == 0; };
    // A band is a row that is mostly black; the buttons' dark outlines,
    // which the sampled columns may cross wherever the path label makes the
    // dialog wide, are not.
    const auto blackShare = [&](int y) {
      int n = 0, all = 0;
      for (int x = 40; x < shot.width() - 40; ++x, ++all) n += black(x, y) ? 1 : 0;
      return static_cast<double>(n) / all;
    };
    const int h = shot.height();
    for (int y = h - 40; y < h - 11; ++y) EXPECT_LT(blackShare(y), 0.2) << "row " << y << " of " << h;
    for (int y = h - 10; y < h; ++y) EXPECT_EQ(blackShare(y), 1.0) << "row " << y << " of " << h;
  }
}

TEST_F(InstallDialog, ChosenFilesGiveOneRowPerTalvaneAndTheRestIsNamed) {
  const fs::path two = writePacket("Two.tpk", {"ALPHA", "BRAVO"});
  const fs::path one = writePacket("One.tpk", {"CHARLIE"});
  const fs::path cut = writePacket("Cut.tpk", {"DELTA"});
  fs::resize_file(cut, fs::file_size(cut) - 7);
  const fs::path text = packets / "notes.txt";
  tvtest::writeFile(text, "not a packet");

  COrv_InstallDlg dlg(nullptr, &chooser, probe());
  chooser.answer = {two, cut, text, one, two};
  dlg.OnAddFiles();
  EXPECT_EQ(chooser.calls, 1);

  std::vector<std::string> codes;
  for (const InstallItem& i : dlg.Items()) codes.push_back(i.code + "/" + std::to_string(i.slot));
  // A file chosen twice is listed once; a packet gives a row per Talvane.
  EXPECT_EQ(codes, (std::vector<std::string>{"ALPHA/1", "BRAVO/2", "CHARLIE/1"}));
  EXPECT_EQ(dlg.Items()[1].size, partSize(two, 2));
  // The damaged packet and the stray file are each named in a box.
  EXPECT_TRUE(boxNames(cut.string()));
  EXPECT_TRUE(boxNames(text.string()));
  EXPECT_EQ(sink.boxes().size(), 2u);

  // The next choice starts where the last one was made.
  chooser.answer = {};
  dlg.OnAddFiles();
  EXPECT_EQ(chooser.startFolder, packets);
  EXPECT_EQ(dlg.Items().size(), 3u);
}

TEST_F(InstallDialog, ADriveTooSmallRefusesWithItsFigures) {
  const fs::path packet = writePacket("Two.tpk", {"ALPHA", "BRAVO"});
  const std::uint64_t parts = partSize(packet, 1) + partSize(packet, 2);
  const std::uint64_t largest = std::max(partSize(packet, 1), partSize(packet, 2));
  const auto kb = [](std::uint64_t b) { return std::to_string(b / 1024); };
  const auto kbUp = [](std::uint64_t b) { return std::to_string((b + 1023) / 1024); };
  struct Case {
    const char* name;
    std::uint64_t destination, packetDrive;
    int errorNumber;  // 0: installs
    std::string freeShown, neededShown;
  } const cases[] = {
      // More than 26 times the parts must be free: exactly that is short.
      {"destination exactly 26x", 26 * parts, 1ull << 40, 622, kb(26 * parts), kbUp(26 * parts)},
      {"packet drive exactly 2x the largest part", 26 * parts + 1, 2 * largest, 645, kb(2 * largest),
       kbUp(2 * largest)},
      {"both drives have room", 26 * parts + 1, 2 * largest + 1, 0, {}, {}},
  };
  for (const Case& c : cases) {
    sink.clear();
    free = {{talvanes.string(), c.destination}, {packets.string(), c.packetDrive}};
    COrv_InstallDlg dlg(nullptr, &chooser, probe());
    dlg.AddFiles({packet});
    EXPECT_EQ(ungrouped(dlg.FreeSpaceText()), "Free space on its disk: " + kb(c.destination) + " Kb") << c.name;
    EXPECT_EQ(ungrouped(dlg.NeededSpaceText()), "The chosen Talvanes need: " + kbUp(26 * parts) + " Kb") << c.name;
    const bool started = dlg.OnInstall();
    EXPECT_EQ(started, c.errorNumber == 0) << c.name;
    if (started) {
      waitForEnd(dlg);
      EXPECT_TRUE(installed("ALPHA") && installed("BRAVO")) << c.name;
      continue;
    }
    ASSERT_EQ(sink.boxes().size(), 1u) << c.name;
    const std::string shown = ungrouped(sink.last().request.text);
    EXPECT_NE(shown.find("There isn't enough free space on the disk"), std::string::npos) << c.name;
    EXPECT_NE(shown.find(std::to_string(c.errorNumber) + ".750"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Free space on its disk: " + c.freeShown + " Kb"), std::string::npos) << shown;
    EXPECT_NE(shown.find("The chosen Talvanes need: " + c.neededShown + " Kb"), std::string::npos) << shown;
    EXPECT_FALSE(installed("ALPHA")) << c.name;
    EXPECT_EQ(dlg.ProgressWindow(), nullptr) << c.name;
  }
}

TEST_F(InstallDialog, FiguresBeyondFourGigabytesAreShownWhole) {
  const fs::path packet = writePacket("One.tpk", {"ALPHA"});
  free = {{talvanes.string(), (5ull << 30) + 4096}};
  COrv_InstallDlg dlg(nullptr, &chooser, probe());
  dlg.AddFiles({packet});
  EXPECT_EQ(dlg.FreeSpaceText().toStdString(), "Free space on its disk: 5\u202F242\u202F884 Kb");
}

TEST_F(InstallDialog, ARunShowsEachStepAndEndsWithTheResult) {
  const fs::path a = writePacket("A.tpk", {"ALPHA"});
  const fs::path b = writePacket("B.tpk", {"BRAVO"});
  COrv_InstallDlg dlg(nullptr, &chooser, probe());
  dlg.AddFiles({a, b});
  std::vector<COrv_InstallDlg::ProgressStep> steps;
  bool windowShown = true;
  dlg.SetProgressObserver([&](const COrv_InstallDlg::ProgressStep& s) {
    steps.push_back(s);
    windowShown = windowShown && dlg.ProgressWindow() && dlg.ProgressWindow()->isVisible();
  });
  ASSERT_TRUE(dlg.OnInstall());
  // The run goes on from the event loop: the call returns at once.
  EXPECT_TRUE(dlg.IsInstalling());
  waitForEnd(dlg);

  EXPECT_TRUE(windowShown);
  EXPECT_EQ(dlg.ProgressWindow(), nullptr);
  for (int item : {0, 1}) {
    int last = -1;
    bool titled = false;
    for (const auto& s : steps) {
      if (s.item != item) continue;
      EXPECT_GE(s.percent, last) << item;
      last = s.percent;
      titled = titled || s.line1 == std::string(" Installing Talvane  '") + (item == 0 ? "ALPHA" : "BRAVO") + "'";
    }
    EXPECT_EQ(last, 100) << item;
    EXPECT_TRUE(titled) << item;
  }
  EXPECT_EQ(states(dlg), (std::vector<State>{State::Installed, State::Installed}));
  EXPECT_TRUE(installed("ALPHA") && installed("BRAVO"));
  EXPECT_EQ(sink.last().request.text, "The selected Talvanes have been correctly installed");
  EXPECT_TRUE(scratchFiles().empty());
  // Nothing is left to install.
  EXPECT_FALSE(dlg.OnInstall());
}

TEST_F(InstallDialog, CancelAfterTheFirstOfTwoKeepsItAndLeavesNoTrace) {
  struct Case {
    const char* name;
    std::function<void(COrv_InstallDlg&)> cancel;
  } const cases[] = {
      {"Escape in the progress window", [](COrv_InstallDlg& d) { QTest::keyClick(d.ProgressWindow(), Qt::Key_Escape); }},
      {"its Cancel button",
       [](COrv_InstallDlg& d) {
         QTest::mouseClick(d.ProgressWindow()->findChild<QPushButton*>(), Qt::LeftButton);
       }},
      {"Escape in the dialog", [](COrv_InstallDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
  };
  const fs::path a = writePacket("A.tpk", {"ALPHA"});
  const fs::path b = writePacket("B.tpk", {"BRAVO"});
  for (const Case& c : cases) {
    for (const std::string code : {"ALPHA", "BRAVO"}) orv::COrv_BookInfo(code).Unregister();
    for (const fs::path& f : contentFiles()) fs::remove(talvanes / f);
    sink.clear();
    COrv_InstallDlg dlg(nullptr, &chooser, probe());
    dlg.show();
    dlg.AddFiles({a, b});
    // The key or click is queued while the first Talvane is under way: it
    // is taken before that Talvane ends, so input is handled meanwhile.
    bool queued = false, takenDuringFirst = false;
    dlg.SetProgressObserver([&](const COrv_InstallDlg::ProgressStep& s) {
      if (!queued && s.item == 0 && s.percent >= 10) {
        queued = true;
        QTimer::singleShot(0, &dlg, [&] { c.cancel(dlg); });
      } else if (queued && s.item == 0 && dlg.ProgressWindow()) {
        takenDuringFirst = takenDuringFirst || !dlg.ProgressWindow()->findChild<QPushButton*>()->isEnabled();
      }
    });
    ASSERT_TRUE(dlg.OnInstall()) << c.name;
    waitForEnd(dlg);
    EXPECT_TRUE(takenDuringFirst) << c.name;
    EXPECT_EQ(states(dlg), (std::vector<State>{State::Installed, State::Cancelled})) << c.name;
    EXPECT_TRUE(installed("ALPHA")) << c.name;
    EXPECT_FALSE(installed("BRAVO")) << c.name;
    EXPECT_EQ(contentFiles(), (std::vector<fs::path>{"ALPHA.tvl"})) << c.name;
    EXPECT_TRUE(scratchFiles().empty()) << c.name;
    EXPECT_EQ(sink.last().request.text, "The installation was cancelled.\n\nInstalled: 1 of 2\nNot reached: 1") << c.name;
    // The dialog stays, and installs the rest when asked again.
    EXPECT_TRUE(dlg.isVisible()) << c.name;
    dlg.SetProgressObserver({});
    ASSERT_TRUE(dlg.OnInstall()) << c.name;
    waitForEnd(dlg);
    EXPECT_TRUE(installed("BRAVO")) << c.name;
  }
}

TEST_F(InstallDialog, ADamagedPacketIsNamedAndTheOthersInstall) {
  tvtools::PacketSpec spec = installtest::packetSpec("BROKEN");
  spec.rawTailSet = true;
  spec.rawTail = std::string(4096, 'x');  // no gzip stream
  const fs::path broken = packets / "Broken.tpk";
  ASSERT_TRUE(tvtools::writePacket(broken, spec));
  const fs::path good = writePacket("Good.tpk", {"ALPHA"});

  COrv_InstallDlg dlg(nullptr, &chooser, probe());
  ASSERT_EQ(dlg.AddFiles({broken, good}), 2);
  ASSERT_TRUE(dlg.OnInstall());
  waitForEnd(dlg);
  EXPECT_EQ(states(dlg), (std::vector<State>{State::Failed, State::Installed}));
  EXPECT_TRUE(boxNames("Broken.tpk"));
  EXPECT_EQ(sink.last().request.text,
            "Some of the selected Talvanes could not be installed\n\nInstalled: 1 of 2\nCould not be installed: 1");
  EXPECT_FALSE(installed("BROKEN"));
  EXPECT_EQ(contentFiles(), (std::vector<fs::path>{"ALPHA.tvl"}));
  EXPECT_TRUE(scratchFiles().empty());
}

TEST_F(InstallDialog, SpeechThatCannotBeConvertedIsToldOnceWithTheBookAndItsKind) {
  struct Refusing : orv::install::AudioConverter {
    int calls = 0;
    bool Convert(std::string_view, std::uint8_t, std::string&) override {
      ++calls;
      return false;
    }
  } converter;
  tvtools::PacketSpec spec = installtest::packetSpec("ALPHA");
  spec.books[0].title = "Alpha Book";
  spec.audioFlag = 'F';
  const fs::path packet = packets / "Flac.tpk";
  ASSERT_TRUE(tvtools::writePacket(packet, spec));

  COrv_InstallDlg dlg(nullptr, &chooser, probe());
  dlg.SetAudioConverter(&converter);
  dlg.AddFiles({packet});
  ASSERT_TRUE(dlg.OnInstall());
  waitForEnd(dlg);
  EXPECT_GE(converter.calls, 1);
  // One box for the failure, then the result of the run.
  ASSERT_EQ(sink.boxes().size(), 2u);
  const std::string told = sink.boxes()[0].request.text;
  EXPECT_NE(told.find("The speech of this Talvane cannot be converted !"), std::string::npos) << told;
  EXPECT_NE(told.find("'Alpha Book': speech kind 'F' (70)"), std::string::npos) << told;
  EXPECT_EQ(sink.last().request.text,
            "Some of the selected Talvanes could not be installed\n\nInstalled: 0 of 1\nCould not be installed: 1");
  EXPECT_FALSE(installed("ALPHA"));
  EXPECT_TRUE(contentFiles().empty());
  EXPECT_TRUE(scratchFiles().empty());
}

TEST_F(InstallDialog, ALibraryIsOneRowThatInstallsEachOfItsTalvanes) {
  std::string error;
  const fs::path library = packets / "Shelf.tvl";
  ASSERT_TRUE(tvtools::book::writeLibraryFile(
      library, {installtest::referenceBook("LIMA"), installtest::referenceBook("MIKE")}, error))
      << error;
  const fs::path packet = writePacket("A.tpk", {"ALPHA"});
  COrv_InstallDlg dlg(nullptr, &chooser, probe());
  ASSERT_EQ(dlg.AddFiles({library, packet}), 2);
  EXPECT_TRUE(dlg.Items()[0].IsLibrary());
  EXPECT_EQ(dlg.Items()[0].books, (std::vector<std::string>{"LIMA", "MIKE"}));
  EXPECT_EQ(dlg.Items()[0].title, "library of 2 Talvanes");
  {
    const fs::path single = packets / "One.tvl";
    ASSERT_TRUE(tvtools::book::writeLibraryFile(single, {installtest::referenceBook("NOVEMBER")}, error)) << error;
    COrv_InstallDlg other(nullptr, &chooser, probe());
    ASSERT_EQ(other.AddFiles({single}), 1);
    EXPECT_EQ(other.Items()[0].title, "library of 1 Talvane");
  }
  // The library is kept whole, the packet's part 26 times over.
  EXPECT_EQ(dlg.SpaceNeeds().front().needed, fs::file_size(library) + 26 * partSize(packet, 1));
  ASSERT_TRUE(dlg.OnInstall());
  waitForEnd(dlg);
  EXPECT_EQ(states(dlg), (std::vector<State>{State::Installed, State::Installed}));
  for (const char* code : {"LIMA", "MIKE", "ALPHA"}) EXPECT_TRUE(installed(code)) << code;
  EXPECT_EQ(sink.last().request.text, "The selected Talvanes have been correctly installed");
}

TEST_F(InstallDialog, AnInstalledTalvaneIsReinstalledOnlyWhenTheLearnerSaysSo) {
  const fs::path a = writePacket("A.tpk", {"ALPHA"});
  {
    COrv_InstallDlg first(nullptr, &chooser, probe());
    first.AddFiles({a});
    ASSERT_TRUE(first.OnInstall());
    waitForEnd(first);
  }
  sink.clear();
  // Escape and the close button leave the question open; No declines.
  sink.setScript({plat::ui::kGestureEscape, plat::ui::kGestureClose, plat::ui::IDNO});
  COrv_InstallDlg dlg(nullptr, &chooser, probe());
  dlg.AddFiles({a});
  ASSERT_TRUE(dlg.OnInstall());
  waitForEnd(dlg);
  ASSERT_EQ(sink.boxes().size(), 2u);
  EXPECT_NE(sink.boxes()[0].request.text.find("has already been installed"), std::string::npos);
  EXPECT_EQ(sink.remainingScript(), 0u);
  EXPECT_EQ(states(dlg), (std::vector<State>{State::Declined}));
  EXPECT_TRUE(installed("ALPHA"));
  EXPECT_EQ(sink.last().request.text,
            "Not every selected Talvane has been installed.\n\nInstalled: 0 of 1\n"
            "Not installed, as you asked (already installed): 1");
}

// The closing box counts the rows of this run alone, each kind apart.
TEST_F(InstallDialog, TheClosingBoxTellsWhatThisRunDid) {
  const fs::path a = writePacket("A.tpk", {"ALPHA"});
  const fs::path b = writePacket("B.tpk", {"BRAVO"});
  const fs::path c = writePacket("C.tpk", {"CHARLIE"});
  const fs::path d = writePacket("D.tpk", {"DELTA"});
  tvtools::PacketSpec spec = installtest::packetSpec("BROKEN");
  spec.rawTailSet = true;
  spec.rawTail = std::string(4096, 'x');
  const fs::path broken = packets / "Broken.tpk";
  ASSERT_TRUE(tvtools::writePacket(broken, spec));

  COrv_InstallDlg dlg(nullptr, &chooser, probe());
  dlg.AddFiles({a});
  ASSERT_TRUE(dlg.OnInstall());
  waitForEnd(dlg);
  EXPECT_EQ(sink.last().request.text, "The selected Talvanes have been correctly installed");

  // A second run of the same dialog: a declined row, a failed one, an
  // installed one; the row installed before is not counted.
  sink.clear();
  sink.setScript({plat::ui::IDNO});
  COrv_InstallDlg again(nullptr, &chooser, probe());
  again.AddFiles({a, broken, b});
  ASSERT_TRUE(again.OnInstall());
  waitForEnd(again);
  EXPECT_EQ(states(again), (std::vector<State>{State::Declined, State::Failed, State::Installed}));
  EXPECT_EQ(sink.last().request.text,
            "Some of the selected Talvanes could not be installed\n\nInstalled: 1 of 3\n"
            "Not installed, as you asked (already installed): 1\nCould not be installed: 1");
  EXPECT_EQ(sink.last().request.icon, plat::ui::Icon::Warning);

  // A cancelled run after an earlier one in the same dialog: C is
  // installed, D is not reached; A (earlier) does not count.
  sink.clear();
  dlg.AddFiles({c, d});
  bool queued = false;
  dlg.SetProgressObserver([&](const COrv_InstallDlg::ProgressStep& s) {
    if (!queued && s.item == 1 && s.percent >= 10) {
      queued = true;
      QTimer::singleShot(0, &dlg, [&] { dlg.RequestCancel(); });
    }
  });
  ASSERT_TRUE(dlg.OnInstall());
  waitForEnd(dlg);
  EXPECT_EQ(states(dlg), (std::vector<State>{State::Installed, State::Installed, State::Cancelled}));
  EXPECT_EQ(sink.last().request.text, "The installation was cancelled.\n\nInstalled: 1 of 2\nNot reached: 1");
  EXPECT_EQ(sink.last().request.icon, plat::ui::Icon::Information);
}

TEST_F(InstallDialog, TheKeyboardAloneChoosesRemovesInstallsAndCloses) {
  const fs::path a = writePacket("A.tpk", {"ALPHA"});
  const fs::path b = writePacket("B.tpk", {"BRAVO"});
  COrv_InstallDlg dlg(nullptr, &chooser, probe());
  dlg.show();
  QApplication::setActiveWindow(&dlg);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  chooser.answer = {a, b};
  // The Add button has the focus at first.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  ASSERT_EQ(dlg.Items().size(), 2u);
  // The last row added is selected and Install has the focus: Shift+Tab
  // and Space remove the row, Tab and Enter install the rest.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  ASSERT_EQ(dlg.Items().size(), 1u);
  EXPECT_EQ(dlg.Items()[0].code, "ALPHA");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_TRUE(dlg.IsInstalling());
  waitForEnd(dlg);
  EXPECT_TRUE(installed("ALPHA"));
  EXPECT_FALSE(installed("BRAVO"));
  // Escape closes the dialog once nothing runs.
  QTest::keyClick(&dlg, Qt::Key_Escape);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

}  // namespace
