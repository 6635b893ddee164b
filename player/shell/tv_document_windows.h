#pragma once
// The book windows of the main frame: COrv_TvDocumentWindows opens a
// Talvane as a COrv_TvDocument in a three-way child frame of its own (book
// text, so-far pane, scratch pad and the Echomark index), keeps the open
// documents and closes them; MainFrameDocumentHost gives each document
// what it asks of the main window (settings, user, start-up play, busy
// cursor).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QObject>
#include <QPointer>

#include "player/book/tv_document.h"
#include "player/shell/main_frame.h"
#include "player/shell/text_pane_factory.h"
#include "player/shell/three_way_splitter_frame.h"

// What the document asks of the main window, answered from the frame's
// state and its play commands. The audio windows, the stop of every play
// and the recording state belong to the frame's audio side.
class MainFrameDocumentHost : public TvDocumentHost {
 public:
  MainFrameDocumentHost(CMainFrame& frame, StartPlay* play) : frame_(frame), play_(play) {}

  int GetSetting(int n) const override;
  std::string GetSettingText(int n) const override;
  std::string GetUserName() const override;
  char32_t GetMaskChar() const override { return U'\u2022'; }
  COrv_CharFormat GetDefaultCharFormat() const override { return DefaultCharFormat(); }
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void StopAll() override {
    if (play_) play_->StopAll();
  }
  void HideViewWindows() override;
  void ResetSpeedButton() override { frame_.AudioPanel().ResetSpeedButton(); }
  void SetRecordingAvailable(bool) override {}
  // The frame's audio fragment selector, audio speech view and Volume
  // window take the Echomark's fragment and wave even while hidden, so
  // that a panel button shows them up to date.
  void ShowFragmentSelector(bool show, float start, float end) override;
  void ShowSpeechView(bool show, const std::filesystem::path& wave, const std::vector<float>& shares, float start,
                      float end) override;
  void ShowVolumeWindow(bool show) override;
  void SelectPlaySpeed(int speed) override;
  void PlayCurrentQuote() override;
  const plat::ui::Menu* GetDefaultMenu() const override { return &frame_.BookMenu(); }

 private:
  CMainFrame& frame_;
  StartPlay* play_;
};

// In test mode, set to a non-empty value: the text dialogs are shown as
// well as logged, for a test that closes them as the learner would.
inline constexpr const char* kShowDialogsVariable = "TALVANE_TEST_SHOW_DIALOGS";

// The text dialog of the introduction, comment and dictionary texts. In
// test mode it is logged ("event dialog <number>") and, unless
// kShowDialogsVariable asks for it, not shown, since nobody could close it.
class DocumentTextDialog : public TvTextDialog {
 public:
  void ShowText(const TvTextDialogRequest& request) override;
  // While held, texts wait (a book's introduction asked for while it opens
  // is shown once its window is there); Release shows them, Discard drops
  // them.
  void Hold() { held_ = true; }
  void Release();
  void Discard();
  // Called just before a text is shown, so that the window behind the
  // modal text (its status bar, its buttons) shows the book as it is now.
  void SetBeforeShow(std::function<void()> beforeShow) { beforeShow_ = std::move(beforeShow); }

 private:
  std::function<void()> beforeShow_;
  bool held_ = false;
  std::vector<TvTextDialogRequest> waiting_;
};

// The child frame's Echomark index as the document refreshes it.
class SplitterQuoteIndex : public TvDocumentFrame {
 public:
  explicit SplitterQuoteIndex(C3WaySplitterFrame& frame) : frame_(frame) {}
  void SetQuoteIndex(const std::vector<std::uint32_t>& status, unsigned current, bool fill) override;
  void SelectQuote(unsigned n) override;

 private:
  C3WaySplitterFrame& frame_;
};

class COrv_TvDocumentWindows : public QObject, public TalvaneDocuments {
 public:
  COrv_TvDocumentWindows(CMainFrame& frame, StartPlay* play);
  ~COrv_TvDocumentWindows() override;

  // Opens the book of a code or path in a new child frame; false (nothing
  // left open) when the document cannot open it.
  bool OpenDocumentFile(const std::string& code) override;
  bool HasActiveDocument() const override { return ActiveTvDocument() != nullptr; }
  void CloseActiveDocument() override;
  COrv_TvDocument* ActiveTvDocument() const override;
  int DocumentCount() const { return static_cast<int>(open_.size()); }
  // The Echomark index panel of the active book window.
  bool HasActiveChild() const override { return activeWindow() != nullptr; }
  bool IsQuoteIndexShown() const override;
  void ShowQuoteIndex(bool show) override;
  // The active book window: with none active (a frame not shown), the one
  // opened last; null without a book.
  C3WaySplitterFrame* activeWindow() const;

 protected:
  // A book window that closes closes its document.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Open {
    std::unique_ptr<COrv_TvDocument> document;
    std::unique_ptr<SplitterQuoteIndex> index;
    QPointer<C3WaySplitterFrame> window;
  };
  // Closes the document of a window. The window goes later (it may be in
  // the middle of its own event); its document, which its panes still
  // hold, goes with it.
  void closeWindow(C3WaySplitterFrame* window);
  // Frees the documents whose windows have gone.
  void purgeClosed();

  CMainFrame& frame_;
  MainFrameDocumentHost host_;
  PlatformDocumentSound sound_;
  DocumentTextDialog dialog_;
  COrv_TextPaneFactory factory_;
  std::vector<Open> open_;
  std::vector<Open> closed_;
};
