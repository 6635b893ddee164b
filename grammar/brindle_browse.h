#pragma once
// CBrindleBrowse: the HTML view of the grammar browser. Every navigation
// (a request of the player, a followed link, back, forward, home, refresh)
// passes through the page store, which unpacks the page before it is shown
// and deletes its working copy once the view has read it. The view keeps
// its own history, so that back and forward go through the store too.

#include <memory>
#include <string_view>
#include <vector>

#include <QTextBrowser>

#include "grammar/page_store.h"

class CBrindleBrowse : public QTextBrowser {
 public:
  // Command ids of the view.
  static constexpr int ID_GO_BACK = 32774;
  static constexpr int ID_GO_FORWARD = 32782;
  static constexpr int ID_GO_HOME = 32781;
  static constexpr int ID_REFRESH = 32786;
  // Text sizes, largest to smallest (levels 4 to 0; 2 is the normal size).
  static constexpr int ID_TEXT_LARGEST = 32789;
  static constexpr int ID_TEXT_LARGER = 110;
  static constexpr int ID_TEXT_MEDIUM = 32791;
  static constexpr int ID_TEXT_SMALLER = 32792;
  static constexpr int ID_TEXT_SMALLEST = 32793;

  // `store` has been set up.
  explicit CBrindleBrowse(std::unique_ptr<CBrindlePageStore> store, QWidget* parent = nullptr);
  ~CBrindleBrowse() override;

  // Shows the index page.
  void OnInitialUpdate();
  // Shows a page path or a "file:" URL, perhaps with an anchor.
  void Navigate(std::string_view pageOrUrl);
  // The view's commands by id; false for an id that is not one of them.
  bool OnCommand(int id);

  // Scales the text: level 0 (smallest) to 4 (largest), 2 the normal size.
  void SetTextSize(int level);
  int TextSize() const { return m_nTextSize; }

  CBrindlePageStore& Store() { return *m_store; }
  bool CanGoBack() const { return m_nHistoryPos > 0; }
  bool CanGoForward() const { return m_nHistoryPos + 1 < static_cast<int>(m_history.size()); }

 protected:
  void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;
  // Right-button presses and releases are swallowed: no context menu.
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // The browser's own history keys go to back and forward.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Shows the history entry `pos`; the position stays when it is refused.
  void GoToHistory(int pos);

  std::unique_ptr<CBrindlePageStore> m_store;
  std::vector<QUrl> m_history;
  int m_nHistoryPos = -1;
  bool m_bInHistory = false;
  bool m_bShown = false;
  int m_nTextSize = 2;
  qreal m_fBasePointSize = 0;  // the last navigation was not refused
};
