#pragma once
// CBrindleApp: start-up and shut-down of the grammar browser. The browser
// runs only beside a running player (window class "Kestrelle") and only
// once per user: a second start activates the first and ends.

#include <filesystem>
#include <memory>

#include "platform/ipc/presence.h"

class CMainFrame;

class CBrindleApp : public plat::ipc::PresenceHandler {
 public:
  static constexpr const char* kPlayerClass = "Kestrelle";
  static constexpr const char* kFrameClass = "ClsBrindle";

  struct Options {
    std::filesystem::path workFolder;     // empty: tv::pages::WorkFolder()
    std::filesystem::path programFolder;  // empty: the program's own
    const char* service = nullptr;        // null: "Brindle"
  };

  CBrindleApp();
  explicit CBrindleApp(Options options);
  ~CBrindleApp() override;

  // True when the browser runs; false when it is to end at once
  // (ExitCode() tells with which code).
  bool InitInstance();
  // Gives up the window class and the frame; answers the exit code.
  int ExitInstance();
  int ExitCode() const { return m_nExitCode; }

  CMainFrame* Frame() const { return m_frame.get(); }

  void onActivate() override;
  void onClose() override;

 private:
  Options m_options;
  std::unique_ptr<plat::ipc::ClassPresence> m_presence;
  std::unique_ptr<CMainFrame> m_frame;
  int m_nExitCode = 0;
};
