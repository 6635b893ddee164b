#include "iconlib/client/glyphary_library.h"

#include <dlfcn.h>

#include <cstddef>
#include <string_view>
#include <utility>

#include "iconlib/resource_section.h"
#include "platform/ui/resources/res_reader.h"

namespace glyphary {
namespace {

class ResourceIconLibrary : public tv::language::IconLibrary {
 public:
  explicit ResourceIconLibrary(plat::ui::ResourceModule module) : module_(std::move(module)) {}

  std::optional<plat::ui::Image> icon(int id, int, int) override { return picture(id); }
  std::optional<plat::ui::Image> bitmap(int id, int, int) override { return picture(id); }

 private:
  std::optional<plat::ui::Image> picture(int id) const {
    const plat::ui::Image* image = module_.image(id);
    if (!image) return std::nullopt;
    return *image;
  }

  plat::ui::ResourceModule module_;
};

void setError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

}  // namespace

std::optional<plat::ui::ResourceModule> readLibraryResources(void* handle, std::string* error) {
  if (!handle) {
    setError(error, "no library");
    return std::nullopt;
  }
  const auto* bytes = static_cast<const unsigned char*>(dlsym(handle, kResourceBytesSymbol));
  const auto* size = static_cast<const std::size_t*>(dlsym(handle, kResourceSizeSymbol));
  if (!bytes || !size) {
    setError(error, "the library carries no resource module");
    return std::nullopt;
  }
  if (*size > plat::ui::kResMaxFileBytes) {
    setError(error, "the resource module is too large");
    return std::nullopt;
  }
  plat::ui::ResReadResult r =
      plat::ui::readResourceModule(std::string_view(reinterpret_cast<const char*>(bytes), *size));
  if (!r.module) setError(error, "line " + std::to_string(r.line) + ": " + r.error);
  return std::move(r.module);
}

std::optional<plat::ui::ResourceModule> loadLibraryResources(const std::filesystem::path& file, std::string* error) {
  if (file.empty()) {
    setError(error, "no library file");
    return std::nullopt;
  }
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    setError(error, why ? why : "the library does not load");
    return std::nullopt;
  }
  std::optional<plat::ui::ResourceModule> module = readLibraryResources(handle, error);
  dlclose(handle);
  return module;
}

std::unique_ptr<tv::language::IconLibrary> openIconLibrary(const std::filesystem::path& file) {
  std::optional<plat::ui::ResourceModule> module = loadLibraryResources(file);
  if (!module) return nullptr;
  return std::make_unique<ResourceIconLibrary>(std::move(*module));
}

std::unique_ptr<tv::language::IconLibrary> openIconLibrary() {
  return openIconLibrary(tv::language::locateModule("Glyphary.DLL"));
}

}  // namespace glyphary
