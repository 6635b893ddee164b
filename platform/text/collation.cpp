#include "platform/text/collation.h"

#include <unicode/ucol.h>
#include <unicode/uiter.h>
#include <unicode/ustring.h>

#include <memory>
#include <vector>

namespace plat::text {

namespace {

struct CollatorClose {
  void operator()(UCollator* c) const { ucol_close(c); }
};

// The root collator at one strength, made at first use and kept: making one
// costs far more than a comparison.
UCollator* collator(bool withCase) {
  static const auto make = [](UCollationStrength strength) {
    UErrorCode err = U_ZERO_ERROR;
    std::unique_ptr<UCollator, CollatorClose> c(ucol_open("", &err));
    if (U_FAILURE(err)) return std::unique_ptr<UCollator, CollatorClose>();
    ucol_setStrength(c.get(), strength);
    return c;
  };
  static const std::unique_ptr<UCollator, CollatorClose> secondary = make(UCOL_SECONDARY);
  static const std::unique_ptr<UCollator, CollatorClose> tertiary = make(UCOL_TERTIARY);
  return withCase ? tertiary.get() : secondary.get();
}

int byteOrder(std::string_view a, std::string_view b) { return a.compare(b) < 0 ? -1 : a == b ? 0 : 1; }

}  // namespace

int collate(std::string_view a, std::string_view b, bool withCase) {
  UCollator* c = collator(withCase);
  if (!c) return byteOrder(a, b);
  UErrorCode err = U_ZERO_ERROR;
  const UCollationResult r = ucol_strcollUTF8(c, a.data(), static_cast<int32_t>(a.size()), b.data(),
                                              static_cast<int32_t>(b.size()), &err);
  if (U_FAILURE(err)) return byteOrder(a, b);
  return r == UCOL_LESS ? -1 : r == UCOL_EQUAL ? 0 : 1;
}

std::string collationKey(std::string_view s, bool withCase) {
  UCollator* c = collator(withCase);
  if (!c) return std::string(s);
  UErrorCode err = U_ZERO_ERROR;
  std::vector<UChar> u(s.size() + 1);
  int32_t n = 0;
  u_strFromUTF8WithSub(u.data(), static_cast<int32_t>(u.size()), &n, s.data(), static_cast<int32_t>(s.size()),
                       0xFFFD, nullptr, &err);
  if (U_FAILURE(err)) return std::string(s);
  std::string key(static_cast<std::size_t>(n) * 3 + 16, '\0');
  int32_t len = ucol_getSortKey(c, u.data(), n, reinterpret_cast<uint8_t*>(key.data()),
                                static_cast<int32_t>(key.size()));
  if (len > static_cast<int32_t>(key.size())) {
    key.resize(static_cast<std::size_t>(len));
    len = ucol_getSortKey(c, u.data(), n, reinterpret_cast<uint8_t*>(key.data()), len);
  }
  // The key ends in a NUL, which is not part of the order.
  key.resize(len > 0 ? static_cast<std::size_t>(len - 1) : 0);
  return key;
}

}  // namespace plat::text
