#include "shared/language/english_module.h"

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "shared/buttons/panel_pictures.h"
#include "shared/skin/frame_pictures.h"

namespace tv::language {
namespace {

using plat::ui::Accelerator;
using plat::ui::Image;
using plat::ui::Menu;
using plat::ui::MenuItem;
using plat::ui::ResourceList;
using plat::ui::ResourceModule;

struct StringEntry {
  int id;
  const char* text;
};

// Every string of the program by id, in id order. Ids are unique (the
// module refuses a second text for an id, and a test checks the table).
const StringEntry kStrings[] = {
    {1, "Close"},
    {2, "Stop"},
    {3, "Play"},
    {4, "Pause"},
    {5, "Play Fragment"},
    {6, "Select speed"},
    {7, "SpeechView"},
    {8, "Listening control panel"},
    {9, "Select Fragment"},
    {10, "Record (Rec)"},
    {11, "Play (Rec)"},
    {12, "Pause (Rec)"},
    {13, "Play Fragment (Rec)"},
    {14, "Select Fragment (Rec)"},
    {15, "SpeechView (Rec)"},
    {16, "Recording control panel"},
    {17, "Secondary control panel"},
    {18, "Next Echomark"},
    {19, "Previous Echomark"},
    {20, "Play dialog/recording in sequence"},
    {21, "Play in loop"},
    {22, "Play All"},
    {23, "Play Up to End"},
    {24, "Volume"},
    {25, "Scroll forward"},
    {26, "Scroll fast forward"},
    {27, "Scroll fast back"},
    {28, "Scroll back"},
    {29, "Echomark indicator"},
    {30, "Show/Hide Comments"},
    {31, "Show/Hide Introductions"},
    {35, "Lazy mode"},
    {36, "Letter By Letter mode"},
    {37, "Grammar mode"},
    {38, "Dictionary mode"},
    {39, "Fragment selector"},
    {40, "Fragment selector (Rec)"},
    {41, "SpeechView"},
    {42, "SpeechView (Rec)"},
    {43, "Volume"},
    {44, "Introduction"},
    {45, "Comment"},
    {46, "Dictionary definition"},
    {47, "Current Echomark"},
    {48, "Number of Echomarks in Talvane"},
    {49, "Talvane title"},
    {50, "Talvane category: "},
    {51, "Difficulty level: "},
    {52, "Talvane language: "},
    {55, "Do you want to restore the last session for this Talvane ?"},
    {9002, "Talvane Player: Error Window"},
    {9003, "Talvane Player: Warning Window"},
    {9004, "Talvane Player: Question Window"},
    {9005, "Talvane Player: Progress Window"},
    // No text is given for this caption beside its three siblings: it
    // names the information box the way they name theirs.
    {9006, "Talvane Player: Information Window"},
    {9007, "Error Code: "},
    {9101, "Can't open file !"},
    {9103, "This file has an incorrect format !"},
    {9104, "This file was incorrectly downloaded !"},
    {9105, "This file does not contain the selected Talvane !"},
    {9106, "Compression format not supported !"},
    {9108, "An error occurred while appending audio files !"},
    {9109, "An error occurred while reading the dictionary !"},
    {9110, "An error occurred while reading the Fragment Table !"},
    {9116, "Kb free space available on disk"},
    {9117, "There isn't enough free space on the disk"},
    {9203, "The Talvane:\n\n%s\n\nhas already been installed. Do you want to install it anyway?"},
    {9300, "Installing Talvane "},
    {9301, "Decompressing data"},
    {9302, "Converting Audio Files"},
    {9303, "Updating initialization file"},
    {9304, "The selected Talvanes have been correctly installed"},
    // The install dialog's second result message, shown when not every
    // chosen Talvane could be installed.
    {9305, "Some of the selected Talvanes could not be installed"},
    {9800, "English"},
    {9801, "French"},
    {9802, "Italian"},
    {9803, "Spanish"},
    {9804, "German"},
    {9805, "Portuguese"},
    {9806, "Brazilian"},
    {9807, "Hungarian"},
    {9900, "Economics"},
    {9901, "Europe"},
    {9902, "Finance"},
    {9903, "Business"},
    {9904, "Politics"},
    {9905, "Science & Technology"},
    {9906, "Computers"},
    {9907, "Medical"},
    {9908, "Arts"},
    {9909, "Language & Literature"},
    {9910, "Travel & Entertainment"},
    {9911, "World & Ecology"},
    {9912, "Fiction & Adventure"},
    {9913, "Children's"},
    {9914, "Sport"},
    {9915, "Humour"},
    {9916, "Film"},
    {9917, "Music"},
    {9918, "Religion"},
    {9919, "Food"},
    {9920, "Mind & Body"},
    {9950, "Easy"},
    {9951, "Low Intermediate"},
    {9952, "Intermediate"},
    {9953, "Difficult"},
    {9954, "Expert"},
    {9980, "Local drive"},
    {9981, "Network drive"},
    {9982, "Internet download"},
    {9983, "CD-ROM drive"},
    {9991, "Normal"},
    {9992, "Slow"},
    {9993, "Fast"},
    {11100, "Book text, Echomark by Echomark"},
    {11101, "See the results of what you have written"},
    {11102, "Type in any words you hear in any order"},
    {12010, "Catalogue"},
    {12011, "Description"},
    {12012, "Quotes"},
    {12013, "Category filter"},
    {12014, "Difficulty filter"},
    {12015, "Language filter"},
    {12016, "Titles"},
    {12017, "Open selected Talvane"},
    {12018, "Remove selected Talvane"},
    {12019, "List of Talvanes available"},
    {20001, "MCI :\nAn error occurred when saving the last Recorded Audio File"},
    {20002, "MCI :\nAn error occurred when loading the last Recorded Audio File !\nthe Old Audio File will be Restored"},
    {20003, "MCI :\nI can't load the Audio File \nrecorded for the current Echomark !"},
    {20004, "Player Error !\n\nI can't find the path of the Grammar Browser"},
    {20005, "Player Error !\n\nI can't find the Grammar Browser"},
    {20006, "An error occurred during a Play Up To End Process !"},
    {20007, "An error occurred during a Play Up To End Process:\nUnable to find Audio File !"},
    {20008, "An error occurred during a Play Up To End Process:\nUnable to load Audio File !"},
    {20009, "Echomark no.%d was playing.\nWould you like to load it now ?"},
    {20010, "Fast and slow audio files are unavailable for the current Echomark."},
    {20011, "An error occurred during a Play All Process !"},
    {20012, "An error occurred during a Play All Process:\nUnable to find Audio File !"},
    {20013, "An error occurred during a Play All Process:\nUnable to load Audio File !"},
    {20016, "Volume"},
    {20018, "SpeechView"},
    {20021, "Please select a Talvane title to open."},
    {20023, "The Talvane\n\n'%s'\n\nis about to be removed. Please confirm your choice."},
    {20024, "Problems encountered while removing Talvane."},
    {20027, "An error occurred while selecting the Talvane."},
    {20028, "No wave device supports format"},
    {20029, "Out of memory"},
    {20030, "The Audio Device is already used by another Program!"},
    {20031, "Bad device ID"},
    {20032, "Invalid device handle"},
    {20033, "Device in use by another thread"},
    {20034, "Audio header not prepared"},
    {20035, "Unknown error"},
    {20036, "Invalid pointer"},
    {20037, "Text error"},
    {20038, "Property error"},
    {20039, "Fragments error"},
    {20041, "Prolog:\n"},
    {20044, "Quote %d\n[...]\n"},
    {20045, "Text format setting failure."},
    {20047, "An error occurred while loading a Echomark."},
    {20048, "Go to Index"},
    {20049, "Go to current page"},
    {20051, "Fragment selection"},
    {20052, "MCI: A Device Error occurred during Recording !\n"},
    {20053, "MCI: Recording Command Superseded !\n The device received another command\n"},
    {20054, "\nMCI Error:\n%s !\n"},
    {20055, "\nMCI Error on Command %s:\n%s !\n"},
    {20056, "\nMCI Error:\nUnknown Error !\n"},
    {20057, "\nMCI Error on Command %s:\nUnknown Error !\n"},
    {20058, "Audio device not available"},
    {20066, "There is a Talvane Player installation which was corrupted or never executed.\nPlease re-install the Talvane Player."},
    {20068, "Please insert the CD-ROM labeled"},
    {20101, "Go back"},
    {20102, "Go to Home Page"},
    {20103, "Go forward"},
    {20104, "Refresh"},
    {20105, "Always on top"},
    {20106, "Grammar"},
    {20237, "This Player is currently under the control of a Talvane Player Administrator.\nPlease contact the Talvane Player Administrator to change this group of settings."},
    {20242, "This settings group cannot be modified while a Talvane is still open.\nPlease close the Talvane and retry."},
    {20253, "Unable to access the default Data path."},
    {20254, "Unable to access the current data path.\nThe Talvane Player is switching to the default data path.\nPlease verify the Preferences for the current data path or contact the Talvane Player Administrator."},
    {20261, "The Talvane Library containing the title you are looking for was not found in the directory path where it was originally installed:\n"},
    {20262, "\nPlease try adding the correct current pathname as one of the alternative Talvane pathnames (see the 'Administration tools' section in Preferences) or contact your Talvane Player Administrator."},
    {20263, "Warning: the only datapath which the Talvane Player can access in Windows Vista is the Users\\Public folder (generally c:\\Users\\Public).\n These default parameters cannot be changed."},
    // The File menu's dialogs that this build does not have yet: their
    // commands say so rather than do nothing.
    {20270, "The Open Talvane dialog is not available in this version of the Talvane Player."},
    {20271, "The Install Talvane dialog is not available in this version of the Talvane Player."},
    {20272, "The Preferences dialog is not available in this version of the Talvane Player."},
    {20290, "The Talvane file was found but could not be read; it may be damaged:"},
    {20291, "The text of this Talvane could not be read."},
    {20292, "These Echomarks of the Talvane could not be loaded: %s.\nThe Talvane opens at Echomark %d."},
    // A wave file named for playing that cannot be opened or decoded.
    {20293, "Failed to open file"},
    {20294, "Failed to load file"},
    {20400, "Preferences"},
    {20401, "Apply changes and close window"},
    {20402, "Apply changes"},
    {20403, "General settings"},
    {20404, "Echomark options"},
    {20405, "At the beginning of each Echomark..."},
    {20406, "At the end of each Echomark..."},
    {20407, "Talvane options"},
    {20408, "At the beginning of each Talvane..."},
    {20409, "At the end of each Talvane..."},
    {20410, "Language settings"},
    {20411, "Interface language"},
    {20412, "Help language"},
    {20413, "Administration tools"},
    {20414, "Current Data path"},
    {20415, "Alternative Talvane paths"},
    {20416, "Permissions"},
    {20417, "Allow removing Talvanes"},
    {20418, "Allow changing the users' passwords"},
    {20419, "Allow deleting users"},
    {20420, "Pause between Echomarks (seconds)"},
    {20421, "Show the speech view"},
    {20422, "Show the volume window"},
    {20423, "Show the fragment selector"},
    {20424, "Show the Echomark index"},
    {20425, "Show the status bar"},
    {20426, "Show the audio panel"},
    {20427, "Show the command panel"},
    {20428, "Play the Echomark"},
    {20429, "Play all of the Echomark"},
    {20430, "Play in a loop"},
    {20431, "Play the recording in sequence"},
    {20432, "Show the words that are not key words"},
    {20433, "Show the fixed words"},
    {20434, "Show the hits of the introduction"},
    {20435, "Playing speed"},
    {20436, "Slow"},
    {20437, "Normal"},
    {20438, "Fast"},
    {20439, "Play another jingle"},
    {20440, "Show the comment"},
    {20441, "Show the hits of the comment"},
    {20442, "Jingle sound file"},
    {20443, "Show the introduction"},
    {20444, "Ask whether to load the Talvane status"},
    {20445, "Save the Talvane status"},
    {20446, "Allow installing Talvanes"},
    {20447, "Current user"},
    {20448, "The new data path could not be taken into use. The current data path is kept."},
    {20449, "Cancel"},
    {20450, "Allow creating users"},
    {20451, "Show the choice of users at log-in"},
    {20452, "Log in as another user when the changes are applied"},
    // Why the load switch did not install a file (printed after its name).
    {20340, "the file was not found"},
    {20341, "this is a folder, not a file"},
    {20342, "the file cannot be read"},
    {20343, "only packet (.tpk) and library (.tvl) files can be installed"},
    {20344, "the Talvane this packet names is not installed"},
    {20345, "the library holds no Talvane"},
    {20346, "the file cannot be copied into the install folder"},
    {20347, "the indirection file names no packet or library file"},
    {20353, "the packet is damaged or cannot be read"},
    {20354, "the library is damaged or cannot be read"},
    {20355, "the Talvane could not be installed"},
    {20356, "this file is a packet, not a library: name it .tpk"},
    // Refusals of the installer.
    {20348, "This packet holds more members than a Talvane can keep !"},
    {20349, "This library is damaged: a part of it cannot be read !"},
    {20350, "The media spots of this packet are damaged !"},
    {20460, "The speech of this Talvane cannot be converted !"},
    {20461, "speech kind"},
    {20468, "speech member \"%1\": sample format %2 cannot be played"},
    {20462, "The Talvane Player was installed in another folder. Register this copy in its place?"},
    {20463, "Talvane packets and libraries already open with the Talvane Player. Register them again?"},
    {20465, "Install the demo Talvanes now?"},
    {20466, "The Talvane Player's registrations for this user have been removed. The program folder is read-only: "
            "it is removed by the system's package tools."},
    // The data-path dialog.
    {20470, "Data paths"},
    {20471, "&New..."},
    {20472, "&Verify"},
    {20473, "&Remove"},
    {20474, "&Browse"},
    {20475, "Standard data path"},
    {20476, "(current)"},
    {20477, "(in use)"},
    {20478, "Choose the folder of the new data path"},
    {20479, "Name of the new data path:"},
    {20480, "The data path\n%1\nis complete and free to use."},
    {20481, "The data path\n%1\ncannot be used: %2 is missing."},
    {20482, "The data path\n%1\nis in use by another Talvane Player (it holds the mark active.log).\n"
            "If no other Talvane Player uses it, delete that file and retry."},
    {20483, "The standard data path and the current data path cannot be removed."},
    {20484, "Remove the data path \"%1\"?\nThe Talvanes, users and status kept in\n%2\nwill be deleted."},
    {20485, "The data path could not be made in\n%1"},
    {20486, "The data path could not be removed from\n%1"},
    {20487, "\"%1\" cannot name a data path: a name must not be empty, hold ']' or stand in quotes, "
            "and must differ from the names of the other data paths."},
    {20488, "The folder\n%1\nis listed already as \"%2\"."},
    {20489, "The folder\n%1\ncannot be opened."},
    // The install dialog.
    {20490, "Install Talvanes"},
    {20491, "&Add files..."},
    {20492, "&Remove"},
    {20493, "&Install"},
    {20494, "Close"},
    {20495, "Talvane packets and libraries (*.tpk *.tvl *.TPK *.TVL)"},
    {20496, "Choose Talvane packets or libraries"},
    {20497, "Talvanes folder: %s"},
    {20498, "Free space on its disk: %s Kb"},
    {20499, "The chosen Talvanes need: %s Kb"},
    {20500, "Packet folder: %s"},
    {20501, "to install"},
    {20502, "installed"},
    {20503, "not installed"},
    {20504, "library of %d Talvanes"},
    {20505, "cancelled"},
    {20506, "Cancel"},
    {20507, "Stopping after this Talvane..."},
    {20508, "The installation was cancelled: %d of %d Talvanes are installed."},
    {20509, "This file is neither a Talvane packet (.tpk) nor a Talvane library (.tvl):"},
    // What could not be kept of the learner's work.
    {20571, "The progress made in this Talvane could not be saved in the file:"},
    // The closing summary of an installation run.
    {20572, "The installation was cancelled."},
    {20573, "Not every selected Talvane has been installed."},
    {20574, "Installed: %d of %d"},
    {20575, "Not installed, as you asked (already installed): %d"},
    {20576, "Could not be installed: %d"},
    {20577, "Not reached: %d"},
    {20578, "library of 1 Talvane"},
    // Preferences: the alternative Talvane paths.
    {20579, "These alternative Talvane paths are not folders that exist; they are kept as typed:"},
    {20580, "The alternative Talvane paths could not be saved: an entry is too long or holds characters a setting cannot keep."},
};

MenuItem cmd(int id, const char* caption) { return MenuItem::command(id, caption); }
MenuItem sep() { return MenuItem::separator(); }

Menu menuNoBook() {
  return Menu{{
      MenuItem::popup("&File", {cmd(57601, "&Open..."), cmd(32814, "&Install..."), cmd(32815, "Preferences..."),
                                sep(), cmd(57665, "E&xit")}),
      MenuItem::popup("&Help", {cmd(57671, "Contents"), cmd(57666, "Index"), cmd(32900, "Search"), sep(),
                                cmd(57664, "&About...")}),
  }};
}

Menu menuBook() {
  return Menu{{
      MenuItem::popup("&File", {cmd(57601, "&Open..."), cmd(57602, "&Close"), sep(), cmd(32814, "&Install..."),
                                cmd(32815, "Preferences..."), sep(), cmd(57665, "E&xit")}),
      MenuItem::popup("&Text", {cmd(32780, "Show non '&keywords'\tF2"), cmd(32781, "Show 'fi&xed' words"),
                                cmd(32783, "&Apply to all Echomarks"), sep(), cmd(32784, "Clear '&Lazy' Words"),
                                cmd(32785, "Clear all &words"), cmd(32786, "Clear all Echomarks"), sep(),
                                cmd(32790, "&Spelling corrector\tF3")}),
      MenuItem::popup("T&ools", {cmd(32776, "&Audio panel"), cmd(32782, "S&econdary panel"),
                                 cmd(32787, "&Echomark Index panel"), cmd(59393, "&Status Bar")}),
      MenuItem::popup(
          "&Audio",
          {cmd(115, "&Play\tF8"), cmd(116, "Pa&use\tF9"), cmd(152, "&Stop\tF10"), cmd(118, "Play &Fragment\tF7"),
           cmd(213, "Set Frag&ment Start\tF4"), cmd(214, "Set Fragme&nt End\tF5"), sep(), cmd(158, "Play &All"),
           cmd(159, "Play Up &To End"), cmd(127, "Play &Sequence"), cmd(140, "Play &Loop\tF6"), sep(),
           MenuItem::popup("Play Spee&d", {cmd(32803, "&Fast"), cmd(32804, "&Normal"), cmd(32805, "&Slow")}),
           sep(),
           MenuItem::popup("Recording &commands",
                           {cmd(193, "&Record\tF11"), cmd(194, "&Play"), cmd(195, "&Stop"), cmd(32808, "Pa&use"),
                            cmd(199, "Play &Fragment"), cmd(32811, "Set Fragment &Start"),
                            cmd(32812, "Set Fragment &End")})}),
      MenuItem::popup("&Help", {cmd(57667, "Contents"), cmd(57666, "Index"), cmd(32900, "Search"), sep(),
                                cmd(57664, "&About...")}),
  }};
}

std::vector<Accelerator> accelerators() {
  return {
      {"F1", 57670},     {"Shift+F1", 57669}, {"F2", 32780},     {"Ctrl+F2", 229},      {"Shift+F2", 228},
      {"F3", 32790},     {"F4", 213},         {"F5", 214},       {"F6", 140},           {"F7", 118},
      {"F8", 115},       {"F9", 116},         {"F10", 152},        {"F11", 193},      {"PgDown", 125},       {"Ctrl+PgDown", 230},
      {"PgUp", 124},     {"Ctrl+PgUp", 231},
  };
}

std::vector<int> run(int first, int count) {
  std::vector<int> ids;
  for (int k = 0; k < count; ++k) ids.push_back(first + k);
  return ids;
}

ResourceList list(int firstEntry, int strings, int icons, int bitmaps, int count) {
  return ResourceList{firstEntry, run(strings, count), run(icons, count), run(bitmaps, count),
                      run(8000 + bitmaps, count)};
}

// A small picture for a list entry: a rounded square in the list's colour
// with the first letter of the entry's English text.
Image listPicture(const char* colour, const std::string& text) {
  const char letter = text.empty() ? '?' : text[0];
  std::string svg =
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" viewBox=\"0 0 16 16\">"
      "<rect x=\"0.5\" y=\"0.5\" width=\"15\" height=\"15\" rx=\"3\" fill=\"";
  svg += colour;
  svg +=
      "\" stroke=\"#303030\"/>"
      "<text x=\"8\" y=\"12\" font-family=\"sans-serif\" font-size=\"10\" font-weight=\"bold\" "
      "text-anchor=\"middle\" fill=\"#ffffff\">";
  svg += letter;
  svg += "</text></svg>";
  return Image{Image::Kind::Svg, "", std::vector<uint8_t>(svg.begin(), svg.end())};
}

ResourceModule build() {
  ResourceModule m;
  // A second text for one id is a fault of the table above: stop at once
  // rather than answer one of the two.
  for (const StringEntry& e : kStrings) {
    if (!m.addString(e.id, e.text)) std::abort();
  }
  m.addMenu(kMenuNoBook, menuNoBook());
  m.addMenu(kMenuBook, menuBook());
  m.addAccelerators(kAcceleratorTable, accelerators());

  m.addList(kListCategories, list(1, 9900, 141, 267, 21));
  m.addList(kListDifficulties, list(1, 9950, 135, 288, 5));
  m.addList(kListLanguages, list(0, 9800, 196, 298, 8));
  // The source kinds' pictures do not follow the entry order.
  m.addList(kListSourceKinds, ResourceList{0, run(9980, 4), run(220, 4), {295, 296, 294, 293},
                                           {8295, 8296, 8294, 8293}});

  const std::pair<int, const char*> colours[] = {{kListCategories, "#3a6ea5"},
                                                 {kListDifficulties, "#b5651d"},
                                                 {kListLanguages, "#2e8b57"},
                                                 {kListSourceKinds, "#6a5acd"}};
  for (const auto& [number, colour] : colours) {
    const ResourceList* l = m.list(number);
    for (int k = 0; k < l->count(); ++k) {
      const std::string* text = m.string(l->stringIds[static_cast<size_t>(k)]);
      m.addImage(l->smallBitmapIds[static_cast<size_t>(k)], listPicture(colour, text ? *text : std::string()));
    }
  }
  tv::buttons::addPanelPictures(m);
  tv::skin::addFramePictures(m);
  return m;
}

}  // namespace

const ResourceModule& englishModule() {
  static const ResourceModule module = build();
  return module;
}

}  // namespace tv::language
