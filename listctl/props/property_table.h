// The one table of the control properties. Every other view of the
// properties is generated from it by the compiler: the description rows and
// the property index (property_table.cpp), the extern "C" export functions
// (exports.cpp) and the player's wrapper methods (player/views).
//
// Row: X(id, name, type, default, enumeration, exports)
//   type        one of the Ptype values (the data type of the row)
//   default     the default value (colours as 0x800000nn system-colour codes)
//   enumeration an enumeration list of LINDRA_ENUMERATIONS, or None
//   exports     which export functions exist (Export bits); the calling shape
//               follows from the type (and the Direct bit)
// Ids 500 to 509 are window-level properties: they have exports but no
// description row.
#pragma once

#include <cstdint>

namespace lindra::props {

enum Ptype : std::uint8_t {
  Text = 1, Int16 = 2, Int32 = 3, Bool = 4, Colour = 5, Enum = 6, Float = 7,
  Width = 9, Height = 11, Picture = 12, Bookmark = 13, Font = 64,
};

enum Export : unsigned {
  NoExport = 0,
  LcGet = 1, LcSet = 2, CbxGet = 4, CbxSet = 8, LbxGet = 16, LbxSet = 32,
  Direct = 64,  // the get passes its lParam unchanged and answers the result
  LcGS = LcGet | LcSet, CbxGS = CbxGet | CbxSet, LbxGS = LbxGet | LbxSet,
  LcGSCbxSet = LcGS | CbxSet, LcGetDirect = LcGet | Direct, LcGSDirect = LcGS | Direct,
};

// Enumeration lists: X(token, texts...)
#define LINDRA_ENUMERATIONS(E) \
  E(ScrollBars, "0 - None", "1 - Horizontal", "2 - Vertical", "3 - Both") \
  E(SortOrder, "0 - None", "1 - Ascending", "2 - Descending") \
  E(FieldType, "0 - (Not Used)", "1 - Boolean", "2 - (future)", "3 - Integer", "4 - Long", "5 - Currency", \
    "6 - Single", "7 - Double", "8 - (future)", "9 - (Not Used)", "10 - Text") \
  E(LineStyleHV, "0 - None", "1 - Solid", "2 - 3D Lowered", "3 - 3D Raised") \
  E(Sel3D, "0 - None", "1 - Lowered", "2 - Raised") \
  E(LeftCenterRight, "0 - Left", "1 - Center", "2 - Right") \
  E(HeaderAlign, "0 - Left", "1 - Center", "2 - Right", "3 - Default") \
  E(WidthScale, "0 - Twips", "1 - Pixels", "2 - Avg Char Width", "3 - Max Char Width") \
  E(MultiSelect, "0 - None", "1 - Simple", "2 - Extended") \
  E(Action, "0 - Search", "1 - Select All", "2 - Deselect All", "3 - Clear", "4 - Delete Row", \
    "5 - Force Update", "6 - Clear Search Buffer", "7 - Insert Col", "8 - Delete Col", "9 - Virtual Refresh", \
    "10 - Insert Grp", "11 - Delete Grp", "12 - Clone Col") \
  E(AutoSearch, "0 - None", "1 - Single Char", "2 - Multiple Char", "3 - Single Char (Greater Or Equal)") \
  E(SearchMethod, "0 - Exact Match", "1 - Greater Or Equal", "2 - Partial Match") \
  E(Text3D, "0 - None", "1 - Lowered", "2 - Raised", "3 - Lowered w/ shading", "4 - Raised w/ shading", \
    "5 - Default") \
  E(DataSync, "0 - None", "1 - Update Data Control", "2 - Update Bound Control", "3 - Update Both") \
  E(BorderStyle, "0 - No Border", "1 - Single Line", "2 - Rounded", "3 - Dash", "4 - Dot", "5 - Dash Dot", \
    "6 - Dash Dot Dot") \
  E(Appearance, "0 - Custom", "1 - Flat", "2 - 3-D", "3 - 3-D with Border") \
  E(DropShadow, "0 - None", "1 - Always", "2 - On Focus") \
  E(ScrollHScale, "0 - Twips", "1 - Pixels", "2 - Avg Char Width", "3 - Max Char Width", "4 - Column", \
    "5 - Top Group", "6 - Bottom Group") \
  E(ScrollBarShow, "0 - Show", "1 - Show When Needed", "2 - Show Disabled", "3 - Hide") \
  E(Precedence, "0 - Row", "1 - Col", "2 - Combined") \
  E(PictureAlign, "0 - Left", "1 - Center", "2 - Right", "3 - Left of Text", "4 - Right of Text") \
  E(ColResize, "0 - Off", "1 - Resize Header", "2 - Resize Col or Header") \
  E(ColDragDrop, "0 - Off", "1 - All Cols", "2 - Non Frozen Cols") \
  E(AutoSize, "0 - Off", "1 - MaxColWidth", "2 - BestGuess", "3 - HeaderWidth") \
  E(SortDataType, "0 - Text (No Case)", "1 - Text (Case)", "2 - Integer", "3 - Float", "4 - Date") \
  E(SortState, "0 - Active", "1 - Active (Re-Sort)", "2 - Suspend") \
  E(ComboStyle, "0 - Drop-Down Combo", "1 - Simple Combo", "2 - Drop-Down List") \
  E(ApplyTo, "0 - Both", "1 - List Only", "2 - Edit Only") \
  E(AutoNoYes, "0 - Auto", "1 - No", "2 - Yes") \
  E(LineStyle, "0 - Default", "1 - None", "2 - Flat", "3 - Lowered", "4 - Raised", "5 - Lowered w/ Line", \
    "6 - Raised w/ Line") \
  E(LineApplyTo, "0 - Default", "1 - Rows", "2 - Cols", "3 - ColsH") \
  E(ListApplyTo, "0 - Default(All)", "1 - All Rows", "2 - All Cols", "3 - All Groups", "4 - Sel Rows", \
    "5 - Odd Rows", "6 - Even Rows", "7 - Col Headers", "8 - Group Headers", "9 - Single Col Header", \
    "10 - Single Grp Header", "11 - Single Grp", "12 - Single Item") \
  E(Merge, "0 - Off", "1 - Always", "2 - Restricted") \
  E(MultiLine, "0 - Default", "1 - Single Line", "2 - Multiple Line") \
  E(AlignH, "0 - Default", "1 - Left", "2 - Center", "3 - Right") \
  E(AlignV, "0 - Default", "1 - Top", "2 - Center", "3 - Bottom") \
  E(PictureAlignH, "0 - Default", "1 - Left", "2 - Center", "3 - Right", "4 - Left of Text", "5 - Right of Text") \
  E(PictureAlignV, "0 - Default", "1 - Top", "2 - Center", "3 - Bottom", "4 - Top of Text", "5 - Bottom of Text") \
  E(GrpResize, "0 - Off", "1 - Resize Header", "2 - Resize Grp or Header") \
  E(GrpDragDrop, "0 - Off", "1 - All Grps", "2 - Non Frozen Grps") \
  E(Orientation, "0 - Default", "1 - Horizontal", "2 - Vertical LTR", "3 - Rotate Down", "4 - Rotate Up", \
    "5 - Invert", "6 - Vertical RTL") \
  E(MouseArea, "0 - None", "1 - Button", "2 - Edit", "3 - List") \
  E(DefaultNoYes, "0 - Default", "1 - No", "2 - Yes") \
  E(ListPosition, "0 - Below Edit", "1 - Above Edit") \
  E(ButtonLook, "0 - Auto", "1 - Win95", "2 - Windows") \
  E(TextTip, "0 - Off", "1 - Fixed", "2 - Floating", "3 - Fixed Focus Only", "4 - Floating Focus Only") \
  E(TopCenterBottom, "0 - Top", "1 - Center", "2 - Bottom")

constexpr std::int32_t kSys(int n) { return static_cast<std::int32_t>(0x80000000u | static_cast<unsigned>(n)); }

// clang-format off
#define LINDRA_PROPERTIES(X) \
  X(2, BackColor, Colour, kSys(5), None, LcGS) \
  X(3, ForeColor, Colour, kSys(8), None, LcGS) \
  X(27, ScrollBars, Enum, 2, ScrollBars, LcGS) \
  X(28, Col, Int16, -1, None, LcGS) \
  X(29, Row, Int32, -1, None, LcGS) \
  X(30, Text, Text, 0, None, LcGSCbxSet) \
  X(31, List, Text, 0, None, LcGS) \
  X(32, Columns, Int16, 0, None, LcGS) \
  X(33, Sorted, Enum, 0, SortOrder, LcGS) \
  X(34, FieldType, Enum, 10, FieldType, LcGS) \
  X(35, TopIndex, Int32, 0, None, LcGS) \
  X(36, LineHighlightColor, Colour, 0x00FFFFFF, None, LcGS) \
  X(37, LineShadowColor, Colour, kSys(16), None, LcGS) \
  X(38, LineSolidColor, Colour, kSys(8), None, LcGS) \
  X(39, LineStyleH, Enum, 0, LineStyleHV, LcGS) \
  X(40, LineStyleV, Enum, 0, LineStyleHV, LcGS) \
  X(41, LineWidth, Width, 1, None, LcGS) \
  X(42, Sel3DStyle, Enum, 0, Sel3D, LcGS) \
  X(43, SelBackColor, Colour, kSys(13), None, LcGS) \
  X(44, SelForeColor, Colour, kSys(14), None, LcGS) \
  X(45, SelHighlightColor, Colour, 0x00FFFFFF, None, LcGS) \
  X(46, SelShadowColor, Colour, kSys(16), None, LcGS) \
  X(47, Sel3DWidth, Width, 1, None, LcGS) \
  X(48, SelDrawFocusRect, Bool, -1, None, LcGS) \
  X(49, HeaderBackColor, Colour, kSys(15), None, LcGS) \
  X(50, HeaderFontBold, Bool, 0, None, LcGS) \
  X(51, HeaderFontItalic, Bool, 0, None, LcGS) \
  X(52, HeaderFontName, Text, 0, None, LcGS) \
  X(53, HeaderFontSize, Float, 0, None, LcGS) \
  X(54, HeaderFontStrike, Bool, 0, None, LcGS) \
  X(55, HeaderFontUnder, Bool, 0, None, LcGS) \
  X(56, HeaderForeColor, Colour, kSys(18), None, LcGS) \
  X(57, HeaderHeight, Height, -1, None, LcGS) \
  X(58, HeaderShow, Bool, 0, None, LcGS) \
  X(59, Header3DStyle, Enum, 0, LineStyleHV, LcGS) \
  X(60, Header3DWidth, Width, 1, None, LcGS) \
  X(61, ColAlignH, Enum, 0, LeftCenterRight, LcGS) \
  X(62, ColDataField, Text, 0, None, NoExport) \
  X(63, ColDataFieldType, Enum, 0, FieldType, NoExport) \
  X(64, ColFormat, Text, 0, None, LcGS) \
  X(65, ColHeaderText, Text, 0, None, LcGS) \
  X(66, ColHeaderAlignH, Enum, 0, HeaderAlign, LcGS) \
  X(67, ColText, Text, 0, None, LcGS) \
  X(68, ColList, Text, 0, None, LcGS) \
  X(69, ColumnSeparatorChar, Int16, 9, None, LcGS) \
  X(70, ColumnSearch, Int16, -1, None, LcGS) \
  X(71, ColumnWidthScale, Enum, 2, WidthScale, LcGS) \
  X(72, ColHide, Bool, 0, None, LcGS) \
  X(73, ColWidth, Float, 0, None, LcGS) \
  X(74, ColSorted, Enum, 0, SortOrder, LcGS) \
  X(75, ColSortSeq, Int16, 0, None, LcGS) \
  X(76, ListCount, Int32, 0, None, LcGS) \
  X(77, ListIndex, Int32, -1, None, LcGS) \
  X(78, RowHeight, Height, -1, None, LcGS) \
  X(79, ItemData, Int32, 0, None, LcGS) \
  X(80, MultiSelect, Enum, 0, MultiSelect, LbxGS) \
  X(81, WrapList, Bool, 0, None, LcGS) \
  X(82, WrapWidth, Int16, 0, None, LcGS) \
  X(83, Selected, Bool, 0, None, LbxGS) \
  X(84, SelMax, Int32, -1, None, LbxGS) \
  X(85, Action, Enum, 0, Action, LcGS) \
  X(86, AutoSearch, Enum, 1, AutoSearch, LcGS) \
  X(87, SearchIndex, Int32, -1, None, LcGS) \
  X(88, SearchMethod, Enum, 0, SearchMethod, LcGS) \
  X(89, SearchText, Text, 0, None, LcGS) \
  X(90, NewIndex, Int32, -1, None, LcGet) \
  X(91, About, Text, 0, None, NoExport) \
  X(92, List3DText, Enum, 0, Text3D, LcGS) \
  X(93, List3DTextHighlightColor, Colour, 0x00FFFFFF, None, LcGS) \
  X(94, List3DTextShadowColor, Colour, kSys(16), None, LcGS) \
  X(95, List3DTextOffset, Int16, 1, None, LcGS) \
  X(96, Header3DText, Enum, 0, Text3D, LcGS) \
  X(97, Header3DTextHighlightColor, Colour, 0x00FFFFFF, None, LcGS) \
  X(98, Header3DTextShadowColor, Colour, kSys(16), None, LcGS) \
  X(99, Header3DTextOffset, Int16, 1, None, LcGS) \
  X(100, VirtualMode, Bool, 0, None, LcGS) \
  X(101, VRowCount, Int32, 0, None, LcGS) \
  X(102, DataSync, Enum, 3, DataSync, NoExport) \
  X(103, SelCount, Int32, 0, None, LbxGet) \
  X(104, VisibleRows, Int32, 0, None, LcGet) \
  X(105, ThreeDInsideStyle, Enum, 1, Sel3D, LcGS) \
  X(106, ThreeDInsideHighlightColor, Colour, 0x00FFFFFF, None, LcGS) \
  X(107, ThreeDInsideShadowColor, Colour, kSys(16), None, LcGS) \
  X(108, ThreeDInsideWidth, Width, 1, None, LcGS) \
  X(109, ThreeDOutsideStyle, Enum, 1, Sel3D, LcGS) \
  X(110, ThreeDOutsideHighlightColor, Colour, 0x00FFFFFF, None, LcGS) \
  X(111, ThreeDOutsideShadowColor, Colour, kSys(16), None, LcGS) \
  X(112, ThreeDOutsideWidth, Width, 1, None, LcGS) \
  X(113, ThreeDFrameWidth, Width, 1, None, LcGS) \
  X(114, BorderStyle, Enum, 0, BorderStyle, LcGS) \
  X(115, BorderColor, Colour, kSys(6), None, LcGS) \
  X(116, BorderWidth, Width, 1, None, LcGS) \
  X(117, OnFocusInvert3D, Bool, 0, None, LcGS) \
  X(118, OnFocusShadow, Bool, 0, None, LcGS) \
  X(119, DropShadowColor, Colour, kSys(16), None, LcGS) \
  X(120, DropShadowWidth, Width, 3, None, LcGS) \
  X(121, ThreeDOnFocusInvert, Bool, 0, None, LcGS) \
  X(122, ThreeDFrameColor, Colour, kSys(15), None, LcGS) \
  X(123, Appearance, Enum, 2, Appearance, LcGS) \
  X(124, BorderDropShadow, Enum, 0, DropShadow, LcGS) \
  X(125, BorderDropShadowColor, Colour, kSys(16), None, LcGS) \
  X(126, BorderDropShadowWidth, Width, 3, None, LcGS) \
  X(127, ScrollHScale, Enum, 2, ScrollHScale, LcGS) \
  X(128, ScrollHInc, Int32, 1, None, LcGS) \
  X(129, ColsFrozen, Int16, 0, None, LcGS) \
  X(130, ScrollBarV, Enum, 1, ScrollBarShow, LcGS) \
  X(131, NoIntegralHeight, Bool, 0, None, LcGS) \
  X(132, ColMultiLine, Enum, 0, MultiLine, LcGS) \
  X(133, ColBackColor, Colour, kSys(5), None, LcGS) \
  X(134, ColForeColor, Colour, kSys(8), None, LcGS) \
  X(135, RowBackColor, Colour, kSys(5), None, LcGS) \
  X(136, RowForeColor, Colour, kSys(8), None, LcGS) \
  X(137, HighestPrecedence, Enum, 0, Precedence, LcGS) \
  X(138, InsertRow, Text, 0, None, LcSet) \
  X(139, ColPicture, Picture, 0, None, LcGS) \
  X(140, ColPictureSel, Picture, 0, None, LcGS) \
  X(141, ColPictureAlignH, Enum, 0, PictureAlign, LcGS) \
  X(142, AllowColResize, Enum, 0, ColResize, LcGS) \
  X(143, AllowColDragDrop, Enum, 0, ColDragDrop, LcGS) \
  X(144, ReadOnly, Bool, 0, None, LcGS) \
  X(145, ColLock, Bool, 0, None, LcGS) \
  X(146, ColLockResize, Bool, 0, None, LcGS) \
  X(147, RowPicture, Picture, 0, None, LcGS) \
  X(148, RowPictureSel, Picture, 0, None, LcGS) \
  X(149, RowPictureCol, Int16, -1, None, LcGS) \
  X(150, RowPictureAlignH, Enum, 0, PictureAlign, LcGS) \
  X(151, VScrollSpecial, Bool, 0, None, LcGS) \
  X(152, VScrollSpecialType, Int16, 0, None, LcGS) \
  X(153, MouseOverCol, Int16, -1, None, LcGet) \
  X(154, MouseOverRow, Int32, -1, None, LcGet) \
  X(155, MouseOverColHeader, Int16, -1, None, LcGet) \
  X(156, EnableKeyEvents, Bool, 1, None, LcGS) \
  X(157, EnableMouseEvents, Bool, 1, None, LcGS) \
  X(158, EnableTopChangeEvent, Bool, 1, None, LcGS) \
  X(159, DataAutoHeadings, Bool, 1, None, NoExport) \
  X(160, DataAutoSizeCols, Enum, 2, AutoSize, NoExport) \
  X(161, DataBookmark, Bookmark, 0, None, NoExport) \
  X(162, DataSourcehWnd, Int32, 0, None, NoExport) \
  X(163, ColSortDataType, Enum, 0, SortDataType, LcGS) \
  X(164, SortState, Enum, 0, SortState, LcGS) \
  X(165, SearchIgnoreCase, Bool, 1, None, LcGS) \
  X(166, ColDesigner, Text, 0, None, NoExport) \
  X(167, ScrollBarH, Enum, 1, ScrollBarShow, LcGS) \
  X(168, DataSourceList, Text, 0, None, NoExport) \
  X(169, DataFieldList, Text, 0, None, NoExport) \
  X(170, ColumnEdit, Int16, -1, None, CbxGS) \
  X(171, ColumnBound, Int16, -1, None, NoExport) \
  X(172, Style, Enum, 0, ComboStyle, CbxGS) \
  X(173, MaxDrop, Int16, 8, None, CbxGS) \
  X(174, ListWidth, Width, -1, None, CbxGS) \
  X(175, SelStart, Int32, 0, None, CbxGS) \
  X(176, SelLength, Int32, 0, None, CbxGS) \
  X(177, SelText, Text, 0, None, CbxGS) \
  X(178, EditHeight, Height, -1, None, CbxGS) \
  X(179, GrayAreaColor, Colour, kSys(11), None, CbxGS) \
  X(180, ListLeftOffset, Int16, 0, None, CbxGS) \
  X(181, ApplyTo, Enum, 0, ApplyTo, CbxGS) \
  X(182, ListDown, Bool, 0, None, CbxGS) \
  X(183, ComboGap, Int16, -2, None, CbxGS) \
  X(184, DataSourcehWndList, Int32, 0, None, NoExport) \
  X(185, MaxEditLen, Int16, 150, None, CbxGS) \
  X(186, VirtualPageSize, Int32, 0, None, LcGS) \
  X(187, VirtualPagesAhead, Int16, 0, None, LcGS) \
  X(188, hWnd, Int32, 0, None, NoExport) \
  X(189, ExtendCol, Enum, 0, AutoNoYes, LcGS) \
  X(190, LineColor, Colour, kSys(8), None, LcGS) \
  X(191, Line3DLight, Colour, 0x00FFFFFF, None, LcGS) \
  X(192, Line3DDark, Colour, kSys(16), None, LcGS) \
  X(193, Line3DWidth, Width, 1, None, LcGS) \
  X(194, LineStyle, Enum, 0, LineStyle, LcGS) \
  X(195, LineApplyTo, Enum, 0, LineApplyTo, LcGS) \
  X(196, ListApplyTo, Enum, 0, ListApplyTo, LcGS) \
  X(197, Grp, Int16, 0, None, LcGS) \
  X(198, GrpHide, Bool, 0, None, LcGS) \
  X(199, GrpHeaderText, Text, 0, None, LcGS) \
  X(200, GrpWidth, Float, 0, None, LcGS) \
  X(201, GrpParentGroup, Int16, -1, None, LcGS) \
  X(202, GrpLockResize, Bool, 0, None, LcGS) \
  X(203, ColParentGroup, Int16, -1, None, LcGS) \
  X(204, ColLevel, Int16, 0, None, LcGS) \
  X(205, ColLevelHeight, Int16, 1, None, LcGS) \
  X(206, Groups, Int16, 0, None, LcGS) \
  X(207, ColumnLevels, Int16, 1, None, LcGS) \
  X(208, ListGrayAreaColor, Colour, kSys(11), None, LcGS) \
  X(209, ColMerge, Enum, 0, Merge, LcGS) \
  X(210, RowMerge, Enum, 0, Merge, LcGS) \
  X(211, MultiLine, Enum, 0, MultiLine, LcGS) \
  X(212, AlignH, Enum, 0, AlignH, LcGS) \
  X(213, AlignV, Enum, 0, AlignV, LcGS) \
  X(214, Picture, Picture, 0, None, LcGS) \
  X(215, PictureSel, Picture, 0, None, LcGS) \
  X(216, PictureAlignH, Enum, 0, PictureAlignH, LcGS) \
  X(217, PictureAlignV, Enum, 0, PictureAlignV, LcGS) \
  X(218, GroupHeaderHeight, Height, -1, None, LcGS) \
  X(219, GroupHeaderShow, Bool, 0, None, LcGS) \
  X(220, AllowGrpResize, Enum, 0, GrpResize, LcGS) \
  X(221, AllowGrpDragDrop, Enum, 0, GrpDragDrop, LcGS) \
  X(222, TextOrientation, Enum, 0, Orientation, LcGS) \
  X(223, JoinID, Int32, 0, None, LcGS) \
  X(224, ColPos, Int16, -1, None, LcGS) \
  X(225, ColPosInParent, Int16, 0, None, LcGS) \
  X(226, GrpPos, Int16, -1, None, LcGS) \
  X(227, GrpPosInParent, Int16, 0, None, LcGS) \
  X(228, MergeAdjustView, Bool, 0, None, LcGS) \
  X(229, ColumnHeaderShow, Bool, 0, None, LcGS) \
  X(230, ColumnHeaderHeight, Height, -1, None, LcGS) \
  X(231, MouseOverGrp, Int16, -1, None, LcGS) \
  X(232, MouseOverGrpHeader, Int16, -1, None, LcGS) \
  X(233, ColID, Int32, 0, None, LcGS) \
  X(234, GrpID, Int32, 0, None, LcGS) \
  X(235, ColName, Text, 0, None, LcGS) \
  X(236, GrpName, Text, 0, None, LcGS) \
  X(237, ColFromID, Int32, 0, None, LcGS) \
  X(238, GrpFromID, Int32, 0, None, LcGS) \
  X(239, ColFromName, Text, 0, None, LcGS) \
  X(240, GrpFromName, Text, 0, None, LcGS) \
  X(241, GrpsFrozen, Int16, 0, None, LcGS) \
  X(242, BorderGrayAreaColor, Colour, kSys(11), None, LcGS) \
  X(243, nwPropertyDesigner, Int32, 0, None, NoExport) \
  X(244, FontEmpty, Bool, 0, None, NoExport) \
  X(245, Font, Font, 0, None, NoExport) \
  X(246, NextSel, Int32, -1, None, LcGS) \
  X(247, ExtendRow, Enum, 0, AutoNoYes, LcGS) \
  X(248, MouseOverArea, Enum, 0, MouseArea, CbxGet) \
  X(249, RowHide, Bool, 0, None, LcGS) \
  X(250, TextEllipsis, Enum, 0, DefaultNoYes, LcGS) \
  X(251, EnableClickEvent, Bool, 1, None, LcGS) \
  X(252, ListPosition, Enum, 0, ListPosition, CbxGS) \
  X(253, Button3DAppearance, Enum, 0, ButtonLook, NoExport) /* exported as ButtonThreeDAppearance */ \
  X(254, VRowPos, Int32, 0, None, LcGS) \
  X(255, Redraw, Bool, -1, None, LcGS) \
  X(256, AutoSearchFill, Bool, 0, None, CbxGS) \
  X(257, AutoSearchFillDelay, Int32, 500, None, CbxGS) \
  X(258, EditMarginLeft, Int16, 1, None, CbxGS) \
  X(259, EditMarginTop, Int16, 1, None, CbxGS) \
  X(260, EditMarginRight, Int16, 0, None, CbxGS) \
  X(261, EditMarginBottom, Int16, 3, None, CbxGS) \
  X(262, ResizeRowToFont, Bool, -1, None, LcGS) \
  X(263, TextTip, Enum, 0, TextTip, LcGS) \
  X(264, TextTipDelay, Int32, 500, None, LcGS) \
  X(265, TextTipMultiLine, Enum, 0, MultiLine, LcGS) \
  X(266, TextTipBackColor, Colour, kSys(24), None, LcGS) \
  X(267, TextTipForeColor, Colour, kSys(23), None, LcGS) \
  X(268, IsHScrollVisible, Bool, 0, None, LcGetDirect) \
  X(269, IsVScrollVisible, Bool, 0, None, LcGetDirect) \
  X(270, DragColLevel, Int16, 0, None, LcGetDirect) \
  X(271, DragParentGroup, Int16, 0, None, LcGetDirect) \
  X(272, DragPosInParent, Int16, 0, None, LcGetDirect) \
  X(273, AutoMenu, Bool, -1, None, CbxGS) \
  X(274, EditAlignH, Enum, 0, LeftCenterRight, CbxGS) \
  X(275, EditAlignV, Enum, 0, TopCenterBottom, CbxGS) \
  X(276, TextTipFont, Font, 0, None, LcGSDirect)

// Window-level properties: exports, no description row.
#define LINDRA_WINDOW_PROPERTIES(X) \
  X(500, Enabled, Bool, -1, None, LcGSDirect) \
  X(501, FontBold, Bool, 0, None, LcGSDirect) \
  X(502, FontItalic, Bool, 0, None, LcGSDirect) \
  X(503, FontName, Text, 0, None, LcGS) \
  X(504, FontSize, Float, 0, None, LcGS) \
  X(505, FontStrikeThru, Bool, 0, None, LcGSDirect) \
  X(506, FontUnderline, Bool, 0, None, LcGSDirect) \
  X(507, HelpContextID, Int32, 0, None, LcGSDirect) \
  X(508, TabStop, Bool, 0, None, LcGSDirect) \
  X(509, Visible, Bool, -1, None, LcGSDirect)

// Export stems spelt otherwise than the table: A(id, stem as the table has it,
// the export stem). The row itself has no exports of its own, so that each
// property has one pair of exports.
#define LINDRA_EXPORT_ALIASES(A) A(253, Button3DAppearance, ButtonThreeDAppearance)
// clang-format on

// The description row of one property (ids 2 to 276).
struct PropertyRow {
  const char* name;
  std::uint32_t flags;        // low byte: the data type
  std::uint8_t offset;
  std::uint8_t info;
  std::int32_t defaultValue;
  const char* const* enumeration;  // texts "n - name", or null
  std::uint16_t highest;
};

inline constexpr int kFirstId = 2, kLastTableId = 276, kIndexSize = 280, kLastId = 509;

// The row of `id`, or null (standard ids, 277..279, window-level ids, out of range).
const PropertyRow* rowOf(int id);
// Number of texts of a row's enumeration (0 when it has none).
int enumerationCount(const PropertyRow* row);

// The calling shape of an export, derived from the type.
enum class Shape { Get16, Get32, GetFloat, GetText, GetDirect, GetPicture, Set16, Set32, SetText, SetFloat, SetPicture };

constexpr bool isSixteen(Ptype t) { return t == Int16 || t == Enum; }
constexpr Shape getShape(Ptype t, unsigned exports) {
  if (exports & Direct) return Shape::GetDirect;
  if (t == Text) return Shape::GetText;
  if (t == Float) return Shape::GetFloat;
  if (t == Picture) return Shape::GetPicture;
  return isSixteen(t) ? Shape::Get16 : Shape::Get32;
}
constexpr Shape setShape(Ptype t) {
  if (t == Text) return Shape::SetText;
  if (t == Float) return Shape::SetFloat;
  if (t == Picture) return Shape::SetPicture;
  return isSixteen(t) ? Shape::Set16 : Shape::Set32;
}

}  // namespace lindra::props
