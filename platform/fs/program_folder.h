#pragma once
// The running program's own file and folder, and the system's temporary
// folder. The program folder is read-only: it holds the binaries, the
// resource modules, the help folders and the grammar pages.

#include <filesystem>
#include <string_view>

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

// A folder of the program's own for files it hands to other programs of
// the same user (the media spots a viewer shows): $XDG_RUNTIME_DIR/
// talvane-<name>, or <cache>/talvane/<name> ($XDG_CACHE_HOME or
// ~/.cache) without a runtime folder. Made with mode 0700 when missing; a
// path that is a link, not a folder, or not the user's own is refused
// (empty answer), so that no one else can plant a file or a link in it.
std::filesystem::path privateFolder(std::string_view name);

}  // namespace plat::fs
