#pragma once
// The main window's two button panels: COrv_AudioPanel (listening and
// recording buttons, docked on the left) and COrv_SecondaryPanel
// (Echomark navigation, sequence and loop play, Play All, Play Up To End
// and the volume, docked on the right).
//
// A panel is a layer window that stacks its controls from a table of rows,
// one row per button or spacer, and makes a COrv_ButtonEx for every button
// row. A click sends the button's id to the command sink (the main frame's
// command table), as a menu item would; the frame's handlers press,
// release, disable and enable the buttons through the panel so that they
// show what is playing. PanelHost puts a panel into the Qt widget tree and
// shows the buttons' tooltips.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/host_widget.h"
#include "platform/win/win_types.h"
#include "shared/buttons/orv_button.h"

// One row of a panel: the control's kind, its id (also the command it
// sends), its click mode, the string id of its tooltip (0 for none), its
// size (for a spacer, the room it takes) and its five bitmaps in the order
// up, hover up, down, hover down, disabled (0 for none).
struct COrv_PanelRow {
  enum Kind { kSpacer = 0, kButton = 1, kEchomarkStrip = 4 };
  int kind = kSpacer;
  int id = 0;
  int mode = 0;
  int tooltip = 0;
  int width = 0;
  int height = 0;
  int up = 0, hoverUp = 0, down = 0, hoverDown = 0, disabled = 0;
};

class COrv_Panel {
 public:
  using CommandSink = std::function<void(int id)>;
  enum BackgroundMode { kSolid = 0, kBitmap = 1 };
  static constexpr plat::win::COLORREF kDefaultColour = 0xC0C0C0;
  // The panel's width: its template's 36 dialog units in the default
  // dialog font.
  static constexpr int kWidth = 54;
  // The class library's help hit-test message, and what it answers.
  static constexpr plat::win::UINT WM_HELPHITTEST = 0x0366;

  COrv_Panel(const COrv_Panel&) = delete;
  COrv_Panel& operator=(const COrv_Panel&) = delete;
  virtual ~COrv_Panel();

  void SetBackgroundColor(plat::win::COLORREF colour);
  void SetBackgroundBitmap(int bitmapId);
  int GetBackgroundMode() const { return backgroundMode_; }
  plat::win::DWORD GetBackgroundValue() const { return backgroundValue_; }
  void SetCommandSink(CommandSink sink) { sink_ = std::move(sink); }

  // Creates the panel window in `parent` (its id `barId`) at (0, 0), as
  // large as PanelSize(), and builds the buttons. False when the window or
  // its initial set-up fails.
  bool Create(plat::win::HWND parent, int barId);
  plat::win::HWND GetSafeHwnd() const { return hwnd_; }
  int TemplateId() const { return templateId_; }
  // The stacked height of all rows.
  int RowsHeight() const;
  // The panel's size when it is created: kWidth wide and as high as its
  // rows, for the stacked panels.
  virtual plat::win::SIZE PanelSize() const;

  // Sets every button's look from its command's state in `commands`: a
  // disabled command shows the disabled face, an enabled one the up face,
  // or the down face while the command is checked. This is the one path by
  // which the panels' buttons follow the commands; the frame calls it
  // whenever the table says a state changed, and after every click (so a
  // refused click leaves no button pressed).
  void UpdateFromCommands(const class COrv_CommandTable& commands);

  // The first button row with `id` whose window exists. A control that is
  // not a button makes these fail (FALSE); an id no button has is a no-op
  // (TRUE).
  plat::win::BOOL SetButtonState(int id, bool pressed);
  plat::win::BOOL DisableButton(int id);
  plat::win::BOOL EnableButton(int id, int state);
  // Sets every button's tooltip from its row's string in `language` (-1:
  // the current interface language).
  void RefreshToolTips(int language = -1);
  void ShowButtons(bool show);
  // Where the row of `id` lies: rows stacked from the top, centred across.
  plat::win::RECT GetButtonRect(int id) const;
  // What context help a point (client coordinates) asks for: 0 for none,
  // 0x10000 + the template id on the panel, 0x10000 + the control's id on a
  // control.
  virtual int HelpHitTest(plat::win::POINT clientPoint) const;

  const std::vector<COrv_PanelRow>& Rows() const { return rows_; }
  // The control of row `index`; null for a spacer or an index outside.
  tv::buttons::COrv_ButtonEx* Control(int index) const;

  static plat::win::LRESULT WindowProc(plat::win::HWND, plat::win::UINT, plat::win::WPARAM,
                                       plat::win::LPARAM);

 protected:
  COrv_Panel(std::vector<COrv_PanelRow> rows, int templateId);
  // The initial-dialog handling: tooltips, then every button's window.
  virtual bool OnInitDialog();
  bool createButton(int index);
  // Where the button of `id` is placed at creation.
  virtual plat::win::RECT buttonRect(int id) const { return GetButtonRect(id); }
  // The panel's window is gone: the controls go too.
  virtual void destroyControls();
  void setToolTip(int index, int language);

  std::vector<COrv_PanelRow> rows_;
  std::vector<std::unique_ptr<tv::buttons::COrv_ButtonEx>> controls_;

 private:
  plat::win::LRESULT message(plat::win::UINT msg, plat::win::WPARAM w, plat::win::LPARAM l);
  void eraseBackground(plat::win::HDC dc);
  template <typename Op>
  plat::win::BOOL onButton(int id, Op op);

  int templateId_;
  int backgroundMode_ = kSolid;
  plat::win::DWORD backgroundValue_ = kDefaultColour;
  CommandSink sink_;
  plat::win::HWND hwnd_ = nullptr;
};

class COrv_AudioPanel : public COrv_Panel {
 public:
  static constexpr int kTemplate = 216;
  static constexpr int kBarId = 217;
  static constexpr int kSpeedNormal = 225, kSpeedFast = 226, kSpeedSlow = 227;
  // The row the speed button stands in.
  static constexpr int kSpeedRow = 11;
  COrv_AudioPanel();

  // The index of the first button row with `id`; -1 when none.
  int FindButtonIndex(int id) const;
  plat::win::BOOL HasButton(int id) const;
  // The row of the speed button present (tried normal, slow, fast); -1.
  int FindSpeedButton() const;
  int GetSpeedButtonId() const;
  plat::win::BOOL ResetSpeedButton();
  plat::win::BOOL SetFastSpeedButton();
  plat::win::BOOL SetSlowSpeedButton();
  // Replaces the button of `oldId` with the one `row` describes, in place.
  plat::win::BOOL RebuildButton(int oldId, const COrv_PanelRow& row);
  // The row of each speed button.
  static const COrv_PanelRow& SpeedRow(int id);
};

class COrv_SecondaryPanel : public COrv_Panel {
 public:
  static constexpr int kTemplate = 215;
  static constexpr int kBarId = 216;
  COrv_SecondaryPanel();
};

// A panel in a Qt widget: the host window holds the panel's window, the
// widget is as large as the panel, and a tooltip event shows the text of
// the button under the mouse.
class PanelHost : public plat::win::HostWidget {
 public:
  // With `fill`, the panel's window takes the host's whole size.
  PanelHost(COrv_Panel& panel, QWidget* parent = nullptr, bool fill = false);
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }
  // The tooltip text at a point of the widget; empty when none.
  std::string ToolTipAt(QPoint pos) const;

 protected:
  bool event(QEvent* e) override;

 private:
  COrv_Panel& panel_;
};
