#pragma once
// COrv_App: the player's application object. InitInstance decides, in a fixed
// order, whether the player may run, prepares the data path, serves the
// switches that end the start early, hands a requested book to an instance
// that already runs, builds the main frame, logs the user in and opens the
// book named on the command line. ExitInstance undoes the process-wide
// pieces.
//
// Single instance: the frame class "Kestrelle" is a plat::ipc presence held
// by the first instance. It is taken right after the command line is read,
// before anything is written, so that a second instance never touches the
// data path of the first: it may still serve -load (the installation, then
// the hand-over of the code), but it never switches, creates or marks the
// data path and leaves the auto-install list alone. Requests that reach the
// first instance before its start-up is complete (during the log-in
// dialog, say) are held and carried out once it announces itself ready.
//
// Every outside piece a step depends on comes through AppServices, so that
// tests can fail any step offscreen.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ipc/presence.h"
#include "player/env/environment.h"
#include "player/env/help.h"
#include "player/shell/command_line.h"
#include "player/shell/main_frame.h"
#include "player/views/typed_char_router.h"

namespace orv::install {
class FileInstaller;
}

namespace orv::shell {

using BookInstaller = orv::install::FileInstaller;
class COrv_Setup;
class LoadSwitchServices;
class LoginPrompt;

inline constexpr const char* kFrameClass = "Kestrelle";
inline constexpr const char* kInterAppMessage = "Orvex_PRIVATEMSG_INTERAPP";
// In test mode only: another program runs a command of the main window
// (wParam: its id), as the learner's key or click would; wParam 0 with an
// atom asks for the grammar page the atom names, as a word's grammar link
// does.
inline constexpr const char* kTestCommandMessage = "Orvex_TEST_COMMAND";
// The one-time start-up entry that the first start removes from the user's
// autostart folder.
inline constexpr const char* kStartupShortcut = "Talvane Player first start.desktop";

// The data-path calls of the start-up, on one environment object, so that
// a fallback that changes only the cached data path holds for the calls
// after it.
class StartupDataPath {
 public:
  virtual ~StartupDataPath() = default;
  virtual bool HasPublicFolder() { return m_env.HasPublicFolder(); }
  // The public folder check with moving allowed.
  virtual bool CheckPublicDataPath() { return m_env.CheckPublicDataPath(true, ""); }
  // The cached data path.
  virtual std::string ReadDataPath() { return m_env.ReadDataPath(false); }
  virtual std::string GetDefaultDataPath() { return m_env.GetDefaultDataPath(); }
  virtual bool VerifyDataPath(const std::string& path) { return m_env.VerifyDataPath(&path); }
  virtual bool CreateDataPath(const std::string& path) { return m_env.CreateDataPath(&path); }
  // Makes the path the data path and stores it.
  virtual bool SetDataPath(const std::string& path) { return m_env.SetDataPath(path, true); }
  virtual bool MarkDataPathInUse(bool on) { return COrv_Environment().MarkDataPathInUse(on); }

 private:
  COrv_Environment m_env;
};

struct AppServices {
  // The number of wave-out devices; none: the audio backend's count.
  std::function<uint32_t()> waveOutCount;
  // Loads the list library and answers its handle (null when it is not
  // there); none: by name from the program folder.
  std::function<void*()> loadListLibrary;
  // The running program's folder; empty: the real one.
  std::filesystem::path programFolder;
  // The support files CheckSetup asks for; empty: the default list.
  std::vector<std::string> supportFiles;
  // Not owned; null: the real ones.
  StartupDataPath* dataPath = nullptr;
  LoadSwitchServices* loadSwitch = nullptr;
  BookInstaller* installer = nullptr;
  LoginPrompt* login = nullptr;
  // Replaces the installation object (the -instal and -uninstal switches,
  // the support files); none: COrv_Setup.
  std::function<std::unique_ptr<COrv_Setup>(const std::filesystem::path& programFolder)> makeSetup;
  // The main frame's screen, DDE server, book windows and play commands.
  FrameServices frame;
  // Whether the frame is shown (tests may keep it hidden).
  bool showFrame = true;
};

class COrv_App : public plat::ipc::PresenceHandler {
 public:
  // Where InitInstance ended; kRunning when the program goes on.
  enum class Step {
    kNone,
    kAudio,
    kPublicFolder,
    kDataPath,
    kLoad,
    kNoStart,
    kHandOver,
    kUninstall,
    kInstall,
    kCheckSetup,
    kFrame,
    kRunning,
  };

  explicit COrv_App(AppServices services = {});
  ~COrv_App() override;
  COrv_App(const COrv_App&) = delete;
  COrv_App& operator=(const COrv_App&) = delete;

  // The start-up over the arguments after the program name. True keeps the
  // program running; false ends it (ExitInstance follows in either case).
  bool InitInstance(const std::vector<std::string>& args);
  // The shut-down: list library freed, help windows closed, the frame class
  // given up and the data path's in-use mark removed, each only when this
  // instance set it up. Answers the exit code.
  int ExitInstance();

  Step EndedAt() const { return m_step; }
  CMainFrame* MainFrame() const { return m_frame.get(); }
  const COrv_CommandLineInfo& CommandLine() const { return m_cmd; }
  COrv_HtmlHelp& Help() { return m_help; }
  // True once this instance holds the frame class.
  bool RegisteredFrameClass() const { return m_presence && m_presence->isRegistered(); }
  // True once this instance has marked the data path in use.
  bool MarkedDataPath() const { return m_bMarked; }

  // The single-instance test: 1 when this is the first instance and holds
  // the class, 0 when another instance runs (it has been asked to come to
  // the front) or the class cannot be taken.
  int RegisterFrameClass();
  // 0 stops the start (string 20066 shown).
  int CheckSetup(COrv_Setup& setup);
  // Removes the one-time start-up entry from the autostart folder.
  static void DeleteStartupShortcut();
  void OnAppAbout();

  // What another instance asks of the holder of the frame class.
  void onActivate() override;
  void onClose() override;
  void onMessage(plat::ipc::UINT message, uint64_t wParam, plat::ipc::ATOM atom) override;

 private:
  bool end(Step step);
  // Destroys the main frame, uninstalling its state as the holder of the
  // current user's name first.
  void dropFrame();
  bool prepareDataPath();
  bool handOver();
  std::filesystem::path programFolder() const;

  AppServices m_services;
  COrv_CommandLineInfo m_cmd;
  COrv_HtmlHelp m_help;
  std::unique_ptr<plat::ipc::ClassPresence> m_presence;
  std::unique_ptr<CMainFrame> m_frame;
  std::unique_ptr<orv::views::TypedCharRouter> m_charRouter;
  void* m_hListLibrary = nullptr;
  bool m_bMarked = false;
  Step m_step = Step::kNone;
  plat::ipc::UINT m_nInterAppMessage = 0;
  plat::ipc::UINT m_nTestCommandMessage = 0;
};

}  // namespace orv::shell
