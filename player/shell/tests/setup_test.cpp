#include "player/shell/setup.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

#include "platform/registry/registry.h"
#include "platform/testing/test_env.h"
#include "player/book/book_info.h"
#include "player/install/packet_installer.h"
#include "player/install/tests/installable_packet.h"
#include "platform/ui/recording_sink.h"
#include "player/env/environment.h"
#include "player/shell/file_types.h"
#include "player/shell/load_switch.h"
#include "player/env/file_util.h"
#include "player/shell/app.h"

namespace {

namespace fs = std::filesystem;
using orv::shell::COrv_Setup;

struct CountingInstaller : orv::shell::BookInstaller {
  std::vector<std::string> files;
  int result = 1;
  int InstallFile(const fs::path& path) override {
    files.push_back(path.filename().string());
    return result;
  }
};

struct Setup : ::testing::Test {
  fs::path prog = tvtest::sandbox().base / "prog";
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scoped{sink};
  CountingInstaller installer;
  void SetUp() override {
    tvtest::writeFile(prog / "liblindra.so", "");
    tvtest::writeFile(prog / "brindle", "");
    tvtest::writeFile(prog / "Orv_HLENG/contents.html", "");
    ASSERT_TRUE(orv::COrv_Environment().CreateDataPath());
  }
  void removeStoredAppPath() {
    orv::COrv_Environment().RegistryValue(plat::registry::HKEY_LOCAL_MACHINE, orv::kPlayerKey, "", plat::registry::REG_SZ,
                                          nullptr, 0, orv::kRegDeleteKey);
    orv::COrv_Environment().RegistryValue(plat::registry::HKEY_CURRENT_USER, orv::kPlayerKey, "", plat::registry::REG_SZ,
                                          nullptr, 0, orv::kRegDeleteKey);
  }
};

TEST_F(Setup, CheckSetupCauses) {
  const std::string corrupted =
      "There is a Talvane Player installation which was corrupted or never executed.\nPlease re-install the Talvane Player.";
  struct Case {
    const char* name;
    std::function<void()> arrange;
    bool ok;
  } const cases[] = {
      {"consistent", [] {}, true},
      {"no stored folder", [this] { removeStoredAppPath(); }, false},
      {"other folder", [] { orv::COrv_Environment().SetAppPath("/opt/elsewhere"); }, false},
      {"folder differing in case", [this] { orv::COrv_Environment().SetAppPath((prog.parent_path() / "PROG").string()); },
       false},
      {"same folder spelt with a dot", [this] { orv::COrv_Environment().SetAppPath((prog / ".").string()); }, true},
      {"support file missing", [this] { fs::remove(prog / "liblindra.so"); }, false},
  };
  for (const Case& c : cases) {
    sink.clear();
    tvtest::writeFile(prog / "liblindra.so", "");
    COrv_Setup setup(prog);
    setup.Register();
    c.arrange();
    EXPECT_EQ(orv::shell::CheckSetup(setup, prog, installer), c.ok) << c.name;
    if (c.ok) {
      EXPECT_TRUE(sink.boxes().empty()) << c.name;
    } else {
      // One box, whatever the cause.
      ASSERT_EQ(sink.boxes().size(), 1u) << c.name;
      EXPECT_EQ(sink.last().request.text.substr(0, corrupted.size()), corrupted) << c.name;
      EXPECT_EQ(sink.last().request.icon, plat::ui::Icon::Warning) << c.name;
    }
  }
}

TEST_F(Setup, MissingSupportFileIsNamed) {
  fs::remove(prog / "liblindra.so");
  COrv_Setup setup(prog);
  EXPECT_FALSE(setup.CheckSupportFiles());
  ASSERT_EQ(sink.boxes().size(), 1u);
  // The file that is missing here, not the name the list gives it.
  EXPECT_NE(sink.last().request.text.find("liblindra.so"), std::string::npos) << sink.last().request.text;
  EXPECT_EQ(sink.last().request.text.find("LINDRA.DLL"), std::string::npos);
}

TEST_F(Setup, RegisterStoresFolderLanguageAndContentType) {
  removeStoredAppPath();
  orv::COrv_Environment().SetInterfaceLanguage(3);
  COrv_Setup setup(prog);
  setup.Register();
  orv::COrv_Environment env;
  EXPECT_EQ(env.GetAppPath(), prog.string());
  EXPECT_EQ(env.GetInterfaceLanguage(), setup.GetWindowsLanguage());
  EXPECT_GT(env.RegistryValue(plat::registry::HKEY_CLASSES_ROOT, ".tpk", "Content Type", plat::registry::REG_SZ, nullptr,
                              0, orv::kRegQuery),
            0);
  // A second registration keeps the chosen interface language.
  env.SetInterfaceLanguage(4);
  setup.Register();
  EXPECT_EQ(orv::COrv_Environment().GetInterfaceLanguage(), 4);

  setup.Unregister();
  EXPECT_EQ(env.RegistryValue(plat::registry::HKEY_CLASSES_ROOT, ".tpk", "Content Type", plat::registry::REG_SZ, nullptr,
                              0, orv::kRegQuery),
            0);
}

TEST_F(Setup, DemoPacketsInstalledAndFolderRemoved) {
  const fs::path demo(orv::COrv_Environment().GetDemoPath());
  tvtest::writeFile(demo / "b.TPK", "x");
  tvtest::writeFile(demo / "a.tpk", "x");
  tvtest::writeFile(demo / "readme.txt", "x");
  COrv_Setup setup(prog);
  setup.InstallDemoPackets(installer);
  EXPECT_EQ(installer.files, (std::vector<std::string>{"a.tpk", "b.TPK"}));
  EXPECT_FALSE(fs::exists(demo));
}

// The real installer on a demo folder of two good packets and a damaged
// one, over two starts: the damaged one is told once, the good ones are
// installed once and leave the folder.
TEST_F(Setup, ADamagedDemoPacketIsToldOnceAndSetAside) {
  const fs::path demo(orv::COrv_Environment().GetDemoPath());
  fs::create_directories(demo);
  for (const char* code : {"ALPHA", "BRAVO"})
    ASSERT_TRUE(tvtools::writePacket(demo / (std::string(code) + ".tpk"), installtest::packetSpec(code)));
  tvtools::PacketSpec spec = installtest::packetSpec("BROKEN");
  spec.rawTailSet = true;
  spec.rawTail = std::string(4096, 'x');  // no compressed stream
  ASSERT_TRUE(tvtools::writePacket(demo / "Broken.tpk", spec));
  tvtest::writeFile(demo / "readme.txt", "x");

  orv::install::PacketInstaller real;
  struct Counting : orv::shell::BookInstaller {
    orv::shell::BookInstaller& real;
    std::vector<std::string> files;
    explicit Counting(orv::shell::BookInstaller& r) : real(r) {}
    int InstallFile(const fs::path& path) override {
      const int result = real.InstallFile(path);
      files.push_back(path.filename().string() + (result != 0 ? " installed" : " failed"));
      return result;
    }
  } counting(real);
  COrv_Setup setup(prog);
  for (int start = 1; start <= 2; ++start) setup.InstallDemoPackets(counting);

  EXPECT_EQ(counting.files,
            (std::vector<std::string>{"ALPHA.tpk installed", "BRAVO.tpk installed", "Broken.tpk failed"}));
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_NE(sink.last().request.text.find("Broken.tpk"), std::string::npos) << sink.last().request.text;
  for (const char* code : {"ALPHA", "BRAVO"}) EXPECT_TRUE(orv::COrv_BookInfo().IsInstalled(code)) << code;
  std::set<std::string> left;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(demo, ec)) left.insert(e.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"Broken.tpk.bad", "readme.txt"}));
}

// What xdg-mime answers (its output without the line end).
std::string xdgMime(const std::string& args) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> p(popen(("xdg-mime " + args + " 2>/dev/null").c_str(), "r"), pclose);
  if (!p) return out;
  std::array<char, 512> buf;
  while (fgets(buf.data(), buf.size(), p.get())) out += buf.data();
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return out;
}

struct Installation : Setup {
  fs::path demo = orv::COrv_Environment().GetDemoPath();
  void SetUp() override {
    Setup::SetUp();
    removeStoredAppPath();
    tvtest::writeFile(demo / "a.tpk", "x");
  }
};

// First run: no question; the folder, the desktop's file types and the demo
// packets are in place, and the desktop's own tools find them. Uninstall
// takes them all back and says one thing.
TEST_F(Installation, FirstRunRegistersEverythingAndUninstallRemovesIt) {
  COrv_Setup setup(prog);
  setup.SetInstaller(&installer);
  EXPECT_EQ(setup.CheckInstallation(COrv_Setup::kCheckAll), 1);
  EXPECT_TRUE(sink.boxes().empty());
  EXPECT_EQ(orv::COrv_Environment().GetAppPath(), prog.string());
  EXPECT_EQ(installer.files, std::vector<std::string>{"a.tpk"});
  EXPECT_TRUE(orv::shell::COrv_FileTypes(prog / "orvex").IsRegistered());
  const fs::path book = tvtest::sandbox().base / "book.tpk";
  tvtest::writeFile(book, "packet");
  EXPECT_EQ(xdgMime("query filetype '" + book.string() + "'"), orv::shell::COrv_FileTypes::kPacketType);
  EXPECT_EQ(xdgMime("query default application/x-talvane-library"), orv::shell::COrv_FileTypes::kDesktopFile);
  // Another application's default survives both registration and removal.
  const fs::path defaults = orv::shell::COrv_FileTypes::DefaultsListPath();
  std::string list = tvtest::readFile(defaults) + "text/plain=editor.desktop\n";
  tvtest::writeFile(defaults, list);

  const fs::path startup = fs::path(orv::COrv_FileUtil().GetStartupFolder()) / orv::shell::kStartupShortcut;
  tvtest::writeFile(startup, "[Desktop Entry]\n");
  EXPECT_EQ(setup.Uninstall(), 1);
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_NE(sink.last().request.text.find("package tools"), std::string::npos);
  EXPECT_FALSE(fs::exists(startup));
  EXPECT_FALSE(fs::exists(orv::shell::COrv_FileTypes::DesktopEntryPath()));
  EXPECT_FALSE(fs::exists(orv::shell::COrv_FileTypes::MimePackagePath()));
  EXPECT_NE(xdgMime("query filetype '" + book.string() + "'"), orv::shell::COrv_FileTypes::kPacketType);
  EXPECT_EQ(xdgMime("query default application/x-talvane-library"), "");
  EXPECT_NE(tvtest::readFile(defaults).find("text/plain=editor.desktop"), std::string::npos);
}

// Uninstall empties only a book menu of the program's own: a stored menu
// folder of another name (other programs' entries) keeps every entry; the
// program's own menu keeps a file that is not an entry, and stays for it.
TEST_F(Installation, UninstallTakesOnlyTheBookEntriesOfItsOwnMenu) {
  const fs::path applications = orv::COrv_FileUtil().GetProgramsFolder();
  struct Case {
    const char* name;
    fs::path folder;
    std::vector<std::string> kept;
  } const cases[] = {
      {"the applications folder itself", applications, {"editor.desktop", "notes.txt"}},
      {"the program's own menu", COrv_Setup::BookMenuFolder(), {"notes.txt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tvtest::writeFile(c.folder / "editor.desktop", "[Desktop Entry]\n");
    tvtest::writeFile(c.folder / "notes.txt", "mine");
    orv::COrv_Environment().SetInstallMenuFolder(c.folder.string());
    COrv_Setup(prog).Uninstall();
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(c.folder)) {
      const std::string name = e.path().filename().string();
      if (name == "editor.desktop" || name == "notes.txt") left.push_back(name);
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, c.kept);
    EXPECT_EQ(orv::COrv_Environment().GetInstallMenuFolder(), "");
    fs::remove(c.folder / "editor.desktop");
    fs::remove(c.folder / "notes.txt");
  }
}

// A reinstallation from another folder asks before each change; No skips
// that one, Cancel stops there.
TEST_F(Installation, ReinstallAsksBeforeEachChange) {
  struct Case {
    const char* name;
    std::vector<int> answers;
    int result;
    bool movedFolder, demoInstalled;
  };
  using plat::ui::IDCANCEL, plat::ui::IDNO, plat::ui::IDYES;
  const Case cases[] = {
      {"yes to all", {IDYES, IDYES, IDYES}, 1, true, true},
      {"keep the old folder", {IDNO, IDYES, IDYES}, 1, false, true},
      {"no demo", {IDYES, IDNO, IDNO}, 1, true, false},
      {"cancel first", {IDCANCEL}, 0, false, false},
      {"cancel at the types", {IDYES, IDCANCEL}, 0, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path old = tvtest::sandbox().base / "old";
    COrv_Setup(old).Register();
    orv::shell::COrv_FileTypes(prog / "orvex").Register();
    tvtest::writeFile(demo / "a.tpk", "x");
    installer.files.clear();
    sink.clear();
    sink.setScript(c.answers);
    COrv_Setup setup(prog);
    setup.SetInstaller(&installer);
    EXPECT_EQ(setup.CheckInstallation(COrv_Setup::kCheckAll), c.result);
    EXPECT_EQ(sink.boxes().size(), c.answers.size());
    for (const auto& box : sink.boxes()) EXPECT_EQ(box.request.icon, plat::ui::Icon::Question);
    EXPECT_EQ(orv::COrv_Environment().GetAppPath(), (c.movedFolder ? prog : old).string());
    EXPECT_EQ(installer.files.empty(), !c.demoInstalled);
  }
}

}  // namespace
