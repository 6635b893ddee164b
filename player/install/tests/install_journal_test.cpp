#include "player/install/install_journal.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/testing/test_env.h"

namespace {

namespace fs = std::filesystem;
using orv::install::COrv_InstallJournal;

// A journal left by a process that no longer runs (no process has this id)
// names files: those of its folder go unless claimed; nothing outside the
// folder, no folder and no link is ever touched; the journals of running
// processes, this one's included, stay with their files.
TEST(InstallJournal, ALeftJournalRemovesItsFilesOnly) {
  const fs::path base = tvtest::sandbox().base;
  const fs::path folder = base / "Talvanes";
  fs::create_directories(folder / "sub.tvl");
  for (const char* name : {"left.tvl", "used.tvl", "running.tvl", "target.tvl"})
    tvtest::writeFile(folder / name, name);
  tvtest::writeFile(base / "outside.tvl", "outside");
  fs::create_symlink(folder / "target.tvl", folder / "link.tvl");
  const fs::path dead = folder / ".install-p999999999.journal";
  tvtest::writeFile(dead, (folder / "left.tvl").string() + "\n" + (folder / "used.tvl").string() + "\n" +
                              (base / "outside.tvl").string() + "\n" + (folder / "sub.tvl").string() + "\n" +
                              (folder / "link.tvl").string() + "\nrelative.tvl\n" +
                              (folder / "missing.tvl").string() + "\n");
  {
    COrv_InstallJournal mine(folder);
    ASSERT_TRUE(mine.Add(folder / "running.tvl"));
    const fs::path mineFile = folder / (".install-p" + std::to_string(::getpid()) + ".journal");
    ASSERT_TRUE(fs::exists(mineFile));

    COrv_InstallJournal::RemoveLeftovers(folder, [&](const fs::path& f) { return f == folder / "used.tvl"; });
    EXPECT_FALSE(fs::exists(folder / "left.tvl"));
    EXPECT_FALSE(fs::exists(dead));
    for (const fs::path& kept : {folder / "used.tvl", base / "outside.tvl", folder / "sub.tvl", folder / "target.tvl",
                                 folder / "running.tvl", mineFile})
      EXPECT_TRUE(fs::exists(kept)) << kept;
    EXPECT_TRUE(fs::is_symlink(folder / "link.tvl"));
  }
  // A finished installation leaves no journal.
  EXPECT_FALSE(fs::exists(folder / (".install-p" + std::to_string(::getpid()) + ".journal")));
  EXPECT_TRUE(fs::exists(folder / "running.tvl"));
}

}  // namespace
