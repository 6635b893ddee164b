#pragma once
// The working folder of the grammar pages: the grammar browser unpacks the
// pages it shows there, and the player names the pages it asks for by their
// path in it. Both take it from here, so that they always agree.
//
// It is per user and private: a folder of the user's runtime folder (beside
// the media spots the player hands to its viewer), made with mode 0700 and
// refused when it is a link, not a folder or not the user's own. No shared
// folder with a fixed name is used, so that no other user can stop the
// browser by making that folder first, read the pages shown, or plant a link
// in it.

#include <filesystem>

namespace tv::pages {

// The folder's name inside the runtime folder (see plat::fs::privateFolder).
inline constexpr const char* kWorkFolderName = "grammar";

// The working folder, made when missing; empty when no private folder can
// be had.
std::filesystem::path WorkFolder();

}  // namespace tv::pages
