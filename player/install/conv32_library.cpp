#include "player/install/conv32_library.h"

#include <dlfcn.h>

#include <QTemporaryFile>

#include <memory>
#include <system_error>

#include "platform/fs/file_io.h"
#include "platform/fs/program_folder.h"
#include "player/book/packet_file.h"

namespace orv::install {

namespace {

using Decode = int (*)(const char*, int, const char*, int);

struct Library {
  void* handle = nullptr;
  ~Library() {
    if (handle) dlclose(handle);
  }
};

// A name in `folder` that nothing else uses, removed when it goes.
struct Scratch {
  std::filesystem::path path;
  explicit Scratch(const std::filesystem::path& folder, const char* suffix) {
    QTemporaryFile file(QString::fromStdString((folder / ".conv-XXXXXX").string()) + suffix);
    file.setAutoRemove(false);
    if (file.open()) path = file.fileName().toStdString();
  }
  ~Scratch() {
    if (!path.empty()) plat::fs::removeFile(path);
  }
};

}  // namespace

COrv_Conv32Library::COrv_Conv32Library(std::filesystem::path scratchFolder, std::string libraryName)
    : m_scratch(std::move(scratchFolder)), m_name(std::move(libraryName)) {}

COrv_Conv32Library& COrv_Conv32Library::Shared() {
  static COrv_Conv32Library library;
  return library;
}

std::filesystem::path COrv_Conv32Library::scratchFolder() const {
  return m_scratch.empty() ? COrv_PacketFile().GetWorkFolder() : m_scratch;
}

// The flags the library is opened with. In the fuzz build the library
// carries coverage counters that the fuzzer keeps reading after each run:
// unloading it there would leave the fuzzer reading unmapped memory, so it
// stays loaded for the life of the process.
#ifdef TV_FUZZ_BUILD
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
#else
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL;
#endif

void* COrv_Conv32Library::open() const {
  // The library lies beside the program. It is opened by its full path:
  // a bare name is looked up through the run path of whoever calls
  // dlopen, which is not the program when the call is intercepted (as the
  // address sanitizer does).
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", ec).parent_path();
  for (const std::filesystem::path& folder : {plat::fs::programFolder(), self}) {
    if (folder.empty() || !std::filesystem::is_regular_file(folder / m_name, ec)) continue;
    if (void* handle = dlopen((folder / m_name).c_str(), kOpenFlags)) return handle;
  }
  return dlopen(m_name.c_str(), kOpenFlags);
}

bool COrv_Conv32Library::Available() {
  Library lib;
  lib.handle = open();
  if (!lib.handle) return false;
  ++m_loads;
  return dlsym(lib.handle, kEntryPoint) != nullptr;
}

bool COrv_Conv32Library::Convert(std::string_view source, std::uint8_t kind, std::string& wav) {
  wav.clear();
  const std::filesystem::path folder = scratchFolder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  Scratch in(folder, ".~tp"), out(folder, ".wav");
  if (in.path.empty() || out.path.empty()) return false;
  if (plat::fs::writeFileAtomic(in.path, source)) return false;

  Library lib;
  lib.handle = open();
  if (!lib.handle) return false;
  ++m_loads;
  const auto decode = reinterpret_cast<Decode>(dlsym(lib.handle, kEntryPoint));
  if (!decode) return false;
  if (decode(in.path.c_str(), kind, out.path.c_str(), kModeWav) == 0) return false;
  return !plat::fs::readFile(out.path, wav) && !wav.empty();
}

}  // namespace orv::install
