#pragma once
// The one place that knows the files of the suite's modules and programs.
// Callers name a module as the rest of the code base does ("LINDRA.DLL",
// "Brindle.exe", "Orv_MLFRE.DLL", "Orv_HLENG.chm", ...), without regard to
// case, and get the file that stands for it in the program folder:
//
//   LINDRA.DLL            liblindra.so     shared library
//   Glyphary.DLL          libglyphary.so   shared library (loaded by dlopen)
//   CONV32.DLL            libconv32.so     shared library (stand-in)
//   Orvex.exe             orvex            the player
//   Brindle.exe           brindle          the grammar browser
//   Pelvara.exe           pelvara          the viewer (stand-in)
//   Orvexu.exe            orvexu           the cleanup program (stand-in)
//   Orv_ML<code>.DLL      Orv_ML<CODE>.res resource module of a language
//   Orv_HL<code>.chm      Orv_HL<CODE>     help folder of a language
//
// A fixed name may also be given without its extension ("Brindle"), as the
// system's loaders accept. A language code is 1 to 8 letters or digits and
// is spelled in upper case in the file name. System libraries (the shell
// folder and kernel libraries) are not modules of ours: their services are
// plain functions of this layer, and the map does not know them.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace plat::fs {

enum class ModuleKind { Program, Library, ResourceModule, HelpFolder };

struct ModuleFile {
  std::string fileName;  // inside the program folder; a folder for HelpFolder
  ModuleKind kind;
};

// The file for a module name, or nothing for a name that is not ours (or
// holds a path separator).
std::optional<ModuleFile> moduleFile(std::string_view name);

// programFolder() / moduleFile(name)->fileName; empty for an unknown name.
std::filesystem::path modulePath(std::string_view name);

}  // namespace plat::fs
