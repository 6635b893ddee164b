#include "shared/skin/frame_pictures.h"

#include <string>
#include <vector>

namespace tv::skin {
namespace {

using plat::ui::Image;

Image svg(const std::string& text) {
  return Image{Image::Kind::Svg, "", std::vector<uint8_t>(text.begin(), text.end())};
}

std::string open(int w, int h) {
  return "<svg xmlns='http://www.w3.org/2000/svg' width='" + std::to_string(w) + "' height='" +
         std::to_string(h) + "' viewBox='0 0 " + std::to_string(w) + " " + std::to_string(h) + "'>";
}

// The rows of the background pattern: warm yellow with a fine darker weave.
const char* const kPatternRows[4][8] = {
    {"#fccc24", "#fccc24", "#f6c21a", "#fccc24", "#fccc24", "#fccc24", "#f6c21a", "#fccc24"},
    {"#fccc24", "#f6c21a", "#fccc24", "#f6c21a", "#fccc24", "#f6c21a", "#fccc24", "#f6c21a"},
    {"#f6c21a", "#fccc24", "#fccc24", "#fccc24", "#f6c21a", "#fccc24", "#fccc24", "#fccc24"},
    {"#fccc24", "#fccc24", "#fccc24", "#fccc24", "#fccc24", "#fccc24", "#fccc24", "#fccc24"},
};

Image pattern(int shift) {
  std::string s = open(8, 8);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      s += "<rect x='" + std::to_string(x) + "' y='" + std::to_string(y) + "' width='1' height='1' fill='" +
           kPatternRows[(y + shift) % 4][x] + "'/>";
    }
  }
  return svg(s + "</svg>");
}

Image closeButton(const char* face) {
  std::string s = open(11, 11);
  s += "<rect x='0' y='0' width='11' height='11' rx='2' fill='";
  s += face;
  s += "'/><path d='M3 3l5 5M8 3l-5 5' stroke='#ffffff' stroke-width='1.6' stroke-linecap='round'/></svg>";
  return svg(s);
}

}  // namespace

int patternPictureForShift(int rows) {
  static const int kIds[4] = {200, 202, 199, 203};
  return kIds[((rows % 4) + 4) % 4];
}

void addFramePictures(plat::ui::ResourceModule& module) {
  // Outer texture: dark slate with a diagonal grain, under the light caption.
  module.addImage(206, svg(open(8, 8) +
                           "<rect width='8' height='8' fill='#34495e'/>"
                           "<path d='M0 8L8 0M-2 2L2 -2M6 10L10 6' stroke='#2c3e50' stroke-width='1.5'/></svg>"));
  // Inner texture: warm paper with a faint dot.
  module.addImage(204, svg(open(8, 8) +
                           "<rect width='8' height='8' fill='#fff4d6'/>"
                           "<rect x='2' y='2' width='1' height='1' fill='#f2e2b8'/>"
                           "<rect x='6' y='6' width='1' height='1' fill='#f2e2b8'/></svg>"));
  module.addImage(205, closeButton("#8b1e1e"));
  module.addImage(290, closeButton("#e03a2a"));
  for (int shift = 0; shift < 4; ++shift) module.addImage(patternPictureForShift(shift), pattern(shift));
  // The splash: an open book under a sound wave, with the program's name.
  module.addImage(136, svg(open(320, 200) +
                           "<rect width='320' height='200' fill='#fccc24'/>"
                           "<rect x='4' y='4' width='312' height='192' fill='none' stroke='#78460a' stroke-width='3'/>"
                           "<path d='M60 120q50-20 100 0q50-20 100 0v50q-50-20-100 0q-50-20-100 0z' fill='#fff4d6' "
                           "stroke='#78460a' stroke-width='3'/><path d='M160 120v50' stroke='#78460a' stroke-width='2'/>"
                           "<path d='M90 70v20M105 60v40M120 66v28M135 52v56M150 64v32M165 56v48M180 68v24M195 58v44"
                           "M210 66v28M225 72v16' stroke='#b42814' stroke-width='5' stroke-linecap='round'/>"
                           "<text x='160' y='36' font-family='Verdana, sans-serif' font-size='24' font-weight='bold' "
                           "text-anchor='middle' fill='#3a2a10'>Talvane Player</text></svg>"));
}

}  // namespace tv::skin
