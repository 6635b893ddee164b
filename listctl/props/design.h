// The look records of a list as its saved state writes and rebuilds them:
// the attribute pool, the level records, the column and group looks and the
// window font.
#pragma once

#include <cstdint>

#include "listctl/core/lbx_instance.h"
#include "listctl/props/prop_records.h"

namespace lindra {

props::AttrPool& designPool(LbxInstance* inst);
// Where a place keeps its look handle (0: none), or null when there is no
// such place: ListApplyTo levels 0..8, and the columns' and groups' cell
// (or header) looks by position.
std::uint16_t* designLevel(LbxInstance* inst, int level);
std::uint16_t* designColumnLook(LbxInstance* inst, int pos, bool header);
std::uint16_t* designGroupLook(LbxInstance* inst, int pos, bool header);
// The font made by the window font properties, 0 when none was.
std::uint16_t designWindowFont(LbxInstance* inst);
// Makes a font from `lf` the list's font, as the window font properties do.
void designSetWindowFont(LbxInstance* inst, const plat::win::LOGFONT& lf);

}  // namespace lindra
