// CnwListBox and CnwComboBox: the player's handles on Lindra's list and combo
// controls. Each method calls one exported property function with the
// control's window; the methods are generated from the library's property
// table. The objects hold nothing but the window handle.
//
// A handle that is not a window of the control's class is refused before
// any export runs (exports pass pointers in lParam, which another window
// would misread): numeric methods answer -1, text methods leave the cleared
// buffer.
#pragma once

#include <cstdint>

#include "listctl/props/exports.h"
#include "platform/win/win_types.h"

namespace orv::views {

class CnwControl {
 public:
  explicit CnwControl(plat::win::HWND hwnd = nullptr, const char* className = nullptr)
      : m_hWnd(hwnd), className_(className) {}
  plat::win::HWND GetSafeHwnd() const { return m_hWnd; }
  // Makes the control window: `className`, no title, no creation context.
  bool Create(plat::win::DWORD style, const plat::win::RECT& rect, plat::win::HWND parent, unsigned id);
  // Whether the handle names a live window of the control's class.
  bool IsControl() const;

 protected:
  plat::win::HWND m_hWnd;
  const char* className_;
};

}  // namespace orv::views

// Method forms by kind and type.
#define ORV_NUMTYPE_Int16 std::int16_t
#define ORV_NUMTYPE_Enum std::int16_t
#define ORV_NUMTYPE_Int32 std::int32_t
#define ORV_NUMTYPE_Bool std::int32_t
#define ORV_NUMTYPE_Width std::int32_t
#define ORV_NUMTYPE_Height std::int32_t
#define ORV_NUMTYPE_Font std::int32_t
#define ORV_NUMTYPE_Bookmark std::int32_t
#define ORV_NUMTYPE_Colour std::uint32_t
#define ORV_NUMTYPE_Float float

#define ORV_METHOD(kind, family, id, Name, type, dr) ORV_METHOD_##kind(family, Name, type, dr)
#define ORV_METHOD_Set(family, Name, type, dr) ORV_SET_##type(family, Name)
#define ORV_METHOD_Get(family, Name, type, dr) ORV_METHOD_GET_I(family, Name, type, dr)
#define ORV_METHOD_GET_I(family, Name, type, dr) ORV_METHOD_GET_##dr(family, Name, type)
#define ORV_METHOD_GET_1(family, Name, type) \
  plat::win::LRESULT Get##Name() const { return IsControl() ? family##Get##Name(m_hWnd, 0) : -1; }
#define ORV_METHOD_GET_0(family, Name, type) ORV_GET_##type(family, Name)

#define ORV_GET_NUM(family, Name, T)            \
  T Get##Name() const {                         \
    T v{};                                      \
    if (!IsControl() || family##Get##Name(m_hWnd, &v) != 0) return static_cast<T>(-1); \
    return v;                                   \
  }
#define ORV_GET_Int16(f, N) ORV_GET_NUM(f, N, std::int16_t)
#define ORV_GET_Enum(f, N) ORV_GET_NUM(f, N, std::int16_t)
#define ORV_GET_Int32(f, N) ORV_GET_NUM(f, N, std::int32_t)
#define ORV_GET_Bool(f, N) ORV_GET_NUM(f, N, std::int32_t)
#define ORV_GET_Width(f, N) ORV_GET_NUM(f, N, std::int32_t)
#define ORV_GET_Height(f, N) ORV_GET_NUM(f, N, std::int32_t)
#define ORV_GET_Font(f, N) ORV_GET_NUM(f, N, std::int32_t)
#define ORV_GET_Bookmark(f, N) ORV_GET_NUM(f, N, std::int32_t)
#define ORV_GET_Colour(f, N) ORV_GET_NUM(f, N, std::uint32_t)
#define ORV_GET_Float(f, N) ORV_GET_NUM(f, N, float)
#define ORV_GET_Text(f, N)                                          \
  char* Get##N(char* buffer, std::int32_t size) const {             \
    if (buffer && size > 0) buffer[0] = '\0';                       \
    if (IsControl()) f##Get##N(m_hWnd, buffer, size);               \
    return buffer;                                                  \
  }                                                                 \
  plat::win::LRESULT Get##N##Len() const { return IsControl() ? f##Get##N(m_hWnd, nullptr, 0) : -1; }
#define ORV_GET_Picture(f, N)                                                                           \
  void* Get##N(std::uint16_t* type, std::uint16_t* kind, void* value, std::int32_t size,                \
               std::uint32_t* attribute) const {                                                        \
    if (IsControl()) f##Get##N(m_hWnd, type, kind, value, size, attribute);                             \
    return value;                                                                                       \
  }

#define ORV_SET_NUM(family, Name, T) \
  plat::win::LRESULT Set##Name(T value) const { return IsControl() ? family##Set##Name(m_hWnd, value) : -1; }
#define ORV_SET_Int16(f, N) ORV_SET_NUM(f, N, std::int16_t)
#define ORV_SET_Enum(f, N) ORV_SET_NUM(f, N, std::int16_t)
#define ORV_SET_Int32(f, N) ORV_SET_NUM(f, N, std::int32_t)
#define ORV_SET_Bool(f, N) ORV_SET_NUM(f, N, std::int32_t)
#define ORV_SET_Width(f, N) ORV_SET_NUM(f, N, std::int32_t)
#define ORV_SET_Height(f, N) ORV_SET_NUM(f, N, std::int32_t)
#define ORV_SET_Font(f, N) ORV_SET_NUM(f, N, std::int32_t)
#define ORV_SET_Bookmark(f, N) ORV_SET_NUM(f, N, std::int32_t)
#define ORV_SET_Colour(f, N) ORV_SET_NUM(f, N, std::uint32_t)
#define ORV_SET_Float(f, N) ORV_SET_NUM(f, N, float)
#define ORV_SET_Text(f, N) ORV_SET_NUM(f, N, const char*)
#define ORV_SET_Picture(f, N)                                                                              \
  plat::win::LRESULT Set##N(std::uint16_t type, std::uint16_t kind, std::uint32_t value,                   \
                            std::uint32_t attribute) const {                                               \
    return IsControl() ? f##Set##N(m_hWnd, type, kind, value, attribute) : -1;                             \
  }

// Which exports each class wraps. An LC_ export named in a skip list gets
// no method (a probe macro tells whether ORV_SKIP_<class>_<Kind><Name> exists).
#define ORV_SECOND(a, b, ...) b
#define ORV_IS_PROBE(...) ORV_SECOND(__VA_ARGS__, 0, ~)
#define ORV_SKIPPED(cls, kind, Name) ORV_IS_PROBE(ORV_SKIP_##cls##_##kind##Name)
#define ORV_UNLESS(b, ...) ORV_UNLESS_I(b, __VA_ARGS__)
#define ORV_UNLESS_I(b, ...) ORV_UNLESS_##b(__VA_ARGS__)
#define ORV_UNLESS_0(...) __VA_ARGS__
#define ORV_UNLESS_1(...)

#define ORV_SKIP_LIST_GetAction ~, 1
#define ORV_SKIP_LIST_GetColFormat ~, 1
#define ORV_SKIP_LIST_GetHelpContextID ~, 1
#define ORV_SKIP_LIST_GetTabStop ~, 1
#define ORV_SKIP_LIST_GetVisible ~, 1
#define ORV_SKIP_LIST_SetColFormat ~, 1
#define ORV_SKIP_LIST_SetHelpContextID ~, 1
#define ORV_SKIP_LIST_SetMouseOverGrp ~, 1
#define ORV_SKIP_LIST_SetMouseOverGrpHeader ~, 1
#define ORV_SKIP_LIST_SetTabStop ~, 1
#define ORV_SKIP_LIST_SetVisible ~, 1
#define ORV_SKIP_COMBO_GetAction ~, 1
#define ORV_SKIP_COMBO_GetColFormat ~, 1
#define ORV_SKIP_COMBO_GetHelpContextID ~, 1
#define ORV_SKIP_COMBO_GetTabStop ~, 1
#define ORV_SKIP_COMBO_GetVisible ~, 1
#define ORV_SKIP_COMBO_SetColFormat ~, 1
#define ORV_SKIP_COMBO_SetHelpContextID ~, 1
#define ORV_SKIP_COMBO_SetMouseOverGrp ~, 1
#define ORV_SKIP_COMBO_SetMouseOverGrpHeader ~, 1
#define ORV_SKIP_COMBO_SetTabStop ~, 1
#define ORV_SKIP_COMBO_SetVisible ~, 1
#define ORV_SKIP_COMBO_GetNextSel ~, 1
#define ORV_SKIP_COMBO_SetNextSel ~, 1
#define ORV_SKIP_COMBO_SetText ~, 1  // CbxSetText takes its place
#define ORV_SKIP_COMBO_GetSearchText ~, 1  // written out below: it answers null unless the export answers 0

#define ORV_LIST_METHOD(kind, family, id, Name, type, dr) ORV_LIST_##family(kind, family, id, Name, type, dr)
#define ORV_LIST_LC_(kind, family, id, Name, type, dr) \
  ORV_UNLESS(ORV_SKIPPED(LIST, kind, Name), ORV_METHOD(kind, family, id, Name, type, dr))
#define ORV_LIST_Lbx(kind, family, id, Name, type, dr) ORV_METHOD(kind, family, id, Name, type, dr)
#define ORV_LIST_Cbx(kind, family, id, Name, type, dr)
#define ORV_COMBO_METHOD(kind, family, id, Name, type, dr) ORV_COMBO_##family(kind, family, id, Name, type, dr)
#define ORV_COMBO_LC_(kind, family, id, Name, type, dr) \
  ORV_UNLESS(ORV_SKIPPED(COMBO, kind, Name), ORV_METHOD(kind, family, id, Name, type, dr))
#define ORV_COMBO_Lbx(kind, family, id, Name, type, dr)
#define ORV_COMBO_Cbx(kind, family, id, Name, type, dr) ORV_METHOD(kind, family, id, Name, type, dr)

#define ORV_LIST_ROW(id, Name, type, def, en, ex) LINDRA_FOR_EXPORT_ROW(ORV_LIST_METHOD, id, Name, type, def, en, ex)
#define ORV_COMBO_ROW(id, Name, type, def, en, ex) LINDRA_FOR_EXPORT_ROW(ORV_COMBO_METHOD, id, Name, type, def, en, ex)
#define ORV_COMBO_ALIAS(id, Name, Alias) ORV_METHOD(Get, Cbx, id, Alias, Enum, 0) ORV_METHOD(Set, Cbx, id, Alias, Enum, 0)

namespace orv::views {

class CnwListBox : public CnwControl {
 public:
  explicit CnwListBox(plat::win::HWND hwnd = nullptr) : CnwControl(hwnd, "nwListBox3230") {}
  LINDRA_PROPERTIES(ORV_LIST_ROW)
  LINDRA_WINDOW_PROPERTIES(ORV_LIST_ROW)
};

class CnwComboBox : public CnwControl {
 public:
  explicit CnwComboBox(plat::win::HWND hwnd = nullptr) : CnwControl(hwnd, "nwComboBox3230") {}
  LINDRA_PROPERTIES(ORV_COMBO_ROW)
  LINDRA_WINDOW_PROPERTIES(ORV_COMBO_ROW)
  LINDRA_EXPORT_ALIASES(ORV_COMBO_ALIAS)

  // Unlike the other text getters, the buffer comes back only when the
  // export answers 0 (an empty search text); any other answer, the length
  // of a text copied or -1, gives a null pointer. Callers that want the
  // text itself read it through CnwListBox::GetSearchText on the list.
  char* GetSearchText(char* buffer, std::int32_t size) const {
    if (buffer && size > 0) buffer[0] = '\0';
    if (!IsControl()) return nullptr;
    return LC_GetSearchText(m_hWnd, buffer, size) == 0 ? buffer : nullptr;
  }
  plat::win::LRESULT GetSearchTextLen() const { return IsControl() ? LC_GetSearchText(m_hWnd, nullptr, 0) : -1; }
};

}  // namespace orv::views
