// The shipped library's exported property functions, called through dlsym
// against a window that records what it receives: the message, the property
// id, the shape of lParam and how the result is formed. The exports come from
// a list written independently of the library's property table.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "listctl/props/exports.h"
#include "listctl/props/property_table.h"
#include "platform/testing/library_symbols.h"
#include "platform/win/window.h"

using namespace plat::win;
using lindra::props::PictureBlock;
using lindra::props::TextBlock;

namespace {

struct Recorder {
  int messages = 0;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  // What the recorder copies out of pointer lParams at the time of the call.
  float floatSeen = 0;
  PictureBlock pictureSeen{};
  TextBlock textSeen{};
  std::string stringSeen;
  PictureBlock pictureAnswer{1, 0, 0xCAFEBABEu, 7, 0};
  LRESULT answer = 0;
  const char* shape = "";
};
Recorder rec;

LRESULT recorderProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m != lindra::props::kSetMessage && m != lindra::props::kGetMessage) return DefWindowProc(h, m, w, l);
  ++rec.messages;
  rec.msg = m;
  rec.wParam = w;
  rec.lParam = l;
  const std::string s = rec.shape;
  if (s == "get16") *reinterpret_cast<std::int16_t*>(l) = -2;
  else if (s == "get32") *reinterpret_cast<std::int32_t*>(l) = 0x12345678;
  else if (s == "getf") *reinterpret_cast<float*>(l) = 2.5f;
  else if (s == "setf") rec.floatSeen = *reinterpret_cast<const float*>(l);
  else if (s == "settext") rec.stringSeen = reinterpret_cast<const char*>(l);
  else if (s == "setpic") rec.pictureSeen = *reinterpret_cast<const PictureBlock*>(l);
  else if (s == "getpic") *reinterpret_cast<PictureBlock*>(l) = rec.pictureAnswer;
  else if (s == "gettext") {
    auto* block = reinterpret_cast<TextBlock*>(l);
    rec.textSeen = *block;
    if (block->buffer && block->size > 0) std::snprintf(block->buffer, static_cast<std::size_t>(block->size), "abcdef");
    return 6;
  }
  return rec.answer;
}

struct ExportCase {
  std::string name;
  int id;
  std::string shape;
};

std::vector<ExportCase> readList() {
  std::vector<ExportCase> out;
  std::ifstream in(LINDRA_EXPORT_LIST);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream row(line);
    ExportCase c;
    row >> c.name >> c.id >> c.shape;
    out.push_back(c);
  }
  return out;
}

std::set<std::string> mapNames() { return tvtest::versionScriptNames(LINDRA_MAP_PATH); }

std::set<std::string> dynamicSymbols() { return tvtest::definedDynamicSymbols(LINDRA_LIBRARY_PATH); }

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    lib_ = dlopen(LINDRA_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib_, nullptr) << dlerror();
    WNDCLASS wc;
    wc.lpfnWndProc = recorderProc;
    wc.lpszClassName = "ExportRecorder";
    ASSERT_NE(RegisterClass(&wc), 0);
    hwnd_ = CreateWindow("ExportRecorder", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hwnd_, nullptr);
    rec = Recorder{};
  }
  void TearDown() override {
    if (lib_) dlclose(lib_);
    test::reset();
  }
  void* sym(const std::string& name) { return dlsym(lib_, name.c_str()); }
  void expectSent(const ExportCase& c, UINT msg) {
    EXPECT_EQ(rec.messages, 1) << c.name;
    EXPECT_EQ(rec.msg, msg) << c.name;
    EXPECT_EQ(rec.wParam, static_cast<WPARAM>(c.id)) << c.name;
  }

  void* lib_ = nullptr;
  HWND hwnd_ = nullptr;
};

TEST_F(ExportsTest, TheSharedLibraryExportsExactlyTheVersionScript) {
  const auto listed = mapNames();
  const auto exported = dynamicSymbols();
  ASSERT_FALSE(listed.empty());
  EXPECT_EQ(exported, listed);
  for (const auto& c : readList()) EXPECT_TRUE(listed.count(c.name)) << c.name << " missing from the version script";
}

// Independently of the version script and of the export list: every export
// the property table promises, the saved-state functions and the combo's
// window procedures are in the shared library, and the combo-only and
// multi-selection families hold the numbers of functions the controls have.
TEST_F(ExportsTest, TheLibraryHoldsEveryPromisedExport) {
  const auto exported = dynamicSymbols();
  std::vector<std::string> promised = {"ComboProc",    "CB_EditProc",  "CB_Colvanec",    "LB_SaveState",
                                       "LB_LoadState", "LB_GetStateBlob", "LB_SetStateBlob"};
#define PROMISED_NAME(kind, family, id, Name, type, dr) promised.push_back(#family #kind #Name);
#define PROMISED_ROW(id, Name, type, def, en, ex) LINDRA_FOR_EXPORT_ROW(PROMISED_NAME, id, Name, type, def, en, ex)
#define PROMISED_ALIAS(id, Name, Alias) promised.push_back("CbxGet" #Alias); promised.push_back("CbxSet" #Alias);
  LINDRA_PROPERTIES(PROMISED_ROW)
  LINDRA_WINDOW_PROPERTIES(PROMISED_ROW)
  LINDRA_EXPORT_ALIASES(PROMISED_ALIAS)
#undef PROMISED_NAME
#undef PROMISED_ROW
#undef PROMISED_ALIAS
  for (const std::string& name : promised) EXPECT_TRUE(exported.count(name)) << name << " is not exported";
  auto count = [&](const std::string& prefix) {
    return std::count_if(exported.begin(), exported.end(),
                         [&](const std::string& n) { return n.rfind(prefix, 0) == 0; });
  };
  EXPECT_EQ(count("CbxGet"), 26);
  EXPECT_EQ(count("CbxSet"), 26);
  EXPECT_EQ(count("LbxGet"), 4);
  EXPECT_EQ(count("LbxSet"), 3);
  EXPECT_EQ(count("LB_"), 4);
}

TEST_F(ExportsTest, EveryListedExportBuildsItsMessage) {
  const auto cases = readList();
  ASSERT_GT(cases.size(), 140u);
  for (const auto& c : cases) {
    void* f = sym(c.name);
    ASSERT_NE(f, nullptr) << c.name;
    rec = Recorder{};
    rec.shape = c.shape.c_str();
    const std::string& s = c.shape;
    SCOPED_TRACE(c.name);
    if (s == "get16") {
      auto fn = reinterpret_cast<LRESULT (*)(HWND, std::int16_t*)>(f);
      EXPECT_EQ(fn(hwnd_, nullptr), -1);  // a null out pointer: nothing sent
      EXPECT_EQ(rec.messages, 0);
      std::int16_t v = 0;
      EXPECT_EQ(fn(hwnd_, &v), 0);
      expectSent(c, 0x52E);
      EXPECT_EQ(rec.lParam, reinterpret_cast<LPARAM>(&v));
      EXPECT_EQ(v, -2);
      rec.answer = 30500;  // a refused get reaches the caller as a failure
      EXPECT_EQ(fn(hwnd_, &v), 30500);
    } else if (s == "get32") {
      auto fn = reinterpret_cast<LRESULT (*)(HWND, std::int32_t*)>(f);
      EXPECT_EQ(fn(hwnd_, nullptr), -1);
      EXPECT_EQ(rec.messages, 0);
      std::int32_t v = 0;
      EXPECT_EQ(fn(hwnd_, &v), 0);
      expectSent(c, 0x52E);
      EXPECT_EQ(v, 0x12345678);
      rec.answer = 30501;
      EXPECT_EQ(fn(hwnd_, &v), 30501);
    } else if (s == "getf") {
      auto fn = reinterpret_cast<LRESULT (*)(HWND, float*)>(f);
      EXPECT_EQ(fn(hwnd_, nullptr), -1);
      float v = 0;
      EXPECT_EQ(fn(hwnd_, &v), 0);
      expectSent(c, 0x52E);
      EXPECT_EQ(v, 2.5f);
    } else if (s == "gettext") {
      auto fn = reinterpret_cast<LRESULT (*)(HWND, char*, std::int32_t)>(f);
      char buf[4] = "zz";
      EXPECT_EQ(fn(hwnd_, buf, sizeof buf), 6);  // the full length
      expectSent(c, 0x52E);
      EXPECT_EQ(rec.textSeen.buffer, buf);
      EXPECT_EQ(rec.textSeen.size, 4);
      EXPECT_STREQ(buf, "abc");
      EXPECT_EQ(fn(hwnd_, nullptr, 99), 6);  // the length alone
      EXPECT_EQ(rec.textSeen.buffer, nullptr);
      EXPECT_EQ(rec.textSeen.size, 0);
    } else if (s == "getdirect") {
      auto fn = reinterpret_cast<LRESULT (*)(HWND, LPARAM)>(f);
      rec.answer = 77;
      std::int32_t slot = 0;
      EXPECT_EQ(fn(hwnd_, reinterpret_cast<LPARAM>(&slot)), 77);
      expectSent(c, 0x52E);
      EXPECT_EQ(rec.lParam, reinterpret_cast<LPARAM>(&slot));
      if (c.id == 507) {  // the help context is written through lParam
        rec.messages = 0;
        EXPECT_EQ(fn(hwnd_, 0), -1);
        EXPECT_EQ(rec.messages, 0);
      }
    } else if (s == "getpic") {
      auto fn = reinterpret_cast<LRESULT (*)(HWND, std::uint16_t*, std::uint16_t*, void*, std::int32_t,
                                             std::uint32_t*)>(f);
      std::uint16_t type = 0, kind = 9;
      std::uint32_t attr = 0;
      unsigned char buf[4] = {};
      EXPECT_EQ(fn(hwnd_, &type, &kind, buf, 4, &attr), 0);
      expectSent(c, 0x52E);
      std::uint32_t v;
      std::memcpy(&v, buf, 4);
      EXPECT_EQ(v, 0xCAFEBABEu);
      EXPECT_EQ(type, 1);
      EXPECT_EQ(kind, 0);
      EXPECT_EQ(attr, 7u);
      // A handle does not fit three bytes: -1 after the message.
      rec.messages = 0;
      EXPECT_EQ(fn(hwnd_, nullptr, nullptr, buf, 3, nullptr), -1);
      EXPECT_EQ(rec.messages, 1);
      // A resource number fits two.
      rec.pictureAnswer = PictureBlock{2, 1, 0x1234, 0, 0};
      std::uint16_t res = 0;
      EXPECT_EQ(fn(hwnd_, nullptr, &kind, &res, 2, nullptr), 0);
      EXPECT_EQ(res, 0x1234);
      EXPECT_EQ(kind, 1);
      // A refusal comes back as it stands and writes nothing.
      rec.pictureAnswer = PictureBlock{};
      rec.answer = 30500;
      kind = 9;
      EXPECT_EQ(fn(hwnd_, nullptr, &kind, buf, 4, nullptr), 30500);
      EXPECT_EQ(kind, 9);
    } else if (s == "set16") {
      auto fn = reinterpret_cast<LRESULT (*)(HWND, std::int16_t)>(f);
      rec.answer = 30503;
      EXPECT_EQ(fn(hwnd_, -1), 30503);  // the result passes unchanged
      expectSent(c, 0x52D);
      EXPECT_EQ(rec.lParam, -1);  // sign-extended
    } else if (s == "set32") {
      auto fn = reinterpret_cast<LRESULT (*)(HWND, std::int32_t)>(f);
      EXPECT_EQ(fn(hwnd_, 0x7FFF0001), 0);
      expectSent(c, 0x52D);
      EXPECT_EQ(rec.lParam, 0x7FFF0001);
    } else if (s == "settext") {
      auto fn = reinterpret_cast<LRESULT (*)(HWND, const char*)>(f);
      EXPECT_EQ(fn(hwnd_, "Ä title"), 0);
      expectSent(c, 0x52D);
      EXPECT_EQ(rec.stringSeen, "Ä title");
    } else if (s == "setf") {
      auto fn = reinterpret_cast<LRESULT (*)(HWND, float)>(f);
      EXPECT_EQ(fn(hwnd_, 12.75f), 0);
      expectSent(c, 0x52D);
      EXPECT_EQ(rec.floatSeen, 12.75f);  // by pointer
    } else if (s == "setpic") {
      auto fn = reinterpret_cast<LRESULT (*)(HWND, std::uint16_t, std::uint16_t, std::uint32_t, std::uint32_t)>(f);
      EXPECT_EQ(fn(hwnd_, 3, 1, 9001, 5), 0);
      expectSent(c, 0x52D);
      EXPECT_EQ(rec.pictureSeen.type, 3);
      EXPECT_EQ(rec.pictureSeen.kind, 1);
      EXPECT_EQ(rec.pictureSeen.value, 9001u);
      EXPECT_EQ(rec.pictureSeen.attribute, 5u);
    } else {
      ADD_FAILURE() << "unknown shape " << s;
    }
  }
}

}  // namespace
