#pragma once
// COrv_TextFormat: how a run of text is laid out and drawn in a text pane
// or text dialog: a paragraph format followed by a character format, each
// with a mask word naming the fields that apply. The values keep the
// rich-edit units the books were authored in: indents in twips (1/1440
// inch), the character height in twips, colours as 0x00BBGGRR.

#include <cstdint>
#include <string>

struct COrv_ParaFormat {
  // Mask bits.
  static constexpr std::uint32_t kStartIndent = 0x1;
  static constexpr std::uint32_t kRightIndent = 0x2;
  static constexpr std::uint32_t kOffset = 0x4;
  static constexpr std::uint32_t kAlignment = 0x8;
  // The start indent is relative to the current one.
  static constexpr std::uint32_t kOffsetIndent = 0x80000000;
  // Alignments.
  static constexpr std::uint16_t kAlignLeft = 1;
  static constexpr std::uint16_t kAlignRight = 2;
  static constexpr std::uint16_t kAlignCenter = 3;

  std::uint32_t mask = 0;
  std::uint16_t alignment = kAlignLeft;
  std::int32_t startIndent = 0;
  std::int32_t rightIndent = 0;
  std::int32_t offset = 0;

  bool operator==(const COrv_ParaFormat&) const = default;
};

struct COrv_CharFormat {
  // Mask bits.
  static constexpr std::uint32_t kBold = 0x1;
  static constexpr std::uint32_t kItalic = 0x2;
  static constexpr std::uint32_t kUnderline = 0x4;
  static constexpr std::uint32_t kStrikeOut = 0x8;
  static constexpr std::uint32_t kCharSet = 0x08000000;
  static constexpr std::uint32_t kOffset = 0x10000000;
  static constexpr std::uint32_t kFace = 0x20000000;
  static constexpr std::uint32_t kColour = 0x40000000;
  static constexpr std::uint32_t kSize = 0x80000000;
  // Effect bits (the same values as the mask bits for the styles).
  static constexpr std::uint32_t kEffectBold = 0x1;
  static constexpr std::uint32_t kEffectItalic = 0x2;
  static constexpr std::uint32_t kEffectUnderline = 0x4;
  static constexpr std::uint32_t kEffectStrikeOut = 0x8;
  static constexpr std::uint32_t kEffectAutoColour = 0x40000000;

  static constexpr std::uint32_t Rgb(int red, int green, int blue) {
    return static_cast<std::uint32_t>(red & 0xFF) | (static_cast<std::uint32_t>(green & 0xFF) << 8) |
           (static_cast<std::uint32_t>(blue & 0xFF) << 16);
  }

  std::uint32_t mask = 0;
  std::uint32_t effects = 0;
  std::int32_t height = 0;  // twips
  std::int32_t offset = 0;  // twips above the base line
  std::uint32_t colour = 0;  // 0x00BBGGRR
  std::uint8_t charSet = 0;
  std::string face;

  bool operator==(const COrv_CharFormat&) const = default;
};

struct COrv_TextFormat {
  COrv_ParaFormat para;
  COrv_CharFormat chars;

  bool operator==(const COrv_TextFormat&) const = default;
};

// The default character format of the main window, which the document's
// formats start from: bold, italic, underline, strike-out, colour, face,
// size and character set in the mask, no effects (explicit colour), 200
// twips high, black, character set 1, "Verdana".
COrv_CharFormat DefaultCharFormat();
