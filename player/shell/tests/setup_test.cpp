#include "player/shell/setup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/registry/registry.h"
#include "platform/testing/test_env.h"
#include "platform/ui/recording_sink.h"
#include "player/env/environment.h"
#include "player/shell/load_switch.h"

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
      ASSERT_FALSE(sink.boxes().empty()) << c.name;
      EXPECT_EQ(sink.last().request.text, corrupted) << c.name;
      EXPECT_EQ(sink.last().request.icon, plat::ui::Icon::Warning) << c.name;
    }
  }
}

TEST_F(Setup, MissingSupportFileIsNamed) {
  fs::remove(prog / "liblindra.so");
  COrv_Setup setup(prog);
  EXPECT_FALSE(setup.CheckSupportFiles());
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_NE(sink.last().request.text.find("LINDRA.DLL"), std::string::npos);
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

  // A packet that does not install stays for the next start, with the rest.
  tvtest::writeFile(demo / "c.tpk", "x");
  installer.result = 0;
  setup.InstallDemoPackets(installer);
  EXPECT_TRUE(fs::exists(demo / "c.tpk"));
}

}  // namespace
