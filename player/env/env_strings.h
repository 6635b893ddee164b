#pragma once
// Texts the environment store shows to the learner, by string id. They come
// from the interface-language object once that is wired in; until then the
// English texts are answered here.

#include <string>

namespace orv {

inline constexpr int kStrPublicDataPathOnly = 20263;

// The text of string `id` in the interface language (empty when unknown).
std::string envString(int id);

}  // namespace orv
