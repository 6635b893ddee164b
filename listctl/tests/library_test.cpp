// liblindra.so as a program loads it: the pool stays inside (none of its
// functions is exported), loading registers the window classes in the one
// window registry and unloading removes them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "platform/win/window.h"

namespace {

const char* const kClasses[] = {"nwListBox3230", "nwComboBox3230", "nwVScrollBar3230", "nwComboListDLL3230",
                                "nwComboEditDLL3230"};

int classesPresent() {
  int n = 0;
  for (const char* name : kClasses) {
    plat::win::WNDCLASS wc;
    if (plat::win::GetClassInfo(nullptr, name, &wc)) ++n;
  }
  return n;
}

TEST(LindraLibrary, ExportsNoPoolFunction) {
  void* lib = dlopen(LINDRA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  for (const char* name : {"_ZN6lindra9PoolAllocEPNS_7MemPoolEmj", "_ZN6lindra8PoolFreeEPv",
                           "_ZN6lindra10PoolCreateEj", "_ZN6lindra19PoolSetErrorHandlerEPFiPKNS_15PoolErrorRecordEE"}) {
    EXPECT_EQ(dlsym(lib, name), nullptr) << name;
  }
  dlclose(lib);
}

TEST(LindraLibrary, LoadRegistersTheClassesOnceAndUnloadRemovesThem) {
  plat::win::test::reset();
  ASSERT_EQ(classesPresent(), 0);
  void* first = dlopen(LINDRA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(first, nullptr) << dlerror();
  EXPECT_EQ(classesPresent(), 5);
  plat::win::WNDCLASS wc;
  ASSERT_TRUE(plat::win::GetClassInfo(nullptr, "nwListBox3230", &wc));
  EXPECT_EQ(wc.style, 0x400Bu);
  EXPECT_NE(wc.hInstance, nullptr);

  // Loading again in the same process changes nothing.
  void* second = dlopen(LINDRA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_EQ(second, first);
  EXPECT_EQ(classesPresent(), 5);
  dlclose(second);
  EXPECT_EQ(classesPresent(), 5);

  // A list window made from the loaded library works and goes.
  plat::win::HWND list = plat::win::CreateWindow("nwListBox3230", "", 0, 0, 0, 50, 50, nullptr, nullptr,
                                                 nullptr, nullptr);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(plat::win::SendMessage(list, 0x0087 /* WM_GETDLGCODE */, 0, 0), 0x81);
  plat::win::DestroyWindow(list);

  dlclose(first);
  ASSERT_EQ(dlopen(LINDRA_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the library stayed loaded";
  EXPECT_EQ(classesPresent(), 0);
}

}  // namespace
