#include "player/book/char_table.h"

#include "platform/text/utf8.h"

#include <QChar>
#include <QString>

namespace orv {

namespace {

constexpr char32_t kBullet = 0x2022;

// Characters 0x80-0x9F of Windows-1252 (0: not assigned); the rest of the
// code page is Latin-1.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The book format's fold of code-page byte `b` (0: a separator).
char32_t cp1252Fold(unsigned b) {
  auto in = [b](unsigned lo, unsigned hi) { return b >= lo && b <= hi; };
  if (in('0', '9') || in('a', 'z')) return b;
  if (in('A', 'Z')) return b - 'A' + 'a';
  if (in(0xC0, 0xC5) || in(0xE0, 0xE5)) return U'a';
  if (b == 0xC7 || b == 0xE7) return U'c';
  if (in(0xC8, 0xCB) || in(0xE8, 0xEB)) return U'e';
  if (in(0xCC, 0xCF) || in(0xEC, 0xEF)) return U'i';
  if (b == 0xD1 || b == 0xF1) return U'n';
  if (in(0xD2, 0xD6) || b == 0xD8 || b == 0xF0 || in(0xF2, 0xF6) || b == 0xF8) return U'o';
  if (in(0xD9, 0xDC) || in(0xF9, 0xFC)) return U'u';
  if (b == 0xDD || b == 0xFD || b == 0xFF || b == 0x9F || b == 0xA5) return U'y';
  if (b == 0x8A || b == 0x9A) return U's';
  if (b == 0xDF) return 0xDF;
  if (b == 0x95) return kBullet;
  return 0;
}

char32_t computeFold(char32_t c, int depth = 0) {
  if (c < 0x80) {
    if (c >= U'0' && c <= U'9') return c;
    if (c >= U'a' && c <= U'z') return c;
    if (c >= U'A' && c <= U'Z') return c - U'A' + U'a';
    return 0;
  }
  if (c > 0x10FFFF) return 0;
  const QChar::Category cat = QChar::category(c);
  if (cat == QChar::Number_DecimalDigit) return c;
  if (cat < QChar::Letter_Uppercase || cat > QChar::Letter_Other) return 0;
  if (depth > 4) return c;  // decomposition chains are short; stay safe
  const char32_t lower = QChar::toLower(c);
  if (lower != c) return computeFold(lower, depth + 1);
  if (QChar::decompositionTag(c) == QChar::Canonical) {
    const QString d = QChar::decomposition(c);
    if (!d.isEmpty()) {
      char32_t base = d.at(0).unicode();
      if (d.at(0).isHighSurrogate() && d.size() > 1) base = QChar::surrogateToUcs4(d.at(0), d.at(1));
      if (base != c && base < 0x110000 && QChar::isLetter(base)) {
        const char32_t f = computeFold(base, depth + 1);
        if (f != 0) return f;
      }
    }
  }
  return c;
}

}  // namespace

CharTable::CharTable() {
  for (char32_t c = 0; c < 0x250; ++c) m_latin[c] = computeFold(c);
  for (unsigned b = 0; b < 0x100; ++b) {
    const char32_t c = b >= 0x80 && b <= 0x9F ? kCp1252High[b - 0x80] : b;
    if (b >= 0x80 && b <= 0x9F && c == 0) continue;  // not assigned: no character of the code page
    if (c < 0x250) m_latin[c] = cp1252Fold(b);
    else m_high[m_highCount++] = {c, cp1252Fold(b)};
  }
}

const CharTable& CharTable::standard() {
  static const CharTable table;
  return table;
}

char32_t CharTable::fold(char32_t c) const {
  if (c < 0x250) return m_latin[c];
  for (int k = 0; k < m_highCount; ++k)
    if (m_high[k].c == c) return m_high[k].folded;
  return computeFold(c);
}

bool CharTable::isMark(char32_t c) {
  if (c < 0x300 || c > 0x10FFFF) return false;
  const QChar::Category cat = QChar::category(c);
  return cat == QChar::Mark_NonSpacing || cat == QChar::Mark_SpacingCombining ||
         cat == QChar::Mark_Enclosing;
}

std::u32string toNfc32(std::string_view utf8) {
  const QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()))
                        .normalized(QString::NormalizationForm_C);
  std::u32string out;
  out.reserve(static_cast<std::size_t>(s.size()));
  for (qsizetype i = 0; i < s.size(); ++i) {
    char32_t c = s.at(i).unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
      c = QChar::surrogateToUcs4(s.at(i), s.at(i + 1));
      ++i;
    } else if (QChar::isSurrogate(c)) {
      c = 0xFFFD;
    }
    out.push_back(c);
  }
  return out;
}

std::string toUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    // Surrogates and values past Unicode have no UTF-8 form: left out.
    if ((c >= 0xD800 && c <= 0xDFFF) || c >= 0x110000) continue;
    plat::text::appendUtf8(out, c);
  }
  return out;
}

}  // namespace orv
