// liblindra.so's entry and exit: loading the library runs its start-up
// (window classes, pool error handler), unloading removes the classes.
#include <dlfcn.h>

#include "listctl/core/library.h"

namespace {

plat::win::HINSTANCE ownModule() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ownModule), &info) && info.dli_fbase)
    return static_cast<plat::win::HINSTANCE>(info.dli_fbase);
  return reinterpret_cast<plat::win::HINSTANCE>(&ownModule);
}

__attribute__((constructor)) void attachLibrary() { lindra::LibraryEntry(ownModule(), lindra::DLL_PROCESS_ATTACH); }

__attribute__((destructor)) void detachLibrary() { lindra::LibraryEntry(ownModule(), lindra::DLL_PROCESS_DETACH); }

}  // namespace
