#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <vector>

#include "platform/testing/box_driver.h"
#include "platform/ui/message_box.h"
#include "platform/ui/qt_message_box.h"
#include "platform/ui/recording_sink.h"
#include "platform/ui/test_mode.h"

using namespace plat::ui;

namespace {

using tvtest::BoxDriver;
using tvtest::pressButton;

struct QtCase {
  uint32_t flags;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton;
  QMessageBox::StandardButton press;
  int answer;
};

TEST(QtMessageSink, ShowsCaptionTextIconAndButtonsAndAnswersThePressedOne) {
  const QtCase cases[] = {
      {MB_OK | MB_ICONHAND, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok, IDOK},
      {MB_OKCANCEL | MB_ICONASTERISK, QMessageBox::Information, QMessageBox::Ok | QMessageBox::Cancel,
       QMessageBox::Ok, QMessageBox::Cancel, IDCANCEL},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2 | MB_TASKMODAL | MB_ICONHAND, QMessageBox::Critical,
       QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QMessageBox::Retry, QMessageBox::Ignore,
       IDIGNORE},
      {MB_YESNOCANCEL | MB_DEFBUTTON3 | MB_ICONEXCLAMATION, QMessageBox::Warning,
       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel, QMessageBox::No, IDNO},
      {MB_YESNO | MB_ICONQUESTION, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
       QMessageBox::Yes, IDYES},
      {MB_RETRYCANCEL | MB_TOPMOST, QMessageBox::NoIcon, QMessageBox::Retry | QMessageBox::Cancel,
       QMessageBox::Retry, QMessageBox::Retry, IDRETRY},
  };
  QtMessageSink sink;
  for (const QtCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags);
    bool checked = false;
    BoxDriver driver({[&](QMessageBox& box) {
      EXPECT_EQ(box.windowTitle(), QString::fromUtf8("Talvane Player: Error Window"));
      EXPECT_EQ(box.text(), QString::fromUtf8("Error Code:  12.3\n\nCan't open file ! \n\n /tmp/Überall.wav"));
      EXPECT_EQ(box.icon(), c.icon);
      EXPECT_EQ(box.standardButtons(), c.buttons);
      ASSERT_NE(box.defaultButton(), nullptr);
      EXPECT_EQ(box.standardButton(box.defaultButton()), c.defaultButton);
      EXPECT_EQ(box.windowFlags().testFlag(Qt::WindowStaysOnTopHint), (c.flags & MB_TOPMOST) != 0);
      checked = true;
      pressButton(c.press)(box);
    }});
    EXPECT_EQ(sink.show(MessageBoxRequest::fromFlags("Error Code:  12.3\n\nCan't open file ! \n\n /tmp/Überall.wav",
                                                     "Talvane Player: Error Window", c.flags)),
              c.answer);
    EXPECT_TRUE(checked);
  }
}

TEST(QtMessageSink, HelpOpensTheContextAndKeepsTheQuestionOpen) {
  std::vector<uint32_t> helped;
  setHelpHandler([&](uint32_t ctx) { helped.push_back(ctx); });
  QtMessageSink sink;
  MessageBoxRequest r = MessageBoxRequest::fromFlags("text", "caption", MB_OK | MB_ICONHAND | MB_HELP);
  r.helpContext = 0x10042;
  BoxDriver driver({pressButton(QMessageBox::Help), pressButton(QMessageBox::Help), pressButton(QMessageBox::Ok)});
  EXPECT_EQ(sink.show(r), IDOK);
  EXPECT_EQ(driver.done(), 3u);
  EXPECT_EQ(helped, (std::vector<uint32_t>{0x10042, 0x10042}));
  setHelpHandler(nullptr);
}

// Every box kind against Escape, a close request and Return, through the
// real box and through the recording sink tests script: both give the same
// answer, and a box that ignores the gesture stays open (answer 0 here).
struct GestureCase {
  uint32_t flags;
  int escape, close, enter;
};
const GestureCase kGestureCases[] = {
    {MB_YESNO | MB_ICONQUESTION, 0, 0, IDYES},
    {MB_YESNO | MB_DEFBUTTON2, 0, 0, IDNO},
    {MB_YESNOCANCEL | MB_ICONEXCLAMATION, IDCANCEL, IDCANCEL, IDYES},
    {MB_OKCANCEL, IDCANCEL, IDCANCEL, IDOK},
    {MB_OK | MB_ICONHAND, IDOK, IDOK, IDOK},
    {MB_RETRYCANCEL | MB_ICONEXCLAMATION, IDCANCEL, IDCANCEL, IDRETRY},
    {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2 | MB_ICONHAND, 0, 0, IDRETRY},
};

QMessageBox::StandardButton qtButton(int answer) {
  switch (answer) {
    case IDOK: return QMessageBox::Ok;
    case IDCANCEL: return QMessageBox::Cancel;
    case IDABORT: return QMessageBox::Abort;
    case IDRETRY: return QMessageBox::Retry;
    case IDIGNORE: return QMessageBox::Ignore;
    case IDYES: return QMessageBox::Yes;
    case IDNO: return QMessageBox::No;
  }
  return QMessageBox::NoButton;
}

void doGesture(QMessageBox& box, int gesture) {
  switch (gesture) {
    case kGestureEscape: QTest::keyClick(&box, Qt::Key_Escape); break;
    case kGestureReturn: QTest::keyClick(&box, Qt::Key_Return); break;
    case kGestureClose: box.windowHandle()->close(); break;  // as the window manager asks
  }
}

TEST(MessageBoxGestures, RealBoxAndScriptedSinkAnswerAlike) {
  QtMessageSink real;
  for (const GestureCase& c : kGestureCases) {
    const MessageBoxRequest r = MessageBoxRequest::fromFlags("Please confirm your choice.", "c", c.flags);
    // The button the test presses when the box rightly stayed open.
    const int rescue = r.answers().back();
    const std::pair<int, int> gestures[] = {
        {kGestureEscape, c.escape}, {kGestureClose, c.close}, {kGestureReturn, c.enter}};
    for (const auto& [gesture, expected] : gestures) {
      SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags << " " << answerName(gesture));
      const int final = expected != 0 ? expected : rescue;

      bool stayedOpen = false;
      std::vector<std::function<void(QMessageBox&)>> steps{[g = gesture](QMessageBox& box) { doGesture(box, g); }};
      if (expected == 0)
        steps.push_back([&](QMessageBox& box) {
          stayedOpen = box.isVisible();
          pressButton(qtButton(rescue))(box);
        });
      BoxDriver driver(steps);
      EXPECT_EQ(real.show(r), final);
      EXPECT_EQ(driver.done(), steps.size());
      EXPECT_EQ(stayedOpen, expected == 0);

      RecordingSink seam({gesture});
      EXPECT_EQ(seam.show(r), expected);
      EXPECT_EQ(seam.leftOpen(), expected == 0 ? 1 : 0);
      seam.setScript({gesture, rescue});
      EXPECT_EQ(seam.show(r), final);
    }
    // Each button answers itself, in both.
    for (int answer : r.answers()) {
      BoxDriver driver({pressButton(qtButton(answer))});
      EXPECT_EQ(real.show(r), answer);
      RecordingSink seam({answer});
      EXPECT_EQ(seam.show(r), answer);
    }
  }
}

TEST(MessageBoxGestures, ScriptNamesAndTheDefaultAnswer) {
  EXPECT_EQ(parseAnswerScript("escape\nClose\nRETURN\nyes\n"),
            (std::vector<int>{kGestureEscape, kGestureClose, kGestureReturn, IDYES}));
  // A gesture as the answer once the script is spent: a Yes/No box stays
  // open (0), a Yes/No/Cancel box is cancelled.
  RecordingSink seam;
  seam.setDefaultAnswer(kGestureEscape);
  EXPECT_EQ(seam.show(MessageBoxRequest::fromFlags("t", "c", MB_YESNO)), 0);
  EXPECT_EQ(seam.show(MessageBoxRequest::fromFlags("t", "c", MB_YESNOCANCEL)), IDCANCEL);
  EXPECT_EQ(seam.leftOpen(), 1);
  EXPECT_EQ(seam.mismatches(), 0);
}

TEST(QtMessageSink, TextIsShownAsPlainText) {
  QtMessageSink sink;
  BoxDriver driver({[](QMessageBox& box) {
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    box.button(QMessageBox::Ok)->click();
  }});
  EXPECT_EQ(sink.show(MessageBoxRequest::fromFlags("<b>not bold</b>", "c", MB_OK)), IDOK);
}

// The application's boxes belong to the program's active window; when none
// of its windows is active (a program driven by another one) they belong to
// the application window. A box stays on top when its owner does, so that it
// is never hidden under it. Boxes of no owner stay free.
TEST(QtMessageSink, ApplicationBoxesBelongToTheActiveOrTheApplicationWindow) {
  enum class Owner { None, Active, Application };
  struct Case {
    const char* what;
    bool applicationBox;
    bool activeWindow;
    bool applicationWindow;
    Owner owner;
    bool onTop;
  } cases[] = {
      {"the active window's", true, true, true, Owner::Active, false},
      {"no active window: the application window's", true, false, true, Owner::Application, true},
      {"neither", true, false, false, Owner::None, false},
      {"a box of no owner", false, true, true, Owner::None, false},
  };
  QWidget active;
  active.setWindowTitle("active");
  QWidget onTop;
  onTop.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  active.show();
  onTop.show();
  QtMessageSink sink;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    setApplicationWindow(c.applicationWindow ? &onTop : nullptr);
    QApplication::setActiveWindow(c.activeWindow ? &active : nullptr);
    ASSERT_EQ(QApplication::activeWindow(), c.activeWindow ? &active : nullptr);
    const QWidget* expected = c.owner == Owner::Active ? &active : c.owner == Owner::Application ? &onTop : nullptr;
    bool checked = false;
    BoxDriver driver({[&](QMessageBox& box) {
      EXPECT_EQ(box.parentWidget(), expected);
      EXPECT_EQ(box.windowFlags().testFlag(Qt::WindowStaysOnTopHint), c.onTop);
      EXPECT_EQ(box.windowModality(), expected != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
      checked = true;
      QTest::keyClick(&box, Qt::Key_Escape);
    }});
    MessageBoxRequest request = MessageBoxRequest::fromFlags("t", "c", MB_OK);
    request.applicationBox = c.applicationBox;
    EXPECT_EQ(sink.show(request), IDOK);
    EXPECT_TRUE(checked);
  }
  setApplicationWindow(nullptr);
  // A window that goes away takes its place as owner with it.
  {
    QWidget gone;
    setApplicationWindow(&gone);
  }
  EXPECT_EQ(applicationWindow(), nullptr);
}

TEST(QtMessageSink, BeepAndUsability) {
  QtMessageSink().beep(MB_ICONEXCLAMATION);  // plays or does nothing, never fails
  // Nobody can answer a box on the offscreen platform, so the default sink
  // does not pick this one there.
  EXPECT_FALSE(qtBoxesUsable());
}

}  // namespace
