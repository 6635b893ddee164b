#pragma once
// The document's text formats as Qt text formats: the character look (the
// fields the mask names) and the paragraph indents, from twips to pixels
// of the widget they are shown in.

#include <QColor>
#include <QTextBlockFormat>
#include <QTextCharFormat>

#include "player/book/text_format.h"

namespace orv::views {

QColor ColourFromRef(std::uint32_t bgr);
// Applies the fields of `format` that its mask names onto `base`.
QTextCharFormat ToCharFormat(const COrv_CharFormat& format, QTextCharFormat base = {});
QTextBlockFormat ToBlockFormat(const COrv_ParaFormat& format, double dpi = 96.0);

}  // namespace orv::views
