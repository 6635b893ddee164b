// The frame's own book windows: a book opens as a document in an MDI child,
// is the active document, and closes (keeping the learner's progress) when
// another book takes its place, when its window closes and with the frame.
#include "player/shell/tv_document_windows.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QMdiSubWindow>

#include "platform/testing/test_env.h"
#include "player/book/tests/document_fixture.h"
#include "player/env/users.h"
#include "player/shell/main_frame.h"

namespace {

namespace fs = std::filesystem;
using namespace tvtools::book;

Book twoEchomarks() {
  Book b;
  b.code = "DEMO";
  b.title = "Demo book";
  for (const char* text : {"the first one.", "the second one."}) {
    Echomark e;
    e.wordText = text;
    e.normalWav = makeWav(100, {});
    b.echomarks.push_back(e);
  }
  return b;
}

FrameServices quietFrame() {
  FrameServices s;
  s.screen = [] { return QRect(0, 0, 1024, 768); };
  s.createDdeServer = [] { return true; };
  return s;
}

std::string lastQuote() {
  orv::COrv_Users users;
  users.SetCurrentUser("");
  return std::to_string(users.ReadLastQuote("DEMO"));
}

class BookWindows : public doctest::DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    doctest::installBook(twoEchomarks());
  }
};

TEST_F(BookWindows, OpenReplaceAndClose) {
  auto frame = std::make_unique<CMainFrame>(quietFrame());
  ASSERT_TRUE(frame->OnCreate());
  const int32_t save = 1;
  frame->ApplySetting(COrv_TvDocument::kSetSaveTvStatus, &save);
  EXPECT_FALSE(frame->HasActiveTvDocument());

  ASSERT_TRUE(frame->OpenTalvane("demo"));
  COrv_TvDocument* doc = frame->GetActiveTvDocument();
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->GetBookCode(), "DEMO");
  ASSERT_EQ(frame->Client()->subWindowList().size(), 1);
  EXPECT_EQ(frame->Client()->subWindowList()[0]->windowTitle(), "Demo book");
  ASSERT_TRUE(doc->GoToQuote(2, false, true));
  // The window follows the move.
  const auto* label = frame->Client()->subWindowList()[0]->findChild<QLabel*>();
  ASSERT_NE(label, nullptr);
  EXPECT_TRUE(label->text().contains("the second one.")) << label->text().toStdString();

  // A book that cannot be opened leaves the one before closed, its
  // progress kept.
  EXPECT_FALSE(frame->OpenTalvane("nobook"));
  EXPECT_FALSE(frame->HasActiveTvDocument());
  EXPECT_EQ(lastQuote(), "2");
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(frame->Client()->subWindowList().isEmpty());

  // Closing the window closes its document.
  ASSERT_TRUE(frame->OpenTalvane("DEMO"));
  ASSERT_TRUE(frame->GetActiveTvDocument()->GoToQuote(1, false, true));
  frame->Client()->subWindowList()[0]->close();
  EXPECT_FALSE(frame->HasActiveTvDocument());
  EXPECT_EQ(lastQuote(), "1");

  // So does the frame's end.
  ASSERT_TRUE(frame->OpenTalvane("DEMO"));
  ASSERT_TRUE(frame->GetActiveTvDocument()->GoToQuote(2, false, true));
  frame.reset();
  EXPECT_EQ(lastQuote(), "2");
}

TEST(DocumentTextDialog, MarkupAndFormat) {
  TvTextDialogRequest r;
  r.format.chars.colour = COrv_CharFormat::Rgb(0, 0, 255);
  r.format.chars.effects = COrv_CharFormat::kEffectItalic;
  r.text = "a [red] and <green> & [unclosed\nline";
  r.markup = true;
  const QString html = DocumentTextDialog::ToHtml(r);
  EXPECT_TRUE(html.contains("color:#0000ff")) << html.toStdString();
  EXPECT_TRUE(html.contains("font-style:italic"));
  EXPECT_TRUE(html.contains("<b style=\"color:#ff0000\">red</b>")) << html.toStdString();
  EXPECT_TRUE(html.contains("<b style=\"color:#008000\">green</b>"));
  EXPECT_TRUE(html.contains("&amp; [unclosed<br>line"));
  r.markup = false;
  const QString plain = DocumentTextDialog::ToHtml(r);
  EXPECT_TRUE(plain.contains("a [red] and &lt;green&gt;")) << plain.toStdString();
}

}  // namespace
