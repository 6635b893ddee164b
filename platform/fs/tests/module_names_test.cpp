#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/fs/module_names.h"
#include "platform/fs/program_folder.h"
#include "platform/testing/test_env.h"

namespace fs = std::filesystem;
using namespace plat::fs;

namespace {

TEST(ModuleNames, EveryModuleMapsToItsFile) {
  struct Case {
    const char* name;
    const char* file;
    ModuleKind kind;
  };
  const Case cases[] = {
      {"LINDRA.DLL", "liblindra.so", ModuleKind::Library},
      {"lindra.dll", "liblindra.so", ModuleKind::Library},
      {"Lindra", "liblindra.so", ModuleKind::Library},
      {"Glyphary.DLL", "libglyphary.so", ModuleKind::Library},
      {"GLYPHARY.dll", "libglyphary.so", ModuleKind::Library},
      {"CONV32.DLL", "libconv32.so", ModuleKind::Library},
      {"Orvex.exe", "orvex", ModuleKind::Program},
      {"ORVEX", "orvex", ModuleKind::Program},
      {"Brindle.exe", "brindle", ModuleKind::Program},
      {"BRINDLE.EXE", "brindle", ModuleKind::Program},
      {"Pelvara.exe", "pelvara", ModuleKind::Program},
      {"Orvexu.exe", "orvexu", ModuleKind::Program},
      {"orvexu", "orvexu", ModuleKind::Program},
      {"Orv_MLFRE.DLL", "Orv_MLFRE.res", ModuleKind::ResourceModule},
      {"orv_mlhun.dll", "Orv_MLHUN.res", ModuleKind::ResourceModule},
      {"Orv_MLptb", "Orv_MLPTB.res", ModuleKind::ResourceModule},
      {"Orv_HLENG.chm", "Orv_HLENG", ModuleKind::HelpFolder},
      {"ORV_HLger.CHM", "Orv_HLGER", ModuleKind::HelpFolder},
  };
  for (const Case& c : cases) {
    const auto m = moduleFile(c.name);
    ASSERT_TRUE(m) << c.name;
    EXPECT_EQ(m->fileName, c.file) << c.name;
    EXPECT_EQ(m->kind, c.kind) << c.name;
  }
}

TEST(ModuleNames, UnknownNamesAndPaths) {
  for (const char* name :
       {"SHFOLDER.DLL", "KERNEL32.DLL", "", "Orv_ML.DLL", "Orv_HL.chm", "Orv_HLENG",
        "Orv_MLF-R.DLL", "Orv_MLABCDEFGHI.DLL", "Orv_MLFRE.res", "Brindle.dll", "Brindle.exe.exe",
        "Orvexe", "\\Brindle.exe", "../Brindle.exe", "x/LINDRA.DLL", "liblindra.so"})
    EXPECT_FALSE(moduleFile(name)) << name;
  EXPECT_TRUE(modulePath("SHFOLDER.DLL").empty());
}

TEST(ProgramFolder, FromTheRunningFileOrTheOverride) {
  const fs::path exe = fs::canonical("/proc/self/exe");
  ::unsetenv(kProgramFolderVariable);
  EXPECT_EQ(programFile(), exe);
  EXPECT_EQ(programFolder(), exe.parent_path());
  EXPECT_EQ(modulePath("Brindle.exe"), exe.parent_path() / "brindle");

  ::setenv(kProgramFolderVariable, "/opt/talvane/", 1);
  EXPECT_EQ(programFolder(), "/opt/talvane");
  EXPECT_EQ(programFile(), fs::path("/opt/talvane") / exe.filename());
  EXPECT_EQ(modulePath("orv_mlita.dll"), "/opt/talvane/Orv_MLITA.res");
  EXPECT_EQ(modulePath("Orv_HLENG.chm"), "/opt/talvane/Orv_HLENG");
  ::unsetenv(kProgramFolderVariable);
}

}  // namespace
