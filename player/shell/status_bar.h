#pragma once
// COrv_StatusBar: the main window's status bar. It shows, left to right,
// the logged-in user (107), the icon of the book's category (105), the
// book title (108), the icon of its difficulty (104), a stretch (111), the
// icon of its language (106), the current Echomark number (103) and the
// number of Echomarks (114). Every pane has a tooltip that explains it.
//
// The panes are refreshed by UpdatePanes, which the main frame calls
// whenever the command states change (a book opened or closed, a move to
// another Echomark); the icons change only when the shown value does.

#include <QStatusBar>
#include <array>
#include <functional>
#include <optional>
#include <string>

class COrv_FrameState;
class QLabel;

// What the status bar shows of the active book.
struct COrv_StatusFacts {
  std::string title;
  int language = 0;  // the language of the book's text
  int difficulty = 0;
  int category = 0;
  unsigned count = 0;
  unsigned current = 0;
};

class COrv_StatusBar : public QStatusBar {
 public:
  static constexpr int kBarId = 0xE801;
  enum Pane : int {
    kCurrent = 103,
    kDifficulty = 104,
    kCategory = 105,
    kLanguage = 106,
    kUser = 107,
    kTitle = 108,
    kStretch = 111,
    kCount = 114
  };
  // The panes in display order.
  static constexpr std::array<int, 8> kPanes = {kUser, kCategory, kTitle, kDifficulty,
                                                kStretch, kLanguage, kCurrent, kCount};
  static constexpr unsigned kLightGrey = 0xC0C0C0;
  // Pixels between the last pane and the window's right edge.
  static constexpr int kRightMargin = 4;

  // The active book, or nothing when none is open.
  using FactsSource = std::function<std::optional<COrv_StatusFacts>()>;

  // `state` (not owned) gives the user and the interface language.
  explicit COrv_StatusBar(const COrv_FrameState* state, FactsSource facts = {}, QWidget* parent = nullptr);

  // 0 (16-pixel icons), 1 (24) or 2 (32); anything greater is 2.
  void SetIconSize(unsigned n);
  unsigned IconSizeIndex() const { return iconSize_; }
  int IconPixels() const;
  int MinimumBarHeight() const;
  // Builds the panes; false when they cannot be made (the bar then has
  // none, and stays).
  bool OnCreate();

  void SetFactsSource(FactsSource facts) { facts_ = std::move(facts); }
  // Refreshes every pane from the active book and the frame state.
  void UpdatePanes();
  // Sets the three icons of these values at once (the remembered values
  // stay); ClearPaneIcons clears them.
  void SetPaneIcons(int category, int difficulty, int language);
  void ClearPaneIcons();

  // The pane of an id, and the pane id at a display position (-1 outside).
  QLabel* PaneLabel(int id) const;
  static int PaneAt(int position);
  // The tooltip of a pane now; whole, however long.
  std::string ToolTipText(int id) const;
  // The value whose icon a pane shows (-1: none).
  int ShownValue(int id) const;
  // What context help a point of the bar asks for.
  int HelpHitTest(QPoint point) const;

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  void updateIconPane(int id, const std::optional<COrv_StatusFacts>& facts);
  void setIcon(int id, int value);
  void setText(int id, bool enabled, const std::string& text);
  std::string toolTip(int id, const std::optional<COrv_StatusFacts>& facts) const;
  int slot(int id) const;

  const COrv_FrameState* state_;
  FactsSource facts_;
  unsigned iconSize_ = 0;
  std::array<QLabel*, 8> labels_{};
  std::array<int, 8> shown_{-1, -1, -1, -1, -1, -1, -1, -1};
};
