#include "player/views/text_format_qt.h"

#include <QString>

namespace orv::views {

QColor ColourFromRef(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

QTextCharFormat ToCharFormat(const COrv_CharFormat& f, QTextCharFormat c) {
  using F = COrv_CharFormat;
  if (f.mask & F::kBold) c.setFontWeight((f.effects & F::kEffectBold) ? QFont::Bold : QFont::Normal);
  if (f.mask & F::kItalic) c.setFontItalic((f.effects & F::kEffectItalic) != 0);
  if (f.mask & F::kUnderline) c.setFontUnderline((f.effects & F::kEffectUnderline) != 0);
  if (f.mask & F::kStrikeOut) c.setFontStrikeOut((f.effects & F::kEffectStrikeOut) != 0);
  if ((f.mask & F::kColour) && !(f.effects & F::kEffectAutoColour))
    c.setForeground(ColourFromRef(f.colour));
  if ((f.mask & F::kFace) && !f.face.empty())
    c.setFontFamilies({QString::fromStdString(f.face), QStringLiteral("DejaVu Sans")});
  // Heights are in twips: 20 to the point. Absurd heights are left out.
  if ((f.mask & F::kSize) && f.height >= 20 && f.height <= 20 * 200) c.setFontPointSize(f.height / 20.0);
  return c;
}

QTextBlockFormat ToBlockFormat(const COrv_ParaFormat& f, double dpi) {
  using P = COrv_ParaFormat;
  QTextBlockFormat b;
  auto px = [dpi](std::int32_t twips) { return twips * dpi / 1440.0; };
  if (f.mask & P::kStartIndent) b.setLeftMargin(std::max(0.0, px(f.startIndent)));
  if (f.mask & P::kRightIndent) b.setRightMargin(std::max(0.0, px(f.rightIndent)));
  if (f.mask & P::kOffset) b.setTextIndent(px(f.offset));
  if (f.mask & P::kAlignment)
    b.setAlignment(f.alignment == P::kAlignRight    ? Qt::AlignRight
                   : f.alignment == P::kAlignCenter ? Qt::AlignHCenter
                                                    : Qt::AlignLeft);
  return b;
}

}  // namespace orv::views
