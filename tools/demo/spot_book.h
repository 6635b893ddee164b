#pragma once
// A small book with a picture spot shown when it opens: for the viewer's
// tests and for looking at the viewer over the player.

#include <filesystem>
#include <string>

#include "tools/book/book_fixture.h"

namespace tvtools::demo {

// The book's code and the picture's window size, as its spot record holds them.
inline constexpr const char* kSpotBookCode = "SPOTS";
inline constexpr int kSpotWidth = 320;
inline constexpr int kSpotHeight = 200;
inline constexpr const char* kSpotFileName = "welcome.png";

// The picture: a PNG of kSpotWidth x kSpotHeight pixels. Needs a
// QGuiApplication for its text.
std::string spotPicture();

// The book: two Echomarks with a little speech, and one spot group on
// trigger 0 (the opening of the book) whose main item is the picture.
tvtools::book::Book spotBook();

// Writes the book as a packet the player installs. False with a reason.
bool writeSpotPacket(const std::filesystem::path& target, std::string& error);

}  // namespace tvtools::demo
