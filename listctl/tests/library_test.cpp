// liblindra.so keeps the pool inside: none of its functions is exported.
#include <dlfcn.h>
#include <gtest/gtest.h>

TEST(LindraLibrary, ExportsNoPoolFunction) {
  void* lib = dlopen(LINDRA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  for (const char* name : {"_ZN6lindra9PoolAllocEPNS_7MemPoolEmj", "_ZN6lindra8PoolFreeEPv",
                           "_ZN6lindra10PoolCreateEj", "_ZN6lindra19PoolSetErrorHandlerEPFiPKNS_15PoolErrorRecordEE"}) {
    EXPECT_EQ(dlsym(lib, name), nullptr) << name;
  }
  dlclose(lib);
}
