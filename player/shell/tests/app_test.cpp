#include "player/shell/app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStatusBar>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/fs/config_root.h"
#include "platform/ipc/atoms.h"
#include "platform/ipc/presence.h"
#include "platform/ipc/tests/socket_folder_cleanup.h"
#include "platform/profile/profile.h"
#include "platform/testing/child_process.h"
#include "platform/testing/test_env.h"
#include "platform/ui/help_viewer.h"
#include "platform/ui/recording_sink.h"
#include "player/env/environment.h"
#include "player/book/book_info.h"
#include "player/env/file_util.h"
#include "player/install/install_dlg.h"
#include "player/shell/auto_install.h"
#include "player/shell/load_switch.h"
#include "player/shell/login_dlg.h"
#include "player/shell/setup.h"

namespace {

namespace fs = std::filesystem;
using orv::shell::AppServices;
using orv::shell::COrv_App;
using Step = COrv_App::Step;

const char* const kNoAudio = "Audio device not available";
const char* const kNoDefaultPath = "Unable to access the default Data path.";
const char* const kSwitched =
    "Unable to access the current data path.\nThe Talvane Player is switching to the default data path.\nPlease "
    "verify the Preferences for the current data path or contact the Talvane Player Administrator.";
const char* const kCorrupted =
    "There is a Talvane Player installation which was corrupted or never executed.\nPlease re-install the Talvane "
    "Player.";
const char* const kNoDde = "Failed to initialize DDE client";

// The data-path calls with any of them made to fail.
struct FaultyDataPath : orv::shell::StartupDataPath {
  bool publicFolder = false;
  bool publicCheck = true;
  std::optional<std::string> stored;  // what the cached data path reads as
  std::function<bool(const std::string&)> verify;
  std::function<bool(const std::string&)> create;
  std::optional<bool> set;
  std::vector<std::string> calls;

  bool HasPublicFolder() override { return publicFolder; }
  bool CheckPublicDataPath() override { return publicCheck; }
  std::string ReadDataPath() override { return stored ? *stored : StartupDataPath::ReadDataPath(); }
  bool VerifyDataPath(const std::string& p) override {
    calls.push_back("verify " + p);
    return verify ? verify(p) : StartupDataPath::VerifyDataPath(p);
  }
  bool CreateDataPath(const std::string& p) override {
    calls.push_back("create " + p);
    return create ? create(p) : StartupDataPath::CreateDataPath(p);
  }
  bool SetDataPath(const std::string& p) override {
    calls.push_back("set " + p);
    return set ? *set : StartupDataPath::SetDataPath(p);
  }
};

struct FakeLoadSwitch : orv::shell::LoadSwitchServices {
  bool readOk = true;
  std::string code = "BOOKA";
  std::vector<std::string> installed;
  bool IsInstalled(const std::string&) override { return false; }
  int InstallFile(const fs::path& path) override {
    installed.push_back(path.filename().string());
    return 1;
  }
  bool ReadPacketCode(fs::path&, std::string& c) override {
    c = code;
    return readOk;
  }
  bool ReadLibraryCode(const fs::path&, std::string& c) override {
    c = code;
    return readOk;
  }
  bool CreateShortcuts(const std::string&) override { return true; }
};

struct RecordingSetup : orv::shell::COrv_Setup {
  using COrv_Setup::COrv_Setup;
  std::vector<std::string>* calls = nullptr;
  int CheckInstallation(int flags) override {
    calls->push_back("instal " + std::to_string(flags));
    return 1;
  }
  int Uninstall() override {
    calls->push_back("uninstal");
    return 1;
  }
};

struct FakeDocuments : TalvaneDocuments {
  std::vector<std::string> opened;
  bool OpenDocumentFile(const std::string& code) override {
    opened.push_back(code);
    return true;
  }
  bool HasActiveDocument() const override { return !opened.empty(); }
  void CloseActiveDocument() override {}
};

struct RecordingPlay : StartPlay {
  std::vector<std::string> calls;
  void SetLoopMode(bool on) override { calls.push_back(on ? "loop on" : "loop off"); }
  void SetPlaySpeed(int s) override { calls.push_back("speed " + std::to_string(s)); }
  void PlayAll() override { calls.push_back("play all"); }
  void RestartPlay() override { calls.push_back("restart"); }
};

struct ScriptedPrompt : orv::shell::LoginPrompt {
  std::string answer = "Ann";
  int runs = 0;
  std::string Run() override {
    ++runs;
    return answer;
  }
};

// The help viewer, which also notes at each "close all" whether the frame
// class is still held and the data path still marked.
struct HelpSpy : plat::ui::RecordingHelpViewer {
  std::vector<std::pair<bool, bool>> atCloseAll;
  bool display(const plat::ui::HelpRequest& r) override {
    if (r.command == plat::ui::HelpCommand::CloseAll)
      atCloseAll.emplace_back(plat::ipc::findClass("Kestrelle"), fs::exists(activeLog()));
    return RecordingHelpViewer::display(r);
  }
  static fs::path activeLog() { return fs::path(orv::COrv_Environment().GetDataPath()) / "active.log"; }
};

// A holder of the frame class in a process of its own: the first instance
// as the second one sees it.
struct Peer : tvtest::ChildProcess {
  explicit Peer(const QStringList& args) : ChildProcess(TV_IPC_PEER, args) {}
};

struct App : ::testing::Test {
  fs::path prog = tvtest::sandbox().base / "prog";
  plat::ui::RecordingSink sink;
  plat::ui::ScopedSink scopedSink{sink};
  HelpSpy help;
  plat::ui::ScopedHelpViewer scopedHelp{help};
  FaultyDataPath dataPath;
  FakeLoadSwitch loadSwitch;
  FakeDocuments documents;
  RecordingPlay play;
  ScriptedPrompt prompt;
  std::vector<std::string> setupCalls;
  uint32_t audioDevices = 1;
  bool ddeOk = true;

  void SetUp() override {
    tvtest::writeFile(prog / "liblindra.so", "");
    tvtest::writeFile(prog / "Orv_HLENG/contents.html", "");
    orv::shell::COrv_Setup(prog).Register();
  }

  AppServices services() {
    AppServices s;
    s.waveOutCount = [this] { return audioDevices; };
    s.loadListLibrary = [] { return nullptr; };
    s.programFolder = prog;
    s.supportFiles = {"LINDRA.DLL", "Orv_HLENG.chm"};
    s.dataPath = &dataPath;
    s.loadSwitch = &loadSwitch;
    s.installer = &loadSwitch;
    s.login = &prompt;
    s.makeSetup = [this](const fs::path& folder) {
      auto setup = std::make_unique<RecordingSetup>(folder, std::vector<std::string>{"LINDRA.DLL", "Orv_HLENG.chm"});
      setup->calls = &setupCalls;
      return setup;
    };
    s.frame.screen = [] { return QRect(0, 0, 1024, 768); };
    s.frame.createDdeServer = [this] { return ddeOk; };
    s.frame.documents = &documents;
    s.frame.play = &play;
    s.showFrame = false;
    return s;
  }

  std::vector<std::string> boxTexts() const {
    std::vector<std::string> texts;
    for (const auto& b : sink.boxes()) texts.push_back(b.request.text);
    return texts;
  }

  static fs::path loadFile() {
    const fs::path f = tvtest::sandbox().tmp / "BOOKA.tpk";
    tvtest::writeFile(f, "packet");
    return f;
  }
};

TEST_F(App, StartUpEndsAtTheFailingStepWithItsMessage) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    std::vector<std::string> args;
    Step step;
    std::vector<std::string> boxes;
    bool marked;  // the data path was marked in use on the way
  } const cases[] = {
      {"everything in place", [] {}, {}, Step::kRunning, {}, true},
      {"no wave-out device", [this] { audioDevices = 0; }, {}, Step::kAudio, {kNoAudio}, false},
      {"public folder refused", [this] { dataPath.publicFolder = true, dataPath.publicCheck = false; }, {},
       Step::kPublicFolder, {}, false},
      {"public data path cannot be made",
       [this] {
         dataPath.publicFolder = true;
         dataPath.verify = [](const std::string&) { return false; };
         dataPath.create = [](const std::string&) { return false; };
       },
       {}, Step::kDataPath, {kNoDefaultPath}, false},
      {"data path cannot be made",
       [this] {
         dataPath.verify = [](const std::string&) { return false; };
         dataPath.create = [](const std::string&) { return false; };
       },
       {}, Step::kDataPath, {kNoDefaultPath}, false},
      {"current data path gone: the default takes its place",
       [this] {
         dataPath.stored = (tvtest::sandbox().base / "gone").string();
         dataPath.verify = [this](const std::string& p) { return p != *dataPath.stored; };
         dataPath.set = true;
       },
       {}, Step::kRunning, {kSwitched}, true},
      {"default data path refused too",
       [this] {
         dataPath.stored = (tvtest::sandbox().base / "gone").string();
         dataPath.verify = [this](const std::string& p) { return p != *dataPath.stored; };
         dataPath.set = false;
       },
       {}, Step::kDataPath, {kNoDefaultPath}, false},
      {"load fails", [this] { loadSwitch.readOk = false; }, {"-load", loadFile().string()}, Step::kLoad, {}, true},
      {"load with nostart", [] {}, {"-load", loadFile().string(), "-nostart"}, Step::kNoStart, {}, true},
      {"uninstal", [] {}, {"-uninstal", "-instal"}, Step::kUninstall, {}, true},
      {"instal", [] {}, {"-instal"}, Step::kInstall, {}, true},
      {"installation corrupted", [] { orv::COrv_Environment().SetAppPath("/opt/elsewhere"); }, {}, Step::kCheckSetup,
       {kCorrupted}, true},
      {"no DDE server: the start goes on", [this] { ddeOk = false; }, {}, Step::kRunning, {kNoDde}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sink.clear();
    dataPath = FaultyDataPath();
    loadSwitch = FakeLoadSwitch();
    setupCalls.clear();
    audioDevices = 1;
    ddeOk = true;
    orv::shell::COrv_Setup(prog).Register();
    c.arrange();

    COrv_App app(services());
    EXPECT_EQ(app.InitInstance(c.args), c.step == Step::kRunning);
    EXPECT_EQ(app.EndedAt(), c.step);
    EXPECT_EQ(boxTexts(), c.boxes);
    EXPECT_EQ(app.MarkedDataPath(), c.marked);
    EXPECT_EQ(fs::exists(HelpSpy::activeLog()), c.marked);
    EXPECT_EQ(app.MainFrame() != nullptr, c.step == Step::kRunning);
    app.ExitInstance();
    EXPECT_FALSE(fs::exists(HelpSpy::activeLog()));
    EXPECT_FALSE(plat::ipc::findClass("Kestrelle"));
  }
  // The box of a missing device is the error box of no owner.
  audioDevices = 0;
  sink.clear();
  COrv_App app(services());
  app.InitInstance({});
  ASSERT_EQ(sink.boxes().size(), 1u);
  EXPECT_EQ(sink.last().request.caption, "Talvane Player: Error Window");
  EXPECT_EQ(sink.last().request.icon, plat::ui::Icon::Error);
  EXPECT_FALSE(sink.last().request.applicationBox);
}

TEST_F(App, InstallSwitchesReachTheSetupOnlyAlone) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> calls;
  } const cases[] = {
      {{"-instal"}, {"instal 15"}},
      {{"-UNINSTAL"}, {"uninstal"}},
      {{"-uninstal", "-instal"}, {"uninstal"}},
  };
  for (const Case& c : cases) {
    setupCalls.clear();
    COrv_App app(services());
    EXPECT_FALSE(app.InitInstance(c.args));
    EXPECT_EQ(setupCalls, c.calls);
  }
}

TEST_F(App, DataPathFallsBackToTheDefaultOnlyWhenTheCurrentOneFails) {
  const std::string gone = (tvtest::sandbox().base / "gone").string();
  dataPath.stored = gone;
  dataPath.verify = [&](const std::string& p) { return p != gone; };
  dataPath.set = true;
  COrv_App app(services());
  ASSERT_TRUE(app.InitInstance({}));
  const std::string fallback = orv::COrv_Environment().GetDefaultDataPath();
  EXPECT_EQ(dataPath.calls, (std::vector<std::string>{"verify " + gone, "set " + fallback, "verify " + fallback}));
}

TEST_F(App, LogInAndBookOfTheCommandLine) {
  orv::COrv_Environment env;
  const int32_t on = 1, fast = 1;
  env.SetSetting(9, &on, 4);    // InitPlayAll
  env.SetSetting(8, &fast, 4);  // InitSpeed (Play All plays at normal speed)
  env.SetSetting(14, &on, 4);   // InitPlayLoop
  env.SetEnabled(orv::shell::kEnableLoginDialog, true);
  prompt.answer = std::string(40, 'n');
  COrv_App app(services());
  ASSERT_TRUE(app.InitInstance({"-tv", "Book1", "-nq", "7"}));
  CMainFrame& frame = *app.MainFrame();
  EXPECT_EQ(prompt.runs, 1);
  EXPECT_EQ(frame.FrameState().GetUserName(), std::string(30, 'n'));
  EXPECT_EQ(env.GetSettingText(36), std::string(30, 'n'));
  EXPECT_EQ(frame.FrameState().GetLoggedIn(), 1);
  EXPECT_EQ(frame.FrameState().GetUserNumber(), 7);
  // The book of the command line goes through the same open as a hand-over:
  // its start-up settings apply.
  EXPECT_EQ(documents.opened, (std::vector<std::string>{"Book1"}));
  EXPECT_EQ(play.calls, (std::vector<std::string>{"loop on", "speed 0", "play all"}));
  EXPECT_TRUE(frame.BookJustOpened());
  EXPECT_EQ(frame.windowTitle(), "Talvane Player");
  EXPECT_EQ(frame.geometry(), QRect(112, 84, 800, 600));
}

TEST_F(App, InstallCommandShowsTheInstallDialogWithTheNormalCursor) {
  orv::COrv_Environment().SetEnabled(0, true);
  COrv_App app(services());
  ASSERT_TRUE(app.InitInstance({}));
  sink.clear();
  bool shown = false;
  const QCursor* cursor = nullptr;
  QTimer::singleShot(0, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    shown = dynamic_cast<orv::install::COrv_InstallDlg*>(modal) != nullptr;
    cursor = QApplication::overrideCursor();
    if (modal) modal->close();
  });
  EXPECT_TRUE(app.MainFrame()->Commands().Execute(32814));
  EXPECT_TRUE(shown);
  // The command's wait cursor is not left over the dialog, nor after it.
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(cursor->shape(), Qt::ArrowCursor);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(boxTexts().empty());
}

TEST_F(App, SettingThirtySixIsTheFramesUserForAsLongAsTheFrameLives) {
  orv::COrv_Environment env;
  env.SetEnabled(orv::shell::kEnableLoginDialog, true);
  {
    COrv_App app(services());
    ASSERT_TRUE(app.InitInstance({}));
    COrv_FrameState& state = app.MainFrame()->FrameState();
    EXPECT_EQ(env.GetSettingText(36), "Ann");
    env.SetSettingText(36, "Bob");
    EXPECT_EQ(state.GetUserName(), "Bob");
    env.SetSettingText(36, "Default");
    EXPECT_EQ(state.GetUserName(), "");
    EXPECT_EQ(env.GetSettingText(36), "Default");
    state.SetUserName("Cy");
    EXPECT_EQ(env.GetSettingText(36), "Cy");
  }
  // The frame is gone: the store answers the default and reaches nothing.
  EXPECT_EQ(env.GetSettingText(36), "Default");
  env.SetSettingText(36, "Dan");
  EXPECT_EQ(env.GetSettingText(36), "Default");
}

TEST_F(App, OpenTalvaneStartsWhatTheSettingsAsk) {
  struct Case {
    int emPlay, speed, playAll, loop;
    std::vector<std::string> calls;
  } const cases[] = {
      {0, 0, 0, 0, {"loop off", "speed 0"}},
      {1, -1, 0, 0, {"loop off", "speed -1", "restart"}},
      {0, 1, 0, 1, {"loop on", "speed 1"}},
      {0, 7, 0, 0, {"loop off", "speed 0"}},
      {1, 1, 1, 0, {"loop off", "speed 0", "play all"}},
  };
  COrv_App app(services());
  ASSERT_TRUE(app.InitInstance({}));
  CMainFrame& frame = *app.MainFrame();
  for (const Case& c : cases) {
    play.calls.clear();
    const int32_t v[] = {c.emPlay, c.speed, c.playAll, c.loop};
    frame.ApplySetting(7, &v[0]);
    frame.ApplySetting(8, &v[1]);
    frame.ApplySetting(9, &v[2]);
    frame.ApplySetting(14, &v[3]);
    EXPECT_TRUE(frame.OpenTalvane("B"));
    EXPECT_EQ(play.calls, c.calls);
  }
}

TEST_F(App, HandOverOpensTheWholeNameOnceReady) {
  COrv_App app(services());
  ASSERT_TRUE(app.InitInstance({}));
  const std::string longName(100, 'L');
  {
    Peer ignored({"post", "Kestrelle", "Orvex_PRIVATEMSG_INTERAPP", "0", "Ignored"});
    EXPECT_EQ(ignored.line(), "posted");
    Peer sender({"post", "Kestrelle", "Orvex_PRIVATEMSG_INTERAPP", "1", QString::fromStdString(longName)});
    EXPECT_EQ(sender.line(), "posted");
  }
  QElapsedTimer t;
  t.start();
  while (documents.opened.empty() && t.elapsed() < 20000) QCoreApplication::processEvents();
  EXPECT_EQ(documents.opened, (std::vector<std::string>{longName}));

  // wParam other than 1 is refused and its atom left alone.
  const plat::ipc::ATOM atom = plat::ipc::GlobalAddAtom("Kept");
  EXPECT_EQ(app.MainFrame()->OnInterAppMessage(0, atom), 0);
  EXPECT_EQ(plat::ipc::globalAtomText(atom), "Kept");
  EXPECT_EQ(app.MainFrame()->OnInterAppMessage(1, atom), 1);
  EXPECT_EQ(plat::ipc::globalAtomText(atom), "");
  EXPECT_EQ(documents.opened.back(), "Kept");
}

TEST_F(App, SecondInstanceServesLoadAndHandsOverButLeavesTheFirstsFiles) {
  Peer first({"hold", "Kestrelle", "0", "120000"});
  ASSERT_EQ(first.line(), "first");
  ASSERT_EQ(first.line(), "ready");
  const std::string message =
      "message " + std::to_string(plat::ipc::RegisterWindowMessage("Orvex_PRIVATEMSG_INTERAPP")) + " 1 ";
  // The first instance's data path, marked in use, and an auto-install list
  // waiting for the first's next start.
  orv::COrv_Environment env;
  ASSERT_TRUE(env.CreateDataPath());
  ASSERT_TRUE(env.MarkDataPathInUse(true));
  const fs::path mark = fs::path(env.GetStandardDataPath()) / "active.log";
  ASSERT_TRUE(fs::exists(mark));
  const std::string list = "[MASTERINDEX]\r\nPath=/src\r\n001=BOOKB\r\n[BOOKB]\r\nSourceFile=book.tvl\r\n";
  tvtest::writeFile(orv::shell::AutoInstallListPath(), list);

  {
    COrv_App app(services());
    EXPECT_FALSE(app.InitInstance({"-load", loadFile().string(), "-instal", "-uninstal"}));
    EXPECT_EQ(app.EndedAt(), Step::kHandOver);
    EXPECT_FALSE(app.RegisteredFrameClass());
    app.ExitInstance();
  }
  EXPECT_EQ(first.line(), "activate");
  EXPECT_EQ(first.line(), message + "BOOKA");
  // Installed, then handed over; never the setup switches.
  EXPECT_EQ(loadSwitch.installed, (std::vector<std::string>{"BOOKA.TPK"}));
  EXPECT_TRUE(setupCalls.empty());
  EXPECT_TRUE(fs::exists(mark));
  EXPECT_EQ(tvtest::readFile(orv::shell::AutoInstallListPath()), list);

  // A stored data path that a first instance would replace: the second
  // neither switches nor says anything.
  const fs::path dpl = plat::fs::machineSettingsFolder() / "Qlonwin.dpl";
  plat::profile::writeString(dpl, "Datapath", "DataPath", (tvtest::sandbox().base / "gone").string());
  const std::string dplBefore = tvtest::readFile(dpl);
  {
    COrv_App app(services());
    EXPECT_FALSE(app.InitInstance({"-tv", "Book2"}));
  }
  EXPECT_EQ(first.line(), "activate");
  EXPECT_EQ(first.line(), message + "Book2");
  EXPECT_TRUE(sink.boxes().empty());
  EXPECT_TRUE(dataPath.calls.empty());
  EXPECT_EQ(tvtest::readFile(dpl), dplBefore);
  EXPECT_TRUE(fs::exists(mark));

  // Without -tv the second only brings the first to the front.
  {
    COrv_App app(services());
    EXPECT_FALSE(app.InitInstance({}));
  }
  EXPECT_EQ(first.line(), "activate");
  EXPECT_EQ(first.line(1000), "");
}

TEST_F(App, ExitClosesHelpBeforeGivingUpTheClassAndTheMark) {
  {
    COrv_App app(services());
    ASSERT_TRUE(app.InitInstance({}));
    EXPECT_TRUE(plat::ipc::findClass("Kestrelle"));
    EXPECT_TRUE(fs::exists(HelpSpy::activeLog()));
    help.atCloseAll.clear();
    app.ExitInstance();
    ASSERT_EQ(help.atCloseAll.size(), 1u);
    EXPECT_EQ(help.atCloseAll[0], std::make_pair(true, true));
    EXPECT_FALSE(plat::ipc::findClass("Kestrelle"));
    EXPECT_FALSE(fs::exists(HelpSpy::activeLog()));
    // A second shut-down changes nothing.
    orv::COrv_Environment().MarkDataPathInUse(true);
    app.ExitInstance();
    EXPECT_TRUE(fs::exists(HelpSpy::activeLog()));
  }
  EXPECT_TRUE(fs::exists(HelpSpy::activeLog()));  // nor does the destructor
}

TEST_F(App, FirstStartRemovesTheStartUpEntryAndCarriesOutTheAutoInstallList) {
  const fs::path entry = fs::path(orv::COrv_FileUtil().GetStartupFolder()) / orv::shell::kStartupShortcut;
  tvtest::writeFile(entry, "[Desktop Entry]\n");
  tvtest::writeFile(orv::shell::AutoInstallListPath(),
                    "[MASTERINDEX]\r\nPath=/src\r\n001=BOOKB\r\n[BOOKB]\r\nSourceFile=book.tvl\r\n");
  COrv_App app(services());
  ASSERT_TRUE(app.InitInstance({}));
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_FALSE(fs::exists(orv::shell::AutoInstallListPath()));
  EXPECT_TRUE(orv::COrv_BookInfo().IsInstalled("BOOKB"));
}

}  // namespace
