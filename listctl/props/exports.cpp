// The bodies of the exported property functions; the list of functions and
// their argument lists come from the property table (exports.h).
#include "listctl/props/exports.h"

#include <cstring>

#include "platform/win/window.h"

namespace pw = plat::win;

namespace lindra::props {
namespace {

constexpr int kHelpContextId = 507;

template <typename T>
pw::LRESULT getNumeric(pw::HWND hwnd, int id, T* out) {
  if (!out) return -1;
  return pw::SendMessage(hwnd, kGetMessage, static_cast<pw::WPARAM>(id), reinterpret_cast<pw::LPARAM>(out));
}

pw::LRESULT getDirect(pw::HWND hwnd, int id, pw::LPARAM lParam) {
  // The help context is written through lParam: a null one is refused here.
  if (id == kHelpContextId && lParam == 0) return -1;
  return pw::SendMessage(hwnd, kGetMessage, static_cast<pw::WPARAM>(id), lParam);
}

pw::LRESULT getText(pw::HWND hwnd, int id, char* buffer, std::int32_t size) {
  TextBlock block{buffer, buffer && size > 0 ? size : 0};
  return pw::SendMessage(hwnd, kGetMessage, static_cast<pw::WPARAM>(id), reinterpret_cast<pw::LPARAM>(&block));
}

pw::LRESULT getPicture(pw::HWND hwnd, int id, std::uint16_t* type, std::uint16_t* kind, void* value,
                       std::int32_t size, std::uint32_t* attribute) {
  PictureBlock block{};
  const pw::LRESULT r =
      pw::SendMessage(hwnd, kGetMessage, static_cast<pw::WPARAM>(id), reinterpret_cast<pw::LPARAM>(&block));
  if (r != 0) return r;
  if (type) *type = block.type;
  if (kind) *kind = block.kind;
  if (attribute) *attribute = block.attribute;
  // A handle needs 4 bytes, a resource number 2.
  const std::int32_t need = block.kind == 1 ? 2 : 4;
  if (!value || size < need) return -1;
  if (need == 2) {
    const auto v = static_cast<std::uint16_t>(block.value);
    std::memcpy(value, &v, 2);
  } else {
    std::memcpy(value, &block.value, 4);
  }
  return 0;
}

pw::LRESULT setValue(pw::HWND hwnd, int id, pw::LPARAM value) {
  return pw::SendMessage(hwnd, kSetMessage, static_cast<pw::WPARAM>(id), value);
}

pw::LRESULT setFloat(pw::HWND hwnd, int id, float value) {
  float local = value;
  return pw::SendMessage(hwnd, kSetMessage, static_cast<pw::WPARAM>(id), reinterpret_cast<pw::LPARAM>(&local));
}

pw::LRESULT setPicture(pw::HWND hwnd, int id, std::uint16_t type, std::uint16_t kind, std::uint32_t value,
                       std::uint32_t attribute) {
  PictureBlock block{type, kind, value, attribute, 0};
  return pw::SendMessage(hwnd, kSetMessage, static_cast<pw::WPARAM>(id), reinterpret_cast<pw::LPARAM>(&block));
}

}  // namespace
}  // namespace lindra::props

// Bodies by kind and type.
#define LINDRA_BODY(kind, id, type, dr) LINDRA_BODY_##kind(id, type, dr)
#define LINDRA_BODY_Get(id, type, dr) LINDRA_BODY_GET_I(id, type, dr)
#define LINDRA_BODY_GET_I(id, type, dr) LINDRA_BODY_GET_##dr(id, type)
#define LINDRA_BODY_GET_0(id, type) LINDRA_GETBODY_##type(id)
#define LINDRA_BODY_GET_1(id, type) return lindra::props::getDirect(hwnd, id, lParam);
#define LINDRA_BODY_Set(id, type, dr) LINDRA_SETBODY_##type(id)

#define LINDRA_GETBODY_NUM(id) return lindra::props::getNumeric(hwnd, id, out);
#define LINDRA_GETBODY_Int16 LINDRA_GETBODY_NUM
#define LINDRA_GETBODY_Enum LINDRA_GETBODY_NUM
#define LINDRA_GETBODY_Int32 LINDRA_GETBODY_NUM
#define LINDRA_GETBODY_Bool LINDRA_GETBODY_NUM
#define LINDRA_GETBODY_Width LINDRA_GETBODY_NUM
#define LINDRA_GETBODY_Height LINDRA_GETBODY_NUM
#define LINDRA_GETBODY_Font LINDRA_GETBODY_NUM
#define LINDRA_GETBODY_Bookmark LINDRA_GETBODY_NUM
#define LINDRA_GETBODY_Colour LINDRA_GETBODY_NUM
#define LINDRA_GETBODY_Float LINDRA_GETBODY_NUM
#define LINDRA_GETBODY_Text(id) return lindra::props::getText(hwnd, id, buffer, size);
#define LINDRA_GETBODY_Picture(id) return lindra::props::getPicture(hwnd, id, type, kind, value, size, attribute);

#define LINDRA_SETBODY_NUM(id) return lindra::props::setValue(hwnd, id, static_cast<pw::LPARAM>(value));
#define LINDRA_SETBODY_Int16 LINDRA_SETBODY_NUM
#define LINDRA_SETBODY_Enum LINDRA_SETBODY_NUM
#define LINDRA_SETBODY_Int32 LINDRA_SETBODY_NUM
#define LINDRA_SETBODY_Bool LINDRA_SETBODY_NUM
#define LINDRA_SETBODY_Width LINDRA_SETBODY_NUM
#define LINDRA_SETBODY_Height LINDRA_SETBODY_NUM
#define LINDRA_SETBODY_Font LINDRA_SETBODY_NUM
#define LINDRA_SETBODY_Bookmark LINDRA_SETBODY_NUM
#define LINDRA_SETBODY_Colour LINDRA_SETBODY_NUM
#define LINDRA_SETBODY_Text(id) return lindra::props::setValue(hwnd, id, reinterpret_cast<pw::LPARAM>(value));
#define LINDRA_SETBODY_Float(id) return lindra::props::setFloat(hwnd, id, value);
#define LINDRA_SETBODY_Picture(id) return lindra::props::setPicture(hwnd, id, type, kind, value, attribute);

#define LINDRA_DEFINE_EXPORT(kind, family, id, Name, type, dr)                                    \
  LINDRA_API pw::LRESULT family##kind##Name(pw::HWND hwnd, LINDRA_ARGS(kind, type, dr)) { \
    LINDRA_BODY(kind, id, type, dr)                                                         \
  }
#define LINDRA_DEFINE_ROW(id, Name, type, def, en, ex) \
  LINDRA_FOR_EXPORT_ROW(LINDRA_DEFINE_EXPORT, id, Name, type, def, en, ex)

LINDRA_PROPERTIES(LINDRA_DEFINE_ROW)
LINDRA_WINDOW_PROPERTIES(LINDRA_DEFINE_ROW)

#define LINDRA_DEFINE_ALIAS(id, Name, Alias)                                        \
  LINDRA_API pw::LRESULT CbxGet##Alias(pw::HWND hwnd, LINDRA_GETARGS_Enum) {        \
    LINDRA_BODY(Get, id, Enum, 0)                                                   \
  }                                                                                 \
  LINDRA_API pw::LRESULT CbxSet##Alias(pw::HWND hwnd, LINDRA_SETARGS_Enum) {        \
    LINDRA_BODY(Set, id, Enum, 0)                                                   \
  }
LINDRA_EXPORT_ALIASES(LINDRA_DEFINE_ALIAS)
