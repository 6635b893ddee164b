// What the painting and input code reads of a list's properties: its
// columns and groups as they stand, stored values, and the look of a cell,
// a header or a group header with every level applied.
//
// Colours are colour references (0x800000nn names system colour nn); the
// caller translates them. A look takes each field from the first record
// that sets it, in this order:
//   cell  the cell's own record, then the column's and the item's (the item
//         first unless HighestPrecedence is Col), the odd or even rows
//         level, All Rows, All Cols, Default(All), and last the BackColor /
//         ForeColor defaults of the window colours
//   selected cell  Sel Rows (SelBackColor, SelForeColor) wins over all of
//         the above for the colours
//   column header  the column's header record, Col Headers, then the
//         button-face colours
//   group header   the group's header record, Group Headers, then the
//         button-face colours
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "listctl/core/lbx_instance.h"

namespace lindra {

struct ViewColumn {
  int width = 0;          // pixels; 0 = automatic
  bool hidden = false;
  int parentGroup = -1;   // group position, -1 none
  std::string header;
};

struct ViewGroup {
  int width = 0;          // pixels; 0 = the sum of its columns
  bool hidden = false;
  std::string header;
};

struct ViewLook {
  std::uint32_t back = 0, fore = 0;
  int alignH = 0;         // 0 left, 1 centre, 2 right
  bool ellipsis = false;
  // The picture (the selected picture on a selected row when one is set):
  // storage kind 0 a bitmap handle, 1 a resource number; -1 none.
  int pictureKind = -1;
  std::uint32_t picture = 0;
  int pictureAlignH = 0;  // 0 left of the text, 1 centre, 2 right
};

// The grid lines between rows (h) and columns (v): 0 none, 1 solid,
// 2 3-D lowered, 3 3-D raised; and the solid lines' colour.
struct ViewLines {
  int h = 0, v = 0;
  std::uint32_t colour = 0;
};

std::vector<ViewColumn> viewColumns(LbxInstance* inst);
std::vector<ViewGroup> viewGroups(LbxInstance* inst);
// The stored value of property `id` (its default when never set).
std::int32_t viewValue(LbxInstance* inst, int id);
ViewLines viewLines(LbxInstance* inst);
// Resizing by the mouse: the width of column position `pos`, in pixels.
void viewSetColumnWidth(LbxInstance* inst, int pos, int pixels);
ViewLook viewCellLook(LbxInstance* inst, int row, int colPos, bool selected);
ViewLook viewHeaderLook(LbxInstance* inst, int colPos);
ViewLook viewGroupHeaderLook(LbxInstance* inst, int grpPos);

}  // namespace lindra
