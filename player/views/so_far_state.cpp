#include "player/views/so_far_state.h"

#include <QString>

#include "player/book/quote_info.h"

namespace orv {

namespace {
std::u32string toUcs4(const std::string& utf8) {
  return QString::fromStdString(utf8).toStdU32String();
}
}  // namespace

SoFarState MakeSoFarState(const COrv_QuoteInfo& info, char32_t mask, std::uint32_t flags,
                          unsigned quote) {
  SoFarState s;
  s.mask = mask;
  s.flags = flags;
  s.quote = quote;
  s.shown = info.GetDisplayText();
  const auto& classes = info.GetDisplayClasses();
  s.kinds.assign(s.shown.size(), 0);
  for (std::size_t p = 0; p < s.shown.size() && p < classes.size(); ++p) s.kinds[p] = classes[p];

  const COrv_WordEngine& engine = info.Engine();
  const int refWords = engine.GetWordCount(0);
  s.reference = toUcs4(engine.GetGap(0, 0));
  for (int n = 1; n <= refWords; ++n) {
    s.reference += toUcs4(engine.GetWord(0, n));
    s.reference += toUcs4(engine.GetGap(0, n));
  }

  const int count = info.GetWordCount();
  s.status.assign(static_cast<std::size_t>(count) + 1, 0);
  s.first.assign(s.status.size(), 0);
  s.length.assign(s.status.size(), 0);
  for (int n = 1; n <= count; ++n) {
    s.status[static_cast<std::size_t>(n)] = info.GetWordFlag(n);
    s.first[static_cast<std::size_t>(n)] = std::max(0, info.GetDisplayStart(n));
    s.length[static_cast<std::size_t>(n)] = info.GetDisplayLength(n);
  }
  return s;
}

}  // namespace orv
