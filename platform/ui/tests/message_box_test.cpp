#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

#include "platform/testing/test_env.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "platform/ui/test_mode.h"

using namespace plat::ui;

namespace {

struct FlagCase {
  uint32_t flags;
  Buttons buttons;
  Icon icon;
  int defaultButton;
  int defaultAnswer;
  Modality modality;
  bool help;
  bool topMost;
  bool roundTrips;  // flags() gives the same word back
};

TEST(MessageBoxFlags, DecodeTable) {
  const FlagCase cases[] = {
      {MB_OK, Buttons::Ok, Icon::None, 0, IDOK, Modality::Application, false, false, true},
      {MB_YESNO | MB_ICONQUESTION, Buttons::YesNo, Icon::Question, 0, IDYES, Modality::Application, false,
       false, true},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2 | MB_TASKMODAL | MB_ICONHAND, Buttons::AbortRetryIgnore, Icon::Error,
       1, IDRETRY, Modality::Task, false, false, true},
      {MB_OKCANCEL | MB_ICONEXCLAMATION, Buttons::OkCancel, Icon::Warning, 0, IDOK, Modality::Application, false,
       false, true},
      {MB_ICONSTOP | MB_TASKMODAL | MB_TOPMOST, Buttons::Ok, Icon::Error, 0, IDOK, Modality::Task, false, true,
       true},
      {MB_ICONHAND | MB_TASKMODAL | MB_HELP, Buttons::Ok, Icon::Error, 0, IDOK, Modality::Task, true, false, true},
      {MB_YESNOCANCEL | MB_DEFBUTTON3 | MB_ICONINFORMATION | MB_SYSTEMMODAL, Buttons::YesNoCancel,
       Icon::Information, 2, IDCANCEL, Modality::System, false, false, true},
      {MB_RETRYCANCEL | MB_DEFBUTTON2, Buttons::RetryCancel, Icon::None, 1, IDCANCEL, Modality::Application,
       false, false, true},
      // A default button past the last one is the first; unknown codes give
      // OK and no icon.
      {MB_YESNO | MB_DEFBUTTON3, Buttons::YesNo, Icon::None, 0, IDYES, Modality::Application, false, false,
       false},
      {0x7 | 0x50, Buttons::Ok, Icon::None, 0, IDOK, Modality::Application, false, false, false},
  };
  for (const FlagCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags);
    const MessageBoxRequest r = MessageBoxRequest::fromFlags("text", "caption", c.flags);
    EXPECT_EQ(r.text, "text");
    EXPECT_EQ(r.caption, "caption");
    EXPECT_EQ(r.buttons, c.buttons);
    EXPECT_EQ(r.icon, c.icon);
    EXPECT_EQ(r.defaultButton, c.defaultButton);
    EXPECT_EQ(r.defaultAnswer(), c.defaultAnswer);
    EXPECT_EQ(r.modality, c.modality);
    EXPECT_EQ(r.helpButton, c.help);
    EXPECT_EQ(r.topMost, c.topMost);
    if (c.roundTrips) {
      EXPECT_EQ(r.flags(), c.flags);
    }
    // flags() carries everything that was decoded.
    EXPECT_EQ(MessageBoxRequest::fromFlags("text", "caption", r.flags()), r);
  }
}

TEST(MessageBoxFlags, AnswersOfEachButtonSet) {
  const std::pair<uint32_t, std::vector<int>> cases[] = {
      {MB_OK, {IDOK}},
      {MB_OKCANCEL, {IDOK, IDCANCEL}},
      {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
      {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
      {MB_YESNO, {IDYES, IDNO}},
      {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}},
  };
  for (const auto& [flags, answers] : cases) {
    const MessageBoxRequest r = MessageBoxRequest::fromFlags("", "", flags);
    EXPECT_EQ(r.answers(), answers) << flags;
    EXPECT_FALSE(r.accepts(0));
    for (int a = IDOK; a <= IDNO; ++a)
      EXPECT_EQ(r.accepts(a), std::find(answers.begin(), answers.end(), a) != answers.end()) << flags << " " << a;
  }
  // The Win32 answer values themselves.
  EXPECT_EQ((std::vector<int>{IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}),
            (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
}

TEST(MessageBoxNames, AnswerNamesParseBack) {
  for (int a = 0; a <= IDNO; ++a) EXPECT_EQ(answerFromName(answerName(a)), a);
  EXPECT_EQ(answerFromName("IDYES"), IDYES);
  EXPECT_EQ(answerFromName("Cancel"), IDCANCEL);
  EXPECT_EQ(answerFromName("4"), IDRETRY);
  EXPECT_EQ(answerFromName("8"), -1);
  EXPECT_EQ(answerFromName("id"), -1);
  EXPECT_EQ(answerFromName("maybe"), -1);
}

TEST(RecordingSink, CapturesEveryBoxAndAnswersFromItsScript) {
  RecordingSink sink({IDNO, IDRETRY});
  ScopedSink scope(sink);

  EXPECT_EQ(MessageBox("Echomark no.3 was playing.\nWould you like to load it now ?",
                       "Talvane Player: Warning Window", MB_YESNO | MB_ICONQUESTION),
            IDNO);
  EXPECT_EQ(MessageBox("Out of memory.", "", MB_ABORTRETRYIGNORE | MB_DEFBUTTON2 | MB_ICONHAND), IDRETRY);
  // Script exhausted: the default button, as Enter would.
  EXPECT_EQ(MessageBox("third", "c", MB_YESNOCANCEL | MB_DEFBUTTON2), IDNO);
  sink.setDefaultAnswer(IDCANCEL);
  EXPECT_EQ(MessageBox("fourth", "c", MB_OKCANCEL), IDCANCEL);

  const std::vector<RecordedBox> boxes = sink.boxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].request.caption, "Talvane Player: Warning Window");
  EXPECT_EQ(boxes[0].request.text, "Echomark no.3 was playing.\nWould you like to load it now ?");
  EXPECT_EQ(boxes[0].request.icon, Icon::Question);
  EXPECT_EQ(boxes[0].request.buttons, Buttons::YesNo);
  EXPECT_EQ(boxes[0].answer, IDNO);
  EXPECT_EQ(boxes[1].request.defaultButton, 1);
  EXPECT_EQ(boxes[1].request.icon, Icon::Error);
  EXPECT_EQ(boxes[2].answer, IDNO);
  EXPECT_EQ(sink.last().request.text, "fourth");
  EXPECT_EQ(sink.mismatches(), 0);
}

TEST(RecordingSink, CountsScriptedAnswersTheBoxCannotGive) {
  RecordingSink sink({IDYES, 0});
  ScopedSink scope(sink);
  EXPECT_EQ(MessageBox("t", "c", MB_OK), IDYES);  // given as scripted
  EXPECT_EQ(MessageBox("t", "c", MB_OK), 0);      // "could not be shown" is no mismatch
  EXPECT_EQ(sink.mismatches(), 1);
}

TEST(RecordingSink, ScopesNestAndRestore) {
  RecordingSink outer, inner;
  {
    ScopedSink a(outer);
    MessageBox("one", "", MB_OK);
    {
      ScopedSink b(inner);
      MessageBox("two", "", MB_OK);
      MessageBeep(MB_ICONEXCLAMATION);
    }
    MessageBox("three", "", MB_OK);
    MessageBeep(MB_SIMPLEBEEP);
  }
  ASSERT_EQ(outer.boxes().size(), 2u);
  EXPECT_EQ(outer.boxes()[1].request.text, "three");
  ASSERT_EQ(inner.boxes().size(), 1u);
  EXPECT_EQ(inner.beeps(), std::vector<uint32_t>{MB_ICONEXCLAMATION});
  EXPECT_EQ(outer.beeps(), std::vector<uint32_t>{MB_SIMPLEBEEP});
}

TEST(RecordingSink, ApplicationBoxCarriesCaptionAndHelpContext) {
  RecordingSink sink;
  ScopedSink scope(sink);
  setApplicationCaption("Orvex");
  EXPECT_EQ(AppMessageBox("Error Code:  12.3\n\nCan't open file !", MB_ICONHAND | MB_TASKMODAL, 0x20123), IDOK);
  AppMessageBox("plain", MB_ICONEXCLAMATION);
  setApplicationCaption("");

  const auto boxes = sink.boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_TRUE(boxes[0].request.applicationBox);
  EXPECT_EQ(boxes[0].request.caption, "Orvex");
  EXPECT_EQ(boxes[0].request.helpContext, 0x20123u);
  EXPECT_TRUE(boxes[0].request.helpButton);
  EXPECT_EQ(boxes[1].request.helpContext, 0u);
  EXPECT_FALSE(boxes[1].request.helpButton);
  EXPECT_EQ(boxes[1].request.icon, Icon::Warning);
}

TEST(HelpHandler, ReceivesTheContext) {
  std::vector<uint32_t> seen;
  invokeHelp(5);  // no handler: nothing happens
  setHelpHandler([&](uint32_t ctx) { seen.push_back(ctx); });
  invokeHelp(77);
  setHelpHandler(nullptr);
  invokeHelp(78);
  EXPECT_EQ(seen, std::vector<uint32_t>{77});
}

TEST(DefaultSink, WithoutWidgetsABoxAnswersZero) {
  ::unsetenv(kTestModeVariable);
  EXPECT_EQ(MessageBox("nobody can answer this", "c", MB_YESNO), 0);
  EXPECT_TRUE(MessageBeep(MB_OK));
}

TEST(TestMode, ScriptParsing) {
  EXPECT_EQ(parseAnswerScript("yes\r\n# a comment\n\n  IDNO \n6\nmaybe\nCancel"),
            (std::vector<int>{IDYES, IDNO, IDYES, IDCANCEL}));
  EXPECT_TRUE(parseAnswerScript("").empty());
}

TEST(TestMode, OffWithoutTheVariable) {
  ::unsetenv(kTestModeVariable);
  EXPECT_FALSE(testMode());
  EXPECT_EQ(createTestModeSink(), nullptr);
  ::setenv(kTestModeVariable, "", 1);
  EXPECT_FALSE(testMode());
  ::setenv(kTestModeVariable, "virtual", 1);
  EXPECT_TRUE(testMode());
  EXPECT_EQ(testModeValue(), "virtual");
}

TEST(TestMode, SinkAnswersFromTheFileAndLogsWhatItShowed) {
  const auto& sb = tvtest::sandbox();
  tvtest::writeFile(sb.tmp / "answers.txt", "no\nretry\n");
  ::setenv(kTestModeVariable, "virtual", 1);
  ::setenv(kTestAnswersVariable, (sb.tmp / "answers.txt").c_str(), 1);
  ::setenv(kTestLogVariable, (sb.tmp / "boxes.log").c_str(), 1);

  std::unique_ptr<MessageSink> sink = createTestModeSink();
  ASSERT_NE(sink, nullptr);
  EXPECT_EQ(sink->show(MessageBoxRequest::fromFlags("The Talvane\n\n'A\tB \\ C'\n\nis about to be removed.",
                                                    "Remove", MB_YESNO | MB_ICONQUESTION)),
            IDNO);
  sink->beep(MB_SIMPLEBEEP);
  MessageBoxRequest help = MessageBoxRequest::fromFlags("x", "y", MB_RETRYCANCEL | MB_ICONHAND | MB_DEFBUTTON2);
  help.helpContext = 4242;
  EXPECT_EQ(sink->show(help), IDRETRY);
  // Script used up: default button.
  EXPECT_EQ(sink->show(MessageBoxRequest::fromFlags("z", "", MB_OKCANCEL | MB_DEFBUTTON2)), IDCANCEL);

  const std::vector<LoggedEvent> log = parseTestLog(tvtest::readFile(sb.tmp / "boxes.log"));
  ASSERT_EQ(log.size(), 4u);
  EXPECT_FALSE(log[0].isBeep);
  EXPECT_EQ(log[0].caption, "Remove");
  EXPECT_EQ(log[0].text, "The Talvane\n\n'A\tB \\ C'\n\nis about to be removed.");
  EXPECT_EQ(log[0].icon, "question");
  EXPECT_EQ(log[0].buttons, "yesno");
  EXPECT_EQ(log[0].answer, IDNO);
  EXPECT_TRUE(log[1].isBeep);
  EXPECT_EQ(log[1].beepType, MB_SIMPLEBEEP);
  EXPECT_EQ(log[2].icon, "error");
  EXPECT_EQ(log[2].buttons, "retrycancel");
  EXPECT_EQ(log[2].defaultButton, 1);
  EXPECT_EQ(log[2].helpContext, 4242u);
  EXPECT_EQ(log[3].answer, IDCANCEL);
}

TEST(TestMode, MissingScriptAnswersDefaultButtons) {
  ::setenv(kTestModeVariable, "1", 1);
  ::setenv(kTestAnswersVariable, (tvtest::sandbox().tmp / "absent.txt").c_str(), 1);
  ::unsetenv(kTestLogVariable);
  std::unique_ptr<MessageSink> sink = createTestModeSink();
  ASSERT_NE(sink, nullptr);
  EXPECT_EQ(sink->show(MessageBoxRequest::fromFlags("q", "", MB_YESNO | MB_DEFBUTTON2)), IDNO);
}

TEST(TestMode, LogReaderSkipsDamagedLines) {
  const std::string good = formatLogLine(MessageBoxRequest::fromFlags("t", "c", MB_OK), IDOK);
  const std::string text = "box\tonly\tthree\n" + good + "beep\tloud\nbox\tc\tt\tnone\tok\t9\t0\tok\n" +
                           formatBeepLine(MB_ICONASTERISK) + "garbage";
  const auto events = parseTestLog(text);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].text, "t");
  EXPECT_TRUE(events[1].isBeep);
  EXPECT_EQ(events[1].beepType, MB_ICONASTERISK);
}

// The process-wide default in a program started in test mode is the
// scripted sink.
TEST(TestModeDeathTest, CurrentSinkOfAProgramInTestModeIsScripted) {
  const auto answers = tvtest::sandbox().tmp / "script.txt";
  tvtest::writeFile(answers, "ignore\n");
  EXPECT_EXIT(
      {
        ::setenv(kTestModeVariable, "virtual", 1);
        ::setenv(kTestAnswersVariable, answers.c_str(), 1);
        std::_Exit(MessageBox("Out of memory.", "", MB_ABORTRETRYIGNORE));
      },
      testing::ExitedWithCode(IDIGNORE), "");
}

}  // namespace
