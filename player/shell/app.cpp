#include "player/shell/app.h"

#include <dlfcn.h>

#include <cstdlib>
#include <system_error>

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include "platform/audio/audio.h"
#include "platform/fs/module_names.h"
#include "platform/fs/program_folder.h"
#include "platform/ipc/activate_window.h"
#include "platform/ipc/atoms.h"
#include "platform/ui/message_box.h"
#include "platform/ui/test_mode.h"
#include "player/env/current_user.h"
#include "player/env/environment.h"
#include "player/env/file_util.h"
#include "player/install/install_journal.h"
#include "player/install/install_dlg.h"
#include "player/install/packet_installer.h"
#include "player/shell/about_dlg.h"
#include "player/shell/app_help.h"
#include "player/shell/auto_install.h"
#include "player/shell/book_files.h"
#include "player/shell/load_switch.h"
#include "player/shell/login_dlg.h"
#include "player/shell/setup.h"
#include "player/shell/shown_widgets_probe.h"
#include "player/views/open_tv_dlg.h"
#include "player/views/prefs_dlg.h"
#include "shared/language/orv_language.h"

namespace orv::shell {
namespace fs = std::filesystem;
namespace {

constexpr int kStrNoAudioDevice = 20058;
constexpr int kStrErrorCaption = 9002;
constexpr int kStrNoDefaultDataPath = 20253;
constexpr int kStrSwitchedToDefault = 20254;
constexpr int kInstallAllChecks = 15;
constexpr int kCmdAbout = 57664;
constexpr const char* kFrameTitle = "Talvane Player";

// In test mode nobody can answer the log-in dialog: it stays up until the
// file named by this variable exists (at once without the variable), then
// closes as the anonymous user. Its opening and closing are logged, so that
// tests can act while it is up.
constexpr const char* kLoginReleaseVariable = "TALVANE_TEST_LOGIN_RELEASE";
// In test mode, how long a started grammar browser has to announce itself
// (milliseconds), so that tests of a browser that never answers end soon.
constexpr const char* kBrowserWaitVariable = "TALVANE_TEST_BROWSER_WAIT_MS";

class TestModeLoginPrompt : public LoginPrompt {
 public:
  std::string Run() override {
    LogTestEvent("login", "shown");
    auto* dlg = new COrv_LoginDlg(1);
    const char* release = std::getenv(kLoginReleaseVariable);
    const QString releaseFile = release ? QString::fromUtf8(release) : QString();
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, dlg, [dlg, releaseFile] {
      if (releaseFile.isEmpty() || QFileInfo::exists(releaseFile)) dlg->reject();
    });
    poll.start();
    dlg->DoModal();
    std::string user = dlg->m_strUserName;
    delete dlg;
    LogTestEvent("login", "done");
    return user;
  }
};

const char* stepName(COrv_App::Step step) {
  switch (step) {
    case COrv_App::Step::kNone: return "none";
    case COrv_App::Step::kAudio: return "audio";
    case COrv_App::Step::kPublicFolder: return "public folder";
    case COrv_App::Step::kDataPath: return "data path";
    case COrv_App::Step::kLoad: return "load";
    case COrv_App::Step::kNoStart: return "nostart";
    case COrv_App::Step::kHandOver: return "hand-over";
    case COrv_App::Step::kUninstall: return "uninstall";
    case COrv_App::Step::kInstall: return "install";
    case COrv_App::Step::kCheckSetup: return "setup";
    case COrv_App::Step::kFrame: return "frame";
    case COrv_App::Step::kRunning: return "running";
  }
  return "";
}

void* loadListLibraryByName() {
  const fs::path file = plat::fs::modulePath("LINDRA.DLL");
  if (file.empty()) return nullptr;
  return ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

COrv_App::COrv_App(AppServices services) : m_services(std::move(services)) {}

COrv_App::~COrv_App() {
  ExitInstance();
  dropFrame();
}

void COrv_App::dropFrame() {
  if (m_frame && orv::currentUserNameProvider() == &m_frame->FrameState()) orv::setCurrentUserNameProvider(nullptr);
  m_frame.reset();
}

fs::path COrv_App::programFolder() const {
  return m_services.programFolder.empty() ? plat::fs::programFolder() : m_services.programFolder;
}

bool COrv_App::end(Step step) {
  m_step = step;
  LogTestEvent("end", stepName(step));
  dropFrame();
  return false;
}

bool COrv_App::InitInstance(const std::vector<std::string>& args) {
  m_step = Step::kNone;
  const COrv_Language lang;
  // The application's own boxes carry its name.
  if (plat::ui::applicationCaption().empty()) plat::ui::setApplicationCaption(kFrameTitle);

  // The list library's handle only keeps a reference; it may be missing.
  m_hListLibrary = m_services.loadListLibrary ? m_services.loadListLibrary() : loadListLibraryByName();

  const uint32_t devices =
      m_services.waveOutCount ? m_services.waveOutCount() : plat::audio::currentBackend().waveOutCount();
  if (devices == 0) {
    plat::ui::MessageBox(lang.LoadString(kStrNoAudioDevice), lang.LoadString(kStrErrorCaption),
                         plat::ui::MB_ICONHAND);
    return end(Step::kAudio);
  }

  std::unique_ptr<COrv_Setup> setup = m_services.makeSetup
                                          ? m_services.makeSetup(programFolder())
                                          : (m_services.supportFiles.empty()
                                                 ? std::make_unique<COrv_Setup>(programFolder())
                                                 : std::make_unique<COrv_Setup>(programFolder(), m_services.supportFiles));
  m_cmd = COrv_CommandLineInfo();
  m_cmd.Parse(args);

  // Whether another instance runs is known before anything is written: a
  // second instance leaves the data path, its mark and the auto-install
  // list to the first.
  const bool first = RegisterFrameClass() == 1;

  if (first) {
    if (!prepareDataPath()) return false;
    ReadAutoInstallList();
    // What an installation killed on the way left behind goes now.
    orv::install::RemoveInstallLeftovers();
  }

  orv::install::PacketInstaller packetInstaller;
  BookInstaller& installer = m_services.installer ? *m_services.installer : packetInstaller;
  BookFileServices bookFiles(installer);
  LoadSwitchServices& loadSwitch = m_services.loadSwitch ? *m_services.loadSwitch : bookFiles;
  if (m_cmd.m_bLoad) {
    if (!LoadFromCommandLine(m_cmd, loadSwitch)) return end(Step::kLoad);
    if (m_cmd.m_bNoStart) return end(Step::kNoStart);
  }

  DeleteStartupShortcut();

  if (!first) {
    handOver();
    return end(Step::kHandOver);
  }

  if (m_cmd.m_bUninstal) {
    setup->Uninstall();
    return end(Step::kUninstall);
  }
  if (m_cmd.m_bInstal) {
    orv::install::PacketInstaller packetInstaller;
    setup->SetInstaller(m_services.installer ? m_services.installer : &packetInstaller);
    setup->CheckInstallation(kInstallAllChecks);
    return end(Step::kInstall);
  }

  if (!CheckSetup(*setup)) return end(Step::kCheckSetup);
  setup.reset();

  FrameServices frameServices = m_services.frame;
  // The frame's help commands go to the application's help object.
  if (frameServices.help == nullptr) frameServices.help = &m_help;
  // File > Open shows the catalogue of installed Talvanes.
  if (!frameServices.openDialog)
    frameServices.openDialog = [this] { return orv::views::RunOpenTvDlg(m_frame.get()); };
  // File > Install installs packets and libraries the learner chooses.
  if (!frameServices.installDialog)
    frameServices.installDialog = [this] { orv::install::RunInstallDlg(m_frame.get()); };
  // Tools > Preferences edits the settings through the store and this frame.
  if (!frameServices.preferencesDialog)
    frameServices.preferencesDialog = [this] {
      CMainFrame& f = *m_frame;
      // The current user is read as setting 36 through the store, which
      // reaches this frame's state ("Default" for nobody).
      orv::views::EnvironmentPrefsHost host({[&f](int i) { f.SetInterfaceLanguage(i); },
                                             [&f](int i) { f.SetHelpLanguage(i); },
                                             [&f](int n, const void* v) { f.ApplySetting(n, v); },
                                             {},
                                             [&f] { return f.HasActiveTvDocument(); }});
      orv::views::COrv_PrefsDlg dlg(&f, &host);
      dlg.exec();
    };
  m_frame = std::make_unique<CMainFrame>(frameServices);
  // Setting 36 of the environment store is the frame's logged-in name.
  orv::setCurrentUserNameProvider(&m_frame->FrameState());
  if (!m_frame->OnCreate()) return end(Step::kFrame);
  m_frame->Commands().Add(kCmdAbout, [this] { OnAppAbout(); });
  m_frame->setWindowTitle(kFrameTitle);
  if (const char* wait = std::getenv(kBrowserWaitVariable); plat::ui::testMode() && wait != nullptr)
    m_frame->GrammarLink().SetReadyTimeout(std::atoi(wait));
  // Typed characters go to the typing pane of the active Talvane window.
  m_charRouter = std::make_unique<orv::views::TypedCharRouter>();
  if (qApp) qApp->installEventFilter(m_charRouter.get());
  if (m_services.showFrame) m_frame->show();

  if (m_cmd.m_bNumber) m_frame->FrameState().SetUserNumber(m_cmd.m_nNumber);
  InitHelp(m_help, kHelpLanguageStored);
  // The Help button of a message box opens its topic.
  plat::ui::setHelpHandler([this](uint32_t context) { WinHelp(m_help, context, kHelpContext); });

  TestModeLoginPrompt testPrompt;
  LoginDialogPrompt dialogPrompt;
  LoginPrompt& prompt = m_services.login       ? *m_services.login
                        : plat::ui::testMode() ? static_cast<LoginPrompt&>(testPrompt)
                                               : static_cast<LoginPrompt&>(dialogPrompt);
  m_frame->FrameState().SetUserName(LogIn(m_cmd, prompt));
  m_frame->FrameState().SetLoggedIn(1);
  // Who is logged in, as every reader of setting 36 sees it.
  if (plat::ui::testMode()) LogTestEvent("user", orv::COrv_Environment().GetSettingText(36));

  // The book goes through the same open as a hand-over, so that its
  // start-up settings apply.
  if (!m_cmd.m_strBook.empty()) m_frame->OpenTalvane(m_cmd.m_strBook);

  m_step = Step::kRunning;
  LogTestEvent("ready");
  m_presence->announceReady();
  return true;
}

bool COrv_App::prepareDataPath() {
  const COrv_Language lang;
  StartupDataPath ownPath;
  StartupDataPath& env = m_services.dataPath ? *m_services.dataPath : ownPath;
  auto cannotAccess = [&] {
    plat::ui::AppMessageBox(lang.LoadString(kStrNoDefaultDataPath), plat::ui::MB_OK);
    return end(Step::kDataPath);
  };

  if (env.HasPublicFolder()) {
    if (!env.CheckPublicDataPath()) return end(Step::kPublicFolder);
    const std::string stored = env.ReadDataPath();
    if (!env.VerifyDataPath(stored) && !env.CreateDataPath(stored)) return cannotAccess();
    env.SetDataPath(stored);
  } else {
    // The data path in use is checked; when it cannot be used the default
    // one takes its place.
    const std::string stored = env.ReadDataPath();
    if (!env.VerifyDataPath(stored)) {
      const std::string fallback = env.GetDefaultDataPath();
      if (fallback == stored) {
        if (!env.CreateDataPath(stored)) return cannotAccess();
      } else {
        if (!env.SetDataPath(fallback)) return cannotAccess();
        plat::ui::AppMessageBox(lang.LoadString(kStrSwitchedToDefault), plat::ui::MB_OK);
      }
    }
  }
  const std::string fallback = env.GetDefaultDataPath();
  if (!env.VerifyDataPath(fallback) && !env.CreateDataPath(fallback)) return cannotAccess();
  m_bMarked = env.MarkDataPathInUse(true);
  return true;
}

int COrv_App::RegisterFrameClass() {
  m_nInterAppMessage = plat::ipc::RegisterWindowMessage(kInterAppMessage);
  if (plat::ui::testMode()) {
    m_nTestCommandMessage = plat::ipc::RegisterWindowMessage(kTestCommandMessage);
    InstallShownWidgetsProbe();
  }
  m_presence = std::make_unique<plat::ipc::ClassPresence>(kFrameClass, this);
  switch (m_presence->registerClass()) {
    case plat::ipc::ClassPresence::Result::First:
      return 1;
    case plat::ipc::ClassPresence::Result::Exists:
      plat::ipc::requestActivate(kFrameClass);
      return 0;
    case plat::ipc::ClassPresence::Result::Failed:
      break;
  }
  return 0;
}

bool COrv_App::handOver() {
  if (!m_cmd.m_bBook) return false;
  const plat::ipc::ATOM atom = plat::ipc::GlobalAddAtom(m_cmd.m_strBook.c_str());
  if (atom == 0) return false;
  // The atom's text travels with the message; this process's copy goes.
  const bool posted = plat::ipc::postRegisteredMessage(kFrameClass, m_nInterAppMessage, 1, atom);
  plat::ipc::GlobalDeleteAtom(atom);
  return posted;
}

int COrv_App::CheckSetup(COrv_Setup& setup) {
  orv::install::PacketInstaller packetInstaller;
  BookInstaller& installer = m_services.installer ? *m_services.installer : packetInstaller;
  return orv::shell::CheckSetup(setup, programFolder(), installer) ? 1 : 0;
}

void COrv_App::DeleteStartupShortcut() {
  std::string folder = COrv_FileUtil().GetStartupFolder();
  if (folder.empty()) return;
  const fs::path entry = fs::path(folder) / kStartupShortcut;
  std::error_code ec;
  if (fs::is_regular_file(fs::symlink_status(entry, ec)) || fs::is_symlink(fs::symlink_status(entry, ec)))
    fs::remove(entry, ec);
}

void COrv_App::OnAppAbout() {
  COrv_AboutDlg dlg(ProgramVersionLine(), m_frame.get());
  dlg.exec();
}

int COrv_App::ExitInstance() {
  if (m_hListLibrary != nullptr) {
    ::dlclose(m_hListLibrary);
    m_hListLibrary = nullptr;
  }
  if (m_step == Step::kNone) return 0;  // not started, or shut down already
  plat::ui::setHelpHandler({});
  m_help.CloseAll();
  if (m_presence) {
    if (m_presence->isRegistered()) m_presence->unregisterClass();
    m_presence.reset();
  }
  // Only the instance that set the mark removes it: a second instance must
  // never clear the mark of the one that runs.
  if (m_bMarked) {
    StartupDataPath ownPath;
    StartupDataPath& env = m_services.dataPath ? *m_services.dataPath : ownPath;
    env.MarkDataPathInUse(false);
    m_bMarked = false;
  }
  m_step = Step::kNone;
  return 0;
}

void COrv_App::onActivate() {
  if (m_frame) plat::ipc::activateTopLevel(m_frame.get());
}

void COrv_App::onClose() {
  if (m_frame) m_frame->close();
}

void COrv_App::onMessage(plat::ipc::UINT message, uint64_t wParam, plat::ipc::ATOM atom) {
  if (m_nTestCommandMessage != 0 && message == m_nTestCommandMessage && m_frame) {
    if (wParam != 0) {
      LogTestEvent("command", std::to_string(wParam) + (m_frame->Commands().Execute(static_cast<int>(wParam))
                                                            ? " done"
                                                            : " refused"));
    } else if (atom != 0) {
      const std::string page = plat::ipc::globalAtomText(atom);
      LogTestEvent("grammar page", m_frame->GrammarLink().SendGrammarPage(page) ? "delivered" : "refused");
    }
    if (atom != 0) plat::ipc::GlobalDeleteAtom(atom);
    return;
  }
  if (message != m_nInterAppMessage || !m_frame) {
    if (atom != 0) plat::ipc::GlobalDeleteAtom(atom);
    return;
  }
  m_frame->OnInterAppMessage(wParam, atom);
}

}  // namespace orv::shell
