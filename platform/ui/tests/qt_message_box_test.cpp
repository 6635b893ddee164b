#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <vector>

#include "platform/ui/message_box.h"
#include "platform/ui/qt_message_box.h"

using namespace plat::ui;

namespace {

// Runs `steps` one by one, each on the box that is up at that moment: a
// timer polls for the visible modal QMessageBox, so a step that closes the
// box lets the next one wait for the box to come back.
class BoxDriver {
 public:
  explicit BoxDriver(std::vector<std::function<void(QMessageBox&)>> steps) : steps_(std::move(steps)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(5);
  }
  size_t done() const { return next_; }

 private:
  void poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || next_ >= steps_.size()) return;
    steps_[next_++](*box);
  }
  std::vector<std::function<void(QMessageBox&)>> steps_;
  size_t next_ = 0;
  QTimer timer_;
};

std::function<void(QMessageBox&)> click(QMessageBox::StandardButton b) {
  return [b](QMessageBox& box) {
    ASSERT_NE(box.button(b), nullptr);
    box.button(b)->click();
  };
}

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
      click(c.press)(box);
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
  BoxDriver driver({click(QMessageBox::Help), click(QMessageBox::Help), click(QMessageBox::Ok)});
  EXPECT_EQ(sink.show(r), IDOK);
  EXPECT_EQ(driver.done(), 3u);
  EXPECT_EQ(helped, (std::vector<uint32_t>{0x10042, 0x10042}));
  setHelpHandler(nullptr);
}

TEST(QtMessageSink, ClosingWithoutAButton) {
  // Cancel where the box has one; a box of OK alone answers OK.
  const std::pair<uint32_t, int> cases[] = {{MB_YESNOCANCEL, IDCANCEL}, {MB_OK, IDOK}, {MB_RETRYCANCEL, IDCANCEL}};
  QtMessageSink sink;
  for (const auto& [flags, answer] : cases) {
    BoxDriver driver({[](QMessageBox& box) { box.reject(); }});
    EXPECT_EQ(sink.show(MessageBoxRequest::fromFlags("t", "c", flags)), answer) << flags;
  }
}

TEST(QtMessageSink, TextIsShownAsPlainText) {
  QtMessageSink sink;
  BoxDriver driver({[](QMessageBox& box) {
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    box.button(QMessageBox::Ok)->click();
  }});
  EXPECT_EQ(sink.show(MessageBoxRequest::fromFlags("<b>not bold</b>", "c", MB_OK)), IDOK);
}

TEST(QtMessageSink, BeepAndUsability) {
  QtMessageSink().beep(MB_ICONEXCLAMATION);  // plays or does nothing, never fails
  // Nobody can answer a box on the offscreen platform, so the default sink
  // does not pick this one there.
  EXPECT_FALSE(qtBoxesUsable());
}

}  // namespace
