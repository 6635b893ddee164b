#pragma once
// The running program's own file and folder, and the system's temporary
// folder. The program folder is read-only: it holds the binaries, the
// resource modules, the help folders and the grammar pages.

#include <filesystem>

namespace plat::fs {

// Overrides the program folder (tests run library code from a test binary
// whose folder is not the suite's installation folder).
inline constexpr const char* kProgramFolderVariable = "TALVANE_PROGRAM_FOLDER";

// The running program's file, from /proc/self/exe. With the override set, the
// same file name inside the overriding folder. Empty when unreadable.
std::filesystem::path programFile();

// The folder of programFile() (the override when it is set), without a
// trailing separator. Empty when unknown.
std::filesystem::path programFolder();

// The system's temporary folder: $TMPDIR when it names an absolute path,
// else /tmp. Nothing in the suite writes to a temporary folder on its own:
// callers that want one pass this folder explicitly.
std::filesystem::path systemTempFolder();

}  // namespace plat::fs
