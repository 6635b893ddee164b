#pragma once
// Texts the environment store shows to the learner, by string id, in the
// current interface language (English for what the language lacks).

#include <string>

namespace orv {

inline constexpr int kStrPublicDataPathOnly = 20263;

// The text of string `id` in the interface language (empty when unknown).
std::string envString(int id);

}  // namespace orv
