#include "player/book/packet_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/file_io.h"
#include "platform/fs/fault.h"
#include "platform/fs/program_folder.h"
#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "player/env/environment.h"
#include "player/env/registry_language_settings.h"
#include "shared/language/language_settings.h"
#include "shared/scrambler/scrambler.h"
#include "tools/packet/packet_writer.h"

namespace {

namespace fs = std::filesystem;
using tvtools::PacketBook;
using tvtools::PacketEntry;
using tvtools::PacketSpec;

std::uint32_t u32At(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

void putU32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

std::string pattern(std::size_t n, unsigned seed = 1) {
  std::string s(n, '\0');
  unsigned x = seed;
  for (auto& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  return s;
}

PacketBook book(std::string code, std::string title, std::vector<tvtools::PacketMember> members) {
  PacketBook b;
  b.code = std::move(code);
  b.title = std::move(title);
  b.members = std::move(members);
  return b;
}

// Every test works in its own sandbox; the working folder of the reader is
// the configuration root's, the containers lie in "media".
class PacketFileTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(media()); }

  fs::path media() const { return tvtest::sandbox().base / "media"; }
  fs::path work() const { return tvtest::sandbox().configRoot / "unpack"; }

  std::string write(const std::string& name, const std::string& bytes) {
    fs::path p = media() / name;
    tvtest::writeFile(p, bytes);
    return p.string();
  }
  std::string write(const std::string& name, const PacketSpec& spec) {
    return write(name, tvtools::buildPacket(spec));
  }

  std::size_t filesIn(const fs::path& folder) const {
    std::error_code ec;
    if (!fs::exists(folder, ec)) return 0;
    std::size_t n = 0;
    for (auto it = fs::directory_iterator(folder); it != fs::directory_iterator(); ++it) ++n;
    return n;
  }

  static PacketSpec twoBooks() {
    PacketSpec spec;
    spec.headerValue = 0x01020304;
    spec.trailerWord = 0xBEEF;
    spec.contentVersion = 2;
    spec.audioFlag = '+';
    PacketBook a = book("ABC", "First book", {{"ID ", "id-data", 0}, {"S01", pattern(700), 1}});
    a.description = "A description";
    a.category = 4;
    a.difficulty = 2;
    a.language = 7;
    spec.books.push_back(a);
    spec.books.push_back(book("XYZ_2", "Second", {{"INI", "[x]\r\n", 0}, {"001", pattern(3000, 9), 0}}));
    return spec;
  }

  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped{sink};
  plat::fs::FaultScope faults;
};

std::string errorCode(const COrv_PacketFile& p) {
  return std::to_string(p.GetLastError().first) + "." + std::to_string(p.GetLastError().second);
}

// --- Layout written by the packet writer --------------------------------------

TEST_F(PacketFileTest, WriterPlacesEveryFieldAtItsOffset) {
  PacketSpec spec = twoBooks();
  spec.compression = 0;
  spec.entries.push_back({"MF1ADDON", "addon", false, true});
  const std::string bytes = tvtools::buildPacket(spec);
  const std::size_t a = 16 + 5;
  EXPECT_EQ(bytes.substr(0, 4), std::string("TPK\0", 4));
  EXPECT_EQ(u32At(bytes, 4), 0x01020304u);
  EXPECT_EQ(u32At(bytes, 8), a);
  EXPECT_EQ(u32At(bytes, 12), 5u);                    // entry size
  EXPECT_EQ(bytes[12 + 6], 1);                        // name scrambled
  EXPECT_NE(bytes.substr(12 + 7, 8), "MF1ADDON");     // ... not in plain text
  EXPECT_EQ(bytes.substr(12 + 16, 5), "addon");
  const std::size_t tr = 12 + a;
  EXPECT_EQ(bytes.substr(tr, 5), std::string(5, '\0'));
  EXPECT_EQ(u32At(bytes, tr + 5), 20u + 2 * 457);
  const std::string content = tvtools::buildContent(spec);
  EXPECT_EQ(u32At(bytes, tr + 9), content.size());
  EXPECT_EQ(static_cast<unsigned char>(bytes[tr + 13]), 0xEF);
  EXPECT_EQ(static_cast<unsigned char>(bytes[tr + 14]), 0xBE);
  EXPECT_EQ(bytes[tr + 16], 2);
  EXPECT_EQ(bytes[tr + 17], 2);
  EXPECT_EQ(bytes[tr + 18], 0);
  EXPECT_EQ(bytes[tr + 19], '+');
  const std::size_t s1 = tr + 20;
  EXPECT_EQ(std::string(bytes.c_str() + s1), "ABC");
  EXPECT_EQ(std::string(bytes.c_str() + s1 + 9), "First book");
  EXPECT_EQ(std::string(bytes.c_str() + s1 + 40), "A description");
  EXPECT_EQ(bytes.substr(s1 + 295, 3), std::string("\x04\x02\x07", 3));
  EXPECT_EQ(bytes.substr(s1 + 298, 155), std::string(155, '\0'));
  const std::size_t part1 = 16 + 2 * 12 + 7 + 700;
  EXPECT_EQ(u32At(bytes, s1 + 453), part1);
  EXPECT_EQ(bytes.size(), 12 + a + 20 + 2 * 457 + content.size());
  // The first part: member count, then records whose offsets count from 1.
  EXPECT_EQ(content[0], 2);
  EXPECT_EQ(content.substr(16, 3), "ID ");
  EXPECT_EQ(u32At(content, 16 + 3), 16u + 24 + 1);
  EXPECT_EQ(u32At(content, 16 + 7), 7u);
  EXPECT_EQ(u32At(content, 28 + 3), 16u + 24 + 7 + 1);
  EXPECT_EQ(content[28 + 11], 1);
  EXPECT_EQ(content.substr(40, 7), "id-data");
}

// --- Validate ------------------------------------------------------------------

TEST_F(PacketFileTest, ValidateChecksLengthDirectoryAndTag) {
  const std::string good = tvtools::buildPacket(twoBooks());
  const std::size_t tr = 12;  // no entries
  std::string wrongT = good;  // T one byte short, G one byte longer: same length
  putU32(wrongT, tr + 5, u32At(good, tr + 5) - 1);
  putU32(wrongT, tr + 9, u32At(good, tr + 9) + 1);
  std::string badTag = good;
  badTag[2] = 'X';
  std::string hugeA = good;
  hugeA[11] = '\x7F';

  constexpr const char* kDownload = "This file was incorrectly downloaded !";
  constexpr const char* kFormat = "This file has an incorrect format !";
  struct Case {
    const char* what;
    std::string bytes;
    int result;
    int message;
    const char* code;
    const char* text;
  } cases[] = {
      {"exact", good, 1, 0, "0.0", ""},
      {"one byte more", good + "x", 0, 9104, "798.750", kDownload},
      {"one byte less", good.substr(0, good.size() - 1), 0, 9104, "798.750", kDownload},
      {"entry area past the end", hugeA, 0, 9104, "798.750", kDownload},
      {"wrong directory size", wrongT, 0, 9103, "818.750", kFormat},
      {"bad tag", badTag, 0, 9103, "776.750", kFormat},
      {"short file", "TP", 0, 9103, "776.750", kFormat},
      {"book content file", std::string("CD\x03\0\1\0\0\0", 8) + pattern(100), 1, 0, "0.0", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sink.clear();
    const std::string path = write("v.tpk", c.bytes);
    COrv_PacketFile p;
    EXPECT_EQ(p.Validate(path, "", true), c.result);
    EXPECT_EQ(p.GetLastError().message, c.message);
    EXPECT_EQ(errorCode(p), c.code);
    ASSERT_EQ(sink.boxes().size(), c.result ? 0u : 1u);
    if (!c.result) {
      const auto& box = sink.last().request;
      EXPECT_EQ(box.caption, "Talvane Player: Error Window");
      EXPECT_EQ(box.icon, plat::ui::Icon::Error);
      // The code, then the file name, then the message.
      EXPECT_EQ(box.text, std::string("Error Code:  ") + c.code + "\n\n" + path + " \n\n " + c.text);
    }
    // Without reporting nothing is shown but the error is the same.
    sink.clear();
    COrv_PacketFile q;
    EXPECT_EQ(q.Validate(media().string(), "v.tpk", false), c.result);
    EXPECT_EQ(errorCode(q), c.code);
    EXPECT_TRUE(sink.boxes().empty());
  }
}

TEST_F(PacketFileTest, ValidateReportsAMissingFileWithTheMessageFirst) {
  COrv_PacketFile p;
  const std::string path = (media() / "none.tpk").string();
  EXPECT_EQ(p.Validate(path, "", true), 0);
  EXPECT_EQ(sink.last().request.text, "Error Code:  739.750\n\nCan't open file ! \n\n " + path);
}

// The boxes speak the interface language the learner chose, found as the
// program finds it before its main window exists: the choice stored in the
// registry and the language's module in the program folder. What the
// module lacks comes in English.
TEST_F(PacketFileTest, BoxesComeInTheStoredInterfaceLanguage) {
  const fs::path program = tvtest::sandbox().base / "program";
  tvtest::writeFile(program / "Orv_MLGER.res",
                    "TVRES 1\n"
                    "string 9002 Talvane Player: Fehlerfenster\n"
                    "string 9004 Talvane Player: Fragefenster\n"
                    "string 9007 Fehlercode: \n"
                    "string 9104 Diese Datei wurde fehlerhaft heruntergeladen !\n"
                    "string 9203 Der Talvane\\n\\n%s\\n\\nist schon installiert. Trotzdem installieren?\n");
  ::setenv(plat::fs::kProgramFolderVariable, program.c_str(), 1);
  orv::InstallRegistryLanguageSettings();
  orv::COrv_Environment().SetInterfaceLanguage(4);

  const std::string good = tvtools::buildPacket(twoBooks());
  std::string wrongT = good;
  putU32(wrongT, 12 + 5, u32At(good, 12 + 5) - 1);
  putU32(wrongT, 12 + 9, u32At(good, 12 + 9) + 1);
  const std::string shortPath = write("short.tpk", good.substr(0, good.size() - 1));
  const std::string wrongPath = write("wrong.tpk", wrongT);
  EXPECT_EQ(COrv_PacketFile().Validate(shortPath, "", true), 0);
  EXPECT_EQ(COrv_PacketFile().Validate(wrongPath, "", true), 0);
  const std::string goodPath = write("good.tpk", good);
  sink.setScript({plat::ui::IDYES});
  COrv_PacketFile asking;
  asking.SetInstalledCheck([](const std::string&) { return true; });
  EXPECT_EQ(asking.ConfirmReinstall(goodPath, "", 1, true), 1);

  ::unsetenv(plat::fs::kProgramFolderVariable);
  tv::language::setLanguageSettings(nullptr);
  const auto boxes = sink.boxes();
  ASSERT_EQ(boxes.size(), 3u);
  const auto& download = boxes[0].request;
  EXPECT_EQ(download.caption, "Talvane Player: Fehlerfenster");
  EXPECT_EQ(download.text, "Fehlercode:  798.750\n\n" + shortPath + " \n\n Diese Datei wurde fehlerhaft heruntergeladen !");
  EXPECT_EQ(boxes[1].request.text,
            "Fehlercode:  818.750\n\n" + wrongPath + " \n\n This file has an incorrect format !");
  const auto& question = boxes[2].request;
  EXPECT_EQ(question.caption, "Talvane Player: Fragefenster");
  EXPECT_EQ(question.text, "Der Talvane\n\nFirst book\n\nist schon installiert. Trotzdem installieren?");
}

TEST_F(PacketFileTest, BookContentFileGetsALibraryCopy) {
  const std::string bytes = std::string("CD\x03\0\1\0\0\0", 8) + pattern(64);
  const std::string path = write("book.tpk", bytes);
  std::vector<std::string> installed;
  COrv_PacketFile p;
  p.SetLibraryInstaller([&](const std::string& folder, const std::string& name) {
    installed.push_back(folder + "|" + name);
  });
  p.SetBackupFolder((tvtest::sandbox().base / "BackUp").string());
  EXPECT_EQ(p.MakeLibraryCopy(path), "");  // not known as a book file yet
  ASSERT_EQ(p.Validate(path, "", true), 1);
  EXPECT_TRUE(p.GetBookFileFlag());
  const std::string copy = p.MakeLibraryCopy(path);
  EXPECT_EQ(copy, (media() / "book.tvl").string());
  EXPECT_EQ(tvtest::readFile(copy), bytes);
  EXPECT_EQ(installed, std::vector<std::string>{media().string() + "/|book.tpk"});

  // From the BackUp folder the copy is made but not installed again.
  installed.clear();
  fs::create_directories(tvtest::sandbox().base / "BackUp");
  const std::string inBackup = (tvtest::sandbox().base / "BackUp" / "b.tpk").string();
  tvtest::writeFile(inBackup, bytes);
  EXPECT_EQ(p.MakeLibraryCopy(inBackup), (tvtest::sandbox().base / "BackUp" / "b.tvl").string());
  EXPECT_TRUE(installed.empty());
}

TEST_F(PacketFileTest, BookContentFileIsALibraryWithoutEntries) {
  const std::string path = write("lib.tvl", std::string("CD\x03\0\1\0\0\0", 8) + pattern(64));
  COrv_PacketFile p;
  EXPECT_EQ(p.ScanEntries(path, ""), 1);
  EXPECT_EQ(p.HasEntry(path, "", "ID "), 0);
  char buffer[16] = {};
  std::size_t size = sizeof buffer;
  EXPECT_EQ(p.ReadEntry(path, "", "ID ", nullptr, size), 0);
  EXPECT_EQ(size, 0u);
  size = sizeof buffer;
  EXPECT_EQ(p.ReadEntry(path, "", "ID ", buffer, size), 0);
  EXPECT_EQ(size, 0u);
  EXPECT_TRUE(sink.boxes().empty());
  EXPECT_EQ(filesIn(work()), 0u);
}

// --- Names ----------------------------------------------------------------------

TEST_F(PacketFileTest, PathPartsAndTitle) {
  COrv_PacketFile p;
  p.SetPathParts("/m/dir", "a.x.tpk");
  EXPECT_EQ(p.GetFolder(), "/m/dir/");
  EXPECT_EQ(p.GetPath(), "/m/dir/a.x.tpk");
  EXPECT_EQ(p.GetTitle(), "a");
  p.SetPathParts("/m/other/plain", "");
  EXPECT_EQ(p.GetFolder(), "/m/other/");
  EXPECT_EQ(p.GetName(), "plain");
  EXPECT_EQ(p.GetTitle(), "plain");
}

// --- Slots ----------------------------------------------------------------------

TEST_F(PacketFileTest, ReadSlotReadsUpToTheAskedSlotAndNoFurther) {
  const std::string path = write("s.tpk", twoBooks());
  COrv_PacketFile p;
  EXPECT_EQ(p.GetSlotCount(path, ""), 2);
  std::uint8_t buf[COrv_PacketFile::kSlotSize];
  ASSERT_EQ(p.ReadSlot(path, "", buf, 1), 1);
  EXPECT_EQ(p.GetSlotCode(), "ABC");
  EXPECT_EQ(p.GetSlotTitle(), "First book");
  EXPECT_EQ(p.GetSlotDescription(), "A description");
  EXPECT_EQ(p.GetSlotByte(0), 4);
  EXPECT_EQ(p.GetSlotByte(2), 7);
  EXPECT_EQ(p.GetSlotSize(), static_cast<std::int32_t>(tvtools::buildPart(twoBooks().books[0]).size()));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf)), "ABC");
  EXPECT_EQ(p.GetHeaderValue(), 0x01020304);
  EXPECT_EQ(p.GetTrailerWord(), 0xBEEF);
  EXPECT_EQ(p.GetContentVersion(), 2);
  EXPECT_EQ(p.GetAudioFlag(), '+');
  ASSERT_EQ(p.ReadSlot(path, "", buf, 2), 1);
  EXPECT_EQ(p.GetSlotCode(), "XYZ_2");
  EXPECT_EQ(p.ReadSlot(path, "", buf, 0), 0);
  EXPECT_EQ(p.ReadSlot(path, "", buf, 3), 0);
  EXPECT_TRUE(sink.boxes().empty());

  // A slot count above what the directory holds stops at the directory.
  std::string bytes = tvtools::buildPacket(twoBooks());
  bytes[12 + 17] = 9;
  const std::string lying = write("l.tpk", bytes);
  EXPECT_EQ(p.ReadSlot(lying, "", buf, 2), 1);
  EXPECT_EQ(p.ReadSlot(lying, "", buf, 3), 0);

  EXPECT_EQ(p.ReadSlot((media() / "none").string(), "", buf, 1), 0);
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.last().request.text, (media() / "none").string() + ": No such file or directory");
}

TEST_F(PacketFileTest, ConfirmReinstallAsksOnlyForInstalledBooks) {
  const std::string path = write("c.tpk", twoBooks());
  struct Case {
    bool installed;
    bool ask;
    int answer;
    int result;
    bool boxShown;
  } cases[] = {
      {false, true, 0, 1, false},           {false, false, 0, 1, false},
      {true, true, plat::ui::IDYES, 1, true}, {true, true, plat::ui::IDNO, 0, true},
      {true, false, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.installed << c.ask << c.answer);
    sink.clear();
    if (c.answer) sink.setScript({c.answer});
    COrv_PacketFile p;
    p.SetInstalledCheck([&](const std::string& code) { return c.installed && code == "XYZ_2"; });
    EXPECT_EQ(p.ConfirmReinstall(path, "", 2, c.ask), c.result);
    ASSERT_EQ(sink.boxes().size(), c.boxShown ? 1u : 0u);
    if (c.boxShown) {
      const auto& box = sink.last().request;
      EXPECT_EQ(box.caption, "Talvane Player: Question Window");
      EXPECT_EQ(box.text, "The Talvane:\n\nSecond\n\nhas already been installed. Do you want to install it anyway?");
      EXPECT_EQ(box.buttons, plat::ui::Buttons::YesNo);
      EXPECT_EQ(box.icon, plat::ui::Icon::Question);
      EXPECT_EQ(box.modality, plat::ui::Modality::Task);
    }
  }
}

TEST_F(PacketFileTest, ConfirmReinstallRefusesSlotsOutsideTheDirectory) {
  const std::string path = write("c.tpk", twoBooks());
  for (int n : {0, 3, -1}) {
    SCOPED_TRACE(n);
    sink.clear();
    COrv_PacketFile p;
    EXPECT_EQ(p.ConfirmReinstall(path, "", n, true), 0);
    EXPECT_EQ(errorCode(p), "993.750");
    ASSERT_EQ(sink.boxes().size(), 1u);
    EXPECT_EQ(sink.last().request.text,
              "Error Code:  993.750\n\n" + path + " \n\n This file does not contain the selected Talvane !");
    sink.clear();
    EXPECT_EQ(p.ConfirmReinstall(path, "", n, false), 0);
    EXPECT_TRUE(sink.boxes().empty());
  }
  COrv_PacketFile p;
  EXPECT_EQ(p.ConfirmReinstall((media() / "none").string(), "", 1, false), 0);
  EXPECT_EQ(errorCode(p), "970.750");
}

// --- Entries ----------------------------------------------------------------------

TEST_F(PacketFileTest, EntriesAreFoundAndReadInEveryForm) {
  const std::string big = pattern(10000, 3);
  PacketSpec spec = twoBooks();
  spec.entries = {{"PLAIN", "stored bytes", false, false},
                  {"MF1ADDON", big, true, true},
                  {"LAST", "z", false, true}};
  for (std::size_t count : {1u, 2u, 3u}) {
    SCOPED_TRACE(count);
    PacketSpec s = spec;
    s.entries.resize(count);
    const std::string path = write("e.tpk", s);
    COrv_PacketFile p;
    ASSERT_EQ(p.Validate(path, "", true), 1);
    EXPECT_EQ(p.ScanEntries(path, ""), 1);
    for (std::size_t i = 0; i < spec.entries.size(); ++i) {
      const PacketEntry& e = spec.entries[i];
      SCOPED_TRACE(e.name);
      const bool present = i < count;
      EXPECT_EQ(p.HasEntry(path, "", e.name), present ? 1 : 0);
      std::size_t size = 12345;
      EXPECT_EQ(p.ReadEntry(path, "", e.name, nullptr, size), present ? 1 : 0);
      if (!present) {
        EXPECT_EQ(size, 0u);
        continue;
      }
      ASSERT_EQ(size, e.data.size());
      std::vector<char> buf(size + 4, '#');
      std::size_t shortSize = size - 1;
      EXPECT_EQ(p.ReadEntry(path, "", e.name, buf.data(), shortSize), 0);
      EXPECT_EQ(shortSize, 1u);  // one byte missing
      std::size_t full = buf.size();
      ASSERT_EQ(p.ReadEntry(path, "", e.name, buf.data(), full), 1);
      EXPECT_EQ(full, e.data.size());
      EXPECT_EQ(std::string(buf.data(), full), e.data);
      EXPECT_EQ(buf[full], '#');
    }
    EXPECT_EQ(p.HasEntry(path, "", ""), 0);
    EXPECT_EQ(p.HasEntry(path, "", "MF1ADDONX"), 0);
  }
  EXPECT_TRUE(sink.boxes().empty());
  EXPECT_EQ(filesIn(media()), 1u);  // nothing unpacked beside the container
}

TEST_F(PacketFileTest, ReadEntryKeepsAnOpenFileOpen) {
  PacketSpec spec = twoBooks();
  spec.entries = {{"MF1ADDON", "addon data", true, false}};
  const std::string path = write("o.tpk", spec);
  COrv_PacketFile p;
  ASSERT_TRUE(p.Open(path, ""));
  std::size_t size = 0;
  EXPECT_EQ(p.ReadEntry("", "", "MF1ADDON", nullptr, size), 1);
  EXPECT_EQ(size, 10u);
  EXPECT_TRUE(p.IsOpen());
  const fs::path dest = tvtest::sandbox().base / "addon.bin";
  EXPECT_EQ(p.ExtractEntry(path, "", "MF1ADDON", dest), 1);
  EXPECT_EQ(tvtest::readFile(dest), "addon data");
}

TEST_F(PacketFileTest, MalformedEntriesEndTheWalk) {
  PacketSpec spec = twoBooks();
  spec.entries = {{"ONE", "abcd", false, false}, {"TWO", "efgh", false, false}};
  const std::string good = tvtools::buildPacket(spec);
  std::string overrun = good;  // first entry claims more than the area holds
  overrun[12] = 40;
  std::string negative = good;
  negative[12 + 3] = '\x80';
  std::string badCompression = good;
  badCompression[12 + 20 + 4] = 2;  // second entry
  std::string badGzip = good;
  badGzip[12 + 20 + 4] = 1;  // "efgh" is not gzip

  struct Case {
    const char* what;
    std::string bytes;
    int scan;
    int hasTwo;
    int readTwo;
  } cases[] = {
      {"overrun", overrun, 0, 0, 0},
      {"negative size", negative, 0, 0, 0},
      {"unknown compression", badCompression, 1, 1, 0},
      {"stored bytes flagged gzip", badGzip, 1, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = write("m.tpk", c.bytes);
    COrv_PacketFile p;
    EXPECT_EQ(p.ScanEntries(path, ""), c.scan);
    EXPECT_EQ(p.HasEntry(path, "", "TWO"), c.hasTwo);
    std::size_t size = 99;
    EXPECT_EQ(p.ReadEntry(path, "", "TWO", nullptr, size), c.readTwo);
    EXPECT_EQ(size, 0u);
  }
  COrv_PacketFile p;
  sink.clear();
  write("m.tpk", badGzip);
  std::size_t size = 0;
  p.ReadEntry(media().string(), "m.tpk", "TWO", nullptr, size);
  EXPECT_EQ(errorCode(p), "1340.750");
  EXPECT_EQ(p.GetLastError().message, 9104);
}

TEST_F(PacketFileTest, EntryUnpackingHasACeiling) {
  PacketSpec spec = twoBooks();
  spec.entries = {{"BIG", std::string(100000, 'a'), true, false}};
  const std::string path = write("b.tpk", spec);
  COrv_PacketFile p;
  p.SetEntryLimit(99999);
  std::size_t size = 0;
  EXPECT_EQ(p.ReadEntry(path, "", "BIG", nullptr, size), 0);
  p.SetEntryLimit(100000);
  EXPECT_EQ(p.ReadEntry(path, "", "BIG", nullptr, size), 1);
  EXPECT_EQ(size, 100000u);
}

// --- The tail ---------------------------------------------------------------------

TEST_F(PacketFileTest, ExtractContentUnpacksStoredAndGzipTails) {
  for (std::uint8_t compression : {0, 1}) {
    for (std::size_t n : {0u, 2047u, 2048u, 4096u, 3000000u}) {
      SCOPED_TRACE(testing::Message() << int(compression) << " " << n);
      PacketSpec spec = twoBooks();
      spec.compression = compression;
      const std::string data = pattern(n, static_cast<unsigned>(n));
      spec.rawTailSet = true;
      spec.rawTail = compression ? tvtools::gzipBytes(data) : data;
      const std::string path = write("t.tpk", spec);
      COrv_PacketFile p;
      ASSERT_EQ(p.Validate(path, "", true), 1);
      ASSERT_TRUE(p.Open(path, ""));
      ASSERT_EQ(p.ExtractContent(), 1);
      EXPECT_EQ(p.GetContentPath().parent_path().parent_path(), work());  // in this process's own folder
      EXPECT_EQ(p.GetContentLength(), n);
      EXPECT_TRUE(tvtest::readFile(p.GetContentPath()) == data);
      p.RemoveContent();
      EXPECT_EQ(filesIn(work()), 0u);
    }
  }
  EXPECT_EQ(filesIn(media()), 1u);
  EXPECT_TRUE(sink.boxes().empty());
}

TEST_F(PacketFileTest, UnknownTailCompressionUnpacksNothingWhateverTheTailSize) {
  for (std::size_t n : {0u, 2047u, 2048u, 4096u, 3000000u}) {
    SCOPED_TRACE(n);
    sink.clear();
    PacketSpec spec = twoBooks();
    spec.compression = 2;
    spec.rawTailSet = true;
    spec.rawTail = tvtools::gzipBytes(pattern(n, static_cast<unsigned>(n)));
    COrv_PacketFile p;
    ASSERT_TRUE(p.Open(write("u.tpk", spec), ""));
    EXPECT_EQ(p.ExtractContent(), 0);
    EXPECT_EQ(p.GetLastError().message, 9106);
    EXPECT_EQ(errorCode(p), "561.550");
    EXPECT_TRUE(p.GetContentPath().empty());
    EXPECT_EQ(filesIn(work()), 0u);
    EXPECT_EQ(sink.boxes().size(), 1u);
  }
}

TEST_F(PacketFileTest, ConcatenatedGzipMembersAreOneTail) {
  PacketSpec spec = twoBooks();
  spec.rawTailSet = true;
  spec.rawTail = tvtools::gzipBytes("first ") + tvtools::gzipBytes("second");
  COrv_PacketFile p;
  ASSERT_TRUE(p.Open(write("c.tpk", spec), ""));
  ASSERT_EQ(p.ExtractContent(), 1);
  EXPECT_EQ(tvtest::readFile(p.GetContentPath()), "first second");
}

TEST_F(PacketFileTest, DamagedTailsFailAndLeaveNothing) {
  const std::string gz = tvtools::gzipBytes(pattern(50000));
  std::string badMagic = gz;
  badMagic[0] = 0x1E;
  std::string badCrc = gz;
  badCrc[gz.size() - 6] ^= 0x55;
  std::string badLength = gz;
  badLength[gz.size() - 2] ^= 0x01;
  std::string badData = gz;
  badData[gz.size() / 2] ^= 0xFF;

  struct Case {
    const char* what;
    std::uint8_t compression;
    std::string tail;
    int message;
    const char* code;
  } cases[] = {
      {"bad magic", 1, badMagic, 9104, "545.550"},
      {"bad CRC", 1, badCrc, 9104, "545.550"},
      {"bad length", 1, badLength, 9104, "545.550"},
      {"damaged data", 1, badData, 9104, "545.550"},
      {"truncated", 1, gz.substr(0, gz.size() - 9), 9104, "545.550"},
      {"trailing bytes", 1, gz + "xyz", 9104, "545.550"},
      {"not gzip at all", 1, "plain text that zlib might pass through", 9104, "545.550"},
      {"empty gzip tail", 1, "", 9104, "545.550"},
      {"unknown compression", 2, gz, 9106, "561.550"},
  };
  // A damaged download names the packet; an unknown compression names no file.
  auto shown = [](int message, const std::string& code, const std::string& path) {
    return message == 9106 ? "Error Code:  " + code + "\n\nCompression format not supported !"
                           : "Error Code:  " + code + "\n\n" + path + " \n\n This file was incorrectly downloaded !";
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sink.clear();
    PacketSpec spec = twoBooks();
    spec.compression = c.compression;
    spec.rawTailSet = true;
    spec.rawTail = c.tail;
    const std::string path = write("d.tpk", spec);
    COrv_PacketFile p;
    ASSERT_TRUE(p.Open(path, ""));
    EXPECT_EQ(p.ExtractContent(), 0);
    EXPECT_EQ(p.GetLastError().message, c.message);
    EXPECT_EQ(errorCode(p), c.code);
    EXPECT_TRUE(p.GetContentPath().empty());
    EXPECT_EQ(filesIn(work()), 0u);
    ASSERT_EQ(sink.boxes().size(), 1u);
    EXPECT_EQ(sink.last().request.text, shown(c.message, c.code, path));
  }
}

TEST_F(PacketFileTest, ExtractContentFailuresOfTheFileSystemLeaveNothing) {
  PacketSpec spec = twoBooks();
  spec.rawTailSet = true;
  spec.rawTail = tvtools::gzipBytes(pattern(600000));
  const std::string path = write("f.tpk", spec);
  struct Case {
    const char* what;
    plat::fs::FaultOp op;
    std::string pathPart;
    int skip;
    const char* code;
  } cases[] = {
      {"second write of the content", plat::fs::FaultOp::Write, work().string(), 1, "541.550"},
      {"read of the tail", plat::fs::FaultOp::Read, "f.tpk", 1, "542.550"},
      {"creating the content file", plat::fs::FaultOp::Open, work().string(), 0, "537.550"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    COrv_PacketFile p;
    ASSERT_TRUE(p.Open(path, ""));
    plat::fs::injectFault(c.op, c.pathPart, ENOSPC, 1, c.skip);
    EXPECT_EQ(p.ExtractContent(), 0);
    plat::fs::clearFaults();
    EXPECT_EQ(errorCode(p), c.code);
    EXPECT_EQ(p.GetLastError().message, 9101);
    EXPECT_EQ(filesIn(work()), 0u);
  }
}

TEST_F(PacketFileTest, TailsPastTheFileOrTheCeilingAreRefused) {
  PacketSpec spec = twoBooks();
  spec.compression = 0;
  std::string bytes = tvtools::buildPacket(spec);
  const std::string path = write("g.tpk", bytes.substr(0, bytes.size() - 1));
  COrv_PacketFile p;
  ASSERT_TRUE(p.Open(path, ""));
  EXPECT_EQ(p.ExtractContent(), 0);
  EXPECT_EQ(errorCode(p), "521.550");

  for (std::uint8_t compression : {0, 1}) {
    SCOPED_TRACE(int(compression));
    spec.compression = compression;
    COrv_PacketFile q;
    q.SetTailLimit(tvtools::buildContent(spec).size() - 1);
    ASSERT_TRUE(q.Open(write("h.tpk", spec), ""));
    EXPECT_EQ(q.ExtractContent(), 0);
    EXPECT_EQ(errorCode(q), "547.550");
    EXPECT_EQ(filesIn(work()), 0u);
  }
}

TEST_F(PacketFileTest, PacketsOfOneTitleUnpackSideBySide) {
  const std::string a = write("a.x.tpk", twoBooks());
  const std::string b = write("a.y.tpk", twoBooks());
  fs::path kept;
  {
    COrv_PacketFile p, q;
    ASSERT_TRUE(p.Open(a, ""));
    ASSERT_TRUE(q.Open(b, ""));
    ASSERT_EQ(p.ExtractContent(), 1);
    ASSERT_EQ(q.ExtractContent(), 1);
    EXPECT_NE(p.GetContentPath(), q.GetContentPath());
    EXPECT_EQ(tvtest::readFile(p.GetContentPath()), tvtest::readFile(q.GetContentPath()));
    kept = p.GetContentPath();
  }
  EXPECT_FALSE(fs::exists(kept));  // the objects clean up after themselves
  EXPECT_EQ(filesIn(work()), 0u);
}

TEST_F(PacketFileTest, PartsAndMembersOfTheUnpackedContent) {
  const PacketSpec spec = twoBooks();
  const std::string path = write("p.tpk", spec);
  COrv_PacketFile p;
  ASSERT_TRUE(p.Open(path, ""));
  ASSERT_TRUE(p.ReadNextSlot());
  const std::uint64_t part2 = static_cast<std::uint64_t>(p.GetSlotSize());
  ASSERT_TRUE(p.ReadNextSlot());
  EXPECT_FALSE(p.ReadNextSlot());
  ASSERT_EQ(p.ExtractContent(), 1);
  std::uint64_t starts[] = {0, part2};
  for (std::size_t b = 0; b < 2; ++b) {
    ASSERT_TRUE(p.ReadPartHeader(starts[b]));
    ASSERT_EQ(p.GetMemberCount(), spec.books[b].members.size());
    for (int i = 1; i <= p.GetMemberCount(); ++i) {
      const auto& m = spec.books[b].members[i - 1];
      ASSERT_TRUE(p.ReadMemberRecord(starts[b], i));
      EXPECT_EQ(p.GetMemberName(), m.name);
      EXPECT_EQ(p.GetMemberFlag(), m.flag);
      ASSERT_EQ(p.GetMemberLength(), static_cast<std::int32_t>(m.data.size()));
      std::string data(m.data.size(), '\0');
      ASSERT_TRUE(p.ReadContentAt(starts[b] + p.GetMemberOffset() - 1, data.size(), data.data()));
      EXPECT_EQ(data, m.data);
    }
    EXPECT_FALSE(p.ReadMemberRecord(starts[b], 0));
    EXPECT_FALSE(p.ReadMemberRecord(starts[b], p.GetMemberCount() + 1));
  }
}

TEST_F(PacketFileTest, MemberRecordsPointingOutsideTheContentAreRefused) {
  PacketSpec spec;
  spec.books.push_back(book("A", "A", {{"S01", "0123456789", 0}}));
  const std::string content = tvtools::buildContent(spec);
  auto withRecord = [&](std::uint32_t offset, std::uint32_t length) {
    std::string c = content;
    for (int i = 0; i < 4; ++i) {
      c[16 + 3 + i] = static_cast<char>(offset >> (8 * i));
      c[16 + 7 + i] = static_cast<char>(length >> (8 * i));
    }
    return c;
  };
  struct Case {
    std::uint32_t offset, length;
    bool ok;
  } cases[] = {{29, 10, true}, {29, 11, false}, {0, 1, false}, {0x7FFFFFFF, 1, false},
               {29, 0x80000000u, false}, {39, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.offset << " " << c.length);
    PacketSpec s = spec;
    s.compression = 0;
    s.rawTailSet = true;
    s.rawTail = withRecord(c.offset, c.length);
    COrv_PacketFile p;
    ASSERT_TRUE(p.Open(write("r.tpk", s), ""));
    ASSERT_EQ(p.ExtractContent(), 1);
    ASSERT_TRUE(p.ReadPartHeader(0));
    EXPECT_EQ(p.ReadMemberRecord(0, 1), c.ok);
  }
}

// --- Updating records ------------------------------------------------------------

class PacketUpdateTest : public PacketFileTest {
 protected:
  // Two books behind one entry, so that every record lies past an entry area.
  static PacketSpec withEntry() {
    PacketSpec spec = twoBooks();
    spec.entries.push_back({"NOTE", "entry data", false, false});
    return spec;
  }
  // Where two contents first differ ("same" when they do not), so that a
  // failure names an offset rather than printing a whole container.
  static std::string firstDifference(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
      if (a[i] != b[i]) return "offset " + std::to_string(i);
    return a.size() == b.size() ? "same" : "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
  }
  std::string bytesOf(const std::string& path) const {
    std::string out;
    EXPECT_FALSE(plat::fs::readFile(path, out));
    return out;
  }
};

TEST_F(PacketUpdateTest, CommittedRecordsAreReadBackByAFreshReader) {
  const std::string path = write("upd.tpk", withEntry());
  const std::string before = bytesOf(path);
  const std::size_t a = 16 + 10;
  const std::size_t tr = 12 + a, s2 = tr + 20 + 457;

  COrv_PacketFile p;
  ASSERT_EQ(p.BeginUpdate(path, ""), 1);
  EXPECT_EQ(p.GetEntryAreaSize(), static_cast<std::int32_t>(a));
  p.SetHeaderValue(0x0A0B0C0D);
  ASSERT_TRUE(p.WriteHeader());
  p.SetTrailerByte15(0x5A);
  p.SetAudioFlag('-');
  ASSERT_TRUE(p.WriteTrailer());
  ASSERT_TRUE(p.ReadNextSlot());
  ASSERT_TRUE(p.ReadNextSlot());
  p.SetSlotCode("NEWCODE");
  ASSERT_TRUE(p.WriteSlot(2));
  // Nothing reaches the file before the commit; reads see what was written.
  EXPECT_EQ(firstDifference(bytesOf(path), before), "same");
  std::uint8_t header[12];
  ASSERT_TRUE(p.ReadAt(0, 12, header));
  EXPECT_EQ(header[4], 0x0D);
  ASSERT_EQ(p.CommitUpdate(), 1);
  EXPECT_FALSE(p.IsUpdating());

  std::string expected = before;
  putU32(expected, 4, 0x0A0B0C0D);
  expected[tr + 15] = 0x5A;
  expected[tr + 19] = '-';
  expected.replace(s2, 9, std::string("NEWCODE\0\0", 9));
  EXPECT_EQ(firstDifference(bytesOf(path), expected), "same");
  EXPECT_EQ(filesIn(media()), 1u);  // no working copy left

  COrv_PacketFile fresh;
  EXPECT_EQ(fresh.Validate(path, "", false), 1);
  std::uint8_t slot[457];
  ASSERT_EQ(fresh.ReadSlot(path, "", slot, 2), 1);
  EXPECT_EQ(fresh.GetSlotCode(), "NEWCODE");
  EXPECT_EQ(fresh.GetSlotTitle(), "Second");
  ASSERT_EQ(fresh.ReadSlot(path, "", slot, 1), 1);
  EXPECT_EQ(fresh.GetSlotCode(), "ABC");
  ASSERT_TRUE(fresh.Open(path, ""));
  EXPECT_EQ(fresh.GetHeaderValue(), 0x0A0B0C0D);
  EXPECT_EQ(fresh.GetTrailerByte15(), 0x5A);
  EXPECT_EQ(fresh.GetAudioFlag(), '-');
  EXPECT_EQ(fresh.GetTrailerWord(), 0xBEEF);
  std::size_t size = 0;
  EXPECT_EQ(fresh.ReadEntry(path, "", "NOTE", nullptr, size), 1);
  EXPECT_EQ(size, 10u);
}

TEST_F(PacketUpdateTest, AnUpdateThatIsNotCommittedLeavesTheFileAsItWas) {
  const std::string path = write("keep.tpk", withEntry());
  const std::string before = bytesOf(path);
  struct Case {
    const char* what;
    void (*end)(COrv_PacketFile&, const std::string&);
  } cases[] = {
      {"closed", [](COrv_PacketFile& p, const std::string&) { p.Close(); }},
      {"another operation", [](COrv_PacketFile& p, const std::string& f) { p.Validate(f, "", false); }},
      {"a second update", [](COrv_PacketFile& p, const std::string& f) { p.BeginUpdate(f, ""); p.Close(); }},
      {"destroyed", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      COrv_PacketFile p;
      ASSERT_EQ(p.BeginUpdate(path, ""), 1);
      p.SetHeaderValue(7);
      ASSERT_TRUE(p.WriteHeader());
      if (c.end != nullptr) {
        c.end(p, path);
        EXPECT_EQ(p.CommitUpdate(), 0);
      }
    }
    EXPECT_EQ(firstDifference(bytesOf(path), before), "same");
    EXPECT_EQ(filesIn(media()), 1u);
  }

  // A failed rename at the commit keeps the old file and drops the copy.
  COrv_PacketFile p;
  ASSERT_EQ(p.BeginUpdate(path, ""), 1);
  p.SetHeaderValue(7);
  ASSERT_TRUE(p.WriteHeader());
  plat::fs::injectFault(plat::fs::FaultOp::Rename, "keep.tpk", EIO);
  EXPECT_EQ(p.CommitUpdate(), 0);
  EXPECT_EQ(firstDifference(bytesOf(path), before), "same");
  EXPECT_EQ(filesIn(media()), 1u);

  // A copy that a killed update left behind goes with the next update.
  tvtest::writeFile(media() / ".keep.tpk.~up1234ABCD.tmp", "stale");
  ASSERT_EQ(p.BeginUpdate(path, ""), 1);
  p.Close();
  EXPECT_EQ(filesIn(media()), 1u);
}

TEST_F(PacketUpdateTest, DamagedOrMistakenSizesWriteNothing) {
  const std::string good = bytesOf(write("ref.tpk", withEntry()));
  const std::size_t tr = 12 + 16 + 10;
  std::string farArea = good;
  putU32(farArea, 8, static_cast<std::uint32_t>(good.size()));  // the trailer would lie past the end
  std::string negativeArea = good;
  putU32(negativeArea, 8, 0xFFFFFFF0u);
  std::string shortDirectory = good;
  putU32(shortDirectory, tr + 5, 20 + 457);  // two slots announced, room for one
  struct Case {
    const char* what;
    std::string bytes;
    bool trailer, slot1, slot2;
  } cases[] = {
      {"sound file", good, true, true, true},
      {"entry area past the end", farArea, false, false, false},
      {"negative entry area", negativeArea, false, false, false},
      {"directory too short for its slots", shortDirectory, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = write("d.tpk", c.bytes);
    COrv_PacketFile p;
    ASSERT_EQ(p.BeginUpdate(path, ""), 1);
    EXPECT_EQ(p.WriteTrailer(), c.trailer);
    p.ReadNextSlot();
    EXPECT_EQ(p.WriteSlot(1), c.slot1);
    p.ReadNextSlot();
    EXPECT_EQ(p.WriteSlot(2), c.slot2);
    EXPECT_FALSE(p.WriteSlot(0));
    EXPECT_FALSE(p.WriteSlot(3));
    // A size that puts the trailer outside the file is refused, in memory too.
    const std::int32_t area = p.GetEntryAreaSize();
    for (std::int64_t bad : {std::int64_t{-1}, static_cast<std::int64_t>(c.bytes.size()) - 31,
                             static_cast<std::int64_t>(c.bytes.size())}) {
      EXPECT_FALSE(p.SetEntryAreaSize(static_cast<std::int32_t>(bad))) << bad;
      EXPECT_EQ(p.GetEntryAreaSize(), area);
    }
    ASSERT_EQ(p.CommitUpdate(), 1);
    // Rewriting records with the values read changes no byte.
    EXPECT_EQ(firstDifference(bytesOf(path), c.bytes), "same");
  }

  // The largest size that leaves the trailer inside the file is written back.
  const std::string path = write("d.tpk", good);
  COrv_PacketFile p;
  ASSERT_EQ(p.BeginUpdate(path, ""), 1);
  const std::int32_t last = static_cast<std::int32_t>(good.size() - 32);
  ASSERT_TRUE(p.SetEntryAreaSize(last));
  ASSERT_EQ(p.CommitUpdate(), 1);
  std::string expected = good;
  putU32(expected, 8, static_cast<std::uint32_t>(last));
  EXPECT_EQ(firstDifference(bytesOf(path), expected), "same");

  // Without an update nothing is written.
  COrv_PacketFile reader;
  ASSERT_TRUE(reader.Open(path, ""));
  EXPECT_FALSE(reader.WriteHeader());
  EXPECT_FALSE(reader.WriteTrailer());
  EXPECT_EQ(reader.BeginUpdate((media() / "missing.tpk").string(), ""), 0);
  EXPECT_EQ(firstDifference(bytesOf(path), expected), "same");
}

}  // namespace
