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
  int alignV = 1;         // 0 top, 1 centre, 2 bottom
  bool ellipsis = false;
  // 3-D text: 0 none, 1 lowered, 2 raised, 3 lowered with shading, 4 raised
  // with shading; its two colours and the offset of the relief in pixels.
  int text3D = 0;
  std::uint32_t light3D = 0, dark3D = 0;
  int offset3D = 1;
  // The picture (the selected picture on a selected row when one is set):
  // storage kind 0 a bitmap handle, 1 a resource number; -1 none.
  int pictureKind = -1;
  std::uint32_t picture = 0;
  int pictureAlignH = 0;  // 0 left of the text, 1 centre, 2 right
  int pictureAlignV = 1;  // 0 top, 1 centre, 2 bottom, 3 top of the text, 4 bottom of the text
};

// One kind of grid line: style 0 none, 1 flat, 2 lowered, 3 raised,
// 4 lowered with a flat line, 5 raised with a flat line; the flat line's
// width and colour, the 3-D bands' width and colours.
struct ViewLine {
  int style = 0;
  int width = 1, width3D = 1;
  std::uint32_t colour = 0, light = 0, dark = 0;
  // Pixels the line takes across its direction.
  int thickness() const;
};

// The grid lines between rows (h), between columns (v) and between the
// column header cells (header; style 0 leaves the header cells' own edges).
struct ViewLines {
  ViewLine h, v, header;
};

// An edge around a header cell or a selected row: style 0 none (unset for a
// header: the header's usual raised look), 1 solid, 2 lowered, 3 raised.
struct ViewEdge {
  bool set = false;
  int style = 0;
  int width = 1;
  std::uint32_t light = 0, dark = 0;
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
// Header3DStyle and Header3DWidth; Sel3DStyle, its colours and width.
ViewEdge viewHeaderEdge(LbxInstance* inst);
ViewEdge viewSelectionEdge(LbxInstance* inst);

}  // namespace lindra
