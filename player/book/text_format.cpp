#include "player/book/text_format.h"

COrv_CharFormat DefaultCharFormat() {
  COrv_CharFormat f;
  f.mask = COrv_CharFormat::kBold | COrv_CharFormat::kItalic | COrv_CharFormat::kUnderline |
           COrv_CharFormat::kStrikeOut | COrv_CharFormat::kColour | COrv_CharFormat::kFace |
           COrv_CharFormat::kSize | COrv_CharFormat::kCharSet;
  f.effects = 0;
  f.height = 200;
  f.offset = 0;
  f.colour = COrv_CharFormat::Rgb(0, 0, 0);
  f.charSet = 1;
  f.face = "Verdana";
  return f;
}
