#pragma once
// The `.res` file of a resource module: reader and writer.
//
// A module file is UTF-8 text, one record per line (LF or CRLF). Blank
// lines and lines whose first non-blank character is '#' are ignored;
// leading blanks and tabs are ignored, so menus may be indented. The first
// record is the format line:
//
//   TVRES 1
//
// and a reader refuses any other version. The records after it:
//
//   string <id> <text>              a string (the text may be empty)
//   accel <table> <command> <key>   one accelerator of a table, in order
//   image <id> file <name>          a picture file beside the module
//   image <id> png <base64>         an embedded PNG picture
//   image <id> svg <base64>         an embedded SVG picture
//   menu <id>                       opens a menu; closed by "end"
//     popup <caption>               opens a popup inside a menu or popup
//     item <id> <caption>           a command entry
//     separator                     a separator
//   end                             closes the innermost popup or menu
//
// Fields are separated by one blank; a text or caption is the rest of the
// line, with the escapes \\ \n \t \r (any other backslash is an error).
// Ids are decimal, 0 to 65535. Accelerator keys are in QKeySequence's
// portable form ("Ctrl+F2"). An id may appear once per kind (the lines of
// one accelerator table must be consecutive). Resource lists are the
// program's own and are not part of the format.
//
// A file is hostile input: every size below is checked, and any error
// rejects the whole module (the caller then falls back to English).

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/resources/resource_module.h"

namespace plat::ui {

inline constexpr int kResFormatVersion = 1;
inline constexpr std::size_t kResMaxFileBytes = 8u << 20;
inline constexpr std::size_t kResMaxLineBytes = 2u << 20;
inline constexpr std::size_t kResMaxTextBytes = 8192;      // a string or caption, unescaped
inline constexpr std::size_t kResMaxImageBytes = 1u << 20;  // decoded
inline constexpr std::size_t kResMaxFileNameBytes = 255;
inline constexpr std::size_t kResMaxMenuDepth = 8;          // popups inside a menu
inline constexpr std::size_t kResMaxMenuEntries = 4096;     // per menu, all levels
inline constexpr std::size_t kResMaxAccelerators = 1024;    // per table
inline constexpr std::size_t kResMaxRecords = 200000;
inline constexpr int kResMaxId = 65535;

struct ResReadResult {
  std::optional<ResourceModule> module;  // empty on error
  std::string error;                     // why, for logs and tests
  int line = 0;                          // 1-based line of the error; 0 for the whole file
};

// Parses a module from the bytes of a `.res` file.
ResReadResult readResourceModule(std::string_view bytes);

// Reads and parses a `.res` file (through the file layer, so faults can be
// injected). A missing or oversized file is an error.
ResReadResult loadResourceModuleFile(const std::filesystem::path& path);

// The text of a module in the format above (lists are left out). Reading
// it back gives an equal module.
std::string writeResourceModule(const ResourceModule& module);

}  // namespace plat::ui
