#pragma once
// The player's side of Glyphary: libglyphary.so opened by name, its
// resource module read out of it, and the library closed again. Install
// the loader in the language object with
//
//   tv::language::setIconLibraryLoader([] { return glyphary::openIconLibrary(); });
//
// so that every icon and bitmap request opens the library for that request.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/resources/resource_module.h"
#include "shared/language/orv_language.h"

namespace glyphary {

// The resource module a library opened with dlopen carries
// (resource_section.h); nothing, with the reason in `error`, when it
// carries none, when its size is out of bounds or when the text does not
// read as a module.
std::optional<plat::ui::ResourceModule> readLibraryResources(void* handle, std::string* error = nullptr);

// Opens the library file, reads its resources and closes it; nothing when
// the file does not load or holds no readable resources.
std::optional<plat::ui::ResourceModule> loadLibraryResources(const std::filesystem::path& file,
                                                             std::string* error = nullptr);

// The icon library over the resources of `file`: icons and bitmaps by id,
// whatever size is asked (the pictures are SVG). Null when the library
// cannot be read.
std::unique_ptr<tv::language::IconLibrary> openIconLibrary(const std::filesystem::path& file);
// The same for "Glyphary.DLL" as the language object locates it.
std::unique_ptr<tv::language::IconLibrary> openIconLibrary();

}  // namespace glyphary
