#pragma once
// Recording stand-ins of everything around the Talvane document (main
// window, panes, child frame, sounds, text dialog), a data path of the
// test's own and helpers that install a book, so that the document runs
// headless and every call it makes can be checked.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "player/book/talvane.h"
#include "player/book/tests/content_fixture.h"
#include "player/book/tv_document.h"
#include "player/env/environment.h"
#include "tools/book/book_fixture.h"

namespace doctest {

namespace fs = std::filesystem;

// One ordered log of every call the document makes on its surroundings.
using Log = std::vector<std::string>;

class RecordingHost : public TvDocumentHost {
 public:
  explicit RecordingHost(Log& log) : log_(log) {}
  int GetSetting(int n) const override {
    const auto it = settings.find(n);
    return it == settings.end() ? 0 : it->second;
  }
  std::string GetSettingText(int n) const override { return n == 5 ? jingleName : std::string(); }
  std::string GetUserName() const override { return user; }
  char32_t GetMaskChar() const override { return U'\u2022'; }
  COrv_CharFormat GetDefaultCharFormat() const override { return DefaultCharFormat(); }
  void BeginWaitCursor() override { ++waitDepth; }
  void EndWaitCursor() override { --waitDepth; }
  void StopAll() override { log_.push_back("stop"); }
  void HideViewWindows() override { log_.push_back("hide windows"); }
  void ResetSpeedButton() override { log_.push_back("normal speed button"); }
  void SetRecordingAvailable(bool available) override { recording = available; }
  void ShowFragmentSelector(bool show, float start, float end) override {
    if (show) log_.push_back("selector " + std::to_string(int(start)) + "-" + std::to_string(int(end)));
  }
  void ShowSpeechView(bool show, const fs::path& wave, const std::vector<float>& shares, float, float) override {
    if (show) log_.push_back("speech view " + std::string(wave.empty() ? "no wave" : "wave") + " " +
                             std::to_string(shares.size()) + " segments");
  }
  void ShowVolumeWindow(bool show) override {
    if (show) log_.push_back("volume");
  }
  void SelectPlaySpeed(int speed) override { log_.push_back("speed " + std::to_string(speed)); }
  void PlayCurrentQuote() override { log_.push_back("play"); }

  std::map<int, int> settings;
  std::string jingleName;
  std::string user;
  int waitDepth = 0;
  bool recording = false;

 private:
  Log& log_;
};

class RecordingRichView : public TvRichTextView {
 public:
  explicit RecordingRichView(Log& log) : log_(log) {}
  void BuildText() override { log_.push_back("rich build"); }
  int ScrollToQuote(unsigned n) override {
    log_.push_back("rich scroll " + std::to_string(n));
    return 0;
  }
  void LoadButtonTexts() override { log_.push_back("rich buttons"); }

 private:
  Log& log_;
};

class RecordingScratchPad : public TvScratchPadView {
 public:
  explicit RecordingScratchPad(Log& log) : log_(log) {}
  void LoadButtonTexts() override { log_.push_back("pad buttons"); }
  void ApplyFormat(bool reload) override { log_.push_back(reload ? "pad format reload" : "pad format"); }

 private:
  Log& log_;
};

class RecordingSoFar : public TvSoFarView {
 public:
  explicit RecordingSoFar(Log& log) : log_(log) {}
  void UpdateButtonStates() override { log_.push_back("sofar states"); }
  void Refresh() override { log_.push_back("sofar refresh"); }
  void LoadButtonTexts() override { log_.push_back("sofar buttons"); }
  int GetMode() const override { return 0; }

 private:
  Log& log_;
};

class RecordingFrame : public TvDocumentFrame {
 public:
  explicit RecordingFrame(Log& log) : log_(log) {}
  void SetQuoteIndex(const std::vector<std::uint32_t>& s, unsigned current, bool fill) override {
    status = s;
    log_.push_back(std::string(fill ? "index fill " : "index update ") + std::to_string(current));
  }
  void SelectQuote(unsigned n) override { log_.push_back("index select " + std::to_string(n)); }
  std::vector<std::uint32_t> status;

 private:
  Log& log_;
};

class RecordingSound : public TvDocumentSound {
 public:
  explicit RecordingSound(Log& log) : log_(log) {}
  bool PlayFile(const std::string& path) override {
    log_.push_back("sound file " + fs::path(path).filename().string());
    return fileWorks;
  }
  bool PlayResource(const std::string& name) override {
    log_.push_back("sound " + name);
    return resourceWorks;
  }
  void Beep() override { log_.push_back("beep"); }
  bool fileWorks = true;
  bool resourceWorks = true;

 private:
  Log& log_;
};

class RecordingDialog : public TvTextDialog {
 public:
  explicit RecordingDialog(Log& log) : log_(log) {}
  void ShowText(const TvTextDialogRequest& r) override {
    shown.push_back(r);
    log_.push_back("dialog " + std::to_string(r.dialogNumber));
  }
  std::vector<TvTextDialogRequest> shown;

 private:
  Log& log_;
};

// The surroundings of one document, wired to one log.
struct Surroundings {
  Log log;
  RecordingHost host{log};
  RecordingRichView rich{log};
  RecordingScratchPad pad{log};
  RecordingSoFar soFar{log};
  RecordingFrame frame{log};
  RecordingSound sound{log};
  RecordingDialog dialog{log};

  TvDocumentServices services() { return {&host, &sound, &dialog, 0}; }
  void attach(COrv_TvDocument& doc) {
    doc.AddView(&rich);
    doc.AddView(&pad);
    doc.AddView(&soFar);
    doc.SetSplitterFrame(&frame);
  }
  // What was logged since the last call.
  Log take() {
    Log out;
    out.swap(log);
    return out;
  }
};

// Writes the book into the sandbox and installs it as the installer would
// leave it (information file, index entry); answers the content file.
inline fs::path installBook(const tvtools::book::Book& book, const std::string& file = "book.tvb") {
  const fs::path content = booktest::writeBook(book, file);
  COrv_Talvane filled;
  filled.SetSourceFile(content.string(), -1);
  EXPECT_EQ(filled.Open(book.code, COrv_Talvane::kOpenFilled), 1);
  EXPECT_EQ(filled.WriteBookInfo(), 1);
  return content;
}

// A data path of the test's own and a recording message box.
class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(orv::COrv_Environment().CreateDataPath()); }

  plat::ui::RecordingSink boxes;
  plat::ui::ScopedSink scopedBoxes{boxes};
  Surroundings around;
};

}  // namespace doctest
