#pragma once
// The book windows of the main frame: COrv_TvDocumentWindows opens a
// Talvane as a COrv_TvDocument in an MDI child of its own, keeps the open
// documents and closes them, and MainFrameDocumentHost gives each document
// what it asks of the main window (settings, user, start-up play, busy
// cursor). Until the text panes take its place, the child shows the book's
// title and the current Echomark's text.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QMdiSubWindow>

#include "player/book/tv_document.h"
#include "player/shell/main_frame.h"

class QLabel;

// What the document asks of the main window, answered from the frame's
// state and its play commands. The audio windows, the stop of every play
// and the recording state belong to the frame's audio side, which has no
// windows of its own yet: those calls change nothing here.
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
  void HideViewWindows() override {}
  void ResetSpeedButton() override { frame_.AudioPanel().ResetSpeedButton(); }
  void SetRecordingAvailable(bool) override {}
  void ShowFragmentSelector(bool, float, float) override {}
  void ShowSpeechView(bool, const std::filesystem::path&, const std::vector<float>&, float, float) override {}
  void ShowVolumeWindow(bool) override {}
  void SelectPlaySpeed(int speed) override;
  void PlayCurrentQuote() override;

 private:
  CMainFrame& frame_;
  StartPlay* play_;
};

// The modal text dialog of the introduction, comment and dictionary
// texts: the text in its record's colour, style and indents, with the
// dictionary's [red] and <green> spans. In test mode it is logged
// ("event dialog <number>") and not shown, since nobody could close it.
class DocumentTextDialog : public TvTextDialog {
 public:
  explicit DocumentTextDialog(QWidget* parent) : parent_(parent) {}
  void ShowText(const TvTextDialogRequest& request) override;
  // The text as the dialog shows it, as rich text.
  static QString ToHtml(const TvTextDialogRequest& request);

 private:
  QWidget* parent_;
};

// The MDI child of one document; closing it closes the document. It
// stands in for the book-text pane: the document's refreshes show the
// current Echomark in it.
class TvDocumentChild : public QMdiSubWindow, public TvRichTextView {
 public:
  TvDocumentChild(COrv_TvDocument& document, std::function<void(TvDocumentChild*)> onClose);
  ~TvDocumentChild() override;
  void BuildText() override { UpdateText(); }
  int ScrollToQuote(unsigned) override {
    UpdateText();
    return 0;
  }
  void LoadButtonTexts() override {}
  // Null once the document has gone.
  COrv_TvDocument* Document() const { return document_; }
  // Shows the title and the current Echomark again.
  void UpdateText();
  // The document has gone: a later close of the window does nothing more.
  void Detach();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  COrv_TvDocument* document_;
  QLabel* label_ = nullptr;
  std::function<void(TvDocumentChild*)> onClose_;
};

class COrv_TvDocumentWindows : public TalvaneDocuments {
 public:
  COrv_TvDocumentWindows(CMainFrame& frame, StartPlay* play);
  ~COrv_TvDocumentWindows() override;

  // Opens the book of a code or path in a new child; false (nothing left
  // open) when the document cannot open it.
  bool OpenDocumentFile(const std::string& code) override;
  bool HasActiveDocument() const override { return ActiveTvDocument() != nullptr; }
  void CloseActiveDocument() override;
  COrv_TvDocument* ActiveTvDocument() const override;
  int DocumentCount() const { return static_cast<int>(open_.size()); }

 private:
  struct Open {
    std::unique_ptr<COrv_TvDocument> document;
    TvDocumentChild* child = nullptr;
  };
  // Closes the document of a child and forgets both.
  void closeChild(TvDocumentChild* child);

  CMainFrame& frame_;
  MainFrameDocumentHost host_;
  PlatformDocumentSound sound_;
  DocumentTextDialog dialog_;
  std::vector<Open> open_;
};
