#pragma once
// The resource ids of Glyphary (libglyphary.so): the lookup tables its
// exports answer from, and every icon, bitmap and label the library holds.
// The exports, the resource generator and the tests all read this one
// header, so an id answered by an export is an id the library holds.
//
// Icons (one picture namespace with the bitmaps; the ranges do not meet):
//   134        the difficulty levels as a group   135-139  levels 1-5
//   140        the categories as a group          141-161  categories 1-21
//   171        help
//   183        the book languages as a group      196-203  languages 0-7
//   209        the library's logo                 220-224  sources 0-4
// Bitmaps:
//   267-287    categories 1-21                    288-292  levels 1-5
//   293-297    sources 3, 2, 0, 1, 4              298-305  languages 0-7
// The icons, taken in id order, are also numbered from 0 (as a desktop
// names the icons of a library file): the program folder's picture folder
// "Glyphary/" holds icon n as "<n>.png", so that icon 6 + c is the icon of
// category c, and 6 + 0 that of the categories as a group.
// Label strings come in two sets. A set is a base id per kind, and the label
// of a resource whose icon id is r lies at  base + (r - icon offset of its
// kind); set 0 therefore keys each short label by its icon's own id, and
// set 2 holds the longer titles at 2101 (levels), 2110 (categories) and
// 2175 (languages). Sources have labels in set 0 only.

#include <cstdint>

namespace glyphary {

inline constexpr std::int32_t kFirstLevel = 1;
inline constexpr std::int32_t kLastLevel = 5;
inline constexpr std::int32_t kLevelIds[] = {135, 136, 137, 138, 139};  // levels 1-5

inline constexpr std::int32_t kFirstCategory = 1;
inline constexpr std::int32_t kLastCategory = 21;
inline constexpr std::int32_t kCategoryIds[] = {141, 142, 143, 144, 145, 146, 147, 148, 149, 150, 151,
                                                152, 153, 154, 155, 156, 157, 158, 159, 160, 161};

// Languages 0-3 are English, French, Italian and Spanish; 4 and 5 continue
// the run of language icons with German and Portuguese.
inline constexpr std::int32_t kFirstLanguage = 0;
inline constexpr std::int32_t kLastLanguage = 5;
inline constexpr std::int32_t kLanguageIds[] = {196, 197, 198, 199, 200, 201};

// Sources 0-3 are the local drive, network drive, Internet download and
// CD-ROM drive; 4 is the source whose kind is not known.
inline constexpr std::int32_t kFirstSource = 0;
inline constexpr std::int32_t kLastSource = 4;
inline constexpr std::int32_t kSourceIds[] = {220, 221, 222, 223, 224};

inline constexpr std::int32_t kLevelIconOffset = 134;
inline constexpr std::int32_t kCategoryIconOffset = 141;
inline constexpr std::int32_t kLanguageIconOffset = 183;
inline constexpr std::int32_t kCategoryGroupIcon = 140;
inline constexpr std::int32_t kHelpIcon = 171;
inline constexpr std::int32_t kLogo = 209;

inline constexpr std::int32_t kLabelSetShort = 0;
inline constexpr std::int32_t kLabelSetTitles = 2;
inline constexpr std::int32_t kLevelTitleOffset = 2101;
inline constexpr std::int32_t kCategoryTitleOffset = 2110;
inline constexpr std::int32_t kLanguageTitleOffset = 2175;

// Every book language the library has pictures for (the player lists
// eight, beyond the six the language lookup answers).
inline constexpr int kLanguageCount = 8;
inline constexpr std::int32_t kFirstLanguageIcon = 196;
// Pictures from here on are bitmaps; below it, icons.
inline constexpr std::int32_t kFirstBitmapId = 267;
inline constexpr std::int32_t kFirstCategoryBitmap = 267;
inline constexpr std::int32_t kFirstLevelBitmap = 288;
inline constexpr std::int32_t kFirstLanguageBitmap = 298;
// The source bitmaps do not follow the source order.
inline constexpr std::int32_t kSourceBitmapIds[] = {295, 296, 294, 293, 297};  // sources 0-4

// The picture folder beside the library and the size of its pictures.
inline constexpr const char* kPictureFolder = "Glyphary";
inline constexpr int kPictureSize = 64;

}  // namespace glyphary
