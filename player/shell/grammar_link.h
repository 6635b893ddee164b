#pragma once
// COrv_GrammarLink: the player's side of the grammar browser. The browser
// is a program of its own ("Brindle.exe" in the player's folder, window
// class "ClsBrindle", DDE service "Brindle"). The link starts it when a
// page is asked for, waits until it has announced itself ready (so that
// the first request is never lost), sends it the interface language and
// then the page, each as one short DDE conversation, brings it to the
// front and closes it when the player closes.
//
// The system side (presence of the browser, starting its program, asking
// it to come to the front or to close) is GrammarBrowserHost; the DDE side
// is GrammarDdeClient. The shipped program uses SystemGrammarBrowser and
// ServerDdeClient; tests put recording stand-ins in their place.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "player/book/grammar_page_host.h"

class CDDEConv;
class CDDEServer;

class GrammarBrowserHost {
 public:
  enum class Wait { Ready, Ended, TimedOut };
  virtual ~GrammarBrowserHost() = default;
  // Whether a browser window (class "ClsBrindle") exists for this user.
  virtual bool IsRunning() = 0;
  // The player's own folder; empty when it cannot be found.
  virtual std::filesystem::path ProgramFolder() = 0;
  // Starts `program` without arguments; nothing on success, else the
  // system's text of the failure.
  virtual std::optional<std::string> Start(const std::filesystem::path& program) = 0;
  // Waits for the program started last to announce itself ready: Ready,
  // Ended when it ended first, TimedOut when neither happened in time.
  virtual Wait WaitUntilReady(int timeoutMs) = 0;
  // Restores and raises the browser's window.
  virtual bool Activate() = 0;
  // Asks the browser to close (its window's close), without waiting for it
  // to end.
  virtual bool Close() = 0;
};

class GrammarDdeClient {
 public:
  enum class Result { NoConnection, Refused, Done };
  virtual ~GrammarDdeClient() = default;
  // One conversation: connect to `service` on `topic`, execute `command`,
  // disconnect.
  virtual Result Execute(const char* service, const char* topic, const std::string& command) = 0;
};

class COrv_GrammarLink : public orv::GrammarPageHost {
 public:
  static constexpr const char* kService = "Brindle";
  static constexpr const char* kPageTopic = "GrammarPage";
  static constexpr const char* kLanguageTopic = "ChangeGUILang";
  static constexpr const char* kWindowClass = "ClsBrindle";
  static constexpr const char* kProgram = "Brindle.exe";
  static constexpr const char* kIndexPageName = "0000.htm";
  // How long a started browser has to announce itself: its start-up
  // unpacks the index page before it takes requests.
  static constexpr int kReadyTimeoutMs = 15000;
  static constexpr int kStrNoBrowserPath = 20004;
  static constexpr int kStrNoBrowser = 20005;
  static constexpr const char* kStartErrorCaption = "Orvex Error";

  // `dde` may be null (no DDE server): no request is then delivered.
  // `interfaceLanguage` answers the language sent after every start.
  COrv_GrammarLink(GrammarBrowserHost& host, GrammarDdeClient* dde, std::function<int()> interfaceLanguage);

  bool IsGrammarBrowserRunning();
  // True when the browser runs, or was started and announced itself ready
  // (and has been sent the interface language).
  bool StartGrammarBrowser();
  // Starts the browser when needed, asks it to show `page` and brings it
  // to the front; true when the browser took the request.
  bool SendGrammarPage(const std::string& page) override;
  // Only while the browser runs; true when it took the language.
  bool SendGrammarLanguage(unsigned index);
  bool ActivateGrammarBrowser();
  // Asks a running browser to close; true.
  bool CloseGrammarBrowser();

  // Ctrl+F2: the grammar index page.
  void OnShowGrammarPage();
  // Shift+F2: a running browser comes to the front; otherwise nothing.
  void OnActivateGrammarBrowser();

  // The index page in the browser's working folder (tv::pages::WorkFolder()).
  static std::filesystem::path IndexPage();

  void SetReadyTimeout(int ms) { readyTimeoutMs_ = ms; }
  int ReadyTimeout() const { return readyTimeoutMs_; }

 private:
  GrammarBrowserHost& host_;
  GrammarDdeClient* dde_;
  std::function<int()> interfaceLanguage_;
  int readyTimeoutMs_ = kReadyTimeoutMs;
  bool starting_ = false;
};

// The real system side: the class presence of the platform layer and a
// detached process of the program.
class SystemGrammarBrowser : public GrammarBrowserHost {
 public:
  bool IsRunning() override;
  std::filesystem::path ProgramFolder() override;
  std::optional<std::string> Start(const std::filesystem::path& program) override;
  Wait WaitUntilReady(int timeoutMs) override;
  bool Activate() override;
  bool Close() override;

 private:
  int64_t pid_ = 0;
};

// Conversations on the player's DDE server; the conversation of the
// exchange under way is held (and referenced) only while it lasts.
class ServerDdeClient : public GrammarDdeClient {
 public:
  explicit ServerDdeClient(CDDEServer& server) : server_(server) {}
  Result Execute(const char* service, const char* topic, const std::string& command) override;
  CDDEConv* CurrentConversation() const { return current_; }

 private:
  CDDEServer& server_;
  CDDEConv* current_ = nullptr;
};
