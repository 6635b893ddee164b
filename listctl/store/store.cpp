#include "listctl/store/store.h"

#include <QChar>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "listctl/core/dispatch.h"
#include "listctl/core/library.h"
#include "platform/text/collation.h"
#include "platform/win/window.h"

namespace lindra {

namespace pw = plat::win;

namespace {

// Codes of the list-box notifications the store sends.
constexpr int kLbnErrSpace = -2;

// The owner's record of a deleted owner-drawn item.
struct DeleteItemRecord {
  UINT CtlType, CtlID, itemID;
  HWND hwndItem;
  pw::ULONG_PTR itemData;
};

bool ownerDrawn(const LbxInstance* inst) { return (inst->style & LBS_OWNERDRAWFIXED) != 0; }
bool singleSel(const LbxInstance* inst) { return !(inst->style & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)); }
// Indexes here are never negative: unsigned division is the shorter code.
int pageOf(int i) { return static_cast<int>(static_cast<unsigned>(i) / kItemsPerPage); }
int slotOf(int i) { return static_cast<int>(static_cast<unsigned>(i) % kItemsPerPage); }
int pageRecords(int capacity, int page) { return std::min(kItemsPerPage, capacity - page * kItemsPerPage); }

LbxItem& rec(const LbxInstance* inst, int i) { return inst->store.pages[pageOf(i)][slotOf(i)]; }

void repaint(LbxInstance* inst) {
  if (!inst->hwnd || !pw::IsWindow(inst->hwnd)) return;
  // The scroll bars follow the items (one run for many changes).
  postPending(inst, 0x609);
  if (!(inst->styleWord & kStyleNoRedraw)) pw::InvalidateRect(inst->hwnd, nullptr, pw::TRUE);
}

void notifyErrSpace(LbxInstance* inst) {
  if (inst->style & LBS_NOTIFY) notifyCommand(inst, static_cast<unsigned>(kLbnErrSpace));
}

void clearSearch(LbxInstance* inst) { inst->store.searchPos[0] = inst->store.searchPos[1] = -1; }

// Copies a range of records between two places of the store, page by page;
// overlapping ranges are handled in the direction of the move.
void moveRange(LbxInstance* inst, int src, int dst, int len) {
  if (len <= 0 || src == dst) return;
  if (dst > src) {
    int s = src + len - 1, d = dst + len - 1;
    while (len > 0) {
      const int chunk = std::min({len, slotOf(s) + 1, slotOf(d) + 1});
      std::memmove(&rec(inst, d - chunk + 1), &rec(inst, s - chunk + 1), chunk * sizeof(LbxItem));
      s -= chunk, d -= chunk, len -= chunk;
    }
  } else {
    int s = src, d = dst;
    while (len > 0) {
      const int chunk = std::min({len, kItemsPerPage - slotOf(s), kItemsPerPage - slotOf(d)});
      std::memmove(&rec(inst, d), &rec(inst, s), chunk * sizeof(LbxItem));
      s += chunk, d += chunk, len -= chunk;
    }
  }
}

void zeroRecords(LbxInstance* inst, int pos, int n, bool defaultHeight) {
  for (int i = pos; i < pos + n; ++i) {
    LbxItem& r = rec(inst, i);
    std::memset(&r, 0, sizeof r);
    if (defaultHeight) r.rowHeight = -1;
  }
}

// Grows the page table and the pages to hold `newCap` records.
bool growTo(LbxInstance* inst, int newCap) {
  LbxStore& s = inst->store;
  MemPool* pool = libraryPool();
  if (!pool) return false;
  const int pagesNeeded = (newCap + kItemsPerPage - 1) / kItemsPerPage;
  if (pagesNeeded > s.pageCount) {
    const std::size_t bytes = static_cast<std::size_t>(pagesNeeded) * sizeof(LbxItem*);
    auto** table = static_cast<LbxItem**>(s.pages ? PoolRealloc(s.pages, bytes, kAllocZero)
                                                  : PoolAlloc(pool, bytes, kAllocZero));
    if (!table) return false;
    s.pages = table;
  }
  for (int k = 0; k < pagesNeeded; ++k) {
    const int want = pageRecords(newCap, k);
    const int have = k < s.pageCount ? pageRecords(s.capacity, k) : 0;
    if (k < s.pageCount && want <= have) continue;
    const std::size_t bytes = static_cast<std::size_t>(want) * sizeof(LbxItem);
    // Growing by steps of 100 (items added one at a time), a page keeps room
    // ahead of the capacity: the first page doubles, later pages (a long
    // list) are taken whole. Each page is then copied a few times, not once
    // per 100 items. A batch takes exactly what it needs.
    const bool stepping = newCap == s.capacity + 100;
    if (k < s.pageCount) {
      const auto room = static_cast<std::size_t>(PoolSize(s.pages[k])) / sizeof(LbxItem);
      if (room >= static_cast<std::size_t>(want)) continue;
      const std::size_t ahead =
          stepping ? std::min<std::size_t>(kItemsPerPage, std::max<std::size_t>(want, 4 * room)) : want;
      void* p = PoolRealloc(s.pages[k], ahead * sizeof(LbxItem), kAllocZero);
      if (!p) return false;
      s.pages[k] = static_cast<LbxItem*>(p);
      // The capacity now covers this page's new records: a failure later
      // leaves them unused but owned.
    } else {
      const std::size_t take = stepping && k > 0 ? kItemsPerPage * sizeof(LbxItem) : bytes;
      void* p = PoolAlloc(pool, take, kAllocZero);
      if (!p && take != bytes) p = PoolAlloc(pool, bytes, kAllocZero);
      if (!p) return false;
      s.pages[k] = static_cast<LbxItem*>(p);
      s.pageCount = k + 1;
    }
  }
  return true;
}

// Text blocks: see kTextHeader.
char* copyText(const char* text, std::size_t n) {
  if (n > UINT32_MAX - kTextHeader - 1) return nullptr;
  auto* b = static_cast<char*>(PoolAlloc(libraryPool(), kTextHeader + n + 1, kAllocZero));
  if (!b) return nullptr;
  const auto len = static_cast<std::uint32_t>(n);
  std::memcpy(b, &len, sizeof len);
  std::memcpy(b + kTextHeader, text, n);
  return b + kTextHeader;
}

char* copyText(const char* text) { return copyText(text, std::strlen(text)); }

void freeText(char* p) {
  if (p) PoolFree(p - kTextHeader);
}

std::string_view cellText(const LbxCell& c) {
  if (!c.text) return {};
  return (c.flags & kCellCallerText) ? std::string_view(c.text) : lbxStoredText(c.text);
}

int cellSlots(const LbxInstance* inst) {
  int n = inst->store.columnCount;
  for (int k = 0; k < inst->store.columnCount; ++k) n = std::max(n, inst->store.dataIndex[k] + 1);
  return n;
}

void freeCells(LbxInstance* inst, LbxCell* cellArr, int n) {
  for (int k = 0; k < n; ++k) {
    if (cellArr[k].attr && storeHooks().releaseAttr) storeHooks().releaseAttr(inst, cellArr[k].attr);
    if (!(cellArr[k].flags & kCellCallerText)) freeText(cellArr[k].text);
  }
  PoolFree(cellArr);
}

// Releases content only (owner notification for owner-drawn lists).
void releaseContent(LbxInstance* inst, int index, LbxItem& r) {
  if (ownerDrawn(inst)) {
    if (HWND target = notifyTargetOf(inst); target && pw::IsWindow(target)) {
      DeleteItemRecord d{ODT_LISTBOX, inst->controlId, static_cast<UINT>(index), inst->hwnd, r.content};
      pw::SendMessage(target, pw::WM_DELETEITEM, inst->controlId, reinterpret_cast<LPARAM>(&d));
    }
  } else if (r.cellCount) {
    freeCells(inst, reinterpret_cast<LbxCell*>(r.content), r.cellCount);
  } else {
    freeText(reinterpret_cast<char*>(r.content));
  }
  r.content = 0;
  r.cellCount = 0;
}

// Makes the content of a new item from a text. false when memory fails
// (nothing is left allocated).
bool buildContent(LbxInstance* inst, const char* text, LbxItem& r) {
  r.content = 0;
  r.cellCount = 0;
  if (ownerDrawn(inst)) {
    r.content = reinterpret_cast<std::uintptr_t>(text);
    return true;
  }
  if (!text) return true;
  if (inst->store.columnCount == 0) {
    char* p = copyText(text);
    if (!p) return false;
    r.content = reinterpret_cast<std::uintptr_t>(p);
    return true;
  }
  const int nSlots = cellSlots(inst);
  auto* cellArr = static_cast<LbxCell*>(PoolAlloc(libraryPool(), nSlots * sizeof(LbxCell), kAllocZero));
  if (!cellArr) return false;
  const char sep = inst->store.separator ? static_cast<char>(inst->store.separator) : '\t';
  const char* p = text;
  for (int k = 0; k < inst->store.columnCount; ++k) {
    const char* end = std::strchr(p, sep);
    const std::size_t len = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
    if (len > 0) {
      char* t = copyText(p, len);
      if (!t) {
        freeCells(inst, cellArr, nSlots);
        return false;
      }
      cellArr[inst->store.dataIndex[k]].text = t;
    }
    if (!end) break;
    p = end + 1;
  }
  r.content = reinterpret_cast<std::uintptr_t>(cellArr);
  r.cellCount = static_cast<std::uint16_t>(nSlots);
  return true;
}

// ---- text comparison

// Folded code points of the Basic Multilingual Plane, made on first use.
const char16_t* foldTable() {
  static const char16_t* table = [] {
    auto* t = new char16_t[0x10000];
    for (char32_t c = 0; c < 0x10000; ++c) t[c] = static_cast<char16_t>(QChar::toCaseFolded(c));
    return t;
  }();
  return table;
}

// The next code point of a UTF-8 text; a broken byte stands for itself.
char32_t nextCode(const unsigned char*& p, const unsigned char* end) {
  const unsigned char b = *p++;
  if (b < 0x80) return b;
  const int len = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
  if (len == 0 || end - p < len - 1) return b;
  char32_t c = b & (0x7F >> len);
  for (int i = 1; i < len; ++i) {
    if ((p[i - 1] & 0xC0) != 0x80) return b;
    c = (c << 6) | (p[i - 1] & 0x3F);
  }
  p += len - 1;
  return c;
}

char32_t fold(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c < 0x10000) return foldTable()[c];
  return QChar::toCaseFolded(c);
}

// Compares folded code points; with `prefixOnly`, 0 when `b` is a prefix of `a`.
int foldCompare(std::string_view a, std::string_view b, bool foldCase, bool prefixOnly) {
  const auto* pa = reinterpret_cast<const unsigned char*>(a.data());
  const auto* ea = pa + a.size();
  const auto* pb = reinterpret_cast<const unsigned char*>(b.data());
  const auto* eb = pb + b.size();
  while (pa < ea && pb < eb) {
    char32_t ca, cb;
    if (*pa < 0x80 && *pb < 0x80) {
      ca = *pa++;
      cb = *pb++;
      if (foldCase) {
        if (ca - 'A' < 26u) ca += 32;
        if (cb - 'A' < 26u) cb += 32;
      }
    } else {
      ca = nextCode(pa, ea);
      cb = nextCode(pb, eb);
      if (foldCase) ca = fold(ca), cb = fold(cb);
    }
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (pb < eb) return -1;
  if (prefixOnly) return 0;
  return pa < ea ? 1 : 0;
}

bool parseInteger(std::string_view s, char32_t thousand, long long* out) {
  std::string digits;
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) digits += s[i++];
  bool any = false;
  for (; i < s.size(); ++i) {
    if (s[i] >= '0' && s[i] <= '9') {
      digits += s[i];
      any = true;
    } else if (static_cast<char32_t>(static_cast<unsigned char>(s[i])) == thousand) {
      continue;
    } else {
      break;
    }
  }
  if (!any) return false;
  *out = std::strtoll(digits.c_str(), nullptr, 10);
  return true;
}

bool parseFloat(std::string_view s, char32_t decimal, char32_t thousand, double* out) {
  std::string t;
  for (char c : s) {
    const auto u = static_cast<char32_t>(static_cast<unsigned char>(c));
    if (u == thousand && thousand != decimal) continue;
    t += u == decimal ? '.' : c;
  }
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (end == t.c_str()) return false;
  *out = v;
  return true;
}

// A date as year * 10000 + month * 100 + day: "yyyy-mm-dd" (any of - . /),
// "mm/dd/yyyy", or "dd.mm.yyyy" / "dd-mm-yyyy".
bool parseDate(std::string_view s, long long* out) {
  long long v[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  char sep = 0;
  int k = 0;
  for (std::size_t i = 0; i < s.size() && k < 3; ++i) {
    const char c = s[i];
    if (c >= '0' && c <= '9') {
      v[k] = v[k] * 10 + (c - '0');
      if (++digits[k] > 4) return false;
    } else if ((c == '-' || c == '.' || c == '/') && digits[k] > 0 && k < 2) {
      if (!sep) sep = c;
      ++k;
    } else if (digits[k] > 0) {
      break;
    } else if (c != ' ') {
      return false;
    }
  }
  if (k != 2 || digits[2] == 0) return false;
  long long y, m, d;
  if (digits[0] == 4) y = v[0], m = v[1], d = v[2];
  else if (sep == '/') m = v[0], d = v[1], y = v[2];
  else d = v[0], m = v[1], y = v[2];
  *out = y * 10000 + m * 100 + d;
  return true;
}

// Numbers and dates: texts that do not read as one sort before those that do.
template <class T>
int compareParsed(bool okA, T a, bool okB, T b) {
  if (okA != okB) return okA ? 1 : -1;
  if (!okA) return 0;
  return a < b ? -1 : a > b ? 1 : 0;
}

// The text a key reads from an item, without copying when it can.
std::string_view keyText(const LbxInstance* inst, const LbxItem& r, int dataIndex, std::string& scratch) {
  if (ownerDrawn(inst)) return {};
  if (r.cellCount == 0) {
    const char* t = reinterpret_cast<const char*>(r.content);
    if (dataIndex > 0) return {};
    return lbxStoredText(t);
  }
  const auto* cellArr = reinterpret_cast<const LbxCell*>(r.content);
  if (dataIndex >= 0) {
    if (dataIndex >= r.cellCount) return {};
    return cellText(cellArr[dataIndex]);
  }
  scratch.clear();
  const int n = inst->store.columnCount ? inst->store.columnCount : r.cellCount;
  for (int k = 0; k < n; ++k) {
    const int di = inst->store.columnCount ? inst->store.dataIndex[k] : k;
    if (k) scratch += '\t';
    if (di < r.cellCount) scratch += cellText(cellArr[di]);
  }
  return scratch;
}

// The keys the list sorts by now; empty when it does not sort.
int activeKeys(const LbxInstance* inst, LbxSortKey* out) {
  const LbxStore& s = inst->store;
  if (ownerDrawn(inst)) return 0;
  if (s.sortKeyCount > 0) {
    std::copy(s.sortKeys, s.sortKeys + s.sortKeyCount, out);
    return s.sortKeyCount;
  }
  if (s.sorted != 0 || (inst->style & LBS_SORT)) {
    out[0] = {static_cast<std::int16_t>(s.columnCount ? s.dataIndex[0] : -1),
              static_cast<std::uint8_t>(s.sorted == 2 ? 2 : 1), 0};
    if (s.columnCount == 0) out[0].dataIndex = -1;
    return 1;
  }
  return 0;
}

int compareKey(const LbxInstance* inst, std::string_view a, std::string_view b, int type) {
  switch (type) {
    case 1:
      return plat::text::collate(a, b, true);
    case 2: {
      long long x = 0, y = 0;
      const bool ox = parseInteger(a, inst->thousandSep, &x), oy = parseInteger(b, inst->thousandSep, &y);
      return compareParsed(ox, x, oy, y);
    }
    case 3: {
      double x = 0, y = 0;
      const bool ox = parseFloat(a, inst->decimalSep, inst->thousandSep, &x);
      const bool oy = parseFloat(b, inst->decimalSep, inst->thousandSep, &y);
      return compareParsed(ox, x, oy, y);
    }
    case 4: {
      long long x = 0, y = 0;
      const bool ox = parseDate(a, &x), oy = parseDate(b, &y);
      return compareParsed(ox, x, oy, y);
    }
    default:
      return plat::text::collate(a, b, false);
  }
}

int compareItems(const LbxInstance* inst, const LbxItem& a, const LbxItem& b, const LbxSortKey* keys, int n) {
  std::string sa, sb;
  for (int k = 0; k < n; ++k) {
    const int c = compareKey(inst, keyText(inst, a, keys[k].dataIndex, sa), keyText(inst, b, keys[k].dataIndex, sb),
                             keys[k].type);
    if (c != 0) return keys[k].order == 2 ? -c : c;
  }
  return 0;
}

// The sorted place of a new item: after every item that does not sort after it.
int sortedPosition(LbxInstance* inst, const LbxItem& item, const LbxSortKey* keys, int n) {
  int lo = 0, hi = inst->itemCount;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (compareItems(inst, item, rec(inst, mid), keys, n) < 0) hi = mid;
    else lo = mid + 1;
  }
  return lo;
}

// The sorted place of an owner-drawn item: the owner orders two items at a
// time (WM_COMPAREITEM); an owner that does not answer leaves every item
// equal, so new items go to the end. -1 when the list went away meanwhile.
int ownerSortedPosition(LbxInstance* inst, const LbxItem& item) {
  const HWND self = inst->hwnd;
  int lo = 0, hi = inst->itemCount;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    HWND target = notifyTargetOf(inst);
    if (!target) return inst->itemCount;
    pw::COMPAREITEMSTRUCT ci;
    ci.CtlType = ODT_LISTBOX;
    ci.CtlID = inst->controlId;
    ci.hwndItem = self;
    ci.itemID1 = static_cast<UINT>(-1);
    ci.itemData1 = item.content;
    ci.itemID2 = static_cast<UINT>(mid);
    ci.itemData2 = rec(inst, mid).content;
    const LRESULT r = pw::SendMessage(target, pw::WM_COMPAREITEM, inst->controlId, reinterpret_cast<LPARAM>(&ci));
    if (!pw::IsWindow(self) || instanceOf(self) != inst) return -1;
    if (r < 0) hi = mid;
    else lo = mid + 1;
  }
  return lo;
}

// Puts a built item at `pos` (-1: at the end, or at its sorted place when
// `sorted`). The index, -2 when memory fails (the content is released), or
// LB_ERR when the owner destroyed the list while ordering it.
int placeItem(LbxInstance* inst, LbxItem& item, int pos, bool sorted) {
  LbxSortKey keys[kMaxSortKeys];
  const int nk = sorted ? activeKeys(inst, keys) : 0;
  if (pos < 0 && sorted && ownerDrawn(inst) && (inst->style & LBS_SORT) && inst->hwnd && inst->itemCount > 0) {
    pos = ownerSortedPosition(inst, item);
    if (pos < 0) return static_cast<int>(LB_ERR);
  }
  if (pos < 0) pos = nk > 0 ? sortedPosition(inst, item, keys, nk) : inst->itemCount;
  if (!lbxInsertRecords(inst, pos, 1)) {
    releaseContent(inst, pos, item);
    return static_cast<int>(LB_ERRSPACE);
  }
  LbxItem& r = rec(inst, pos);
  r.content = item.content;
  r.cellCount = item.cellCount;
  r.flags &= static_cast<std::uint8_t>(~kItemSelected);
  inst->store.lastAdded = pos;
  return pos;
}

// Text of an item for searching: column 0 on a list with columns.
std::string_view searchText(const LbxInstance* inst, const LbxItem& r, int column, std::string& scratch) {
  if (column < 0 && inst->store.columnCount == 0) return keyText(inst, r, -1, scratch);
  if (column < 0) column = 0;
  if (inst->store.columnCount == 0) return column == 0 ? keyText(inst, r, -1, scratch) : std::string_view();
  if (column >= inst->store.columnCount) return {};
  return keyText(inst, r, inst->store.dataIndex[column], scratch);
}

// Visits the items after `start` to the end, then from 0 to start.
template <class F>
int scanFrom(const LbxInstance* inst, int start, F matches) {
  const int count = inst->itemCount;
  if (start < -1 || start >= count) start = -1;
  for (int step = 1; step <= count; ++step) {
    const int i = (start + step) % count;
    if (matches(i)) return i;
  }
  return -1;
}

void selectOnly(LbxInstance* inst, int index) {
  for (int i = 0; i < inst->itemCount; ++i) rec(inst, i).flags &= static_cast<std::uint8_t>(~kItemSelected);
  if (index >= 0) rec(inst, index).flags |= kItemSelected;
  inst->curSel = index;
}

}  // namespace

StoreHooks& storeHooks() {
  static StoreHooks h{nullptr, nullptr};
  return h;
}

// ---- records (the lookup, lbxItem, is inline in store.h)

bool lbxInsertRecords(LbxInstance* inst, int pos, int n) {
  LbxStore& s = inst->store;
  const int count = inst->itemCount;
  if (pos == -1) pos = count;
  if (pos < 0 || pos > count || n < 0) return false;
  if (n == 0) return true;
  if (n > INT_MAX - count) return false;
  if (count + n > s.capacity) {
    const long long grown = std::max<long long>(static_cast<long long>(s.capacity) + 100, count + n);
    const int newCap = static_cast<int>(std::min<long long>(grown, INT_MAX));
    if (!growTo(inst, newCap)) return false;
    s.capacity = newCap;
  }
  if (pos < count) moveRange(inst, pos, pos + n, count - pos);
  inst->itemCount = count + n;
  zeroRecords(inst, pos, n, true);
  // Indexes that name items at or after the insertion follow their items.
  if (pos < count) {
    if (inst->curSel >= pos) inst->curSel += n;
    if (inst->anchor >= pos) inst->anchor += n;
  }
  return true;
}

void lbxRemoveRecords(LbxInstance* inst, int pos, int n) {
  LbxStore& s = inst->store;
  const int count = inst->itemCount;
  if (pos == -1) pos = 0;
  if (pos < 0 || pos >= count || n <= 0) return;
  n = std::min(n, count - pos);
  moveRange(inst, pos + n, pos, count - pos - n);
  zeroRecords(inst, count - n, n, false);
  inst->itemCount = count - n;

  // The caret, selection and anchor follow their items; one that named a
  // removed item is withdrawn (a multiple-selection caret stays in range).
  auto follow = [&](std::int32_t& index, bool keepInRange) {
    if (index < pos) return;
    if (index >= pos + n) {
      index -= n;
    } else if (keepInRange && inst->itemCount > 0) {
      index = std::min(pos, inst->itemCount - 1);
    } else {
      index = -1;
    }
  };
  follow(inst->curSel, !singleSel(inst));
  follow(inst->anchor, false);
  if (s.lastAdded >= pos) s.lastAdded = -1;

  const int remaining = inst->itemCount;
  const int newCap = (remaining + 99) / 100 * 100;
  if (newCap >= s.capacity) return;
  const int keep = (newCap + kItemsPerPage - 1) / kItemsPerPage;
  for (int k = keep; k < s.pageCount; ++k) {
    PoolFree(s.pages[k]);
    s.pages[k] = nullptr;
  }
  if (keep == 0) {
    if (s.pages) PoolFree(s.pages);
    s.pages = nullptr;
  } else {
    const int last = newCap % kItemsPerPage ? newCap % kItemsPerPage : kItemsPerPage;
    if (void* p = PoolRealloc(s.pages[keep - 1], static_cast<std::size_t>(last) * sizeof(LbxItem), 0))
      s.pages[keep - 1] = static_cast<LbxItem*>(p);
    if (void* t = PoolRealloc(s.pages, static_cast<std::size_t>(keep) * sizeof(LbxItem*), 0))
      s.pages = static_cast<LbxItem**>(t);
  }
  s.pageCount = keep;
  s.capacity = newCap;
}

void lbxMoveItemDown(LbxInstance* inst, int from, int to) {
  if (from <= to || to < 0 || from >= inst->itemCount) return;
  const LbxItem saved = rec(inst, from);
  moveRange(inst, to, to + 1, from - to);
  rec(inst, to) = saved;
}

void lbxFreeItem(LbxInstance* inst, int index) {
  LbxItem* r = lbxItem(inst, index);
  if (!r) return;
  if (r->flags & (kItemMergeAlways | kItemMergeRestricted)) --inst->store.mergedRows;
  r->flags = 0;
  if (r->attr && storeHooks().releaseAttr) storeHooks().releaseAttr(inst, r->attr);
  r->attr = 0;
  releaseContent(inst, index, *r);
}

// ---- list-box operations

LRESULT lbxAddString(LbxInstance* inst, const char* text) {
  LbxItem item{};
  if (!buildContent(inst, text, item)) {
    notifyErrSpace(inst);
    return LB_ERRSPACE;
  }
  clearSearch(inst);
  // A sorted owner-drawn list is ordered by its owner.
  const bool ownerSorted = ownerDrawn(inst) && (inst->style & LBS_SORT) && inst->store.sortState != 2;
  const bool sorted = lbxSortsOnInsert(inst) || ownerSorted;
  const int r = placeItem(inst, item, -1, sorted);
  if (r == LB_ERR) return LB_ERR;  // the list is gone
  if (r < 0) {
    notifyErrSpace(inst);
    return LB_ERRSPACE;
  }
  if (storeHooks().itemsChanged) storeHooks().itemsChanged(inst);
  repaint(inst);
  return r;
}

LRESULT lbxInsertString(LbxInstance* inst, int index, const char* text) {
  // Refused before anything is stored: an index past the count, or below -1.
  if (index < -1 || index > inst->itemCount) return LB_ERR;
  if (index == -1) return lbxAddString(inst, text);
  LbxItem item{};
  if (!buildContent(inst, text, item)) {
    notifyErrSpace(inst);
    return LB_ERRSPACE;
  }
  clearSearch(inst);
  const int r = placeItem(inst, item, index, false);
  if (r < 0) {
    notifyErrSpace(inst);
    return LB_ERRSPACE;
  }
  if (storeHooks().itemsChanged) storeHooks().itemsChanged(inst);
  repaint(inst);
  return r;
}

LRESULT lbxDeleteString(LbxInstance* inst, int index) {
  if (index < 0 || index >= inst->itemCount) return LB_ERR;
  lbxFreeItem(inst, index);
  lbxRemoveRecords(inst, index, 1);
  clearSearch(inst);
  if (inst->itemCount == 0) inst->topIndex = 0;
  else if (inst->topIndex >= inst->itemCount) inst->topIndex = inst->itemCount - 1;
  inst->store.lastAdded = -1;
  repaint(inst);
  return inst->itemCount;
}

void lbxResetContent(LbxInstance* inst, int keepRoomFor) {
  for (int i = 0; i < inst->itemCount; ++i) lbxFreeItem(inst, i);
  inst->itemCount = 0;
  LbxStore& s = inst->store;
  // The pages that hold the first `keepRoomFor` records stay, cleared as
  // fresh ones would be: a list rebuilt at once then neither gives its
  // pages back to the system nor faults them in again. The rest go whole.
  const int kept = std::clamp(keepRoomFor, 0, s.capacity);
  const int keptPages = (kept + kItemsPerPage - 1) / kItemsPerPage;
  for (int k = keptPages; k < s.pageCount; ++k) PoolFree(s.pages[k]);
  s.pageCount = std::min(s.pageCount, keptPages);
  s.capacity = std::min(s.capacity, keptPages * kItemsPerPage);
  zeroRecords(inst, 0, s.capacity, false);
  if (s.pageCount == 0) {
    if (s.pages) PoolFree(s.pages);
    s.pages = nullptr;
  }
  s.mergedRows = 0;
  s.lastAdded = -1;
  clearSearch(inst);
  inst->curSel = -1;
  inst->anchor = -1;
  inst->topIndex = 0;
  repaint(inst);
}

bool lbxAppendEmpty(LbxInstance* inst, int n) {
  if (!lbxInsertRecords(inst, -1, n)) {
    notifyErrSpace(inst);
    return false;
  }
  repaint(inst);
  return true;
}

// ---- texts

bool lbxCellItemText(const LbxInstance* inst, const LbxItem& r, int column, std::string* out, char separator) {
  std::string scratch;
  if (column < 0) {
    out->assign(keyText(inst, r, -1, scratch));
    if (separator && separator != '\t') std::replace(out->begin(), out->end(), '\t', separator);
    return true;
  }
  const int cols = std::max<int>(inst->store.columnCount, 1);
  if (column >= cols) return false;
  out->assign(searchText(inst, r, column, scratch));
  return true;
}

int lbxSetItemText(LbxInstance* inst, int index, const char* text, bool resort) {
  if (!lbxItem(inst, index)) return -1;
  LbxItem item{};
  if (!buildContent(inst, text, item)) {
    notifyErrSpace(inst);
    return -2;
  }
  LbxItem& r = rec(inst, index);
  releaseContent(inst, index, r);
  r.content = item.content;
  r.cellCount = item.cellCount;
  int at = index;
  LbxSortKey keys[kMaxSortKeys];
  const int nk = resort && inst->itemCount > 1 && lbxSortsOnInsert(inst) ? activeKeys(inst, keys) : 0;
  if (nk > 0) {
    // Take the item out, find its place among the others, put it back.
    const LbxItem saved = r;
    const bool wasCur = inst->curSel == index, wasAnchor = inst->anchor == index;
    moveRange(inst, index + 1, index, inst->itemCount - index - 1);
    --inst->itemCount;
    at = sortedPosition(inst, saved, keys, nk);
    ++inst->itemCount;
    moveRange(inst, at, at + 1, inst->itemCount - 1 - at);
    rec(inst, at) = saved;
    auto follow = [&](std::int32_t& v, bool was) {
      if (was) v = at;
      else if (v > index && v <= at) --v;
      else if (v >= at && v < index) ++v;
    };
    follow(inst->curSel, wasCur);
    follow(inst->anchor, wasAnchor);
  }
  clearSearch(inst);
  repaint(inst);
  return at;
}

int lbxSetCellText(LbxInstance* inst, int index, int column, const char* text, bool callerOwned) {
  LbxItem* r = lbxItem(inst, index);
  if (!r || ownerDrawn(inst) || column < 0) return -1;
  const char* newText = text && *text ? text : nullptr;
  LbxStore& s = inst->store;
  if (s.columnCount == 0) {
    if (column != 0) return -1;
    const char* old = reinterpret_cast<const char*>(r->content);
    if (r->cellCount == 0) {
      if (lbxStoredText(old) == (newText ? newText : std::string_view())) return 0;
      char* copy = newText ? copyText(newText) : nullptr;
      if (newText && !copy) return -2;
      freeText(reinterpret_cast<char*>(r->content));
      r->content = reinterpret_cast<std::uintptr_t>(copy);
      return 1;
    }
    column = 0;  // cellArr left from removed columns: cell 0
  }
  const int di = s.columnCount ? s.dataIndex[std::min<int>(column, s.columnCount - 1)] : 0;
  if (s.columnCount && column >= s.columnCount) return -1;
  // Grow the cell array to hold the column (a plain text becomes cell 0's).
  const int nSlots = std::max({cellSlots(inst), di + 1, static_cast<int>(r->cellCount)});
  if (r->cellCount < nSlots) {
    LbxCell* cellArr;
    if (r->cellCount == 0) {
      cellArr = static_cast<LbxCell*>(PoolAlloc(libraryPool(), nSlots * sizeof(LbxCell), kAllocZero));
      if (!cellArr) return -2;
      cellArr[s.columnCount ? s.dataIndex[0] : 0].text = reinterpret_cast<char*>(r->content);
    } else {
      cellArr = static_cast<LbxCell*>(PoolRealloc(reinterpret_cast<void*>(r->content), nSlots * sizeof(LbxCell), kAllocZero));
      if (!cellArr) return -2;
    }
    r->content = reinterpret_cast<std::uintptr_t>(cellArr);
    r->cellCount = static_cast<std::uint16_t>(nSlots);
  }
  LbxCell& cell = reinterpret_cast<LbxCell*>(r->content)[di];
  if (cellText(cell) == (newText ? std::string_view(newText) : std::string_view())) return 0;
  char* stored = nullptr;
  if (newText) {
    stored = callerOwned ? const_cast<char*>(newText) : copyText(newText);
    if (!stored) return -2;
  }
  if (!(cell.flags & kCellCallerText)) freeText(cell.text);
  cell.text = stored;
  if (callerOwned && stored) cell.flags |= kCellCallerText;
  else cell.flags &= static_cast<std::uint8_t>(~kCellCallerText);
  return 1;
}

const char* lbxCellTextPtr(const LbxInstance* inst, int index, int column) {
  const LbxItem* r = lbxItem(const_cast<LbxInstance*>(inst), index);
  if (!r || ownerDrawn(inst) || column < 0) return nullptr;
  if (r->cellCount == 0) return column == 0 ? reinterpret_cast<const char*>(r->content) : nullptr;
  const int di = inst->store.columnCount ? (column < inst->store.columnCount ? inst->store.dataIndex[column] : -1)
                                         : column;
  if (di < 0 || di >= r->cellCount) return nullptr;
  return reinterpret_cast<const LbxCell*>(r->content)[di].text;
}

// ---- columns

void lbxSetColumns(LbxInstance* inst, int count, const std::uint16_t* dataIndex) {
  count = std::clamp(count, 0, kMaxColumns);
  inst->store.columnCount = static_cast<std::uint16_t>(count);
  for (int k = 0; k < count; ++k)
    inst->store.dataIndex[k] =
        static_cast<std::uint16_t>(dataIndex ? std::min<int>(dataIndex[k], kMaxColumns - 1) : k);
}

void lbxDropCells(LbxInstance* inst, int dataIndex) {
  if (ownerDrawn(inst) || dataIndex < 0) return;
  for (int i = 0; i < inst->itemCount; ++i) {
    LbxItem& r = rec(inst, i);
    if (dataIndex >= r.cellCount) continue;
    LbxCell& c = reinterpret_cast<LbxCell*>(r.content)[dataIndex];
    if (c.attr && storeHooks().releaseAttr) storeHooks().releaseAttr(inst, c.attr);
    if (!(c.flags & kCellCallerText)) freeText(c.text);
    c = LbxCell{};
  }
}

// ---- rows

void lbxSetRowHeight(LbxInstance* inst, int row, int height) {
  if (row == -1) {
    inst->rowHeight = height;
  } else if (LbxItem* r = lbxItem(inst, row)) {
    r->rowHeight = height;
    if (height == -1) r->flags &= static_cast<std::uint8_t>(~kItemOwnHeight);
    else r->flags |= kItemOwnHeight;
  } else {
    return;
  }
  if (inst->hwnd) postPending(inst, 0x609);
  repaint(inst);
}

int lbxRowHeight(const LbxInstance* inst, int row) {
  const LbxItem* r = lbxItem(const_cast<LbxInstance*>(inst), row);
  if (!r || !(r->flags & kItemOwnHeight)) return -1;
  return r->rowHeight;
}

bool lbxSetItemData(LbxInstance* inst, int index, std::uintptr_t data) {
  LbxItem* r = lbxItem(inst, index);
  if (!r) return false;
  r->itemData = data;
  return true;
}

bool lbxSetSelected(LbxInstance* inst, int index, bool on) {
  LbxItem* r = lbxItem(inst, index);
  if (!r) return false;
  if (on) r->flags |= kItemSelected;
  else r->flags &= static_cast<std::uint8_t>(~kItemSelected);
  return true;
}

bool lbxIsSelected(const LbxInstance* inst, int index) {
  const LbxItem* r = lbxItem(const_cast<LbxInstance*>(inst), index);
  return r && (r->flags & kItemSelected);
}

// ---- sorting

bool lbxSortsOnInsert(const LbxInstance* inst) {
  if (inst->store.sortState == 2) return false;
  LbxSortKey keys[kMaxSortKeys];
  return activeKeys(inst, keys) > 0;
}

void lbxSetSorted(LbxInstance* inst, int order) {
  inst->store.sorted = static_cast<std::uint8_t>(std::clamp(order, 0, 2));
  if (lbxSortsOnInsert(inst)) lbxResort(inst);
}

void lbxSetSortKeys(LbxInstance* inst, const LbxSortKey* keys, int n) {
  n = std::clamp(n, 0, kMaxSortKeys);
  inst->store.sortKeyCount = static_cast<std::uint8_t>(n);
  for (int k = 0; k < n; ++k) inst->store.sortKeys[k] = keys[k];
}

bool lbxResort(LbxInstance* inst) {
  LbxSortKey keys[kMaxSortKeys];
  const int nk = activeKeys(inst, keys);
  const int count = inst->itemCount;
  if (nk == 0 || count < 2) return true;
  try {
    std::vector<int> order(count);
    for (int i = 0; i < count; ++i) order[i] = i;
    std::vector<LbxItem> copy(count);
    for (int i = 0; i < count; ++i) copy[i] = rec(inst, i);
    if (nk == 1 && keys[0].type <= 1) {
      // One text key: every text's collation key is made once.
      std::vector<std::string> scratch(count), key(count);
      const bool withCase = keys[0].type == 1, desc = keys[0].order == 2;
      for (int i = 0; i < count; ++i)
        key[i] = plat::text::collationKey(keyText(inst, copy[i], keys[0].dataIndex, scratch[i]), withCase);
      std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = key[a].compare(key[b]);
        return desc ? c > 0 : c < 0;
      });
    } else {
      std::stable_sort(order.begin(), order.end(),
                       [&](int a, int b) { return compareItems(inst, copy[a], copy[b], keys, nk) < 0; });
    }
    std::vector<int> where(count);
    for (int i = 0; i < count; ++i) {
      rec(inst, i) = copy[order[i]];
      where[order[i]] = i;
    }
    if (inst->curSel >= 0 && inst->curSel < count) inst->curSel = where[inst->curSel];
    if (inst->anchor >= 0 && inst->anchor < count) inst->anchor = where[inst->anchor];
    inst->store.lastAdded = -1;
  } catch (const std::bad_alloc&) {
    return false;
  }
  clearSearch(inst);
  repaint(inst);
  return true;
}

int lbxCompareText(std::string_view a, std::string_view b, int type) {
  static const LbxInstance plain{};
  return compareKey(&plain, a, b, type);
}

// ---- searching

LRESULT lbxFindString(LbxInstance* inst, int start, const char* text, bool exact) {
  if (inst->itemCount == 0) return LB_ERR;
  if (ownerDrawn(inst)) {
    // Owner-drawn items hold the owner's value: it is matched as given.
    const auto value = reinterpret_cast<std::uintptr_t>(text);
    return scanFrom(inst, start, [&](int i) { return rec(inst, i).content == value; });
  }
  const std::string_view want = text ? text : "";
  std::string scratch;
  return scanFrom(inst, start, [&](int i) {
    return foldCompare(searchText(inst, rec(inst, i), -1, scratch), want, true, !exact) == 0;
  });
}

LRESULT lbxSelectString(LbxInstance* inst, int start, const char* text) {
  const LRESULT found = lbxFindString(inst, start, text, false);
  if (found < 0) return LB_ERR;
  if (singleSel(inst)) {
    selectOnly(inst, static_cast<int>(found));
  } else {
    inst->curSel = static_cast<std::int32_t>(found);
  }
  repaint(inst);
  return found;
}

int lbxSearch(LbxInstance* inst, const char* text, int method, int column, int start, bool ignoreCase) {
  if (inst->itemCount == 0 || ownerDrawn(inst)) return -1;
  const std::string_view want = text ? text : "";
  std::string scratch;
  return scanFrom(inst, start, [&](int i) {
    const std::string_view have = searchText(inst, rec(inst, i), column, scratch);
    switch (method) {
      // Greater or equal in the order the list sorts texts in (the
      // collation), so that in a sorted list the answer is where the text
      // would stand; prefix and exact matching fold case only.
      case 1: return plat::text::collate(have, want, !ignoreCase) >= 0;
      case 2: return foldCompare(have, want, ignoreCase, true) == 0;
      default: return foldCompare(have, want, ignoreCase, false) == 0;
    }
  });
}

// ---- messages

LRESULT lbxStoreMessage(LbxInstance* inst, HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
  const int index = static_cast<int>(static_cast<pw::LONG>(wParam));
  const char* text = reinterpret_cast<const char*>(lParam);
  switch (msg) {
    case 0x180:  // LB_ADDSTRING
      return lbxAddString(inst, text);
    case 0x181:  // LB_INSERTSTRING
      return lbxInsertString(inst, index, text);
    case 0x182:  // LB_DELETESTRING
      return lbxDeleteString(inst, index);
    case 0x184:  // LB_RESETCONTENT
      lbxResetContent(inst);
      return 0;
    case 0x185: {  // LB_SETSEL: wParam on/off, lParam the item (-1 all)
      if (singleSel(inst)) return LB_ERR;
      const int item = static_cast<int>(lParam);
      if (item == -1) {
        for (int i = 0; i < inst->itemCount; ++i) lbxSetSelected(inst, i, wParam != 0);
      } else if (!lbxSetSelected(inst, item, wParam != 0)) {
        return LB_ERR;
      } else {
        inst->curSel = item;
      }
      repaint(inst);
      return 0;
    }
    case 0x186:  // LB_SETCURSEL
      if (index < -1 || index >= inst->itemCount) return LB_ERR;
      if (singleSel(inst)) selectOnly(inst, index);
      else inst->curSel = index;
      repaint(inst);
      return index == -1 ? LB_ERR : index;
    case 0x187:  // LB_GETSEL
      if (!lbxItem(inst, index)) return LB_ERR;
      return lbxIsSelected(inst, index) ? 1 : 0;
    case 0x189: {  // LB_GETTEXT: the caller's buffer holds the text and its NUL
      if (ownerDrawn(inst)) {
        const LbxItem* r = lbxItem(inst, index);
        if (!r || !lParam) return LB_ERR;
        *reinterpret_cast<std::uintptr_t*>(lParam) = r->content;
        return sizeof(std::uintptr_t);
      }
      std::string t;
      if (!lbxItemText(inst, index, -1, &t) || !lParam) return LB_ERR;
      std::memcpy(reinterpret_cast<char*>(lParam), t.c_str(), t.size() + 1);
      return static_cast<LRESULT>(t.size());
    }
    case 0x18A: {  // LB_GETTEXTLEN
      if (ownerDrawn(inst)) return lbxItem(inst, index) ? static_cast<LRESULT>(sizeof(std::uintptr_t)) : LB_ERR;
      std::string t;
      if (!lbxItemText(inst, index, -1, &t)) return LB_ERR;
      return static_cast<LRESULT>(t.size());
    }
    case 0x18C:  // LB_SELECTSTRING
      return lbxSelectString(inst, index, text);
    case 0x18F:  // LB_FINDSTRING
      return lbxFindString(inst, index, text, false);
    case 0x1A2:  // LB_FINDSTRINGEXACT
      return lbxFindString(inst, index, text, true);
    case 0x190: {  // LB_GETSELCOUNT
      if (singleSel(inst)) return LB_ERR;
      int n = 0;
      for (int i = 0; i < inst->itemCount; ++i) n += lbxIsSelected(inst, i);
      return n;
    }
    case 0x191: {  // LB_GETSELITEMS: up to wParam indexes into lParam
      if (singleSel(inst)) return LB_ERR;
      auto* out = reinterpret_cast<int*>(lParam);
      int n = 0;
      for (int i = 0; i < inst->itemCount && out && n < static_cast<int>(wParam); ++i)
        if (lbxIsSelected(inst, i)) out[n++] = i;
      return n;
    }
    case 0x197:  // LB_SETTOPINDEX
      if (index < 0 || (index >= inst->itemCount && inst->itemCount > 0)) return LB_ERR;
      inst->topIndex = index;
      repaint(inst);
      return 0;
    case 0x199: {  // LB_GETITEMDATA
      const LbxItem* r = lbxItem(inst, index);
      return r ? static_cast<LRESULT>(r->itemData) : LB_ERR;
    }
    case 0x19A:  // LB_SETITEMDATA
      return lbxSetItemData(inst, index, static_cast<std::uintptr_t>(lParam)) ? 0 : LB_ERR;
    case 0x19B: {  // LB_SELITEMRANGE: first in the low, last in the high half
      if (singleSel(inst)) return LB_ERR;
      int first = pw::LOWORD(static_cast<pw::ULONG_PTR>(lParam));
      int last = pw::HIWORD(static_cast<pw::ULONG_PTR>(lParam));
      if (first > last) std::swap(first, last);
      for (int i = first; i <= last && i < inst->itemCount; ++i) lbxSetSelected(inst, i, wParam != 0);
      repaint(inst);
      return 0;
    }
    case 0x19E:  // LB_SETCARETINDEX
      if (!lbxItem(inst, index)) return LB_ERR;
      inst->curSel = index;
      repaint(inst);
      return 0;
    case 0x1A0:  // LB_SETITEMHEIGHT
      if (index != -1 && !lbxItem(inst, index)) return LB_ERR;
      lbxSetRowHeight(inst, index, static_cast<int>(pw::LOWORD(static_cast<pw::ULONG_PTR>(lParam))));
      return 0;
    default:
      return LB_ERR;
  }
}

}  // namespace lindra
