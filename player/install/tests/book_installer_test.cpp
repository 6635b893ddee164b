#include "player/install/book_installer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCryptographicHash>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fs/fault.h"
#include "platform/riff/wav.h"
#include "platform/testing/crash_points.h"
#include "platform/testing/test_env.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "player/book/book_file_writer.h"
#include "player/book/book_info.h"
#include "player/book/info_bundle.h"
#include "player/book/packet_file.h"
#include "player/book/talvane.h"
#include "player/env/environment.h"
#include "player/install/packet_installer.h"
#include "player/install/progress_window.h"
#include "player/install/tests/installable_packet.h"
#include "shared/language/orv_language.h"
#include "shared/scrambler/scrambler.h"
#include "tools/book/book_fixture.h"
#include "tools/book/spot_file.h"
#include "tools/packet/packet_writer.h"

namespace {

namespace fs = std::filesystem;
using orv::install::COrv_BookInstaller;
using orv::install::InstallProgress;
using orv::install::PacketInstaller;

// --- Packet fixture ---------------------------------------------------------------

using namespace installtest;

tvtools::PacketMember* member(tvtools::PacketSpec& spec, const std::string& name) {
  for (auto& m : spec.books[0].members)
    if (m.name == name) return &m;
  return nullptr;
}

// The members of a content file's first part: stored name -> data.
std::map<std::string, std::string> storedMembers(const std::string& file) {
  std::map<std::string, std::string> out;
  const std::size_t count = static_cast<std::uint8_t>(file[4008]) | static_cast<std::uint8_t>(file[4009]) << 8;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t r = 4024 + 12 * i;
    out[file.substr(r, 3)] = file.substr(get32(file, r + 3) - 1, get32(file, r + 7));
  }
  return out;
}

std::string stored(const char* name) { return COrv_BookFileWriter::ScrambledMemberName(name); }

// --- Recording progress ----------------------------------------------------------

struct ProgressLog {
  std::vector<std::string> line1, line2;
  std::vector<int> positions;
};

class RecordingProgress : public InstallProgress {
 public:
  explicit RecordingProgress(ProgressLog& log) : m_log(log) {}
  void SetLine1(const std::string& t) override { m_log.line1.push_back(t); }
  void SetLine2(const std::string& t) override { m_log.line2.push_back(t); }
  void SetPosition(int p) override { m_log.positions.push_back(p); }

 private:
  ProgressLog& m_log;
};

// The English texts the learner reads, fixed here so that a message given
// the wrong id, or a changed text, shows.
std::string text(int id) {
  static const std::map<int, std::string> texts = {
      {9005, "Talvane Player: Progress Window"},
      {9103, "This file has an incorrect format !"},
      {9104, "This file was incorrectly downloaded !"},
      {9106, "Compression format not supported !"},
      {9109, "An error occurred while reading the dictionary !"},
      {9110, "An error occurred while reading the Fragment Table !"},
      {9300, "Installing Talvane "},
      {9301, "Decompressing data"},
      {9304, "The selected Talvanes have been correctly installed"},
      {20348, "This packet holds more members than a Talvane can keep !"},
      {20460, "The speech of this Talvane cannot be converted !"},
  };
  const auto it = texts.find(id);
  return it == texts.end() ? "(no fixed text for " + std::to_string(id) + ")" : it->second;
}

std::vector<std::string> folderNames(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class Installing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(orv::COrv_Environment().CreateDataPath());
    talvanes = orv::COrv_Environment().GetTalvanesPath(false);
    ASSERT_TRUE(fs::is_directory(talvanes));
  }

  fs::path writePacket(const tvtools::PacketSpec& spec, const std::string& name = "book.tpk") {
    const fs::path p = tvtest::sandbox().base / name;
    EXPECT_TRUE(tvtools::writePacket(p, spec));
    return p;
  }

  PacketInstaller installer() {
    return PacketInstaller([this] { return std::make_unique<RecordingProgress>(log); });
  }

  // Nothing but the listed content files is left in the Talvanes folder,
  // and no unpacked tail in the working folder.
  void expectOnly(const std::vector<std::string>& contents) {
    std::vector<std::string> names;
    const std::string index = fs::path(orv::COrv_Environment().GetIndexFilePath(5)).filename().string();
    for (const std::string& n : folderNames(talvanes))
      if (n != index && n != "." + index + ".lock" && !fs::is_directory(talvanes / n)) names.push_back(n);
    EXPECT_EQ(names, contents);
    EXPECT_TRUE(folderNames(COrv_PacketFile().GetWorkFolder()).empty());
  }

  fs::path talvanes;
  ProgressLog log;
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped{sink};
};

TEST_F(Installing, PacketBecomesAnInstalledBookWithThreeSpeedsAndSegments) {
  const fs::path packet = writePacket(packetSpec());
  PacketInstaller inst = installer();
  ASSERT_EQ(inst.InstallFile(packet), 1);
  EXPECT_TRUE(sink.boxes().empty());
  expectOnly({"Hamlet.tvl"});

  // Progress: the title on line 1, the bar only forward, ending at 100.
  ASSERT_FALSE(log.line1.empty());
  EXPECT_EQ(log.line1.front(), " " + text(9300) + " 'Hamlet'");
  EXPECT_EQ(log.line2.front(), " " + text(9301));
  EXPECT_EQ(log.line2.back(), " " + text(9304));
  EXPECT_TRUE(std::is_sorted(log.positions.begin(), log.positions.end()));
  EXPECT_EQ(log.positions.back(), 100);
  EXPECT_GT(log.positions.size(), 10u);

  // The copied members are what the book writer stores for the same book
  // (the dictionary enciphered piece by piece, names upper case).
  const std::string installed = tvtest::readFile(talvanes / "Hamlet.tvl");
  const fs::path reference = tvtest::sandbox().base / "reference.tvl";
  std::string error;
  ASSERT_TRUE(tvtools::book::writeBookFile(reference, referenceBook(), error)) << error;
  const auto got = storedMembers(installed);
  const auto want = storedMembers(tvtest::readFile(reference));
  for (const char* name : {"ID ", "INI", "DCI", "DCT", "G01"}) {
    ASSERT_TRUE(got.count(stored(name))) << name;
    EXPECT_EQ(got.at(stored(name)), want.at(stored(name))) << name;
  }
  EXPECT_FALSE(got.count(stored("VFT")));
  for (const char* name : {"001", "601", "201", "002"}) EXPECT_TRUE(got.count(stored(name))) << name;
  EXPECT_FALSE(got.count(stored("602")));
  EXPECT_EQ(got.size(), 10u);

  // Index: record 1 covers the part, 249 stays zero, 250 holds the
  // packet's numbers.
  std::uint32_t total = 0;
  for (const auto& [name, data] : got) total += static_cast<std::uint32_t>(data.size());
  EXPECT_EQ(installed.substr(8, 8), COrv_BookFileWriter::ScrambledIndexName("HAMLET"));
  EXPECT_EQ(get32(installed, 16), 4009u);
  EXPECT_EQ(get32(installed, 20), 3017u + total);
  EXPECT_EQ(installed.substr(8 + 248 * 16, 16), std::string(16, '\0'));
  EXPECT_EQ(get32(installed, 8 + 249 * 16 + 8), 0x0506u);
  EXPECT_EQ(get32(installed, 8 + 249 * 16 + 12), 0x01020304u);

  // Every kind of every Echomark reads back from the installed book.
  EXPECT_TRUE(orv::install::BookReadsBackWhole((talvanes / "Hamlet.tvl").string(), "HAMLET"));

  // Registered: the book opens by its code and plays at three speeds.
  orv::COrv_BookInfo info("HAMLET");
  ASSERT_EQ(info.GetSelectedCode(), "HAMLET");
  EXPECT_EQ(info.GetTitle(-1), "Hamlet");
  EXPECT_EQ(info.GetNumQuotes(), 2);
  COrv_Talvane book;
  ASSERT_EQ(book.Open("HAMLET", 0), 1);
  COrv_InfoBundle bundle;
  ASSERT_EQ(book.LoadQuoteInfo(bundle, 1, -1, COrv_InfoBundle::kWaves), 1);
  const CQlWaves& waves = bundle.Waves();
  const auto normal = waves.GetWaveInfo(0, CQlWaves::kDataSize);
  EXPECT_EQ(normal, 44100u);
  EXPECT_NEAR(static_cast<double>(waves.GetWaveInfo(1, CQlWaves::kDataSize)), 0.8 * 44100, 44100 * 0.02);
  EXPECT_NEAR(static_cast<double>(waves.GetWaveInfo(-1, CQlWaves::kDataSize)), 1.2 * 44100, 44100 * 0.02);
  COrv_InfoBundle second;
  ASSERT_EQ(book.LoadQuoteInfo(second, 2, -1, COrv_InfoBundle::kWaves), 1);
  EXPECT_EQ(second.Waves().GetWaveInfo(0, CQlWaves::kDataSize), 16000u);
  EXPECT_TRUE(second.Waves().GetWaveFile(1).empty());
  EXPECT_TRUE(second.Waves().GetWaveFile(-1).empty());

  // Each Echomark's segments are the shares the reference book gives it
  // (one whole segment where it gives none), in per cent.
  const tvtools::book::Book ref = referenceBook();
  const CQlWaves* installedWaves[] = {&waves, &second.Waves()};
  for (std::size_t n = 0; n < ref.echomarks.size(); ++n) {
    SCOPED_TRACE(n + 1);
    std::vector<float> want = ref.echomarks[n].speechShares;
    if (want.empty()) want = {1.0f};
    ASSERT_EQ(installedWaves[n]->GetSegmentCount(), static_cast<int>(want.size()));
    for (std::size_t k = 0; k < want.size(); ++k)
      EXPECT_NEAR(installedWaves[n]->GetSegmentShare(static_cast<int>(k + 1)), 100.0f * want[k], 0.1f) << k + 1;
  }
}

// The bar steps by members: after each member record of the packet it
// shows the members stored so far of all it holds, out of 90; the
// recordings follow, each counted when stored; then 90 and 100. A 3-Echomark
// book of 9 members: 5 copied (the dictionary among them), the segment
// table (read, not stored) and 3 recordings. The order of the records
// matters: a record that stores nothing leaves the bar where it is.
TEST_F(Installing, ProgressStepsByMembers) {
  struct Case {
    const char* name;
    std::vector<std::string> order;  // the non-recording members, in packet order
    std::vector<int> positions;
  } cases[] = {
      {"copied members first", {"ID ", "INI", "S01", "dct", "G01", "VFT"},
       {1, 5, 10, /* records */ 10, 20, 30, 40, 50, 50, 50, 50, 50, /* recordings */ 60, 70, 80, 90, 100}},
      {"segment table first", {"VFT", "ID ", "INI", "S01", "dct", "G01"},
       {1, 5, 10, /* records */ 0, 10, 20, 30, 40, 50, 50, 50, 50, /* recordings */ 60, 70, 80, 90, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tvtools::PacketSpec spec = speechPacketSpec({tvtools::book::makeWav(800, {}), tvtools::book::makeWav(900, {}),
                                                 tvtools::book::makeWav(1000, {})});
    auto& members = spec.books[0].members;
    std::map<std::string, std::string> data;
    for (const auto& m : members) data[m.name] = m.data;
    data["dct"] = dctPiece("exist", "to have being");
    data["G01"] = "[Links]\r\nVerbs=2\r\n";
    std::vector<tvtools::PacketMember> ordered;
    for (const std::string& name : c.order) ordered.push_back({name, data.at(name), 0});
    for (const char* name : {"001", "002", "003"}) ordered.push_back({name, data.at(name), 0});
    members = ordered;
    const fs::path packet = writePacket(spec);
    ProgressLog steps;
    RecordingProgress progress(steps);
    COrv_BookInstaller installer;
    std::string content;
    ASSERT_EQ(installer.Install(packet.string(), "", talvanes.string(), content, 1, progress), 1);
    EXPECT_EQ(steps.positions, c.positions);
    fs::remove(content);
  }
}

// The speeds are rendered on worker threads and stored as they come back:
// the content file is the same, byte for byte, as when everything runs on
// the calling thread, and every recording sits under its own Echomark.
TEST_F(Installing, ContentFileIsTheSameOnOneThreadAndOnMany) {
  std::vector<std::string> speech;
  for (std::uint32_t n = 1; n <= 7; ++n) speech.push_back(tvtools::book::makeWav(2000 * n, {}));
  const fs::path packet = writePacket(speechPacketSpec(speech));
  std::string single;
  for (const unsigned threads : {1u, 2u, 8u}) {
    SCOPED_TRACE(threads);
    COrv_BookInstaller installer;
    installer.SetRenderThreads(threads);
    orv::install::NoProgress none;
    std::string content;
    ASSERT_EQ(installer.Install(packet.string(), "", talvanes.string(), content, 1, none), 1);
    const std::string bytes = tvtest::readFile(content);
    fs::remove(content);
    if (threads == 1) {
      single = bytes;
      const auto members = storedMembers(bytes);
      EXPECT_EQ(members.size(), 3u + 3 * speech.size());
      // Echomark n's normal speed holds its own 2000 n samples.
      for (std::uint32_t n = 1; n <= speech.size(); ++n)
        EXPECT_EQ(members.at(stored(("00" + std::to_string(n)).c_str())).size(),
                  4000 * n + 8 + tvtools::book::segmentChunkBody(4000 * n, {0.4f, 0.6f}).size())
            << n;
    } else {
      EXPECT_TRUE(bytes == single) << "differs from the single-threaded content file";
    }
  }
}

// What the installer makes of the voiced packet below (SoundTouch as the
// suite builds against it).
constexpr std::size_t kVoicedContentSize = 231761;
constexpr const char* kVoicedContentSha256 = "299c62d4cb25b1cc085bc49530624f0b4ccaff714a658a7e89cdbc188e0eae86";

// A voiced recording: a gliding tone with a harmonic, in the given format.
std::string voiced(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels, double seconds, double pitch) {
  const auto frames = static_cast<std::size_t>(rate * seconds);
  std::string samples;
  double phase = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    phase += 2 * M_PI * (pitch + 30 * std::sin(2 * M_PI * 2 * t)) / rate;
    const double v = (0.5 + 0.4 * std::sin(2 * M_PI * 4 * t)) * (0.6 * std::sin(phase) + 0.3 * std::sin(2 * phase));
    for (std::uint16_t c = 0; c < channels; ++c) {
      const double w = c == 0 ? v : -v;
      if (bits == 8) {
        samples.push_back(static_cast<char>(static_cast<std::uint8_t>(std::lround(128 + 127 * w))));
      } else {
        const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(32767 * w)));
        samples.push_back(static_cast<char>(s & 0xFF));
        samples.push_back(static_cast<char>(s >> 8));
      }
    }
  }
  std::string wav;
  plat::riff::writeWav(plat::riff::WavFormat::pcm(rate, bits, channels), samples, wav);
  return wav;
}

// The content file of a packet of voiced speech in the formats packets
// carry is, byte for byte, the one the installer has always made (its
// digest is stored here), on one thread and on many.
TEST_F(Installing, ContentFileOfVoicedSpeechKeepsItsBytes) {
  const fs::path packet = writePacket(speechPacketSpec({voiced(22050, 16, 1, 0.7, 180), voiced(11025, 8, 1, 0.5, 220),
                                                        voiced(22050, 16, 2, 0.4, 140), voiced(22050, 16, 1, 0.05, 300)}));
  for (const unsigned threads : {1u, 8u}) {
    SCOPED_TRACE(threads);
    COrv_BookInstaller installer;
    installer.SetRenderThreads(threads);
    orv::install::NoProgress none;
    std::string content;
    ASSERT_EQ(installer.Install(packet.string(), "", talvanes.string(), content, 1, none), 1);
    const std::string bytes = tvtest::readFile(content);
    fs::remove(content);
    EXPECT_EQ(bytes.size(), kVoicedContentSize);
    EXPECT_EQ(QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256).toHex().toStdString(),
              kVoicedContentSha256);
  }
}

TEST_F(Installing, ReinstallReplacesTheBookAndKeepsOtherBooksFiles) {
  const fs::path packet = writePacket(packetSpec());
  PacketInstaller inst = installer();
  ASSERT_EQ(inst.InstallFile(packet), 1);
  ASSERT_EQ(inst.InstallFile(packet), 1);
  EXPECT_EQ(orv::COrv_BookInfo().GetInstalledCount(), 1);
  expectOnly({"Hamlet.tvl"});

  // Another book of the same title gets a file of its own.
  const fs::path other = writePacket(packetSpec("OTHER"), "other.tpk");
  ASSERT_EQ(inst.InstallFile(other), 1);
  expectOnly({"Hamlet OTHER.tvl", "Hamlet.tvl"});
  for (const char* code : {"HAMLET", "OTHER"}) {
    COrv_Talvane book;
    EXPECT_EQ(book.Open(code, 0), 1) << code;
  }
  EXPECT_TRUE(sink.boxes().empty());

  // A third book of that title whose both names are taken by other files
  // is refused rather than written over them.
  tvtest::writeFile(talvanes / "Hamlet THIRD.tvl", "someone else's");
  EXPECT_EQ(inst.InstallFile(writePacket(packetSpec("THIRD"), "third.tpk")), 0);
  EXPECT_EQ(tvtest::readFile(talvanes / "Hamlet THIRD.tvl"), "someone else's");
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_NE(sink.last().request.text.find("Hamlet THIRD.tvl"), std::string::npos);
  expectOnly({"Hamlet OTHER.tvl", "Hamlet THIRD.tvl", "Hamlet.tvl"});
}

TEST_F(Installing, AddOnEntryReplacesTheSpotsMember) {
  const auto spots = [](const char* name) {
    return tvtools::book::spotFile({tvtools::book::SpotGroup{{{name, 10, 10, "picture bytes"}}}});
  };
  tvtools::PacketSpec spec = packetSpec();
  spec.books[0].members.push_back({"mf1", spots("packet.png")});
  spec.entries.push_back({"MF1ADDON", spots("addon.png"), true});
  PacketInstaller inst = installer();
  ASSERT_EQ(inst.InstallFile(writePacket(spec)), 1);
  const auto got = storedMembers(tvtest::readFile(talvanes / "Hamlet.tvl"));
  ASSERT_TRUE(got.count(stored("MF1")));
  EXPECT_EQ(got.at(stored("MF1")), spots("addon.png"));

  spec.entries.clear();
  ASSERT_EQ(inst.InstallFile(writePacket(spec)), 1);
  EXPECT_EQ(storedMembers(tvtest::readFile(talvanes / "Hamlet.tvl")).at(stored("MF1")), spots("packet.png"));

  // Spots that do not read (a count the file has no room for) would be
  // lost without a word: the book is refused, naming them.
  std::string damaged = spots("packet.png");
  damaged[10] = damaged[11] = '\xFF';
  tvtools::PacketSpec other = packetSpec("DAMAGED");
  other.books[0].members.push_back({"mf1", damaged});
  sink.clear();
  EXPECT_EQ(inst.InstallFile(writePacket(other, "damaged.tpk")), 0);
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_NE(sink.last().request.text.find("media spots"), std::string::npos) << sink.last().request.text;
  EXPECT_FALSE(orv::COrv_BookInfo().IsInstalled("DAMAGED"));
  expectOnly({"Hamlet.tvl"});
}

TEST_F(Installing, PacketWithoutAudioCopiesItsMembers) {
  tvtools::PacketSpec spec = packetSpec();
  auto& members = spec.books[0].members;
  std::erase_if(members, [](const tvtools::PacketMember& m) { return m.name[0] == '0' || m.name == "VFT"; });
  PacketInstaller inst = installer();
  ASSERT_EQ(inst.InstallFile(writePacket(spec)), 1);
  EXPECT_EQ(storedMembers(tvtest::readFile(talvanes / "Hamlet.tvl")).size(), 6u);
  EXPECT_EQ(log.positions.back(), 100);
}

// Packets that do not hold what they claim: nothing is installed, nothing
// is left behind, and the learner is told why.
TEST_F(Installing, HostilePacketsAreRefusedAndLeaveNothing) {
  struct Case {
    const char* what;
    std::function<void(tvtools::PacketSpec&)> spoil;
    int message;  // 0: accepted
  };
  const std::string longest(2048, 'x');
  const std::vector<Case> cases = {
      {"definition of 2048 bytes", [&](auto& s) { member(s, "dct")->data = dctPiece("a", longest); }, 0},
      {"definition of 2049 bytes", [&](auto& s) { member(s, "dct")->data = dctPiece("a", longest + "x"); }, 9109},
      {"dictionary piece cut short", [](auto& s) { member(s, "dct")->data.resize(20); }, 9109},
      {"fragment table cut short", [](auto& s) { member(s, "VFT")->data = vftMember({{0.5f, 0.5f}}); }, 9110},
      {"fragment table missing",
       [](auto& s) { std::erase_if(s.books[0].members, [](auto& m) { return m.name == "VFT"; }); }, 9110},
      {"share not a number", [](auto& s) { member(s, "VFT")->data = vftMember({{NAN, 0.5f}, {1.0f}}); }, 9110},
      {"record table points past the records",
       [](auto& s) { member(s, "S01")->data[12] = static_cast<char>(200); }, 9103},
      {"record table points at a text record", [](auto& s) { member(s, "S01")->data[12] = 1; }, 9103},
      {"record width not 33", [](auto& s) { member(s, "S01")->data[0] = 10; }, 9103},
      {"record member shorter than its head", [](auto& s) { member(s, "S01")->data.resize(100); }, 9103},
      {"speech of an unnumbered Echomark", [](auto& s) { member(s, "002")->name = "0x2"; }, 9103},
      {"speech of Echomark 0", [](auto& s) { member(s, "002")->name = "000"; }, 9103},
      {"speech that is not a WAV", [](auto& s) { member(s, "002")->data = "RIFF junk"; }, 9103},
      {"member named twice", [](auto& s) { s.books[0].members.push_back({"INI", "again"}); }, 9103},
      {"unknown audio kind", [](auto& s) { s.audioFlag = 7; }, 20460},
      {"content version 4", [](auto& s) { s.contentVersion = 4; }, 9103},
      {"book code with a dash", [](auto& s) { s.books[0].code = "HAM-LET"; }, 9103},
      {"tail cut short",
       [](auto& s) {
         s.rawTailSet = true;
         s.rawTail = tvtools::gzipBytes(tvtools::buildContent(s).substr(0, 3000));
       },
       9103},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    tvtools::PacketSpec spec = packetSpec();
    c.spoil(spec);
    const size_t before = sink.boxes().size();
    PacketInstaller inst = installer();
    const int result = inst.InstallFile(writePacket(spec));
    EXPECT_EQ(result, c.message == 0 ? 1 : 0);
    if (c.message == 0) {
      expectOnly({"Hamlet.tvl"});
      fs::remove(talvanes / "Hamlet.tvl");
      orv::COrv_BookInfo("HAMLET").Unregister();
      continue;
    }
    expectOnly({});
    EXPECT_TRUE(orv::COrv_BookInfo("HAMLET").GetSelectedCode().empty());
    const auto boxes = sink.boxes();
    ASSERT_EQ(boxes.size(), before + 1);
    EXPECT_NE(boxes.back().request.text.find(text(c.message)), std::string::npos) << boxes.back().request.text;
  }
}

// A packet of 84 Echomarks with three speeds each needs more members
// than a content file holds: it is refused before any audio is made.
tvtools::PacketSpec oversizedSpec() {
  tvtools::PacketSpec spec = packetSpec();
  std::string s01(512, '\0');
  s01[0] = 32;
  auto record = [&](std::uint8_t type) { s01 += std::string(1, static_cast<char>(type)) + std::string(32, '\0'); };
  auto& members = spec.books[0].members;
  std::erase_if(members, [](const tvtools::PacketMember& m) { return m.name[0] == '0' || m.name == "S01"; });
  const std::string wav = tvtools::book::makeWav(800, {});
  for (int n = 1; n <= 84; ++n) {
    record(1);
    const std::size_t rec = (s01.size() - 512) / 33 + 1;
    s01[10 + 2 * static_cast<std::size_t>(n)] = static_cast<char>(rec & 0xFF);
    s01[11 + 2 * static_cast<std::size_t>(n)] = static_cast<char>(rec >> 8);
    for (std::uint8_t type : {9, 9, 12, 12, 13, 13}) record(type);
    char name[4];
    std::snprintf(name, sizeof name, "0%02d", n);
    members.push_back({name, wav});
  }
  members.push_back({"S01", s01});
  return spec;
}

// Damage that only the bytes of the file show: each packet is refused with
// its message, and nothing is registered or left behind.
TEST_F(Installing, DamagedPacketFilesAreRefusedWhole) {
  tvtools::PacketSpec withSpots = packetSpec();
  withSpots.entries.push_back({"MF1ADDON", "add-on spots", false});
  const std::string good = tvtools::buildPacket(withSpots);
  const std::size_t trailer = 12 + get32(good, 8);
  struct Case {
    const char* what;
    std::function<std::string()> bytes;
    int message;
  };
  const std::vector<Case> cases = {
      {"cut at a quarter", [&] { return good.substr(0, good.size() / 4); }, 9104},
      {"cut at the half", [&] { return good.substr(0, good.size() / 2); }, 9104},
      {"one byte short", [&] { return good.substr(0, good.size() - 1); }, 9104},
      {"one byte more", [&] { return good + "x"; }, 9104},
      {"two slots claimed", [&] { std::string b = good; b[trailer + 17] = 2; return b; }, 9103},
      {"add-on size past its area",
       [&] { std::string b = good; b[12] = static_cast<char>(b[12] + 40); return b; }, 9103},
      {"add-on size short by one",
       [&] { std::string b = good; b[12] = static_cast<char>(b[12] - 1); return b; }, 9103},
      {"a part with no members",
       [] {
         tvtools::PacketSpec s = packetSpec();
         s.books[0].members.clear();
         return tvtools::buildPacket(s);
       },
       9103},
      {"an ID member of 10 bytes",
       [] {
         tvtools::PacketSpec s = packetSpec();
         member(s, "ID ")->data.resize(10);
         return tvtools::buildPacket(s);
       },
       9103},
      {"more members than the table holds", [] { return tvtools::buildPacket(oversizedSpec()); }, 20348},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path packet = tvtest::sandbox().base / "damaged.tpk";
    tvtest::writeFile(packet, c.bytes());
    const size_t before = sink.boxes().size();
    log.positions.clear();
    PacketInstaller inst = installer();
    EXPECT_EQ(inst.InstallFile(packet), 0);
    expectOnly({});
    std::vector<std::string> codes;
    EXPECT_EQ(orv::COrv_BookInfo().GetInstalledBooks(codes), 0);
    const auto boxes = sink.boxes();
    ASSERT_EQ(boxes.size(), before + 1);
    EXPECT_NE(boxes.back().request.text.find(text(c.message)), std::string::npos) << boxes.back().request.text;
    if (c.message == 20348 && !log.positions.empty()) {
      EXPECT_LE(*std::max_element(log.positions.begin(), log.positions.end()), 10);  // no audio was made
    }
  }
}

// A library that does not read back whole is refused before it is moved:
// nothing is registered, nothing goes into BackUp, the file stays.
TEST_F(Installing, DamagedLibrariesAreRefusedWhole) {
  const fs::path backup = orv::COrv_Environment().GetBackUpPath(false);
  std::string error;
  const fs::path whole = tvtest::sandbox().base / "whole.tvl";
  ASSERT_TRUE(tvtools::book::writeLibraryFile(whole, {referenceBook("FIRST"), referenceBook("SECOND")}, error)) << error;
  const std::string good = tvtest::readFile(whole);
  struct Case {
    const char* what;
    std::function<std::string()> bytes;
  };
  const std::vector<Case> cases = {
      {"cut after its tables", [&] { return good.substr(0, 7100); }},
      {"cut at the half", [&] { return good.substr(0, good.size() / 2); }},
      {"cut at nine tenths", [&] { return good.substr(0, good.size() * 9 / 10); }},
      {"one byte short", [&] { return good.substr(0, good.size() - 1); }},
      {"no members counted", [&] { std::string b = good; b[4008] = b[4009] = 0; return b; }},
      {"a member record pointing past the end",
       [&] {
         std::string b = good;
         b[4024 + 6] = static_cast<char>(0x7F);
         return b;
       }},
      {"first member longer than the file",
       [&] {
         std::string b = good;
         b[4024 + 10] = static_cast<char>(0x7F);
         return b;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path library = tvtest::sandbox().base / "damaged.tvl";
    const std::string bytes = c.bytes();
    tvtest::writeFile(library, bytes);
    const size_t before = sink.boxes().size();
    PacketInstaller inst = installer();
    EXPECT_EQ(inst.InstallFile(library), 0);
    EXPECT_EQ(tvtest::readFile(library), bytes);
    EXPECT_TRUE(folderNames(backup).empty());
    std::vector<std::string> codes;
    EXPECT_EQ(orv::COrv_BookInfo().GetInstalledBooks(codes), 0);
    EXPECT_EQ(sink.boxes().size(), before + 1);
  }
}

TEST_F(Installing, MissingSlotAndMissingPacket) {
  const fs::path packet = writePacket(packetSpec());
  PacketInstaller inst = installer();
  std::string content = "untouched";
  EXPECT_EQ(inst.InstallSlot(packet, 2, content), 0);
  EXPECT_TRUE(content.empty());
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_NE(sink.last().request.text.find("This file does not contain the selected Talvane !"), std::string::npos);
  EXPECT_EQ(inst.InstallFile(tvtest::sandbox().base / "missing.tpk"), 0);
  EXPECT_EQ(sink.boxes().size(), 2u);
  expectOnly({});
}

// A file operation failing at any step leaves no half-written content file
// and an earlier installation of the book as it was.
TEST_F(Installing, FailuresLeaveTheEarlierInstallationIntact) {
  const fs::path packet = writePacket(packetSpec());
  PacketInstaller inst = installer();
  ASSERT_EQ(inst.InstallFile(packet), 1);
  const std::string before = tvtest::readFile(talvanes / "Hamlet.tvl");

  struct Case {
    const char* what;
    plat::fs::FaultOp op;
    const char* path;
    int skip;
  };
  const Case cases[] = {
      {"content file cannot be created", plat::fs::FaultOp::Open, ".tvw", 0},
      {"a rendering cannot be stored", plat::fs::FaultOp::Write, "Talvanes", 525},  // the last of 538 writes store the speech
      {"write in the middle", plat::fs::FaultOp::Write, "Talvanes", 300},
      {"rename at the end", plat::fs::FaultOp::Rename, "Talvanes", 0},
      {"tail cannot be unpacked", plat::fs::FaultOp::Write, "unpack", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    plat::fs::FaultScope faults;
    plat::fs::injectFault(c.op, c.path, EIO, 1, c.skip);
    EXPECT_EQ(inst.InstallFile(packet), 0);
    plat::fs::clearFaults();
    expectOnly({"Hamlet.tvl"});
    EXPECT_EQ(tvtest::readFile(talvanes / "Hamlet.tvl"), before);
  }
  COrv_Talvane book;
  EXPECT_EQ(book.Open("HAMLET", 0), 1);
}

// An installer killed while it unpacks or writes leaves its unpacked tail
// and its half-written content file behind; the next installation removes
// them, and the book installed then reads back whole.
TEST_F(Installing, WhatAKilledInstallLeftIsRemovedByTheNext) {
  const fs::path packet = writePacket(packetSpec());
  const fs::path work = COrv_PacketFile().GetWorkFolder();
  for (const char* where : {"unpack", "Talvanes"}) {
    SCOPED_TRACE(where);
    ASSERT_TRUE(tvtest::runUntilCrash(where, {plat::fs::FaultOp::Write, 0}, [&] {
      PacketInstaller inst = installer();
      inst.InstallFile(packet);
    }));
    PacketInstaller inst = installer();
    ASSERT_EQ(inst.InstallFile(packet), 1);
    EXPECT_TRUE(folderNames(work).empty()) << folderNames(work).front();
    expectOnly({"Hamlet.tvl"});
  }
}

// Recordings of kind 0 or '+' are WAV already; other kinds go through the
// converter, and without one the packet is refused.
TEST_F(Installing, AudioKindsAndTheConverter) {
  // Recordings are converted on worker threads, several at a time.
  struct Converter : orv::install::AudioConverter {
    bool Convert(std::string_view source, std::uint8_t kind, std::string& wav) override {
      std::lock_guard<std::mutex> lock(mutex);
      kinds.push_back(kind);
      wav = source;
      return succeed;
    }
    std::mutex mutex;
    std::vector<int> kinds;
    bool succeed = true;
  };
  struct Case {
    std::uint8_t kind;
    bool haveConverter, succeed;
    std::vector<int> calls;
    int message;  // 0: installed
  };
  const Case cases[] = {
      {0, true, true, {}, 0},
      {'+', true, true, {}, 0},
      {'+', false, true, {}, 0},
      {5, true, true, {5, 5}, 0},
      {5, true, false, {5}, 20460},
      {5, false, true, {}, 9106},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + (c.haveConverter ? " with" : " without") + " a converter");
    tvtools::PacketSpec spec = packetSpec();
    spec.audioFlag = c.kind;
    Converter converter;
    converter.succeed = c.succeed;
    PacketInstaller inst = installer();
    inst.SetAudioConverter(c.haveConverter ? &converter : nullptr);
    const size_t before = sink.boxes().size();
    EXPECT_EQ(inst.InstallFile(writePacket(spec)), c.message == 0 ? 1 : 0);
    // After a failed conversion the other recording may have been
    // converted already, or not.
    if (!c.succeed && converter.kinds.size() == 2) converter.kinds.pop_back();
    EXPECT_EQ(converter.kinds, c.calls);
    if (c.message == 0) {
      EXPECT_EQ(sink.boxes().size(), before);
      expectOnly({"Hamlet.tvl"});
    } else {
      ASSERT_EQ(sink.boxes().size(), before + 1);
      EXPECT_NE(sink.last().request.text.find(text(c.message)), std::string::npos);
      expectOnly({});
    }
    fs::remove(talvanes / "Hamlet.tvl");
  }
}

// Without a progress factory, the window shows the steps while a
// QApplication runs and is gone when the installation ends.
TEST_F(Installing, ProgressWindowShowsTheStepsAndGoes) {
  {
    COrv_InstallProgressDlg window;
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle().toStdString(), text(9005));
    window.SetLine1(" one");
    window.SetLine2(" two");
    window.SetPosition(40);
    EXPECT_EQ(window.Line1(), " one");
    EXPECT_EQ(window.Line2(), " two");
    EXPECT_EQ(window.Position(), 40);
    window.SetPosition(150);
    EXPECT_EQ(window.Position(), 100);
  }
  PacketInstaller inst;
  ASSERT_EQ(inst.InstallFile(writePacket(packetSpec())), 1);
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_EQ(dynamic_cast<COrv_InstallProgressDlg*>(w), nullptr);
}

// A library is taken into the BackUp folder and every book of it
// registered with that file as its source.
TEST_F(Installing, LibraryIsMovedToTheBackUpFolderAndItsBooksRegistered) {
  const fs::path backup = orv::COrv_Environment().GetBackUpPath(false);
  tvtools::book::Book first = referenceBook("FIRST"), second = referenceBook("SECOND");
  second.title = "Second";
  std::string error;
  const fs::path library = tvtest::sandbox().base / "shelf.tvl";
  ASSERT_TRUE(tvtools::book::writeLibraryFile(library, {first, second}, error)) << error;
  const std::string bytes = tvtest::readFile(library);
  PacketInstaller inst = installer();
  ASSERT_EQ(inst.InstallFile(library), 1);
  EXPECT_FALSE(fs::exists(library));
  EXPECT_EQ(tvtest::readFile(backup / "shelf.tvl"), bytes);
  for (const char* code : {"FIRST", "SECOND"}) {
    orv::COrv_BookInfo info(code);
    EXPECT_EQ(info.GetSourceFile(-1, false), (backup / "shelf.tvl").string()) << code;
    COrv_Talvane book;
    ASSERT_EQ(book.Open(code, 0), 1) << code;
    COrv_InfoBundle bundle;
    EXPECT_EQ(book.LoadQuoteInfo(bundle, 1, -1, COrv_InfoBundle::kWaves), 1) << code;
  }
  EXPECT_EQ(orv::COrv_BookInfo("SECOND").GetTitle(-1), "Second");

  // A different library of that name keeps the first one's place.
  ASSERT_TRUE(tvtools::book::writeLibraryFile(library, {referenceBook("THIRD")}, error)) << error;
  ASSERT_EQ(inst.InstallFile(library), 1);
  EXPECT_EQ(tvtest::readFile(backup / "shelf.tvl"), bytes);
  EXPECT_EQ(orv::COrv_BookInfo("THIRD").GetSourceFile(-1, false), (backup / "shelf (2).tvl").string());
  EXPECT_TRUE(sink.boxes().empty());

  // A packet under a library's name is no library; other files are left
  // alone without a word.
  const fs::path fake = writePacket(packetSpec(), "fake.tvl");
  EXPECT_EQ(inst.InstallFile(fake), 0);
  EXPECT_TRUE(fs::exists(fake));
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_NE(sink.last().request.text.find(text(9103)), std::string::npos);
  const fs::path other = tvtest::sandbox().base / "notes.txt";
  tvtest::writeFile(other, "text");
  EXPECT_EQ(inst.InstallFile(other), 0);
  EXPECT_EQ(sink.boxes().size(), 1u);
  EXPECT_TRUE(fs::exists(other));
}

// Speech in 8- and 16-bit PCM installs as it always did; speech in a
// sample format the player does not play is refused, naming the format
// and the member in the box and in the reason the callers print.
TEST_F(Installing, SpeechSampleFormatsOutsideEightAndSixteenBitPcmAreNamed) {
  struct Case {
    const char* what;
    std::string wav;
    const char* named;  // nullptr: installed
  };
  const std::vector<Case> cases = {
      {"8-bit PCM", wavIn(1, 8), nullptr},
      {"16-bit PCM", wavIn(1, 16), nullptr},
      {"16-bit PCM, extensible", wavIn(1, 16, true), nullptr},
      {"24-bit PCM", wavIn(1, 24), "24-bit PCM"},
      {"32-bit PCM", wavIn(1, 32), "32-bit PCM"},
      {"32-bit PCM, extensible", wavIn(1, 32, true), "32-bit PCM"},
      {"32-bit float", wavIn(3, 32), "32-bit float"},
      {"64-bit float, extensible", wavIn(3, 64, true), "64-bit float"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    tvtools::PacketSpec spec = packetSpec();
    member(spec, "002")->data = c.wav;
    const size_t before = sink.boxes().size();
    PacketInstaller inst = installer();
    const int result = inst.InstallFile(writePacket(spec));
    if (!c.named) {
      EXPECT_EQ(result, 1);
      EXPECT_EQ(sink.boxes().size(), before);
      EXPECT_TRUE(inst.FailureReason().empty());
      expectOnly({"Hamlet.tvl"});
      fs::remove(talvanes / "Hamlet.tvl");
      orv::COrv_BookInfo("HAMLET").Unregister();
      continue;
    }
    EXPECT_EQ(result, 0);
    const std::string reason = std::string("speech member \"002\": sample format ") + c.named + " cannot be played";
    EXPECT_EQ(inst.FailureReason(), reason);
    ASSERT_EQ(sink.boxes().size(), before + 1);
    const std::string box = sink.boxes().back().request.text;
    EXPECT_NE(box.find(text(9103)), std::string::npos) << box;
    EXPECT_NE(box.find(reason), std::string::npos) << box;
    expectOnly({});
    EXPECT_TRUE(orv::COrv_BookInfo("HAMLET").GetSelectedCode().empty());
  }
}

}  // namespace
