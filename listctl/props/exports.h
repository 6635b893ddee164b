// The library's exported property functions, generated from the property
// table. Each one only builds the set-property (0x52D) or get-property
// (0x52E) message for the window it is given; the control answers it.
//
// Families: LC_Get<Name> / LC_Set<Name> (both controls), CbxGet / CbxSet
// (combo only), LbxGet / LbxSet (multi-selection). Calling shapes:
//   numeric get  (hwnd, out)         -1 at once for a null out; else the
//                                    control writes the value into *out and
//                                    the status (0 or an error code) is the result
//   direct get   (hwnd, lParam)      the message result
//   text get     (hwnd, buffer, size) the full length of the text; a null
//                                    buffer (or size 0) asks only for the length
//   picture get  (hwnd, type, kind, value buffer, size, attribute)
//   set          (hwnd, value)       16-bit values sign-extended, floats by pointer
//   picture set  (hwnd, type, kind, value, attribute)
#pragma once

#include <cstdint>

#include "listctl/props/property_table.h"
#include "platform/win/win_types.h"

#define LINDRA_API extern "C" __attribute__((visibility("default")))

namespace lindra::props {

inline constexpr plat::win::UINT kSetMessage = 0x52D, kGetMessage = 0x52E;

// lParam of a text get: the caller's buffer and its size in bytes.
struct TextBlock {
  char* buffer;
  std::int32_t size;
};

// lParam of a picture set or get.
struct PictureBlock {
  std::uint16_t type;  // picture type
  std::uint16_t kind;  // storage kind: 0 a handle, 1 a 16-bit resource number
  std::uint32_t value;
  std::uint32_t attribute;
  std::uint32_t fill;
};

}  // namespace lindra::props

// Argument lists by type.
#define LINDRA_GETARGS_Text char *buffer, std::int32_t size
#define LINDRA_GETARGS_Int16 std::int16_t *out
#define LINDRA_GETARGS_Enum std::int16_t *out
#define LINDRA_GETARGS_Int32 std::int32_t *out
#define LINDRA_GETARGS_Bool std::int32_t *out
#define LINDRA_GETARGS_Width std::int32_t *out
#define LINDRA_GETARGS_Height std::int32_t *out
#define LINDRA_GETARGS_Font std::int32_t *out
#define LINDRA_GETARGS_Bookmark std::int32_t *out
#define LINDRA_GETARGS_Colour std::uint32_t *out
#define LINDRA_GETARGS_Float float *out
#define LINDRA_GETARGS_Picture \
  std::uint16_t *type, std::uint16_t *kind, void *value, std::int32_t size, std::uint32_t *attribute
#define LINDRA_GETARGS_Direct plat::win::LPARAM lParam

#define LINDRA_SETARGS_Text const char *value
#define LINDRA_SETARGS_Int16 std::int16_t value
#define LINDRA_SETARGS_Enum std::int16_t value
#define LINDRA_SETARGS_Int32 std::int32_t value
#define LINDRA_SETARGS_Bool std::int32_t value
#define LINDRA_SETARGS_Width std::int32_t value
#define LINDRA_SETARGS_Height std::int32_t value
#define LINDRA_SETARGS_Font std::int32_t value
#define LINDRA_SETARGS_Bookmark std::int32_t value
#define LINDRA_SETARGS_Colour std::uint32_t value
#define LINDRA_SETARGS_Float float value
#define LINDRA_SETARGS_Picture std::uint16_t type, std::uint16_t kind, std::uint32_t value, std::uint32_t attribute

// Export bits as preprocessor flags: lcGet, lcSet, cbxGet, cbxSet, lbxGet, lbxSet, direct.
#define LINDRA_BITS_NoExport 0, 0, 0, 0, 0, 0, 0
#define LINDRA_BITS_LcGS 1, 1, 0, 0, 0, 0, 0
#define LINDRA_BITS_LcGet 1, 0, 0, 0, 0, 0, 0
#define LINDRA_BITS_LcSet 0, 1, 0, 0, 0, 0, 0
#define LINDRA_BITS_CbxGS 0, 0, 1, 1, 0, 0, 0
#define LINDRA_BITS_CbxGet 0, 0, 1, 0, 0, 0, 0
#define LINDRA_BITS_LbxGS 0, 0, 0, 0, 1, 1, 0
#define LINDRA_BITS_LbxGet 0, 0, 0, 0, 1, 0, 0
#define LINDRA_BITS_LcGSCbxSet 1, 1, 0, 1, 0, 0, 0
#define LINDRA_BITS_LcGetDirect 1, 0, 0, 0, 0, 0, 1
#define LINDRA_BITS_LcGSDirect 1, 1, 0, 0, 0, 0, 1

#define LINDRA_CALL(m, args) m args
#define LINDRA_WHEN(b, ...) LINDRA_WHEN_I(b, __VA_ARGS__)
#define LINDRA_WHEN_I(b, ...) LINDRA_WHEN_##b(__VA_ARGS__)
#define LINDRA_WHEN_0(...)
#define LINDRA_WHEN_1(...) __VA_ARGS__

// Expands `F(kind, family, id, Name, type, direct)` for every export of the
// table, kind being Get or Set and family LC_ / Cbx / Lbx.
#define LINDRA_FOR_EXPORT_ROW(F, id, Name, type, def, en, ex) \
  LINDRA_CALL(LINDRA_FOR_EXPORT_BITS, (F, id, Name, type, LINDRA_BITS_##ex))
#define LINDRA_FOR_EXPORT_BITS(F, id, Name, type, lg, ls, cg, cs, bg, bs, dr) \
  LINDRA_WHEN(lg, F(Get, LC_, id, Name, type, dr))                            \
  LINDRA_WHEN(ls, F(Set, LC_, id, Name, type, dr))                            \
  LINDRA_WHEN(cg, F(Get, Cbx, id, Name, type, dr))                            \
  LINDRA_WHEN(cs, F(Set, Cbx, id, Name, type, dr))                            \
  LINDRA_WHEN(bg, F(Get, Lbx, id, Name, type, dr))                            \
  LINDRA_WHEN(bs, F(Set, Lbx, id, Name, type, dr))

#define LINDRA_ARGS(kind, type, dr) LINDRA_ARGS_##kind(type, dr)
#define LINDRA_ARGS_Get(type, dr) LINDRA_ARGS_GET_I(type, dr)
#define LINDRA_ARGS_GET_I(type, dr) LINDRA_ARGS_GET_##dr(type)
#define LINDRA_ARGS_GET_0(type) LINDRA_GETARGS_##type
#define LINDRA_ARGS_GET_1(type) LINDRA_GETARGS_Direct
#define LINDRA_ARGS_Set(type, dr) LINDRA_SETARGS_##type

#define LINDRA_DECLARE_EXPORT(kind, family, id, Name, type, dr) \
  LINDRA_API plat::win::LRESULT family##kind##Name(plat::win::HWND hwnd, LINDRA_ARGS(kind, type, dr));
#define LINDRA_DECLARE_ROW(id, Name, type, def, en, ex) \
  LINDRA_FOR_EXPORT_ROW(LINDRA_DECLARE_EXPORT, id, Name, type, def, en, ex)

LINDRA_PROPERTIES(LINDRA_DECLARE_ROW)
LINDRA_WINDOW_PROPERTIES(LINDRA_DECLARE_ROW)

#define LINDRA_DECLARE_ALIAS(id, Name, Alias)                                                          \
  LINDRA_API plat::win::LRESULT CbxGet##Alias(plat::win::HWND hwnd, LINDRA_GETARGS_Enum);              \
  LINDRA_API plat::win::LRESULT CbxSet##Alias(plat::win::HWND hwnd, LINDRA_SETARGS_Enum);
LINDRA_EXPORT_ALIASES(LINDRA_DECLARE_ALIAS)
