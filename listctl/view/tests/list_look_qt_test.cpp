// The look properties of a list as they show: its frame (borders in every
// style, width and colour, the drop shadow and its gray corners, the flat,
// 3-D and custom appearances), its header cells' edges, the selection's
// 3-D edge, raised and lowered text, the grid line records of each style
// and width, vertical alignment of text and pictures, and rows tall enough
// for accented capitals. Each case paints a small list into its window's
// own image on an offscreen QApplication and reads the pixels back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QTest>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "listctl/combo/combo.h"
#include "listctl/core/dispatch.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/props/exports.h"
#include "listctl/view/list_view.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_qt.h"
#include "platform/win/host_widget.h"
#include "platform/win/window.h"

using namespace plat::win;
namespace lx = lindra;

namespace {

int g_anchor;
HINSTANCE fakeModule() { return reinterpret_cast<HINSTANCE>(&g_anchor); }

constexpr COLORREF kRed = RGB(0xE0, 0x10, 0x10), kBlue = RGB(0x10, 0x20, 0xD0), kGreen = RGB(0x10, 0xB0, 0x30),
                   kMagenta = RGB(0xC0, 0x20, 0xC0), kYellow = RGB(0xF0, 0xE0, 0x10), kCyan = RGB(0x10, 0xC0, 0xC0),
                   kBack = RGB(0xF8, 0xF8, 0xF0);
constexpr int kWidth = 220, kHeight = 150, kColumn = 100;

QRgb rgb(COLORREF c) {
  c = TranslateColor(c);
  return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)) & 0xFFFFFF;
}
QRgb sys(int index) { return rgb(SYSCOLOR_REF_BIT | static_cast<COLORREF>(index)); }

// A painted list: its window image and where its client area and rows lie.
struct Shot {
  QImage img;
  int cx = 0, cy = 0;     // client origin in the image
  int header = 0, row = 0;  // header and row heights
  QRgb at(int x, int y) const { return img.pixel(x, y) & 0xFFFFFF; }
  // Client coordinates.
  QRgb client(int x, int y) const { return at(cx + x, cy + y); }
  int rowTop(int r) const { return header + r * row; }
  // Pixels of colour c in a client rectangle.
  int count(QRgb c, int l, int t, int r, int b) const {
    int n = 0;
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x) n += client(x, y) == c;
    return n;
  }
  // First and last client row in [t, b) holding a pixel other than `bg`
  // between x0 and x1; -1 when none.
  std::pair<int, int> inkRows(int x0, int x1, int t, int b, QRgb bg) const {
    int first = -1, last = -1;
    for (int y = t; y < b; ++y)
      for (int x = x0; x < x1; ++x)
        if (client(x, y) != bg) {
          if (first < 0) first = y;
          last = y;
          break;
        }
    return {first, last};
  }
};

class ListLook : public ::testing::Test {
 protected:
  void SetUp() override {
    test::reset();
    ASSERT_EQ(lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_ATTACH), 1);
  }
  void TearDown() override {
    for (HWND h : windows_)
      if (IsWindow(h)) DestroyWindow(h);
    lx::LibraryEntry(fakeModule(), lx::DLL_PROCESS_DETACH);
    test::reset();
  }
  static LRESULT prop(HWND h, int id, LPARAM v) {
    return SendMessage(h, lx::kMsgSetProperty, static_cast<WPARAM>(id), v);
  }
  static LRESULT get(HWND h, int id) { return SendMessage(h, lx::kMsgGetProperty, static_cast<WPARAM>(id), 0); }
  static void colour(HWND h, int id, COLORREF c) { prop(h, id, static_cast<LPARAM>(c)); }

  // Two columns of 100 pixels under a header, four rows, a light back
  // colour; no scroll bar.
  HWND makeList(const std::vector<std::string>& rows = {"Alpha\tone", "Beta\ttwo", "Gamma\tthree", "Delta\tfour"}) {
    HWND h = CreateWindow(lx::kListClass, "", WS_POPUP | WS_VISIBLE | lx::LBS_NOTIFY, 0, 0, kWidth, kHeight, nullptr,
                          nullptr, nullptr, nullptr);
    EXPECT_TRUE(h);
    windows_.push_back(h);
    prop(h, 71, 1);  // ColumnWidthScale: pixels
    prop(h, 32, 2);
    for (int c = 0; c < 2; ++c) {
      prop(h, 28, c);
      const char* head = c == 0 ? "Name" : "Word";
      prop(h, 65, reinterpret_cast<LPARAM>(head));
      float w = kColumn;
      prop(h, 73, reinterpret_cast<LPARAM>(&w));
    }
    prop(h, 58, 1);  // HeaderShow
    colour(h, 2, kBack);
    for (const std::string& r : rows) SendMessage(h, lx::LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(r.c_str()));
    return h;
  }
  static Shot shot(HWND h) {
    pumpMessages();
    RedrawWindow(h, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    pumpMessages();
    Shot s;
    s.img = windowImage(h);
    static int shots = 0;
    if (const char* dir = std::getenv("TV_SHOT_DIR"))
      s.img.save(QString("%1/list_look_%2.png").arg(dir).arg(++shots, 3, 10, QChar('0')));
    RECT wr;
    GetWindowRect(h, &wr);
    POINT o{0, 0};
    ClientToScreen(h, &o);
    s.cx = o.x - wr.left;
    s.cy = o.y - wr.top;
    if (lx::comboOf(h)) return s;  // a combo: only its pixels
    s.header = lx::view::geometry(lx::instanceOf(h)).headerHeight();
    s.row = static_cast<int>(SendMessage(h, lx::LB_GETITEMHEIGHT, 0, 0));
    return s;
  }

  std::vector<HWND> windows_;
};

// ---- the frame

struct FrameCase {
  const char* name;
  std::function<void(HWND)> set;
  bool focus;
  std::function<void(const Shot&)> check;
};

TEST_F(ListLook, FrameShowsBordersShadowAndEdgesAsTheirPropertiesSay) {
  const QRgb shadow = sys(COLOR_BTNSHADOW), dark = sys(COLOR_3DDKSHADOW);
  const FrameCase cases[] = {
      {"default: two lowered system edges",
       [](HWND) {}, false,
       [&](const Shot& s) {
         EXPECT_EQ(s.cx, 2);
         EXPECT_EQ(s.at(40, 0), shadow);
         EXPECT_EQ(s.at(40, 1), dark);
         EXPECT_EQ(s.at(40, kHeight - 1), sys(COLOR_BTNHIGHLIGHT));
       }},
      {"single line border 3 wide in its colour, outside the edges",
       [](HWND h) {
         prop(h, 114, 1);
         prop(h, 116, 3);
         colour(h, 115, kRed);
       },
       false,
       [&](const Shot& s) {
         EXPECT_EQ(s.cx, 5);
         EXPECT_EQ(s.cy, 5);
         for (int i = 0; i < 3; ++i) {
           EXPECT_EQ(s.at(i, 70), rgb(kRed)) << "left " << i;
           EXPECT_EQ(s.at(70, i), rgb(kRed)) << "top " << i;
           EXPECT_EQ(s.at(kWidth - 1 - i, 70), rgb(kRed)) << "right " << i;
           EXPECT_EQ(s.at(70, kHeight - 1 - i), rgb(kRed)) << "bottom " << i;
         }
         EXPECT_EQ(s.at(3, 70), shadow) << "the outside edge follows the border";
       }},
      {"dash border: dashes three widths long, gaps one width, in the gray-area colour",
       [](HWND h) {
         prop(h, 114, 3);
         prop(h, 116, 2);
         colour(h, 115, kBlue);
         colour(h, 242, kYellow);
       },
       false,
       [&](const Shot& s) {
         std::string runs;
         for (int x = 0; x < 24; ++x) runs += s.at(x, 0) == rgb(kBlue) ? 'D' : s.at(x, 0) == rgb(kYellow) ? '.' : '?';
         EXPECT_EQ(runs, "DDDDDD..DDDDDD..DDDDDD..");
         EXPECT_EQ(s.at(5, 1), rgb(kBlue)) << "the band is two pixels wide";
         EXPECT_EQ(s.at(6, 1), rgb(kYellow));
       }},
      {"rounded border: its corners cut to the gray area",
       [](HWND h) {
         prop(h, 114, 2);
         prop(h, 116, 2);
         colour(h, 115, kRed);
         colour(h, 242, kYellow);
       },
       false,
       [&](const Shot& s) {
         EXPECT_EQ(s.at(0, 0), rgb(kYellow));
         EXPECT_EQ(s.at(2, 0), rgb(kYellow));
         EXPECT_EQ(s.at(kWidth - 1, kHeight - 1), rgb(kYellow));
         EXPECT_EQ(s.at(3, 0), rgb(kRed));
         EXPECT_EQ(s.at(2, 1), rgb(kRed));
         EXPECT_EQ(s.at(1, 1), rgb(kYellow));
         EXPECT_EQ(s.at(70, 1), rgb(kRed));
       }},
      {"drop shadow always: right and bottom bands, gray corners",
       [](HWND h) {
         prop(h, 124, 1);
         prop(h, 126, 4);
         colour(h, 125, kGreen);
         colour(h, 242, kMagenta);
       },
       false,
       [&](const Shot& s) {
         EXPECT_EQ(s.cx, 2);
         for (int i = 1; i <= 4; ++i) {
           EXPECT_EQ(s.at(kWidth - i, 70), rgb(kGreen)) << "right " << i;
           EXPECT_EQ(s.at(70, kHeight - i), rgb(kGreen)) << "bottom " << i;
           EXPECT_EQ(s.at(kWidth - i, 1), rgb(kMagenta)) << "top-right corner";
           EXPECT_EQ(s.at(1, kHeight - i), rgb(kMagenta)) << "bottom-left corner";
         }
         EXPECT_EQ(s.at(kWidth - 5, 70), sys(COLOR_BTNHIGHLIGHT)) << "the edges end where the shadow starts";
         EXPECT_EQ(s.at(0, 70), shadow) << "no shadow on the left";
       }},
      {"drop shadow on focus, unfocused: gray where it would be",
       [](HWND h) {
         prop(h, 124, 2);
         colour(h, 125, kGreen);
         colour(h, 242, kMagenta);
       },
       false,
       [&](const Shot& s) {
         EXPECT_EQ(s.at(kWidth - 1, 70), rgb(kMagenta));
         EXPECT_EQ(s.at(70, kHeight - 1), rgb(kMagenta));
       }},
      {"drop shadow on focus, focused",
       [](HWND h) {
         prop(h, 124, 2);
         colour(h, 125, kGreen);
       },
       true, [&](const Shot& s) { EXPECT_EQ(s.at(kWidth - 1, 70), rgb(kGreen)); }},
      {"flat: one line of the shadow colour",
       [](HWND h) { prop(h, 123, 1); }, false,
       [&](const Shot& s) {
         EXPECT_EQ(s.cx, 1);
         EXPECT_EQ(s.at(0, 70), shadow);
         EXPECT_EQ(s.at(kWidth - 1, 70), shadow);
       }},
      {"3-D with border: a dark line around the edges",
       [](HWND h) { prop(h, 123, 3); }, false,
       [&](const Shot& s) {
         EXPECT_EQ(s.cx, 3);
         EXPECT_EQ(s.at(0, 70), dark);
         EXPECT_EQ(s.at(1, 70), shadow);
       }},
      {"custom: edges in their colours and widths with the frame band between",
       [](HWND h) {
         prop(h, 123, 0);
         prop(h, 109, 2);  // outside raised
         prop(h, 112, 2);
         colour(h, 110, kYellow);
         colour(h, 111, kBlue);
         prop(h, 113, 3);
         colour(h, 122, kCyan);
         prop(h, 105, 1);  // inside lowered
         colour(h, 106, kGreen);
         colour(h, 107, kRed);
       },
       false,
       [&](const Shot& s) {
         EXPECT_EQ(s.cx, 6);
         const QRgb expected[] = {rgb(kYellow), rgb(kYellow), rgb(kCyan), rgb(kCyan), rgb(kCyan), rgb(kRed)};
         for (int i = 0; i < 6; ++i) EXPECT_EQ(s.at(i, 70), expected[i]) << "left ring " << i;
         EXPECT_EQ(s.at(kWidth - 1, 70), rgb(kBlue));
         EXPECT_EQ(s.at(kWidth - 6, 70), rgb(kGreen));
       }},
      {"invert on focus: a lowered custom edge shows raised while focused",
       [](HWND h) {
         prop(h, 123, 0);
         prop(h, 105, 0);
         colour(h, 110, kYellow);
         colour(h, 111, kBlue);
         prop(h, 117, 1);
       },
       true,
       [&](const Shot& s) {
         EXPECT_EQ(s.at(0, 70), rgb(kYellow));
         EXPECT_EQ(s.at(kWidth - 1, 70), rgb(kBlue));
       }},
      {"invert on focus, unfocused: lowered",
       [](HWND h) {
         prop(h, 123, 0);
         prop(h, 105, 0);
         colour(h, 110, kYellow);
         colour(h, 111, kBlue);
         prop(h, 117, 1);
       },
       false, [&](const Shot& s) { EXPECT_EQ(s.at(0, 70), rgb(kBlue)); }},
  };
  for (const FrameCase& c : cases) {
    SCOPED_TRACE(c.name);
    HWND h = makeList();
    c.set(h);
    if (c.focus) SetFocus(h);
    c.check(shot(h));
    DestroyWindow(h);
  }
}

TEST_F(ListLook, BorderPatternsRunAlongEachSide) {
  const struct {
    int style;
    const char* runs;  // the top band from the left: D the border colour, . the gray area
  } cases[] = {{4, "D.D.D.D."}, {5, "DDD.D.DDD.D."}, {6, "DDD.D.D.DDD.D.D."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.style);
    HWND h = makeList();
    prop(h, 114, c.style);
    colour(h, 115, kBlue);
    const Shot s = shot(h);
    const int n = static_cast<int>(std::strlen(c.runs));
    std::string top, left;
    for (int i = 0; i < n; ++i) {
      top += s.at(i, 0) == rgb(kBlue) ? 'D' : '.';
      left += s.at(0, 1 + i) == rgb(kBlue) ? 'D' : '.';  // the left band starts below the top one
    }
    EXPECT_EQ(top, c.runs);
    EXPECT_EQ(left, c.runs);
    DestroyWindow(h);
  }
}

// ---- header, selection and text

TEST_F(ListLook, HeaderCellsTakeTheirThreeDStyleAndWidth) {
  const QRgb face = sys(COLOR_BTNFACE), light = sys(COLOR_BTNHIGHLIGHT), shadow = sys(COLOR_BTNSHADOW);
  // The inside check is one pixel inside the edge on the cell's right side
  // (the system's header: its inner ring).
  struct Case {
    int style, width;  // style -1: never set
    QRgb topLeft, bottomRight, inside;  // at the first pixel, the last pixel, one width in
  } cases[] = {
      {-1, 1, sys(COLOR_3DLIGHT), sys(COLOR_3DDKSHADOW), shadow},  // the system's raised header
      {0, 1, face, face, face},
      {1, 2, shadow, shadow, face},
      {2, 1, shadow, light, face},
      {3, 3, light, shadow, face},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "Header3DStyle " << c.style << " width " << c.width);
    HWND h = makeList();
    if (c.style >= 0) prop(h, 59, c.style);
    prop(h, 60, c.width);
    const Shot s = shot(h);
    const int mid = 50;  // inside the first header cell, clear of its text
    EXPECT_EQ(s.client(mid, 0), c.topLeft);
    EXPECT_EQ(s.client(mid, s.header - 1), c.bottomRight);
    EXPECT_EQ(s.client(0, s.header / 2), c.topLeft);
    if (c.style > 0) {
      EXPECT_EQ(s.client(mid, c.width - 1), c.topLeft) << "the edge is as wide as asked";
      EXPECT_EQ(s.client(mid, s.header - c.width), c.bottomRight);
    }
    EXPECT_EQ(s.client(kColumn - 1 - (c.style > 0 ? c.width : 1), s.header / 2), c.inside);
    DestroyWindow(h);
  }
}

TEST_F(ListLook, SelectedRowShowsItsThreeDEdgeInItsColoursAndWidth) {
  const QRgb high = sys(COLOR_HIGHLIGHT);
  struct Case {
    int style, width;
    QRgb top, bottom;
  } cases[] = {
      {0, 2, high, high},
      {1, 2, rgb(kBlue), rgb(kYellow)},  // lowered: shadow above, highlight below
      {2, 3, rgb(kYellow), rgb(kBlue)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "Sel3DStyle " << c.style);
    HWND h = makeList();
    prop(h, 42, c.style);
    prop(h, 47, c.width);
    colour(h, 45, kYellow);
    colour(h, 46, kBlue);
    SendMessage(h, lx::LB_SETCURSEL, 1, 0);
    const Shot s = shot(h);
    const int top = s.rowTop(1), bottom = s.rowTop(2) - 1;
    for (int i = 0; i < c.width; ++i) {
      EXPECT_EQ(s.client(150, top + i), c.top) << "ring " << i;
      EXPECT_EQ(s.client(150, bottom - i), c.bottom) << "ring " << i;
    }
    EXPECT_EQ(s.client(150, top + c.width), high) << "inside the edge: the selection colour";
    EXPECT_EQ(s.client(150, s.rowTop(0) + 2), rgb(kBack)) << "an unselected row has no edge";
    DestroyWindow(h);
  }
}

TEST_F(ListLook, ThreeDTextDrawsItsReliefInItsColours) {
  struct Case {
    int style;
    bool light, dark;  // which relief colour shows
  } cases[] = {{0, false, false}, {1, true, false}, {2, false, true}, {3, true, true}, {4, true, true}, {5, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "List3DText " << c.style);
    HWND h = makeList();
    prop(h, 92, c.style);
    colour(h, 93, kYellow);
    colour(h, 94, kBlue);
    prop(h, 95, 2);
    // The header's own 3-D text, raised, with its own shadow colour.
    prop(h, 96, 2);
    colour(h, 98, kRed);
    const Shot s = shot(h);
    const int t = s.rowTop(0), b = s.rowTop(1);
    EXPECT_EQ(s.count(rgb(kYellow), 0, t, kColumn, b) > 3, c.light);
    EXPECT_EQ(s.count(rgb(kBlue), 0, t, kColumn, b) > 3, c.dark);
    EXPECT_GT(s.count(rgb(kRed), 0, 0, kColumn, s.header), 3) << "raised header text";
    DestroyWindow(h);
  }
}

// ---- grid lines

TEST_F(ListLook, LineRecordsDrawEachStyleAndWidthWhereTheyApply) {
  struct Band {
    int from;  // pixels before the cell's or row's last one
    QRgb colour;
  };
  struct Case {
    const char* name;
    int applyTo, style, width, width3D;
    bool rows, cols, header;  // where the line shows
    std::vector<Band> bands;  // from the last pixel inwards
  };
  const Case cases[] = {
      {"rows flat 3 wide", 1, 2, 3, 1, true, false, false, {{0, rgb(kRed)}, {2, rgb(kRed)}, {3, rgb(kBack)}}},
      {"cols lowered, bands 2 wide", 2, 3, 1, 2, false, true, false,
       {{0, rgb(kYellow)}, {1, rgb(kYellow)}, {2, rgb(kBlue)}, {3, rgb(kBlue)}, {4, rgb(kBack)}}},
      {"cols raised", 2, 4, 1, 1, false, true, false, {{0, rgb(kBlue)}, {1, rgb(kYellow)}}},
      {"cols lowered with a line", 2, 5, 2, 1, false, true, false,
       {{0, rgb(kYellow)}, {1, rgb(kRed)}, {2, rgb(kRed)}, {3, rgb(kBlue)}}},
      {"cols raised with a line", 2, 6, 1, 1, false, true, false, {{0, rgb(kBlue)}, {1, rgb(kRed)}, {2, rgb(kYellow)}}},
      {"the default record reaches rows, columns and the header", 0, 2, 1, 1, true, true, true, {{0, rgb(kRed)}}},
      {"header columns only", 3, 2, 2, 1, false, false, true, {{0, rgb(kRed)}, {1, rgb(kRed)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND h = makeList();
    prop(h, 195, c.applyTo);
    prop(h, 194, c.style);
    prop(h, 41, c.width);
    prop(h, 193, c.width3D);
    colour(h, 190, kRed);
    colour(h, 191, kYellow);
    colour(h, 192, kBlue);
    prop(h, 195, 0);
    const Shot s = shot(h);
    const int rowEnd = s.rowTop(1) - 1;
    const int x = 150;  // inside column 1, clear of its text
    for (const Band& b : c.bands) {
      if (c.rows) {
        EXPECT_EQ(s.client(x, rowEnd - b.from), b.colour) << "row line, " << b.from;
      }
      if (c.cols) {
        EXPECT_EQ(s.client(kColumn - 1 - b.from, s.rowTop(0) + 1), b.colour) << "column line, " << b.from;
      }
      if (c.header) {
        EXPECT_EQ(s.client(kColumn - 1 - b.from, s.header / 2), b.colour) << "header line, " << b.from;
      }
    }
    if (!c.rows) {
      EXPECT_EQ(s.client(x, rowEnd), rgb(kBack)) << "no row line";
    }
    if (!c.cols) {
      EXPECT_EQ(s.client(kColumn - 1, s.rowTop(0) + 1), rgb(kBack)) << "no column line";
    }
    DestroyWindow(h);
  }
}

TEST_F(ListLook, LineStyleNoneForRowsHidesTheDefaultAndTheOldHorizontalLines) {
  HWND h = makeList();
  prop(h, 39, 1);  // LineStyleH solid
  colour(h, 38, kGreen);
  Shot s = shot(h);
  EXPECT_EQ(s.client(150, s.rowTop(1) - 1), rgb(kGreen)) << "LineStyleH alone still draws";
  prop(h, 195, 0);
  prop(h, 194, 2);  // Default: flat
  colour(h, 190, kRed);
  s = shot(h);
  EXPECT_EQ(s.client(150, s.rowTop(1) - 1), rgb(kRed)) << "a line record wins over LineStyleH";
  prop(h, 195, 1);
  prop(h, 194, 1);  // Rows: none
  s = shot(h);
  EXPECT_EQ(s.client(150, s.rowTop(1) - 1), rgb(kBack));
  EXPECT_EQ(s.client(kColumn - 1, s.rowTop(0) + 1), rgb(kRed)) << "columns keep the default record";
}

// ---- vertical alignment

TEST_F(ListLook, TextAndPicturesAlignVertically) {
  std::uint32_t bits[36];
  for (auto& px : bits) px = 0x00E01010;  // kRed
  HBITMAP red = CreateBitmap(6, 6, 1, 32, bits);
  ASSERT_TRUE(red);
  struct Case {
    int alignV, pictureAlignV;
    int textAt;     // 0 top, 1 centre, 2 bottom of the 40-pixel row
    int pictureTop; // from the row top; -1: the text's top, -2: the text's bottom less the picture
  } cases[] = {
      {0, 0, 1, 17},  // defaults: centred
      {1, 1, 0, 0},  {2, 2, 1, 17}, {3, 3, 2, 34}, {3, 4, 2, -1}, {1, 5, 0, -2}, {3, 5, 2, -2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "AlignV " << c.alignV << " PictureAlignV " << c.pictureAlignV);
    HWND h = makeList();
    prop(h, 29, -1);
    prop(h, 78, 40);  // RowHeight of the list's rows
    prop(h, 196, 0);
    prop(h, 213, c.alignV);
    prop(h, 28, 1);
    lindra::props::PictureBlock pic{1, 0, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(red)), 0, 0};
    prop(h, 139, reinterpret_cast<LPARAM>(&pic));  // ColPicture
    prop(h, 196, 0);
    prop(h, 217, c.pictureAlignV);
    const Shot s = shot(h);
    ASSERT_EQ(s.row, 40);
    TEXTMETRIC tm;
    HDC dc = GetDC(h);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessage(h, WM_GETFONT, 0, 0)));
    GetTextMetrics(dc, &tm);
    ReleaseDC(h, dc);
    const int line = static_cast<int>(tm.tmHeight);
    const int top = s.rowTop(0);
    // Text lines keep the accent room above them.
    const int room = lx::instanceOf(h)->accentRoom;
    const int textTop = c.textAt == 0 ? top + room : c.textAt == 2 ? top + 40 - line : top + room + (40 - room - line) / 2;
    // The ink of column 0's text lies in its line box.
    const auto [first, last] = s.inkRows(2, kColumn - 2, top, top + 40, rgb(kBack));
    ASSERT_GE(first, 0);
    EXPECT_GE(first, textTop);
    EXPECT_LT(last, textTop + line);
    // The picture's top edge in column 1.
    const int pictureTop = c.pictureTop >= 0 ? top + c.pictureTop : c.pictureTop == -1 ? textTop : textTop + line - 6;
    const int px = kColumn + 2 + 3;
    EXPECT_EQ(s.client(px, pictureTop), rgb(kRed));
    EXPECT_EQ(s.client(px, pictureTop + 5), rgb(kRed));
    EXPECT_NE(s.client(px, pictureTop - 1), rgb(kRed));
    EXPECT_NE(s.client(px, pictureTop + 6), rgb(kRed));
    DestroyWindow(h);
  }
  DeleteObject(red);
}

// ---- accents

TEST_F(ListLook, RowsLeaveRoomForAccentedCapitals) {
  // At this size the ring of "Å" and the accents rise above the font's
  // ascent. Each accented row must show its letters whole inside its own
  // row: as tall as in a row far taller than the text.
  const std::vector<std::string> rows = {"ÅÅÅÅ", "AAAA", "ÉÂÅÊ", "AAAA"};
  HFONT font = CreateFont(-9, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, "DejaVu Sans");
  HWND tight = makeList(rows);
  HWND roomy = makeList(rows);
  for (HWND h : {tight, roomy}) SendMessage(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
  prop(roomy, 29, -1);
  prop(roomy, 78, 30);
  const Shot a = shot(tight), b = shot(roomy);
  ASSERT_LT(a.row, 20);
  for (int r : {0, 2}) {
    SCOPED_TRACE(rows[static_cast<std::size_t>(r)]);
    const auto inTight = a.inkRows(2, kColumn - 2, a.rowTop(r), a.rowTop(r + 1), rgb(kBack));
    const auto inRoomy = b.inkRows(2, kColumn - 2, b.rowTop(r), b.rowTop(r + 1), rgb(kBack));
    ASSERT_GE(inTight.first, 0);
    ASSERT_GE(inRoomy.first, 0);
    EXPECT_EQ(inTight.second - inTight.first, inRoomy.second - inRoomy.first) << "letters cut by the row";
  }
  // The plain row below an accented one keeps its own top clear.
  const auto plain = a.inkRows(2, kColumn - 2, a.rowTop(1), a.rowTop(2), rgb(kBack));
  EXPECT_GT(plain.first, a.rowTop(1));
  DestroyWindow(tight);
  DestroyWindow(roomy);
  DeleteObject(font);
}

// ---- the combo's own frame

TEST_F(ListLook, ComboFrameFollowsTheFramePropertiesByApplyTo) {
  constexpr int kComboW = 180, kComboH = 26;
  const QRgb shadow = sys(COLOR_BTNSHADOW);
  struct Case {
    const char* name;
    int applyTo;
    std::vector<std::pair<int, COLORREF>> props;  // id, value
    bool combo, list;  // whose frame takes them
    std::function<void(const Shot&)> check;  // the combo's pixels
  };
  const Case cases[] = {
      {"both: a single line 3 wide in its colour, the parts moved inside it", 0,
       {{114, 1}, {116, 3}, {115, kRed}}, true, true,
       [&](const Shot& s) {
         for (int i = 0; i < 3; ++i) {
           EXPECT_EQ(s.at(i, kComboH / 2), rgb(kRed)) << i;
           EXPECT_EQ(s.at(kComboW - 1 - i, kComboH / 2), rgb(kRed)) << i;
           EXPECT_EQ(s.at(60, i), rgb(kRed)) << i;
         }
         EXPECT_EQ(s.at(3, kComboH / 2), shadow) << "the flat line inside the border";
         EXPECT_NE(s.at(kComboW - 4, kComboH / 2), rgb(kRed)) << "the button ends at the border";
         EXPECT_EQ(s.at(10, kComboH / 2), rgb(kBack)) << "the text area";
       }},
      {"edit only: dashes on the combo, the list untouched", 2, {{114, 3}, {115, kBlue}, {242, kYellow}}, true, false,
       [&](const Shot& s) {
         std::string runs;
         for (int x = 0; x < 8; ++x) runs += s.at(x, 0) == rgb(kBlue) ? 'D' : s.at(x, 0) == rgb(kYellow) ? '.' : '?';
         EXPECT_EQ(runs, "DDD.DDD.");
       }},
      {"list only: the combo keeps its flat line", 1, {{114, 1}, {115, kGreen}}, false, true,
       [&](const Shot& s) {
         EXPECT_EQ(s.at(0, kComboH / 2), shadow);
         EXPECT_EQ(s.at(1, kComboH / 2), rgb(kBack));
       }},
      {"drop shadow with its gray-area colour (242)", 0, {{124, 1}, {126, 3}, {125, kGreen}, {242, kMagenta}}, true,
       true,
       [&](const Shot& s) {
         EXPECT_EQ(s.at(kComboW - 1, kComboH / 2), rgb(kGreen));
         EXPECT_EQ(s.at(60, kComboH - 1), rgb(kGreen));
         EXPECT_EQ(s.at(kComboW - 1, 1), rgb(kMagenta));
         EXPECT_EQ(s.at(1, kComboH - 1), rgb(kMagenta));
         EXPECT_EQ(s.at(60, kComboH - 4), shadow) << "the flat line ends where the shadow begins";
       }},
      {"default: the flat one-line frame", 0, {}, false, false,
       [&](const Shot& s) {
         EXPECT_EQ(s.at(0, kComboH / 2), shadow);
         EXPECT_EQ(s.at(60, 0), shadow);
         EXPECT_EQ(s.at(1, kComboH / 2), rgb(kBack));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND combo = CreateWindow(lx::kComboClass, "", WS_POPUP | WS_VISIBLE | lx::CBS_DROPDOWNLIST, 0, 0, kComboW, kComboH,
                              nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(combo);
    HWND list = reinterpret_cast<HWND>(SendMessage(combo, lx::kCbxGetList, 0, 0));
    ASSERT_TRUE(list);
    prop(combo, 181, 0);
    colour(combo, 2, kBack);
    prop(combo, 181, c.applyTo);
    for (const auto& [id, v] : c.props) EXPECT_EQ(prop(combo, id, static_cast<LPARAM>(v)), 0) << id;
    for (const auto& [id, v] : c.props) {
      const auto value = static_cast<std::int32_t>(v);
      // A get through the combo reads the part ApplyTo names.
      EXPECT_EQ(static_cast<std::int32_t>(get(combo, id)), value) << id;
      EXPECT_EQ(static_cast<std::int32_t>(get(list, id)) == value, c.list) << "the list's " << id;
    }
    prop(combo, 181, 2);
    for (const auto& [id, v] : c.props)
      EXPECT_EQ(static_cast<std::int32_t>(get(combo, id)) == static_cast<std::int32_t>(v), c.combo) << "the combo's " << id;
    c.check(shot(combo));
    DestroyWindow(combo);
  }
  EXPECT_EQ(lx::liveCombos(), 0);
}

TEST_F(ListLook, ComboFrameSetsAreCheckedAsTheListChecksThem) {
  HWND combo = CreateWindow(lx::kComboClass, "", WS_POPUP | WS_VISIBLE | lx::CBS_DROPDOWNLIST, 0, 0, 120, 24, nullptr,
                            nullptr, nullptr, nullptr);
  ASSERT_TRUE(combo);
  prop(combo, 181, 2);
  const std::int32_t style = static_cast<std::int32_t>(get(combo, 114));
  prop(combo, 114, 7);          // no such border style
  prop(combo, 116, 40000);      // no such width
  EXPECT_EQ(get(combo, 114), style);
  EXPECT_EQ(get(combo, 116), 1);
  EXPECT_EQ(get(combo, 123), 1) << "the combo's own frame is flat";
  DestroyWindow(combo);
}

// ---- all of them at once

TEST_F(ListLook, ListAndComboWithEveryLookTogetherInADialog) {
  QDialog dlg;
  auto* host = new HostWidget(&dlg);
  host->setFillWithFirstChild(false);
  host->setGeometry(0, 0, 420, 260);
  HWND list = CreateWindow(lx::kListClass, "", WS_CHILD | WS_VISIBLE | lx::LBS_NOTIFY, 10, 10, 280, 180,
                           host->hostWindow(), reinterpret_cast<HMENU>(5), nullptr, nullptr);
  HWND combo = CreateWindow(lx::kComboClass, "", WS_CHILD | WS_VISIBLE | lx::CBS_DROPDOWNLIST, 10, 205, 200, 28,
                            host->hostWindow(), reinterpret_cast<HMENU>(6), nullptr, nullptr);
  ASSERT_TRUE(list && combo);
  prop(list, 71, 1);
  prop(list, 32, 2);
  for (int c = 0; c < 2; ++c) {
    prop(list, 28, c);
    prop(list, 65, reinterpret_cast<LPARAM>(c == 0 ? "Title" : "Level"));
    float w = c == 0 ? 150.0f : 110.0f;
    prop(list, 73, reinterpret_cast<LPARAM>(&w));
  }
  prop(list, 58, 1);
  colour(list, 2, kBack);
  for (const char* r : {"Ångström\tA1", "Éire\tB2", "Zürich\tC1", "Øresund\tA2", "Mälaren\tB1"})
    SendMessage(list, lx::LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(r));
  // Frame: dash border in blue, a green drop shadow with magenta corners.
  prop(list, 114, 3);
  prop(list, 116, 2);
  colour(list, 115, kBlue);
  prop(list, 124, 1);
  colour(list, 125, kGreen);
  colour(list, 242, kMagenta);
  // Header: lowered cells with raised red-shadowed text.
  prop(list, 59, 2);
  prop(list, 96, 2);
  colour(list, 98, kRed);
  // Rows: lowered text, cyan flat row lines 2 wide, raised column lines.
  prop(list, 92, 1);
  colour(list, 93, kYellow);
  prop(list, 195, 1);
  prop(list, 194, 2);
  prop(list, 41, 2);
  colour(list, 190, kCyan);
  prop(list, 195, 2);
  prop(list, 194, 4);
  // Selection: raised 2 wide; bottom-aligned text with its picture on top.
  prop(list, 42, 2);
  prop(list, 47, 2);
  colour(list, 45, kYellow);
  prop(list, 29, -1);
  prop(list, 78, 26);
  prop(list, 213, 3);
  SendMessage(list, lx::LB_SETCURSEL, 1, 0);
  // The combo's own frame: a rounded red border with a shadow.
  SendMessage(combo, lx::CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Français"));
  SendMessage(combo, lx::CB_SETCURSEL, 0, 0);
  prop(combo, 181, 2);
  prop(combo, 114, 2);
  prop(combo, 116, 2);
  colour(combo, 115, kRed);
  prop(combo, 124, 1);
  colour(combo, 125, kGreen);
  dlg.resize(420, 260);
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  pumpMessages();
  QApplication::processEvents();
  pumpMessages();
  QApplication::processEvents();
  const QImage img = host->grab().toImage();
  if (const char* dir = std::getenv("TV_SHOT_DIR")) img.save(QString(dir) + "/lindra_looks.png");
  auto px = [&](int x, int y) { return img.pixel(x, y) & 0xFFFFFF; };
  // The list's window starts at (10, 10): its border, shadow and a row line.
  int dashes = 0;
  for (int y = 20; y < 100; ++y) dashes += px(10, y) == rgb(kBlue);
  EXPECT_EQ(dashes, 60) << "dash border: six of every eight pixels";
  EXPECT_EQ(px(10 + 280 - 1, 100), rgb(kGreen)) << "drop shadow";
  EXPECT_EQ(px(10 + 280 - 1, 11), rgb(kMagenta)) << "gray corner";
  const Shot s = shot(list);
  EXPECT_EQ(s.client(200, s.rowTop(0) + s.row - 1), rgb(kCyan)) << "row line";
  // (Its first pixel row carries the focus rectangle: the list has the focus.)
  EXPECT_EQ(s.client(200, s.rowTop(1) + 1), rgb(kYellow)) << "the selection's raised edge, two pixels";
  EXPECT_GT(s.count(rgb(kRed), 0, 0, 150, s.header), 3) << "header text relief";
  EXPECT_EQ(px(10 + 1, 205 + 14), rgb(kRed)) << "the combo's border";
  DestroyWindow(list);
  DestroyWindow(combo);
}

}  // namespace
