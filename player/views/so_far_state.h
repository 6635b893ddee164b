#pragma once
// The so-far pane's copy of the current Echomark, made from the Echomark
// information of the document: the display text of the last comparison with
// its classes as character kinds, the words' places and flags, and the
// reference text rebuilt from the reference words and the gaps between them
// (so that it lines up with the display text once struck letters are left
// out).

#include <cstdint>

#include "player/views/text_pane_document.h"

class COrv_QuoteInfo;

namespace orv {

SoFarState MakeSoFarState(const COrv_QuoteInfo& info, char32_t mask, std::uint32_t flags,
                          unsigned quote);

}  // namespace orv
