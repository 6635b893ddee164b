#pragma once
// The auto-install list: an ini file that an outside installer leaves in the
// machine-settings folder so that the next start registers the Talvanes
// whose files it has copied already.
//
//   [MASTERINDEX]  Path = folder of the source files; 001, 002, ... = codes
//   [<code>]       keys copied to [Settings] of the book's settings file;
//                  SourceFile keeps only its file name, placed in Path.
//
// The entries are read from 001 on up to the first missing number. The list
// is deleted after one use, whatever became of its entries.

#include <filesystem>

namespace orv::shell {

// AUTOINST.TVI in the machine-settings folder.
std::filesystem::path AutoInstallListPath();

// Carries out the list at `file` on the current data path. Codes that are
// no valid book codes are skipped (they would name folders outside the
// Talvanes folder). Shows nothing.
void ReadAutoInstallList(const std::filesystem::path& file = AutoInstallListPath());

}  // namespace orv::shell
