// A learner's whole session with the demo course, played on the real
// programs: orvex and brindle run on a private X server and a private
// sound server and are driven only by real key presses and mouse clicks
// (xdotool). What the learner sees is read back from the screen through
// the player's test probe, window names and screenshots; what the learner
// hears is recorded from the sound server's monitor.
//
// Every step leaves a screenshot in the build folder (e2e-shots/).

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QProcessEnvironment>
#include <QThread>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/testing/child_process.h"
#include "platform/testing/test_env.h"
#include "player/book/tv_document.h"
#include "player/env/environment.h"
#include "player/env/users.h"
#include "tools/demo/tests/e2e/desktop.h"
#include "tools/demo/tests/e2e/player_screen.h"
#include "tools/demo/tests/e2e/sound.h"

namespace {

namespace fs = std::filesystem;
using e2e::PlayerScreen;
using e2e::Shown;

constexpr const char* kMainTitle = "Talvane Player - [Ein Morgen in Berlin]";
constexpr const char* kUser = "Lena";
constexpr const char* kPassword = "pw1";
constexpr int kPlayWaitSetting = 16;
// Loudness (RMS of 16-bit samples) above which a frame is heard, and below
// which the monitor is silent.
constexpr double kHeard = 300.0;
constexpr double kSilent = 60.0;
constexpr double kToneHz = 660.0;
// The face of a pressed panel button, and where the audio panel puts its
// Play, Record and recording Play buttons (a point of each button's face
// beside its picture, from the book window's top-left corner).
constexpr unsigned kPressedFace = 0x8A5A20;
const QPoint kPlayButton(17, 100);
const QPoint kRecordButton(17, 359);
const QPoint kRecordingPlayButton(17, 390);
// The centre of the audio panel's speed button.
const QPoint kSpeedButton(27, 201);

void pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QCoreApplication::processEvents();
    QThread::msleep(10);
  }
}

// The text control of the so-far pane: the one just below the pane's
// "Dictionary mode" button.
std::optional<Shown> soFarPane(const std::vector<Shown>& shown) {
  const auto button = PlayerScreen::find(shown, "button", kMainTitle, "Dictionary mode");
  if (!button) return std::nullopt;
  std::optional<Shown> pane;
  for (const Shown& s : shown)
    if (s.kind == "text" && s.window == kMainTitle && s.x <= button->x && button->x < s.x + s.w && s.y > button->y &&
        (!pane || s.y < pane->y))
      pane = s;
  return pane;
}

// The book text pane: the text control that holds the introductions.
QString bookText(const std::vector<Shown>& shown) {
  for (const Shown& s : shown)
    if (s.kind == "text" && s.window == kMainTitle && s.text.startsWith("Prolog:")) return s.text;
  return {};
}

// The scratch pad: the lowest text control of the book window.
std::optional<Shown> scratchPad(const std::vector<Shown>& shown) {
  std::optional<Shown> pad;
  for (const Shown& s : shown)
    if (s.kind == "text" && s.window == kMainTitle && (!pad || s.y > pad->y)) pad = s;
  return pad;
}

QString soFarText(const std::vector<Shown>& shown) {
  const auto pane = soFarPane(shown);
  return pane ? pane->text : QString();
}

// An Echomark's text as the so-far pane shows it before any word is found.
QString hidden(const QString& text) {
  QString out = text;
  for (QChar& c : out)
    if (c.isLetter()) c = QChar(0x2022);
  return out;
}

// The texts of a window's labels (the status bar's panes among them).
QStringList labelsOf(const std::vector<Shown>& shown, const QString& window) {
  QStringList out;
  for (const Shown& s : shown)
    if (s.kind == "label" && s.window == window && !s.text.trimmed().isEmpty()) out << s.text.trimmed();
  return out;
}

// The status bar shows Echomark `n` of 12.
bool showsEchomark(const std::vector<Shown>& shown, int n) {
  const QStringList labels = labelsOf(shown, kMainTitle);
  return labels.contains(QString::number(n)) && labels.contains("12");
}

// A dialog over the book window that shows a text: an introduction, a
// comment, a dictionary entry.
bool isTextDialog(const Shown& w) { return w.kind == "window" && w.extra == "QDialog" && w.window != "Log in"; }

// The last loud frame of an envelope, -1 when none.
long lastLoud(const std::vector<double>& env) {
  for (std::size_t i = env.size(); i > 0; --i)
    if (env[i - 1] > kHeard) return static_cast<long>(i - 1);
  return -1;
}
long firstLoud(const std::vector<double>& env, std::size_t from = 0) {
  for (std::size_t i = from; i < env.size(); ++i)
    if (env[i] > kHeard) return static_cast<long>(i);
  return -1;
}
// Heard something, then `quietMs` of silence after it.
bool heardThenQuiet(const std::vector<double>& env, int quietMs) {
  const long last = lastLoud(env);
  return last >= 0 && static_cast<long>(env.size()) - last > quietMs / e2e::kFrameMs;
}
// The last `ms` recorded are silent.
bool quietFor(const std::vector<double>& env, int ms) {
  const std::size_t n = static_cast<std::size_t>(ms / e2e::kFrameMs);
  if (env.size() < n) return false;
  for (std::size_t i = env.size() - n; i < env.size(); ++i)
    if (env[i] > kSilent) return false;
  return true;
}
// The frames in [from, to) louder than silence: none means silence.
int noisyFrames(const std::vector<double>& env, std::size_t from, std::size_t to) {
  return e2e::loudFrames(env, from, to, kSilent);
}

class LearnerSession : public ::testing::Test {
 protected:
  fs::path shots = fs::path(TV_BUILD_DIR) / "e2e-shots";
  fs::path base = tvtest::sandbox().base;
  fs::path log = base / "screen.log";
  PlayerScreen screen{log};
  e2e::Desktop desktop;
  e2e::NullSink sink;
  fs::path pulse;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  int shotNumber = 0;
  std::unique_ptr<tvtest::ChildProcess> player;

  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool", "pulseaudio", "parecord", "paplay", "import"})
      if (!e2e::installed(tool)) GTEST_SKIP() << tool << " is not installed: the session cannot be played";
    fs::remove_all(shots);
    fs::create_directories(shots);
    std::string why;
    ASSERT_TRUE(desktop.start(&why)) << why;
    // A server of the test's own (not the build folder's shared one), so
    // that no other test's sound is heard; under /tmp, since the sandbox's
    // folders are too deep for a socket's path.
    pulse = fs::path("/tmp") / ("tv-e2e-" + std::to_string(::getpid()));
    const QString server = sink.start(pulse, fs::path(TV_SOURCE_DIR) / "scripts" / "null_sink.sh");
    ASSERT_FALSE(server.isEmpty()) << "no PulseAudio server could be started";
    env.insert("PULSE_SERVER", server);
    env.insert("DISPLAY", desktop.display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("TALVANE_TEST_MODE", "qt");  // the real sound output and input
    env.insert("TALVANE_TEST_LOG", QString::fromStdString(log.string()));
    // The log-in dialog stays until the learner answers it, and the text
    // dialogs are shown.
    env.insert("TALVANE_TEST_LOGIN_RELEASE", QString::fromStdString((base / "never").string()));
    env.insert("TALVANE_TEST_SHOW_DIALOGS", "1");
    // The first session's one question (go to the Echomark that was
    // playing when Stop was pressed?) is answered no.
    {
      std::ofstream answers(base / "answers");
      answers << "no\n";
    }
    env.insert("TALVANE_TEST_ANSWERS", QString::fromStdString((base / "answers").string()));
    qputenv("PULSE_SERVER", server.toUtf8());
#ifdef TV_SANITIZE
    // The system's X11 keyboard library reads its strings past their ends
    // and its connections leak: quirks of the X11 stack the programs run
    // on here, which the strict checks would take for theirs.
    env.insert("ASAN_OPTIONS", "detect_leaks=0:strict_string_checks=0");
#endif
  }

  void TearDown() override {
    sink.stop();
    std::error_code ec;
    if (!pulse.empty()) fs::remove_all(pulse, ec);
  }

  fs::path shot(const std::string& step) {
    char name[64];
    std::snprintf(name, sizeof name, "%02d-%s.png", ++shotNumber, step.c_str());
    EXPECT_TRUE(desktop.screenshot(shots / name)) << name;
    return shots / name;
  }

  // A point of the book window, from its top-left corner.
  QPoint inMainWindow(QPoint offset) {
    const auto window = PlayerScreen::find(screen.probe(player->pid()), "window", kMainTitle);
    return window ? QPoint(window->x, window->y) + offset : offset;
  }

  // Whether the audio panel's button at `button` (its place in the panel,
  // from the book window's corner) is drawn pressed in a screenshot; the
  // buttons are drawn by the panel itself, so only their pixels tell.
  bool drawnPressed(const fs::path& picture, QPoint button) {
    const QPoint at = inMainWindow(button);
    return desktop.pixel(picture, at.x(), at.y()) == kPressedFace;
  }

  // Whether a screenshot shows the wrong-letter colour near a point.
  bool drawnWrong(const fs::path& picture, QPoint at) {
    for (int dy = -7; dy <= 7; ++dy)
      for (int dx = -4; dx <= 4; ++dx) {
        const unsigned c = desktop.pixel(picture, at.x() + dx, at.y() + dy);
        const int r = static_cast<int>(c >> 16 & 0xFF), g = static_cast<int>(c >> 8 & 0xFF),
                  b = static_cast<int>(c & 0xFF);
        if (r > 200 && b > 200 && g < 90) return true;
      }
    return false;
  }

  int runOffscreen(const QStringList& args) { return e2e::runOffscreen(TV_ORVEX, env, args); }

  std::unique_ptr<tvtest::ChildProcess> startPlayer() {
    return std::make_unique<tvtest::ChildProcess>(TV_ORVEX, QStringList{"-tv", "DEMO"}, QProcess::ForwardedChannels,
                                                  env);
  }

  // A picture that holds what `ready` looks for, taken again until it does.
  std::vector<Shown> probeUntil(const std::function<bool(const std::vector<Shown>&)>& ready, int timeoutMs = 10000) {
    return screen.probeUntil(player->pid(), ready, timeoutMs);
  }

  void clickOn(const Shown& s) { desktop.click(s.centre().x(), s.centre().y()); }
  void clickCharacter(const Shown& pane, int index) {
    ASSERT_LT(static_cast<std::size_t>(index), pane.places.size());
    desktop.click(pane.places[static_cast<std::size_t>(index)].x(), pane.places[static_cast<std::size_t>(index)].y());
  }
  // Clicks the so-far pane's mode button with that tooltip.
  void pressPaneButton(const QString& tooltip) {
    const auto shown = screen.probe(player->pid());
    const auto button = PlayerScreen::find(shown, "button", kMainTitle, tooltip);
    ASSERT_TRUE(button) << tooltip.toStdString();
    clickOn(*button);
    const auto after = probeUntil([&](const auto& s) {
      const auto b = PlayerScreen::find(s, "button", kMainTitle, tooltip);
      return b && b->state.contains('c');
    });
    ASSERT_TRUE(PlayerScreen::find(after, "button", kMainTitle, tooltip)->state.contains('c')) << tooltip.toStdString();
  }

  // Presses `keys` on the book window while the monitor records; answers
  // the frame of the press, once a sound has followed it (or 5 s passed).
  std::size_t pressAndHear(e2e::Monitor& monitor, const QString& keys) {
    desktop.focus(kMainTitle);
    const std::size_t pressed = e2e::envelope(monitor.sofar()).size();
    desktop.key(keys);
    monitor.waitUntil([&](const auto& env) { return firstLoud(env, pressed) >= 0; }, 5000);
    return pressed;
  }

  // Opens a menu by `keys` (or a click at `at`) and clicks its entry.
  void choose(const QString& keys, const QString& entry, std::optional<QPoint> at = std::nullopt) {
    if (at)
      desktop.click(at->x(), at->y());
    else
      desktop.key(keys);
    const auto shown = probeUntil([&](const auto& s) { return PlayerScreen::find(s, "menu entry", {}, {}, entry).has_value(); });
    const auto item = PlayerScreen::find(shown, "menu entry", {}, {}, entry);
    ASSERT_TRUE(item) << entry.toStdString() << " is not in the menu";
    EXPECT_NE(item->state, "d") << entry.toStdString() << " is disabled";
    clickOn(*item);
  }

  // The text dialog shown over the book: its title and text, after the
  // learner has read it and closed it with Escape.
  struct TextDialog {
    QString title, text;
  };
  TextDialog readAndCloseTextDialog(const std::string& step) {
    const auto shown = probeUntil([](const auto& s) {
      for (const Shown& w : s)
        if (isTextDialog(w)) return true;
      return false;
    });
    QString title, text;
    for (const Shown& w : shown)
      if (isTextDialog(w)) title = w.window;
    for (const Shown& w : shown)
      if (w.kind == "text" && w.window == title) text = w.text;
    shot(step);
    desktop.focus(title);
    desktop.key("Escape");
    probeUntil([](const auto& s) {
      for (const Shown& w : s)
        if (isTextDialog(w)) return false;
      return true;
    });
    return {title, text};
  }

  // Logs in through the dialog: a new user is created first when `create`.
  void logIn(bool create) {
    ASSERT_TRUE(screen.waitFor("login shown", 30000));
    ASSERT_TRUE(desktop.waitForWindow("Log in"));
    auto shown = screen.probe(player->pid());
    std::vector<Shown> fields;
    for (const Shown& s : shown)
      if (s.kind == "edit" && s.window == "Log in") fields.push_back(s);
    ASSERT_EQ(fields.size(), 4u);
    std::sort(fields.begin(), fields.end(), [](const Shown& a, const Shown& b) { return a.y < b.y; });
    const Shown& password = fields[0];
    if (create) {
      clickOn(fields[1]);
      desktop.type(kUser);
      clickOn(fields[2]);
      desktop.type(kPassword);
      clickOn(fields[3]);
      desktop.type(kPassword);
      shot("new-user-typed");
      const auto button = PlayerScreen::find(shown, "button", "Log in", {}, "&New user");
      ASSERT_TRUE(button);
      clickOn(*button);
      shown = probeUntil([](const auto& s) { return PlayerScreen::find(s, "list entry", "Log in", {}, kUser).has_value(); });
      const auto entry = PlayerScreen::find(shown, "list entry", "Log in", {}, kUser);
      ASSERT_TRUE(entry) << "the new user is not listed";
      EXPECT_EQ(entry->state, "c") << "the new user is not the one selected";
    } else {
      const auto entry = PlayerScreen::find(shown, "list entry", "Log in", {}, kUser);
      ASSERT_TRUE(entry) << "the user of the first session is not listed";
      clickOn(*entry);
    }
    clickOn(password);
    desktop.type(kPassword);
    const auto ok = PlayerScreen::find(shown, "button", "Log in", {}, "OK");
    ASSERT_TRUE(ok);
    shot(create ? "log-in" : "log-in-again");
    clickOn(*ok);
    ASSERT_TRUE(screen.waitFor("login done"));
    EXPECT_FALSE(screen.hasPrefix("box")) << "the log-in was refused";
  }

  // Waits, recording the monitor, until something was heard and then
  // `quietMs` of silence followed.
  e2e::Sound listen(e2e::Monitor& monitor, int quietMs, int timeoutMs = 15000) {
    monitor.waitUntil([&](const std::vector<double>& env) { return heardThenQuiet(env, quietMs); }, timeoutMs);
    return monitor.stop();
  }
};

}  // namespace

TEST_F(LearnerSession, InstallsLogsInListensTypesRecordsAndComesBack) {
  e2e::Sound model;
  ASSERT_TRUE(e2e::readWav(fs::path(TV_DEMO_SPEECH) / "echomark1-1.wav", model));
  const std::vector<double> modelEnv = e2e::envelope(model);
  const std::size_t modelFrames = modelEnv.size();

  // --- The installation: the player beside its program folder, the course
  // from its packet; the administrator shows the log-in dialog (enabling 5)
  // and the repetitions follow each other without a pause.
  ASSERT_EQ(runOffscreen({"-instal"}), 0);
  ASSERT_EQ(runOffscreen({"-load", TV_DEMO_PACKET, "-nostart"}), 0);
  {
    std::ofstream dpl(tvtest::sandbox().configRoot / "machine" / "Qlonwin.dpl", std::ios::app);
    dpl << "[Settings]\nEnablings=111111\n";
  }
  orv::COrv_Environment().SetSettingValue(kPlayWaitSetting, 0);

  // --- Log in as a new user; the book opens on its first Echomark with its
  // introduction.
  player = startPlayer();
  logIn(true);
  ASSERT_TRUE(screen.waitFor("opened DEMO 1/12", 30000));
  ASSERT_TRUE(desktop.waitForWindow(kMainTitle));
  {
    const TextDialog intro = readAndCloseTextDialog("introduction");
    EXPECT_EQ(intro.title, "Introduction");
    EXPECT_EQ(intro.text, "Meet Anna. She lives in the capital of Germany.");
  }
  auto shown = probeUntil([](const auto& s) { return soFarPane(s).has_value(); });
  ASSERT_TRUE(soFarPane(shown));
  EXPECT_EQ(soFarText(shown), "Anna ••••• •• Berlin.");
  // The book text holds the Echomarks not yet found as placeholders.
  EXPECT_TRUE(bookText(shown).contains("Meet Anna. She lives in the capital of Germany.\nQuote 1\n[...]\nQuote 2"))
      << bookText(shown).left(200).toStdString();
  {
    const QStringList labels = labelsOf(shown, kMainTitle);
    EXPECT_TRUE(labels.contains(kUser)) << labels.join('|').toStdString();
    EXPECT_TRUE(showsEchomark(shown, 1)) << labels.join('|').toStdString();
  }
  shot("book-open");

  // --- Play (F8): the Echomark is heard once, with silence before and after.
  // (It has played by itself as the book opened: the start-up setting.)
  ASSERT_TRUE(desktop.focus(kMainTitle));
  {
    e2e::Monitor monitor(base / "play.raw");
    ASSERT_TRUE(monitor.start());
    ASSERT_TRUE(monitor.waitUntil([](const auto& env) { return quietFor(env, 800); }, 15000));
    const std::size_t pressed = pressAndHear(monitor, "F8");
    EXPECT_TRUE(drawnPressed(shot("playing"), kPlayButton)) << "Play is not shown pressed while playing";
    const std::vector<double> heard = e2e::envelope(listen(monitor, 1000));
    EXPECT_FALSE(drawnPressed(shot("played"), kPlayButton)) << "Play is still shown pressed";
    const e2e::Match m = e2e::findModel(heard, modelEnv, pressed);
    EXPECT_GT(m.correlation, 0.8) << "the Echomark's speech is not what was heard";
    EXPECT_LT(m.frame, pressed + 100) << "the play starts late";
    EXPECT_EQ(noisyFrames(heard, pressed, m.frame > 5 ? m.frame - 5 : 0), 0) << "sound before the play";
    EXPECT_EQ(noisyFrames(heard, m.frame + modelFrames + 5, SIZE_MAX), 0) << "sound after the play";
  }

  // --- Loop (F6) with no pause: the Echomark is heard twice in a row; the
  // loop is turned off during the second play, which ends the repetition.
  {
    e2e::Monitor monitor(base / "loop.raw");
    ASSERT_TRUE(monitor.start());
    pump(300);
    desktop.key("F6");
    desktop.key("F8");
    long onset = -1;
    monitor.waitUntil([&](const auto& env) { return (onset = firstLoud(env)) >= 0; }, 5000);
    ASSERT_GE(onset, 0) << "the loop is not heard";
    const std::size_t secondPlay = static_cast<std::size_t>(onset) + modelFrames * 13 / 10;
    monitor.waitUntil([&](const auto& env) { return env.size() > secondPlay; }, 10000);
    desktop.key("F6");
    shot("loop");
    const std::vector<double> heard = e2e::envelope(listen(monitor, 1500));
    // The best match is one of the two plays; the other is the best match
    // that does not overlap it.
    const e2e::Match best = e2e::findModel(heard, modelEnv);
    const e2e::Match before =
        e2e::findModel(heard, modelEnv, 0, best.frame > modelFrames / 2 ? best.frame - modelFrames / 2 : 0);
    const e2e::Match after = e2e::findModel(heard, modelEnv, best.frame + modelFrames / 2);
    const e2e::Match other = before.correlation > after.correlation ? before : after;
    const e2e::Match first = other.frame < best.frame ? other : best;
    const e2e::Match second = other.frame < best.frame ? best : other;
    EXPECT_GT(first.correlation, 0.8);
    EXPECT_GT(second.correlation, 0.8) << "the Echomark is not heard a second time";
    // No pause: the second play starts where the first one's wave ends (a
    // pause of the default 2 seconds would put it 200 frames later).
    EXPECT_NEAR(static_cast<double>(second.frame) - static_cast<double>(first.frame), static_cast<double>(modelFrames),
                30.0);
    EXPECT_EQ(noisyFrames(heard, 0, first.frame > 5 ? first.frame - 5 : 0), 0) << "sound before the loop";
    EXPECT_EQ(noisyFrames(heard, second.frame + modelFrames + 5, SIZE_MAX), 0) << "a third play";
  }

  // --- The speeds (the panel's speed button, then an entry of its menu):
  // the slow rendering is heard longer than the normal one (the installer
  // stretches it by 1.2), the fast one shorter (0.8); then back to normal.
  {
    const long modelSound = lastLoud(modelEnv) - firstLoud(modelEnv);
    struct Speed {
      const char* entry;
      double least, most;  // the heard length against the normal one
    };
    for (const Speed& speed : {Speed{"Slow", 1.1, 1.35}, Speed{"Fast", 0.65, 0.9}}) {
      choose({}, speed.entry, inMainWindow(kSpeedButton));
      e2e::Monitor monitor(base / (std::string(speed.entry) + ".raw"));
      ASSERT_TRUE(monitor.start());
      const std::size_t pressed = pressAndHear(monitor, "F8");
      shot(speed.entry);
      const std::vector<double> heard = e2e::envelope(listen(monitor, 1000));
      const double ratio =
          static_cast<double>(lastLoud(heard) - firstLoud(heard, pressed)) / static_cast<double>(modelSound);
      EXPECT_GT(ratio, speed.least) << speed.entry;
      EXPECT_LT(ratio, speed.most) << speed.entry;
    }
    choose({}, "Normal", inMainWindow(kSpeedButton));
  }

  // --- A fragment: Set Fragment Start (F4) while the Echomark plays, then
  // Play Fragment (F7) plays from that mark to the end, the model's tail.
  {
    e2e::Monitor monitor(base / "fragment.raw");
    ASSERT_TRUE(monitor.start());
    ASSERT_TRUE(desktop.focus(kMainTitle));
    desktop.key("F8");
    long onset = -1;
    monitor.waitUntil([&](const auto& env) { return (onset = firstLoud(env)) >= 0; }, 5000);
    ASSERT_GE(onset, 0);
    const std::size_t mark = static_cast<std::size_t>(onset) + modelFrames * 2 / 5;
    monitor.waitUntil([&](const auto& env) { return env.size() > mark; }, 10000);
    desktop.key("F4");
    monitor.waitUntil([&](const auto& env) { return heardThenQuiet(env, 800); }, 10000);
    const std::size_t pressed = pressAndHear(monitor, "F7");
    const std::vector<double> heard = e2e::envelope(listen(monitor, 1000));
    const long from = firstLoud(heard, pressed), to = lastLoud(heard);
    ASSERT_GT(from, 0) << "the fragment is not heard";
    const std::vector<double> fragment(heard.begin() + from, heard.begin() + to + 1);
    const e2e::Match inModel = e2e::findModel(modelEnv, fragment);
    EXPECT_GT(inModel.correlation, 0.8) << "the fragment is not a part of the Echomark";
    EXPECT_GT(inModel.frame, modelFrames / 5) << "the fragment does not start at the mark";
    EXPECT_LT(fragment.size(), modelFrames * 4 / 5) << "the whole Echomark is heard";
  }

  // --- Letter by letter: "wohnt" typed back with one wrong letter, which
  // is marked, then corrected.
  pressPaneButton("Letter By Letter mode");
  shown = screen.probe(player->pid());
  ASSERT_TRUE(soFarPane(shown));
  clickCharacter(*soFarPane(shown), 5);
  struct Typed {
    const char* keys;
    const char* text;
    int marked;  // the position drawn as a wrong letter, -1 none
  };
  const Typed typing[] = {
      {"w", "Anna w•••• •• Berlin.", -1},
      {"x", "Anna wx••• •• Berlin.", 6},  // wrong: shown and underlined
      {"Left o", "Anna wo••• •• Berlin.", -1},
      {"h n t", "Anna wohnt •• Berlin.", -1},
  };
  for (const Typed& t : typing) {
    desktop.key(t.keys);
    shown = probeUntil([&](const auto& s) {
      const auto pane = soFarPane(s);
      return pane && pane->text == t.text;
    });
    const auto pane = soFarPane(shown);
    ASSERT_TRUE(pane);
    EXPECT_EQ(pane->text, t.text) << t.keys;
    for (int i = 5; i < 10; ++i)
      EXPECT_EQ(pane->marks.mid(i, 1), i == t.marked ? "u" : ".") << t.keys << " at " << i;
    // The wrong letter is drawn in its own colour, and only while it is wrong.
    EXPECT_EQ(drawnWrong(shot(std::string("typed-") + t.keys[0]), pane->places[6]), t.marked == 6) << t.keys;
  }

  // --- Lazy mode: a click reveals "in", the last hidden word; the Echomark
  // is then complete and its comment is shown.
  pressPaneButton("Lazy mode");
  clickCharacter(*soFarPane(shown), 11);
  {
    const TextDialog comment = readAndCloseTextDialog("comment");
    EXPECT_EQ(comment.text, "In a German statement the verb stands in second place: Anna (1) wohnt (2).");
  }
  shown = probeUntil([](const auto& s) {
    const auto pane = soFarPane(s);
    return pane && pane->text == "Anna wohnt in Berlin.";
  });
  EXPECT_EQ(soFarText(shown), "Anna wohnt in Berlin.");
  // The book text now shows the Echomark and its comment.
  EXPECT_TRUE(bookText(shown).contains("Anna wohnt in Berlin.\nIn a German statement the verb stands in second place"))
      << bookText(shown).left(300).toStdString();
  shot("revealed");

  // --- Dictionary mode: a click on "wohnt" shows its entry.
  pressPaneButton("Dictionary mode");
  clickCharacter(*soFarPane(shown), 7);
  {
    const TextDialog entry = readAndCloseTextDialog("dictionary");
    EXPECT_TRUE(entry.text.contains("to live, to reside; sie wohnt: she lives")) << entry.text.toStdString();
  }

  // --- Grammar mode: the grammar page of "wohnt" in the grammar browser.
  pressPaneButton("Grammar mode");
  clickCharacter(*soFarPane(shown), 7);
  shown = probeUntil([](const auto& s) {
    return PlayerScreen::find(s, "menu entry", {}, {}, "Verbs in the present tense").has_value();
  });
  const auto entry = PlayerScreen::find(shown, "menu entry", {}, {}, "Verbs in the present tense");
  ASSERT_TRUE(entry) << "no grammar menu on the word";
  shot("grammar-menu");
  clickOn(*entry);
  ASSERT_TRUE(desktop.waitForWindow("Grammar", 20000)) << "the grammar browser's window does not appear";
  ASSERT_TRUE(screen.waitFor("browser page 0001.htm"));
  EXPECT_TRUE(screen.has("browser title Verbs in the present tense"));
  shot("grammar-page");
  // The learner moves the browser aside to see the player's panel again.
  desktop.move("Grammar", 1040, 60);

  // --- The go-to menu: a click below the so-far text (grammar mode) offers
  // the browser's index and, while the browser runs, its current page.
  {
    const auto pane = soFarPane(screen.probe(player->pid()));
    ASSERT_TRUE(pane);
    const QPoint below(pane->x + pane->w / 2, pane->y + pane->h - 6);
    choose({}, "Go to Index", below);
    ASSERT_TRUE(screen.waitFor("browser page 0000.htm")) << "Go to Index did not show the index";
    shot("go-to-index");
    ASSERT_TRUE(desktop.focus(kMainTitle));
    // The browser's current page: the browser is asked to come forward
    // (without a window manager nothing here can tell whether it did), and
    // still runs.
    choose({}, "Go to current page", below);
    pump(500);
    EXPECT_TRUE(desktop.waitForWindow("Grammar", 5000));
    shot("go-to-current-page");
  }

  // --- Tools > Echomark Index panel hides and shows the book window's
  // index panel; its tick follows.
  {
    ASSERT_TRUE(desktop.focus(kMainTitle));
    const auto indexEntry = [&] {
      desktop.key("alt+o");
      const auto shown = probeUntil([](const auto& s) {
        return PlayerScreen::find(s, "menu entry", {}, {}, "&Echomark Index panel").has_value();
      });
      desktop.key("Escape");
      return PlayerScreen::find(shown, "menu entry", {}, {}, "&Echomark Index panel");
    };
    const auto entry = indexEntry();
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->state, "c") << "shown at the start (setting 22)";
    // Chosen twice: hidden, then shown again.
    std::vector<fs::path> pictures;
    for (const char* state : {"-", "c"}) {
      choose("alt+o", "&Echomark Index panel");
      pump(300);
      pictures.push_back(shot(std::string("index-panel-") + (*state == 'c' ? "shown" : "hidden")));
      const auto now = indexEntry();
      ASSERT_TRUE(now);
      EXPECT_EQ(now->state, state);
    }
    const fs::path hidden = pictures[0], shownAgain = pictures[1];
    // The panel runs along the book window's bottom: the two pictures
    // differ there.
    const auto window = PlayerScreen::find(screen.probe(player->pid()), "window", kMainTitle);
    ASSERT_TRUE(window);
    const QImage a(QString::fromStdString(hidden.string())), b(QString::fromStdString(shownAgain.string()));
    ASSERT_FALSE(a.isNull() || b.isNull());
    int differing = 0;
    for (int y = window->y + window->h - 90; y < window->y + window->h - 10; y += 5)
      for (int x = window->x + 80; x < window->x + window->w - 80; x += 13)
        if (a.rect().contains(x, y) && b.rect().contains(x, y)) differing += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    EXPECT_GT(differing, 0) << "the index panel looks the same hidden and shown";
  }

  // --- Record (F11) while a tone sounds, stop (F10), and hear the take
  // played back (Audio > Recording commands > Play).
  ASSERT_TRUE(desktop.focus(kMainTitle));
  {
    const fs::path toneFile = base / "tone.wav";
    ASSERT_TRUE(e2e::writeWav(toneFile, e2e::tone(kToneHz, 1000)));
    desktop.key("F11");
    pump(400);
    ASSERT_TRUE(e2e::playIntoSink(toneFile));
    pump(300);
    EXPECT_TRUE(drawnPressed(shot("recording"), kRecordButton)) << "Record is not shown pressed while recording";
    desktop.key("F10");
    pump(300);
    e2e::Monitor monitor(base / "take.raw");
    ASSERT_TRUE(monitor.start());
    pump(300);
    desktop.key("alt+a");
    desktop.key("c");
    desktop.key("p");
    monitor.waitUntil([](const auto& env) { return firstLoud(env) >= 0; }, 5000);
    EXPECT_TRUE(drawnPressed(shot("take-playing"), kRecordingPlayButton)) << "the take's Play is not shown pressed";
    const e2e::Sound take = listen(monitor, 1000);
    const std::vector<double> heard = e2e::envelope(take);
    const long from = firstLoud(heard), to = lastLoud(heard);
    ASSERT_GE(from, 0) << "the take is not heard";
    EXPECT_NEAR(static_cast<double>(to - from), 100.0, 20.0) << "the take is not the one-second tone";
    EXPECT_GT(e2e::toneShare(take, kToneHz, static_cast<std::size_t>(from), static_cast<std::size_t>(to)), 0.8);
  }

  // --- Play Sequence (Audio menu), then Play: the model, and right after it
  // (no pause) the learner's take, once; then silence.
  ASSERT_TRUE(desktop.focus(kMainTitle));
  choose("alt+a", "Play &Sequence");
  {
    e2e::Monitor monitor(base / "sequence.raw");
    ASSERT_TRUE(monitor.start());
    const std::size_t pressed = pressAndHear(monitor, "F8");
    const e2e::Sound sound = listen(monitor, 1500);
    const std::vector<double> heard = e2e::envelope(sound);
    const e2e::Match m = e2e::findModel(heard, modelEnv, pressed);
    EXPECT_GT(m.correlation, 0.8) << "the model is not heard first";
    const long takeFrom = firstLoud(heard, m.frame + modelFrames), takeTo = lastLoud(heard);
    ASSERT_GE(takeFrom, 0) << "the take is not heard after the model";
    EXPECT_LT(takeFrom - static_cast<long>(m.frame + modelFrames), 100) << "the take comes late";
    EXPECT_NEAR(static_cast<double>(takeTo - takeFrom), 100.0, 20.0);
    EXPECT_GT(e2e::toneShare(sound, kToneHz, static_cast<std::size_t>(takeFrom), static_cast<std::size_t>(takeTo)),
              0.8);
  }
  choose("alt+a", "Play &Sequence");

  // --- Next Echomark (Page Down): its introduction, then its words, all
  // hidden, and "2 / 12" in the status bar.
  const QString second = "Jeden Morgen trinkt sie einen Kaffee.";
  desktop.key("Next");
  EXPECT_EQ(readAndCloseTextDialog("next-introduction").text, "Her day begins the same way every morning.");
  shown = probeUntil([&](const auto& s) { return showsEchomark(s, 2) && soFarText(s) == hidden(second); });
  EXPECT_TRUE(showsEchomark(shown, 2)) << labelsOf(shown, kMainTitle).join('|').toStdString();
  EXPECT_EQ(soFarText(shown), hidden(second));
  shot("second-echomark");

  // --- The scratch pad: two words typed in it (a space checks at once)
  // are found in the Echomark.
  {
    const auto pad = scratchPad(shown);
    ASSERT_TRUE(pad);
    clickOn(*pad);
    desktop.type("Jeden Morgen ");
    const QString found = "Jeden Morgen " + hidden("trinkt sie einen Kaffee.");
    shown = probeUntil([&](const auto& s) { return soFarText(s) == found; });
    EXPECT_EQ(soFarText(shown), found);
    EXPECT_EQ(scratchPad(shown)->text.trimmed(), "Jeden Morgen");
    shot("scratch-pad");

    // Show non-keywords (F2) shows the words that are not keywords; F2
    // again hides them.
    ASSERT_TRUE(desktop.focus(kMainTitle));
    desktop.key("F2");
    const QString withNonKeywords = "Jeden Morgen " + hidden("trinkt") + " sie einen " + hidden("Kaffee") + ".";
    shown = probeUntil([&](const auto& s) { return soFarText(s) == withNonKeywords; });
    EXPECT_EQ(soFarText(shown), withNonKeywords);
    shot("non-keywords");
    desktop.key("F2");
    shown = probeUntil([&](const auto& s) { return soFarText(s) == found; });
    EXPECT_EQ(soFarText(shown), found);

    // Spelling: "Kafee" typed finds the word with its missing letter as a
    // slot; the spelling corrector (F3) puts the right word in, in both
    // panes.
    clickOn(*scratchPad(shown));
    desktop.key("End");
    desktop.type("Kafee ");
    const QString misspelt = found.chopped(7) + "Kaf\u2022ee.";
    shown = probeUntil([&](const auto& s) { return soFarText(s) == misspelt; });
    EXPECT_EQ(soFarText(shown).toStdString(), misspelt.toStdString());
    shot("misspelt");
    ASSERT_TRUE(desktop.focus(kMainTitle));
    desktop.key("F3");
    const QString corrected = found.chopped(7) + "Kaffee.";
    shown = probeUntil([&](const auto& s) { return soFarText(s) == corrected; });
    EXPECT_EQ(soFarText(shown).toStdString(), corrected.toStdString());
    EXPECT_EQ(scratchPad(shown)->text.trimmed().toStdString(), "Jeden Morgen Kaffee");
    shot("corrected");
  }

  // --- Play Up To End (Audio menu): the second Echomark, then the third;
  // Stop (F10) during the third asks whether to go to it, and the learner
  // says no (the scripted answer).
  {
    e2e::Sound second1, second2, third;
    ASSERT_TRUE(e2e::readWav(fs::path(TV_DEMO_SPEECH) / "echomark2-1.wav", second1));
    ASSERT_TRUE(e2e::readWav(fs::path(TV_DEMO_SPEECH) / "echomark2-2.wav", second2));
    ASSERT_TRUE(e2e::readWav(fs::path(TV_DEMO_SPEECH) / "echomark3-1.wav", third));
    std::vector<double> secondEnv = e2e::envelope(second1);
    for (double v : e2e::envelope(second2)) secondEnv.push_back(v);
    // The first 0.8 s of the third Echomark.
    std::vector<double> thirdStart = e2e::envelope(third);
    thirdStart.resize(std::min<std::size_t>(thirdStart.size(), 80));
    e2e::Monitor monitor(base / "up-to-end.raw");
    ASSERT_TRUE(monitor.start());
    const std::size_t pressed = e2e::envelope(monitor.sofar()).size();
    ASSERT_TRUE(desktop.focus(kMainTitle));
    choose("alt+a", "Play Up &To End");
    // Until the third Echomark has been heard for a while.
    const std::size_t enough = pressed + secondEnv.size() + thirdStart.size() + 50;
    ASSERT_TRUE(monitor.waitUntil([&](const auto& env) { return env.size() > enough; }, 20000));
    ASSERT_TRUE(desktop.focus(kMainTitle));
    desktop.key("F10");
    // The question goes to the test log (test mode answers it from the
    // script).
    const std::string question = "Echomark no.3 was playing.\\nWould you like to load it now ?";
    QElapsedTimer asked;
    asked.start();
    while (tvtest::readFile(log).find(question) == std::string::npos && asked.elapsed() < 10000) pump(50);
    EXPECT_NE(tvtest::readFile(log).find(question), std::string::npos) << "no question after the stop";
    const std::vector<double> heard = e2e::envelope(listen(monitor, 1000));
    const e2e::Match m2 = e2e::findModel(heard, secondEnv, pressed);
    const e2e::Match m3 = e2e::findModel(heard, thirdStart, m2.frame + secondEnv.size() / 2);
    EXPECT_GT(m2.correlation, 0.8) << "the second Echomark is not heard";
    EXPECT_GT(m3.correlation, 0.8) << "the third Echomark is not heard after it";
    EXPECT_NEAR(static_cast<double>(m3.frame), static_cast<double>(m2.frame + secondEnv.size()), 100.0);
    shown = probeUntil([&](const auto& s) { return showsEchomark(s, 2); });
    EXPECT_TRUE(showsEchomark(shown, 2)) << "the answer no still went to the third Echomark";
  }

  // --- Close the player (File > Exit): the status is stored.
  ASSERT_TRUE(desktop.focus(kMainTitle));
  desktop.key("alt+f");
  desktop.key("x");
  EXPECT_EQ(player->exitCode(20000), 0);
  {
    orv::COrv_Users users;
    ASSERT_TRUE(users.SetCurrentUser(kUser));
    EXPECT_EQ(users.ReadLastQuote("DEMO"), 2);
    // The first Echomark is stored as solved (all its words found), the
    // second, only seen, as not.
    EXPECT_EQ(users.ReadQuoteStatus("DEMO", 1), COrv_TvDocument::kStoredSolved);
    EXPECT_EQ(users.ReadQuoteStatus("DEMO", 2), 0);
  }

  // --- Open again as the same user: the second Echomark is current, and the
  // first one shows its words as they were left.
  // The player asks whether to restore the last session: yes.
  {
    std::ofstream answers(base / "answers", std::ios::trunc);
    answers << "yes\n";
  }
  player = startPlayer();
  logIn(false);
  ASSERT_TRUE(screen.waitFor("opened DEMO 2/12", 30000));
  EXPECT_NE(tvtest::readFile(log).find("Do you want to restore the last session for this Talvane ?"), std::string::npos);
  EXPECT_EQ(readAndCloseTextDialog("reopened-introduction").text, "Her day begins the same way every morning.");
  shown = probeUntil([&](const auto& s) { return showsEchomark(s, 2) && soFarText(s) == hidden(second); });
  EXPECT_TRUE(showsEchomark(shown, 2)) << labelsOf(shown, kMainTitle).join('|').toStdString();
  EXPECT_EQ(soFarText(shown), hidden(second));
  ASSERT_TRUE(desktop.focus(kMainTitle));
  desktop.key("Prior");
  EXPECT_EQ(readAndCloseTextDialog("back-introduction").text, "Meet Anna. She lives in the capital of Germany.");
  shown = probeUntil([](const auto& s) { return showsEchomark(s, 1) && soFarText(s) == "Anna wohnt in Berlin."; });
  EXPECT_TRUE(showsEchomark(shown, 1)) << labelsOf(shown, kMainTitle).join('|').toStdString();
  EXPECT_EQ(soFarText(shown), "Anna wohnt in Berlin.");
  shot("restored");
  ASSERT_TRUE(desktop.focus(kMainTitle));
  desktop.key("alt+f");
  desktop.key("x");
  EXPECT_EQ(player->exitCode(20000), 0);
}
