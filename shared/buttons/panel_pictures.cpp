#include "shared/buttons/panel_pictures.h"

#include <iterator>
#include <string>
#include <vector>

namespace tv::buttons {
namespace {

using plat::ui::Image;

// The five faces of one button: ids in the order up, hover up, down, hover
// down, disabled (0 for a face the button does not have), and the symbol
// drawn on each, as SVG elements on a 30 x 30 grid.
struct Family {
  int ids[5];
  const char* symbol;
};

const Family kFamilies[] = {
    // Group titles: one face each.
    {{315, 0, 0, 0, 0}, "<path d='M8 18v-3a7 7 0 0 1 14 0v3' fill='none' stroke-width='2.5'/>"
                        "<rect x='6' y='17' width='4' height='7' rx='1'/><rect x='20' y='17' width='4' height='7' rx='1'/>"},
    {{316, 0, 0, 0, 0}, "<rect x='12' y='6' width='6' height='11' rx='3'/>"
                        "<path d='M9 14a6 6 0 0 0 12 0M15 20v4M11 24h8' fill='none' stroke-width='2'/>"},
    {{317, 0, 0, 0, 0}, "<circle cx='15' cy='15' r='7' fill='none' stroke-width='3'/><circle cx='15' cy='15' r='2'/>"},
    // Stop, Play, Pause, Play Fragment, Select Fragment, SpeechView.
    {{268, 265, 266, 267, 269}, "<rect x='9' y='9' width='12' height='12'/>"},
    {{278, 270, 276, 277, 275}, "<path d='M10 8l12 7l-12 7z'/>"},
    {{273, 274, 271, 272, 279}, "<rect x='9' y='8' width='4' height='14'/><rect x='17' y='8' width='4' height='14'/>"},
    {{308, 309, 306, 307, 314}, "<path d='M12 10l9 5l-9 5z'/><path d='M8 8h-2v14h2M22 8h2v14h-2' fill='none' stroke-width='1.5'/>"},
    {{283, 284, 280, 282, 281}, "<path d='M11 7h-4v16h4M19 7h4v16h-4' fill='none' stroke-width='2'/>"},
    {{313, 305, 311, 312, 310}, "<path d='M5 15l3-5l3 10l3-12l3 14l3-10l3 6l2-3' fill='none' stroke-width='1.8'/>"},
    // Speed: a gauge whose needle stands upright (normal), to the right
    // (fast) or to the left (slow), so that it never reads as Play.
    {{352, 353, 350, 351, 349}, "<path d='M6 20a9 9 0 0 1 18 0' fill='none' stroke-width='2.5'/>"
                                "<path d='M15 20l0-9' fill='none' stroke-width='2.5'/><circle cx='15' cy='20' r='2.5'/>"
                                "<rect x='6' y='23' width='18' height='1.5'/>"},
    {{347, 348, 345, 346, 358}, "<path d='M6 20a9 9 0 0 1 18 0' fill='none' stroke-width='2.5'/>"
                                "<path d='M15 20l6-6' fill='none' stroke-width='2.5'/><circle cx='15' cy='20' r='2.5'/>"
                                "<path d='M20 23l4 1.5l-4 1.5z'/><path d='M23 23l4 1.5l-4 1.5z'/>"},
    {{357, 344, 355, 356, 354}, "<path d='M6 20a9 9 0 0 1 18 0' fill='none' stroke-width='2.5'/>"
                                "<path d='M15 20l-6-6' fill='none' stroke-width='2.5'/><circle cx='15' cy='20' r='2.5'/>"
                                "<path d='M10 23l-4 1.5l4 1.5z'/>"},
    // Record.
    {{288, 285, 286, 287, 289}, "<circle cx='15' cy='15' r='6'/>"},
    // Next and previous Echomark.
    {{303, 304, 301, 302, 300}, "<path d='M8 9l9 6l-9 6z'/><rect x='19' y='9' width='3' height='12'/>"},
    {{298, 295, 296, 297, 299}, "<rect x='8' y='9' width='3' height='12'/><path d='M22 9l-9 6l9 6z'/>"},
    // Sequence, loop, Play All, Play Up To End, volume.
    {{249, 253, 250, 251, 252}, "<path d='M7 7l7 4l-7 4zM16 15l7 4l-7 4z'/>"},
    {{242, 239, 240, 241, 243}, "<path d='M21 11a7 7 0 1 0 1 6' fill='none' stroke-width='2.5'/><path d='M18 6l5 4l-6 2z'/>"},
    {{263, 264, 261, 262, 260}, "<path d='M12 8l10 7l-10 7z'/><rect x='6' y='8' width='2' height='14'/>"},
    {{342, 343, 340, 341, 339}, "<path d='M7 8l10 7l-10 7z'/><rect x='19' y='8' width='2' height='14'/><rect x='23' y='8' width='2' height='14'/>"},
    {{254, 258, 255, 256, 257}, "<path d='M7 12h4l5-4v14l-5-4h-4z'/><path d='M19 11a5 5 0 0 1 0 8' fill='none' stroke-width='2'/>"},
};

// The Echomark index panel's scroll buttons (22 x 22; no hover-down face).
const Family kIndexFamilies[] = {
    {{324, 318, 322, 0, 327}, "<path d='M15 8l-8 7l8 7zM24 8l-8 7l8 7z'/>"},
    {{320, 321, 325, 0, 326}, "<path d='M19 8l-9 7l9 7z'/>"},
    {{331, 328, 329, 0, 332}, "<path d='M11 8l9 7l-9 7z'/>"},
    {{336, 333, 334, 0, 337}, "<path d='M6 8l8 7l-8 7zM15 8l8 7l-8 7z'/>"},
};

// The grammar browser's bar. Ids in the order up, hover up, down, hover
// down, disabled, as above; the browser hands them to its buttons as up,
// down (pressed or checked), hover up, hover down.
const Family kBrowserFamilies[] = {
    {{146, 0, 147, 0, 0}, "<path d='M6 15l8-7v4h9v6h-9v4z'/>"},
    {{150, 0, 151, 0, 0}, "<path d='M24 15l-8-7v4h-9v6h9v4z'/>"},
    {{152, 0, 153, 0, 0}, "<path d='M21 10a8 8 0 1 0 2 7' fill='none' stroke-width='2.5'/><path d='M18 5l6 4l-7 3z'/>"},
    {{148, 0, 149, 0, 0}, "<path d='M5 15l10-9l10 9h-3v8h-5v-5h-4v5h-5v-8z'/>"},
    // Always on top: a pin; checked, it is pushed in.
    {{157, 158, 155, 156, 0}, "<path d='M11 6h8l-1 6l4 4h-14l4-4z'/><rect x='14' y='16' width='2' height='8'/>"},
};

// The catalogue's Open and Remove buttons (20 x 20): an open book with an
// arrow out of it, and a waste bin.
const Family kCatalogueFamilies[] = {
    {{366, 367, 365, 378, 383}, "<path d='M4 9q5-3 10 0v14q-5-3-10 0zM16 9q5-3 10 0v14q-5-3-10 0z'/>"
                                "<path d='M15 4v9M11 9l4 4l4-4' fill='none' stroke-width='2.2'/>"},
    {{369, 370, 368, 381, 382}, "<rect x='8' y='7' width='14' height='3' rx='1'/><rect x='13' y='4' width='4' height='3'/>"
                                "<path d='M9 11h12l-1.5 14h-9z'/>"},
};

// The preferences dialog's OK ("apply changes and close window": a check
// mark) and Apply ("apply changes": a check mark on a page, which stays
// open), 30 x 30 on the dialog's paper.
const Family kPreferencesFamilies[] = {
    {{384, 385, 386, 387, 388}, "<path d='M7 15l6 6l11-12' fill='none' stroke-width='3.2'/>"},
    {{394, 395, 396, 397, 398}, "<rect x='7' y='6' width='16' height='19' rx='1.5' fill='none' stroke-width='1.8'/>"
                                "<path d='M10 16l3.5 3.5l6.5-7' fill='none' stroke-width='2.4'/>"},
};

// The catalogue's filter ticks (13 x 13 on the list's white): a check box
// with a check mark (391) and an empty one (392).
Image tickBox(bool ticked) {
  std::string svg =
      "<svg xmlns='http://www.w3.org/2000/svg' width='13' height='13' viewBox='0 0 13 13'>"
      "<rect x='0' y='0' width='13' height='13' fill='#ffffff'/>"
      "<rect x='0.5' y='0.5' width='12' height='12' fill='#ffffff' stroke='#404040'/>";
  if (ticked) svg += "<path d='M2.5 6.5l3 3l5-6.5' fill='none' stroke='#1a7f1a' stroke-width='2'/>";
  svg += "</svg>";
  return Image{Image::Kind::Svg, "", std::vector<uint8_t>(svg.begin(), svg.end())};
}

// Face and symbol colours per state: up, hover up, down, hover down,
// disabled. Down faces are darker with a light symbol, hover faces
// lighter, the disabled face grey.
struct Look {
  const char* face;
  const char* edge;
  const char* symbol;
};
const Look kLooks[5] = {
    {"#e8d9a8", "#7a6a3a", "#3a3020"},
    {"#fff4c8", "#7a6a3a", "#1a1410"},
    {"#8a5a20", "#4a3010", "#fff0d0"},
    {"#a87030", "#4a3010", "#ffffff"},
    {"#c8c8c8", "#909090", "#9a9a9a"},
};

Image face(const Look& look, const char* symbol, int size, const char* background) {
  const std::string side = std::to_string(size);
  std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' width='" + side + "' height='" + side +
                    "' viewBox='0 0 30 30'>"
      "<rect x='0' y='0' width='30' height='30' fill='" + std::string(background) + "'/>"
      "<rect x='1' y='1' width='28' height='28' rx='5' fill='";
  svg += look.face;
  svg += "' stroke='";
  svg += look.edge;
  svg += "' stroke-width='1.5'/><g fill='";
  svg += look.symbol;
  svg += "' stroke='";
  svg += look.symbol;
  svg += "' stroke-width='0'>";
  svg += symbol;
  svg += "</g></svg>";
  return Image{Image::Kind::Svg, "", std::vector<uint8_t>(svg.begin(), svg.end())};
}

// `background` is the colour of the bar the buttons stand on, seen at the
// rounded corners.
void addFamilies(plat::ui::ResourceModule& module, const Family* first, const Family* last, int size,
                 const char* background) {
  for (const Family* f = first; f != last; ++f) {
    for (int k = 0; k < 5; ++k) {
      if (f->ids[k] != 0) module.addImage(f->ids[k], face(kLooks[k], f->symbol, size, background));
    }
  }
}

}  // namespace

void addPanelPictures(plat::ui::ResourceModule& module) {
  addFamilies(module, std::begin(kFamilies), std::end(kFamilies), 30, "#fccc24");
  addFamilies(module, std::begin(kIndexFamilies), std::end(kIndexFamilies), 22, "#fccc24");
  addFamilies(module, std::begin(kBrowserFamilies), std::end(kBrowserFamilies), 30, "#c0c0c0");
  addFamilies(module, std::begin(kCatalogueFamilies), std::end(kCatalogueFamilies), 20, "#fccc24");
  addFamilies(module, std::begin(kPreferencesFamilies), std::end(kPreferencesFamilies), 30, "#fff4d6");
  module.addImage(391, tickBox(true));
  module.addImage(392, tickBox(false));
}

}  // namespace tv::buttons
