#include "player/book/char_table.h"

#include "platform/text/utf8.h"

#include <QChar>
#include <QString>

namespace orv {

namespace {

constexpr char32_t kBullet = 0x2022;

// The Western European letters whose fold is kept as the book format
// defines it (where it differs from the Unicode rule or must be pinned).
char32_t latinOverride(char32_t c) {
  switch (c) {
    case 0xD8: case 0xF8: case 0xF0:  // Ø ø ð
      return U'o';
    case 0xD0:  // Ð folds like its lower case ð
      return U'o';
    case 0xDF:  // ß
      return c;
    default:
      return 0;
  }
}

char32_t computeFold(char32_t c, int depth = 0) {
  if (c < 0x80) {
    if (c >= U'0' && c <= U'9') return c;
    if (c >= U'a' && c <= U'z') return c;
    if (c >= U'A' && c <= U'Z') return c - U'A' + U'a';
    return 0;
  }
  if (c == kBullet) return c;
  if (const char32_t o = latinOverride(c)) return o;
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
}

const CharTable& CharTable::standard() {
  static const CharTable table;
  return table;
}

char32_t CharTable::fold(char32_t c) const {
  if (c < 0x250) return m_latin[c];
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
