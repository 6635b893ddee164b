// The load switch of the real program, one bad input after another: what
// the user is told, the exit code, and the data path and the user's own
// folder before and after, byte for byte.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/fs/config_root.h"
#include "platform/testing/test_env.h"
#include "platform/ui/test_mode.h"
#include "platform/riff/riff.h"
#include "player/book/book_info.h"
#include "player/book/tests/content_fixture.h"
#include "player/env/environment.h"
#include "player/install/tests/installable_packet.h"
#include "shared/scrambler/scrambler.h"
#include "tools/book/book_fixture.h"

namespace {

namespace fs = std::filesystem;

// The size and a hash of a file's bytes: listings stay readable.
std::string digest(const std::string& bytes) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) h = (h ^ c) * 0x100000001b3ull;
  return std::to_string(bytes.size()) + " bytes, " + std::to_string(h);
}

// Every file below `folder` with its bytes (as a digest; folders end in
// '/'), links with their target.
std::map<std::string, std::string> listing(const fs::path& folder) {
  std::map<std::string, std::string> out;
  std::error_code ec;
  if (!fs::exists(folder, ec)) return out;
  for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = fs::relative(it->path(), folder).string();
    if (it->is_symlink()) {
      out[rel] = "-> " + fs::read_symlink(it->path()).string();
    } else if (it->is_directory()) {
      out[rel + "/"] = "";
    } else if (it->is_regular_file()) {
      out[rel] = digest(tvtest::readFile(it->path()));
    } else {
      out[rel] = "(special)";
    }
  }
  return out;
}

struct RunResult {
  int exitCode = -1;
  std::string error;  // standard error
};

struct LoadSwitchProcess : ::testing::Test {
  fs::path base = tvtest::sandbox().base;
  fs::path user = base / "work";  // the user's own folder
  fs::path log = base / "events.log";
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  fs::path data;

  void SetUp() override {
    env.insert("TALVANE_TEST_MODE", "silent");
    env.insert("TALVANE_TEST_LOG", QString::fromStdString(log.string()));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    fs::create_directories(user / "some" / "folder");
    ASSERT_EQ(run({"-instal"}).exitCode, 0);
    data = orv::COrv_Environment().GetDataPath();
    ASSERT_FALSE(data.empty());
  }

  RunResult run(const std::vector<std::string>& args) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QString::fromStdString(user.string()));
    QStringList list;
    for (const std::string& a : args) list << QString::fromStdString(a);
    p.start(TV_ORVEX, list);
    RunResult r;
    if (!p.waitForFinished(60000)) {
      p.kill();
      p.waitForFinished();
      return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.error = p.readAllStandardError().toStdString();
    return r;
  }

  // The texts of the message boxes shown since the log was last read.
  std::vector<std::string> boxes() {
    std::vector<std::string> out;
    for (const auto& e : plat::ui::parseTestLog(tvtest::readFile(log)))
      if (!e.isBeep && !e.isHelp) out.push_back(e.text);
    fs::remove(log);
    return out;
  }

  fs::path library(const fs::path& at, const std::string& code) {
    std::string error;
    EXPECT_TRUE(tvtools::book::writeLibraryFile(at, {installtest::referenceBook(code)}, error)) << error;
    return at;
  }
};

TEST_F(LoadSwitchProcess, BadInputsAreRefusedOnceWithExitCodeOneAndTouchNothing) {
  // The machine hive must survive any "@@@" name.
  const fs::path machineHive = plat::fs::machineSettingsFolder() / "HKEY_LOCAL_MACHINE.hive";
  ASSERT_TRUE(fs::exists(machineHive));
  const fs::path settings = plat::fs::machineSettingsFolder() / "Qlonwin.dpl";
  if (!fs::exists(settings)) tvtest::writeFile(settings, "[Datapath]\r\n");

  tvtest::writeFile(user / "notes.txt", std::string(100000, 'n'));
  tvtest::writeFile(user / "noextension", "CD");
  tvtest::writeFile(user / "TPKNEW.TPK", "TPK");
  ASSERT_EQ(::mkfifo((user / "pipe.tpk").c_str(), 0644), 0);
  // A library cut in half.
  const fs::path whole = library(base / "whole.tvl", "CUTB");
  const std::string bytes = tvtest::readFile(whole);
  tvtest::writeFile(user / "cut.tvl", bytes.substr(0, bytes.size() / 2));
  tvtest::writeFile(user / "garbage.tpk", "TPK\0 this is no packet at all");
  // Libraries whose index counts what it does not hold, and cut ones.
  for (const auto& [name, count] : std::vector<std::pair<std::string, uint16_t>>{
           {"count0.tvl", 0}, {"count7fff.tvl", 0x7FFF}, {"countffff.tvl", 0xFFFF}}) {
    std::string b = bytes;
    b[4] = static_cast<char>(count & 0xFF);
    b[5] = static_cast<char>(count >> 8);
    tvtest::writeFile(user / name, b);
  }
  tvtest::writeFile(user / "empty.tvl", "");
  tvtest::writeFile(user / "eight.tvl", bytes.substr(0, 8));
  tvtest::writeFile(user / "hive.tvl", tvtest::readFile(machineHive));
  ASSERT_TRUE(tvtools::writePacket(user / "packet.tvl", installtest::packetSpec("PKT")));

  struct Case {
    const char* what;
    std::string file;
    std::string told;  // on standard error ("" none)
    bool box;          // whether the installer or reader shows a box
  };
  const std::vector<Case> cases{
      {"machine hive through @@@", "@@@HKEY_LOCAL_MACHINE.hive", "indirection file names no packet", false},
      {"settings through @@@", "@@@Qlonwin.dpl", "indirection file names no packet", false},
      {"path through @@@", "@@@../machine/Qlonwin.dpl", "indirection file names no packet", false},
      {"missing @@@ file", "@@@nothing.txt", "the file was not found", false},
      {"missing file", "absent.tpk", "the file was not found", false},
      {"a folder", "some/folder/", "this is a folder, not a file", false},
      {"a special file", "pipe.tpk", "the file cannot be read", false},
      {"a text file", "notes.txt", "only packet (.tpk) and library (.tvl) files", false},
      {"no extension", "noextension", "only packet (.tpk) and library (.tvl) files", false},
      {"TPK name not installed", "TPKNEW.TPK", "the Talvane this packet names is not installed", false},
      {"a library cut in half", "cut.tvl", "Talvane CUTB: member \"201\" lies outside the file", true},
      {"a damaged packet", "garbage.tpk", "the packet is damaged or cannot be read", true},
      {"a library counting no book", "count0.tvl", "the library is damaged or cannot be read", false},
      {"a library counting 0x7FFF books", "count7fff.tvl", "the library is damaged or cannot be read", false},
      {"a library counting 0xFFFF books", "countffff.tvl", "the library is damaged or cannot be read", false},
      {"an empty library", "empty.tvl", "the library is damaged or cannot be read", true},
      {"a library cut to 8 bytes", "eight.tvl", "the library is damaged or cannot be read", false},
      {"a settings hive named as a library", "hive.tvl", "the library is damaged or cannot be read", true},
      {"a packet named as a library", "packet.tvl", "this file is a packet, not a library", false},
  };
  for (const Case& c : cases) {
    const auto dataBefore = listing(data), userBefore = listing(user), machineBefore = listing(plat::fs::machineSettingsFolder());
    boxes();
    const RunResult r = run({"-load", c.file});
    EXPECT_EQ(r.exitCode, 1) << c.what << "\n" << r.error;
    if (c.told.empty()) {
      EXPECT_EQ(r.error.find("orvex: "), std::string::npos) << c.what << ": " << r.error;
    } else {
      // One line, naming the user's own file.
      EXPECT_NE(r.error.find("orvex: " + c.file + ": "), std::string::npos) << c.what << ": " << r.error;
      EXPECT_NE(r.error.find(c.told), std::string::npos) << c.what << ": " << r.error;
      EXPECT_EQ(r.error.find("orvex: ", r.error.find("orvex: ") + 1), std::string::npos) << c.what << ": " << r.error;
    }
    const std::vector<std::string> shown = boxes();
    EXPECT_EQ(shown.size(), c.box ? 1u : 0u) << c.what;
    for (const std::string& text : shown)
      EXPECT_NE(text.find(c.file), std::string::npos) << c.what << ": the box names " << text;
    EXPECT_EQ(listing(data), dataBefore) << c.what;
    EXPECT_EQ(listing(user), userBefore) << c.what;
    EXPECT_EQ(listing(plat::fs::machineSettingsFolder()), machineBefore) << c.what;
  }
  EXPECT_TRUE(fs::is_directory(data / "Install"));
  std::vector<std::string> codes;
  EXPECT_EQ(orv::COrv_BookInfo().GetInstalledBooks(codes), 0);
}

// A library named without a folder is installed from a copy: the user's
// file stays where it was, also when the same file lies in BackUp already.
TEST_F(LoadSwitchProcess, TheUsersOwnFileIsNeverMovedOrDeleted) {
  library(user / "mybook.tvl", "MYBOOK");
  const auto userBefore = listing(user);
  RunResult r = run({"-load", "mybook.tvl", "-nostart"});
  EXPECT_EQ(r.exitCode, 0) << r.error;
  EXPECT_EQ(listing(user), userBefore);
  EXPECT_TRUE(orv::COrv_BookInfo().IsInstalled("MYBOOK"));

  // Again, with the identical file in BackUp and the book installed.
  r = run({"-load", "mybook.tvl", "-nostart"});
  EXPECT_EQ(r.exitCode, 0) << r.error;
  EXPECT_EQ(listing(user), userBefore);

  // An indirection file that names it is used once and removed; the file
  // it names stays.
  fs::create_directories(plat::fs::windowsFolder());
  tvtest::writeFile(plat::fs::windowsFolder() / "next.txt", (user / "mybook.tvl").string() + "\n");
  r = run({"-load", "@@@next.txt", "-nostart"});
  EXPECT_EQ(r.exitCode, 0) << r.error;
  EXPECT_FALSE(fs::exists(plat::fs::windowsFolder() / "next.txt"));
  EXPECT_EQ(listing(user), userBefore);
}

}  // namespace

namespace {

// Without any audio device the program says so in its box and ends with a
// non-zero exit code, so that a script starting it learns that it did not
// run.
TEST_F(LoadSwitchProcess, NoAudioDeviceEndsWithItsBoxAndANonZeroExitCode) {
  env.insert("TALVANE_TEST_MODE", "none");
  boxes();
  const RunResult r = run({});
  EXPECT_NE(r.exitCode, 0) << r.error;
  EXPECT_NE(r.exitCode, -1) << "the program did not end by itself";
  EXPECT_EQ(boxes(), std::vector<std::string>{"Audio device not available"});
}

}  // namespace

// --- Damaged speech in a library ----------------------------------------------------

namespace {

void put16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
void put32(std::string& s, size_t at, uint32_t v) { plat::riff::putU32(s.data() + at, v); }

// A library of one Talvane "SPEECH" whose Echomark 1 speaks 8000 bytes of
// 16-bit mono samples cut into two segments. The speech is kept as a WAV
// file is split in a library: its 44-byte header scrambled in the
// Echomark's two normal-speed header records (bytes 6 to 49 of their
// payloads), the rest (samples, segment chunk) as member "001". withSpeech
// rewrites that WAV with `spoil` and stores it back the same way; the
// member can only shrink.
class SpeechLibrary {
 public:
  static constexpr size_t kData = 8000;
  static constexpr size_t kSegments = 44 + kData;  // the segment chunk

  SpeechLibrary() {
    tvtools::book::Book b;
    b.code = "SPEECH";
    b.title = "Speech";
    tvtools::book::Echomark e;
    e.introduction = "One";
    e.wordText = "one two";
    e.normalWav = tvtools::book::makeWav(kData / 2, {0.5f});
    b.echomarks = {e};
    const fs::path p = tvtest::sandbox().base / "speech-source.tvl";
    std::string error;
    EXPECT_TRUE(tvtools::book::writeLibraryFile(p, {b}, error)) << error;
    bytes_ = tvtest::readFile(p);
    fs::remove(p);
    records_[0] = booktest::recordPayload(bytes_, 9, 1);
    records_[1] = booktest::recordPayload(bytes_, 9, 2);
    speech_ = booktest::member(bytes_, "001");
    EXPECT_NE(records_[1], std::string::npos);
    EXPECT_NE(speech_.offset, std::string::npos);
  }

  // The speech as the player rebuilds it.
  std::string wav() const {
    std::string header = bytes_.substr(records_[0] + 6, 26) + bytes_.substr(records_[1], 18);
    COrv_Scrambler().Scramble(header.data(), header.size(), 0, 0);
    return header + bytes_.substr(speech_.offset, speech_.length);
  }

  std::string withSpeech(const std::function<void(std::string&)>& spoil) const {
    std::string w = wav();
    spoil(w);
    std::string header = w.substr(0, 44);
    header.resize(44, '\0');
    COrv_Scrambler().Scramble(header.data(), header.size(), 1, 0);
    std::string out = bytes_;
    out.replace(records_[0] + 6, 26, header.substr(0, 26));
    out.replace(records_[1], 18, header.substr(26));
    const std::string rest = w.size() > 44 ? w.substr(44) : std::string();
    EXPECT_LE(rest.size(), speech_.length);
    out.replace(speech_.offset, rest.size(), rest);
    put32(out, speech_.record + 7, static_cast<uint32_t>(rest.size()));
    return out;
  }

  // The library saying it has one Echomark more than its records hold.
  std::string withEmptyLastEchomark() const {
    std::string out = bytes_;
    const booktest::Place id = booktest::member(out, "ID ");
    put16(out, id.offset + 56, 2);
    return out;
  }

  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
  size_t records_[2] = {std::string::npos, std::string::npos};
  booktest::Place speech_;
};

// Nothing damaged is ever registered: speech that is no whole, valid WAV
// file the player can play, and an Echomark without records, refuse the
// library with the Talvane, the Echomark and the member named, in the
// box and in the one line on standard error, and leave the data path as it
// was.
TEST_F(LoadSwitchProcess, ALibraryWithDamagedSpeechIsRefusedNamingItsEchomarkAndMember) {
  const SpeechLibrary lib;
  const size_t seg = SpeechLibrary::kSegments;
  struct Case {
    const char* what;
    std::function<void(std::string&)> spoil;
  };
  const std::vector<Case> cases{
      {"cut to 44 bytes", [](std::string& w) { w.resize(44); }},
      {"cut to 60 bytes", [](std::string& w) { w.resize(60); }},
      {"cut inside its samples", [](std::string& w) { w.resize(44 + 4000); }},
      {"0 channels", [](std::string& w) { put16(w, 22, 0); }},
      {"3 channels", [](std::string& w) { put16(w, 22, 3); }},
      {"rate 0", [](std::string& w) { put32(w, 24, 0); }},
      {"7 bits", [](std::string& w) { put16(w, 34, 7); }},
      {"32-bit samples", [](std::string& w) { put16(w, 34, 32), put16(w, 32, 4), put32(w, 28, 4 * 11025); }},
      {"block align 0", [](std::string& w) { put16(w, 32, 0); }},
      {"byte rate 0", [](std::string& w) { put32(w, 28, 0); }},
      {"a float format tag", [](std::string& w) { put16(w, 20, 3); }},
      {"format tag 0", [](std::string& w) { put16(w, 20, 0); }},
      {"a huge RIFF size", [](std::string& w) { put32(w, 4, 0xFFFFFFF0u); }},
      {"a huge data size", [](std::string& w) { put32(w, 40, 0xFFFFFFF0u); }},
      {"a data size past the file", [](std::string& w) { put32(w, 40, SpeechLibrary::kData + 2000); }},
      {"a huge format chunk", [](std::string& w) { put32(w, 16, 0xFFFFFFF0u); }},
      {"a format chunk of 2 bytes", [](std::string& w) { put32(w, 16, 2); }},
      {"no RIFF tag", [](std::string& w) { w.replace(0, 4, "RIFX"); }},
      {"no WAVE form", [](std::string& w) { w.replace(8, 4, "AVI "); }},
      {"no format chunk", [](std::string& w) { w.replace(12, 4, "fmx "); }},
      {"no data chunk", [](std::string& w) { w.replace(36, 4, "dat_"); }},
      {"a segment count past its chunk", [seg](std::string& w) { put16(w, seg + 8, 0xFFFF); }},
      {"segments that do not cover the samples", [seg](std::string& w) { put32(w, seg + 10 + 4, 1); }},
      {"a segment chunk cut short", [seg](std::string& w) { w.resize(seg + 12); }},
  };
  for (const Case& c : cases) {
    tvtest::writeFile(user / "speech.tvl", lib.withSpeech(c.spoil));
    const auto dataBefore = listing(data), userBefore = listing(user);
    boxes();
    const RunResult r = run({"-load", "speech.tvl", "-nostart"});
    EXPECT_EQ(r.exitCode, 1) << c.what << "\n" << r.error;
    EXPECT_NE(r.error.find("orvex: speech.tvl: Talvane SPEECH: "), std::string::npos) << c.what << ": " << r.error;
    EXPECT_NE(r.error.find("Echomark 1"), std::string::npos) << c.what << ": " << r.error;
    EXPECT_NE(r.error.find("\"001\""), std::string::npos) << c.what << ": " << r.error;
    const std::vector<std::string> shown = boxes();
    ASSERT_EQ(shown.size(), 1u) << c.what;
    EXPECT_NE(shown[0].find("speech.tvl"), std::string::npos) << c.what << ": " << shown[0];
    EXPECT_NE(shown[0].find("Echomark 1"), std::string::npos) << c.what << ": " << shown[0];
    EXPECT_EQ(listing(data), dataBefore) << c.what;
    EXPECT_EQ(listing(user), userBefore) << c.what;
  }

  tvtest::writeFile(user / "speech.tvl", lib.withEmptyLastEchomark());
  boxes();
  RunResult r = run({"-load", "speech.tvl", "-nostart"});
  EXPECT_EQ(r.exitCode, 1) << r.error;
  EXPECT_NE(r.error.find("orvex: speech.tvl: Talvane SPEECH: Echomark 2 has no records"), std::string::npos) << r.error;
  EXPECT_EQ(boxes().size(), 1u);
  std::vector<std::string> codes;
  EXPECT_EQ(orv::COrv_BookInfo().GetInstalledBooks(codes), 0);

  // The undamaged library installs: the table above spoils nothing else.
  tvtest::writeFile(user / "speech.tvl", lib.bytes());
  r = run({"-load", "speech.tvl", "-nostart"});
  EXPECT_EQ(r.exitCode, 0) << r.error;
  EXPECT_TRUE(orv::COrv_BookInfo().IsInstalled("SPEECH"));
}

}  // namespace

namespace {

// What an installation killed on the way left (a copy in the install
// folder, a content file nothing registers, an unpacking folder) is
// removed at the next start; a file no journal names stays.
TEST_F(LoadSwitchProcess, TheNextStartRemovesWhatAKilledInstallationLeft) {
  const fs::path install = data / "Install", talvanes = data / "Talvanes";
  tvtest::writeFile(install / "X.TPK", "a copy cut short");
  tvtest::writeFile(install / ".install-p999999999.journal", (install / "X.TPK").string() + "\n");
  tvtest::writeFile(talvanes / "Hamlet.tvl", "a content file never registered");
  tvtest::writeFile(talvanes / ".install-p999999998.journal", (talvanes / "Hamlet.tvl").string() + "\n");
  tvtest::writeFile(talvanes / "Mine.tvl", "named by no journal");
  const fs::path unpack = plat::fs::configRoot() / "unpack" / "p999999997";
  tvtest::writeFile(unpack / "part.tmp", "unpacked");
  ASSERT_EQ(run({"-instal"}).exitCode, 0);
  EXPECT_FALSE(fs::exists(install / "X.TPK"));
  EXPECT_FALSE(fs::exists(install / ".install-p999999999.journal"));
  EXPECT_FALSE(fs::exists(talvanes / "Hamlet.tvl"));
  EXPECT_FALSE(fs::exists(talvanes / ".install-p999999998.journal"));
  EXPECT_FALSE(fs::exists(unpack));
  EXPECT_TRUE(fs::exists(talvanes / "Mine.tvl"));
}

// The player's copy of a file the user keeps unreadable to others has the
// mode of a new file: the installed book reads it like any other.
TEST_F(LoadSwitchProcess, ACopyGetsTheModeOfANewFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "only the superuser reads a file of mode 000";
  library(user / "locked.tvl", "LOCKED");
  fs::permissions(user / "locked.tvl", fs::perms::none);
  const RunResult r = run({"-load", "locked.tvl", "-nostart"});
  EXPECT_EQ(r.exitCode, 0) << r.error;
  ASSERT_TRUE(orv::COrv_BookInfo().IsInstalled("LOCKED"));
  const fs::path source = orv::COrv_BookInfo("LOCKED").GetSourceFile(-1, false);
  const fs::perms p = fs::status(source).permissions();
  EXPECT_NE(p & fs::perms::owner_read, fs::perms::none) << source;
  EXPECT_NE(p & fs::perms::others_read, fs::perms::none) << source;
  EXPECT_EQ(fs::status(user / "locked.tvl").permissions(), fs::perms::none) << "the user's own file is untouched";
}

// A packet whose speech is in a sample format the player does not play is
// refused naming the format, on the refusal line and in the box; 16-bit
// speech of the same packet installs.
TEST_F(LoadSwitchProcess, SpeechInASampleFormatThePlayerDoesNotPlayIsNamed) {
  struct Case {
    const char* file;
    std::string wav;
    const char* named;  // nullptr: installed
  };
  const std::vector<Case> cases{
      {"pcm16.tpk", installtest::wavIn(1, 16), nullptr},
      {"pcm32.tpk", installtest::wavIn(1, 32), "32-bit PCM"},
      {"float32.tpk", installtest::wavIn(3, 32), "32-bit float"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    tvtools::PacketSpec spec = installtest::packetSpec("SAMPLES");
    for (tvtools::PacketMember& m : spec.books[0].members)
      if (m.name == "002") m.data = c.wav;
    ASSERT_TRUE(tvtools::writePacket(user / c.file, spec));
    boxes();
    const RunResult r = run({"-load", c.file, "-nostart"});
    std::vector<std::string> codes;
    orv::COrv_BookInfo().GetInstalledBooks(codes);
    if (!c.named) {
      EXPECT_EQ(r.exitCode, 0) << r.error;
      EXPECT_EQ(r.error.find("orvex: "), std::string::npos) << r.error;
      EXPECT_EQ(codes, std::vector<std::string>{"SAMPLES"});
      orv::COrv_BookInfo("SAMPLES").Unregister();
      continue;
    }
    const std::string reason = std::string("speech member \"002\": sample format ") + c.named + " cannot be played";
    EXPECT_EQ(r.exitCode, 1) << r.error;
    EXPECT_NE(r.error.find("orvex: " + std::string(c.file) + ": " + reason + "\n"), std::string::npos) << r.error;
    const std::vector<std::string> shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find(reason), std::string::npos) << shown[0];
    EXPECT_TRUE(codes.empty());
  }
}

}  // namespace
