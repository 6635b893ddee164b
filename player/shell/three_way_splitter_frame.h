#pragma once
// C3WaySplitterFrame: the window of one open Talvane inside the main
// window. Its client area is split into the book text (upper left), the
// so-far pane (upper right) and the scratch pad (below); the Echomark index
// panel runs along its bottom edge. It opens maximised, and on every resize
// the rows go back to halves of its client area and the upper columns to
// halves of its width (a bar the learner drags keeps its place only until
// the next resize).
//
// The panes come from the view factory; the index panel's scroll buttons
// run the frame's own commands 1013 to 1016, whose states the buttons show.

#include <QMdiSubWindow>
#include <cstdint>
#include <vector>

#include "player/shell/child_view_factory.h"
#include "player/shell/command_table.h"
#include "player/shell/quote_index_panel.h"
#include "player/views/view_ex_split_wnd.h"

class COrv_FrameState;
class PanelHost;
class QMdiArea;

class C3WaySplitterFrame : public QMdiSubWindow {
 public:
  static constexpr int kRowMinimum = 100;
  static constexpr int kLeftMinimum = 150;
  static constexpr int kRightMinimum = 220;
  static constexpr int kSettingShowIndex = 22;
  static constexpr Qt::WindowFlags kWindowFlags{Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                Qt::WindowMaximizeButtonHint};

  // `state` (not owned, may be null) says whether the index panel starts
  // shown; `factory` (not owned) makes the panes and the strip.
  C3WaySplitterFrame(COrv_ChildViewFactory* factory, const COrv_FrameState* state, QWidget* parent = nullptr);
  ~C3WaySplitterFrame() override;

  // Creates the index panel, then the splitters and the three views, adds
  // the window to `area` and maximises it. False when a piece cannot be
  // made (the window is then not shown and may be deleted).
  bool Create(QMdiArea* area, const CCreateContext& context);
  bool OnCreate();
  bool OnCreateClient(const CCreateContext& context);
  bool IsInitialised() const { return initialised_; }

  // The Echomark index, as the document and the main frame use it.
  // FillQuoteIndex updates the cells first and selects Echomark n after, so
  // that a book with more Echomarks than the placeholder can have any of
  // them selected; it answers the selection's result.
  plat::win::BOOL FillQuoteIndex(const std::vector<std::uint32_t>& status, int n);
  plat::win::BOOL RefillQuoteIndex(const std::vector<std::uint32_t>& status, int n);
  plat::win::BOOL ShowQuoteInIndex(int n);
  plat::win::BOOL SelectQuoteInIndex(int) { return plat::win::TRUE; }
  // Shows or hides the index panel at once.
  void ShowIndexPanel(bool show);
  bool IsIndexPanelShown() const;

  COrv_QuoteIndexPanel& IndexPanel() { return indexPanel_; }
  PanelHost* IndexHost() const { return indexHost_; }
  COrv_CommandTable& Commands() { return commands_; }
  CViewExSplitWnd* OuterSplitter() const { return outer_; }
  CViewExSplitWnd* InnerSplitter() const { return inner_; }
  QWidget* RichView() const { return rich_; }
  QWidget* SoFarView() const { return soFar_; }
  QWidget* ScratchPadView() const { return scratch_; }

  // The sizes of the last resize: the client width, the lower row, the left
  // column, the upper row, the right column (0 before the first).
  struct PaneSizes {
    int width = 0, lower = 0, left = 0, upper = 0, right = 0;
  };
  const PaneSizes& Sizes() const { return sizes_; }
  // The pane sizes for a client area of `w` x `h`.
  static PaneSizes SizesFor(int w, int h);

 private:
  void layoutPanes(QSize client);
  void registerCommands();

  COrv_ChildViewFactory* factory_;
  const COrv_FrameState* state_;
  bool initialised_ = false;
  QWidget* client_ = nullptr;
  CViewExSplitWnd* outer_ = nullptr;
  CViewExSplitWnd* inner_ = nullptr;
  QWidget* rich_ = nullptr;
  QWidget* soFar_ = nullptr;
  QWidget* scratch_ = nullptr;
  COrv_QuoteIndexPanel indexPanel_;
  PanelHost* indexHost_ = nullptr;
  COrv_CommandTable commands_;
  PaneSizes sizes_;
};
