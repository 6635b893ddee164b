#include "player/shell/grammar_link.h"

#include <system_error>

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>

#include "platform/fs/module_names.h"
#include "platform/fs/program_folder.h"
#include "platform/ipc/presence.h"
#include "platform/ui/message_box.h"
#include "shared/dde/dde_server.h"
#include "shared/language/orv_language.h"
#include "shared/pages/work_folder.h"

namespace fs = std::filesystem;

COrv_GrammarLink::COrv_GrammarLink(GrammarBrowserHost& host, GrammarDdeClient* dde,
                                   std::function<int()> interfaceLanguage)
    : host_(host), dde_(dde), interfaceLanguage_(std::move(interfaceLanguage)) {}

bool COrv_GrammarLink::IsGrammarBrowserRunning() { return host_.IsRunning(); }

bool COrv_GrammarLink::StartGrammarBrowser() {
  if (host_.IsRunning()) return true;
  const COrv_Language lang;
  const fs::path folder = host_.ProgramFolder();
  if (folder.empty()) {
    plat::ui::AppMessageBox(lang.LoadString(kStrNoBrowserPath), plat::ui::MB_OK);
    return false;
  }
  const std::optional<plat::fs::ModuleFile> file = plat::fs::moduleFile(kProgram);
  const fs::path program = folder / (file ? file->fileName : std::string(kProgram));
  std::error_code ec;
  if (!fs::is_regular_file(program, ec)) {
    plat::ui::AppMessageBox(lang.LoadString(kStrNoBrowser), plat::ui::MB_OK);
    return false;
  }
  // While the started browser is awaited, the event loop runs: a request
  // that arrives meanwhile (from another program) must not start a second
  // one.
  if (starting_) return false;
  if (const std::optional<std::string> failure = host_.Start(program)) {
    plat::ui::MessageBox(*failure, kStartErrorCaption, plat::ui::MB_ICONINFORMATION);
    return false;
  }
  starting_ = true;
  const GrammarBrowserHost::Wait wait = host_.WaitUntilReady(readyTimeoutMs_);
  starting_ = false;
  switch (wait) {
    case GrammarBrowserHost::Wait::Ready:
      break;
    case GrammarBrowserHost::Wait::Ended:
      // The browser ended on its own before taking requests: whatever went
      // wrong it has told the learner itself.
      return false;
    case GrammarBrowserHost::Wait::TimedOut:
      plat::ui::AppMessageBox(lang.LoadString(kStrNoBrowser), plat::ui::MB_OK);
      return false;
  }
  const int language = interfaceLanguage_ ? interfaceLanguage_() : 0;
  SendGrammarLanguage(static_cast<unsigned>(language < 0 ? 0 : language));
  return true;
}

bool COrv_GrammarLink::SendGrammarPage(const std::string& page) {
  if (!StartGrammarBrowser()) return false;
  if (!host_.IsRunning() || dde_ == nullptr) return false;
  if (dde_->Execute(kService, kPageTopic, page) != GrammarDdeClient::Result::Done) return false;
  ActivateGrammarBrowser();
  return true;
}

bool COrv_GrammarLink::SendGrammarLanguage(unsigned index) {
  if (!host_.IsRunning() || dde_ == nullptr) return false;
  return dde_->Execute(kService, kLanguageTopic, std::to_string(index)) == GrammarDdeClient::Result::Done;
}

bool COrv_GrammarLink::ActivateGrammarBrowser() {
  host_.Activate();
  return true;
}

bool COrv_GrammarLink::CloseGrammarBrowser() {
  if (host_.IsRunning()) host_.Close();
  return true;
}

fs::path COrv_GrammarLink::IndexPage() { return tv::pages::WorkFolder() / kIndexPageName; }

void COrv_GrammarLink::OnShowGrammarPage() {
  const bool hasApp = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
  if (hasApp) QApplication::setOverrideCursor(Qt::WaitCursor);
  SendGrammarPage(IndexPage().string());
  if (hasApp) QApplication::restoreOverrideCursor();
}

void COrv_GrammarLink::OnActivateGrammarBrowser() {
  if (host_.IsRunning()) ActivateGrammarBrowser();
}

// --- The system side ------------------------------------------------------

bool SystemGrammarBrowser::IsRunning() { return plat::ipc::findClass(COrv_GrammarLink::kWindowClass); }

fs::path SystemGrammarBrowser::ProgramFolder() { return plat::fs::programFolder(); }

std::optional<std::string> SystemGrammarBrowser::Start(const fs::path& program) {
  // Detached: the player keeps no hold on the browser, which outlives
  // nothing but is closed by request.
  QProcess process;
  process.setProgram(QString::fromStdString(program.string()));
  process.setWorkingDirectory(QString::fromStdString(program.parent_path().string()));
  qint64 pid = 0;
  if (!process.startDetached(&pid)) {
    const std::string text = process.errorString().toStdString();
    return text.empty() ? std::string("The program could not be started.") : text;
  }
  pid_ = pid;
  return std::nullopt;
}

GrammarBrowserHost::Wait SystemGrammarBrowser::WaitUntilReady(int timeoutMs) {
  // Timers and other programs' requests go on meanwhile; the learner's input waits.
  switch (plat::ipc::waitForStartedProgram(COrv_GrammarLink::kWindowClass, pid_, timeoutMs, [] {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  })) {
    case plat::ipc::WAIT_OBJECT_0: return Wait::Ready;
    case plat::ipc::WAIT_FAILED: return Wait::Ended;
    default: return Wait::TimedOut;
  }
}

bool SystemGrammarBrowser::Activate() { return plat::ipc::requestActivate(COrv_GrammarLink::kWindowClass); }

bool SystemGrammarBrowser::Close() { return plat::ipc::requestClose(COrv_GrammarLink::kWindowClass); }

GrammarDdeClient::Result ServerDdeClient::Execute(const char* service, const char* topic, const std::string& command) {
  current_ = new CDDEConv(&server_);
  current_->AddRef();
  if (!current_->ConnectTo(service, topic)) {
    current_->Release();
    current_ = nullptr;
    return Result::NoConnection;
  }
  const bool done = current_->Exec(command.c_str());
  current_->Terminate();
  current_->Release();
  current_ = nullptr;
  return done ? Result::Done : Result::Refused;
}
