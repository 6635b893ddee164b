#include "player/views/rich_text_layout.h"

#include <QString>

#include <algorithm>

namespace orv::views {

namespace {

constexpr std::uint32_t kVisited = 0x1;
constexpr std::uint32_t kSolved = 0x2;

// The placeholder with the number put in place of its first "%d" (the
// language's text is never used as a format string).
std::u32string placeholderFor(const std::string& pattern, std::size_t n) {
  QString text = QString::fromStdString(pattern);
  const qsizetype at = text.indexOf(QStringLiteral("%d"));
  if (at >= 0) text.replace(at, 2, QString::number(n));
  return text.toStdU32String();
}

}  // namespace

RichTextLayout BuildRichText(const BookTextState& book, bool showComments, bool showIntroductions,
                             const std::string& placeholder) {
  RichTextLayout out;
  const std::size_t count = std::min(book.lengths.size(), book.status.size());
  out.starts.assign(std::max<std::size_t>(count, 1), {0, 0, 0});
  const int total = static_cast<int>(book.text.size());
  int source = 0;
  // The next `length` characters of the book text (bounded by it).
  auto take = [&](int length) {
    const int len = std::clamp(length, 0, total - source);
    std::u32string part = book.text.substr(static_cast<std::size_t>(source), static_cast<std::size_t>(len));
    source += len;
    return part;
  };
  auto append = [&](const std::u32string& part, int record) {
    if (part.empty()) return;
    out.runs.push_back({static_cast<int>(out.text.size()), static_cast<int>(part.size()), record});
    out.text += part;
  };
  for (std::size_t n = 1; n < count; ++n) {
    const std::uint32_t status = book.status[n];
    const auto& len = book.lengths[n];

    out.starts[n][0] = static_cast<int>(out.text.size());
    const std::u32string intro = take(len[0]);
    if (showIntroductions && (status & (kVisited | kSolved)))
      append(intro, TextPaneDocument::kIntroductionFormat);

    out.starts[n][1] = static_cast<int>(out.text.size());
    const std::u32string text = take(len[1]);
    append((status & kSolved) ? text : placeholderFor(placeholder, n), TextPaneDocument::kTextFormat);

    out.starts[n][2] = static_cast<int>(out.text.size());
    const std::u32string comment = take(len[2]);
    if (showComments && (status & kSolved)) append(comment, TextPaneDocument::kCommentFormat);
  }
  return out;
}

}  // namespace orv::views
