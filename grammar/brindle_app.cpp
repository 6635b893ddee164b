#include "grammar/brindle_app.h"

#include <QApplication>

#include "grammar/brindle_browse.h"
#include "grammar/main_frame.h"
#include "grammar/page_store.h"
#include "platform/fs/program_folder.h"
#include "platform/ipc/activate_window.h"
#include "shared/language/orv_language.h"
#include "shared/pages/work_folder.h"

CBrindleApp::CBrindleApp() = default;
CBrindleApp::CBrindleApp(Options options) : m_options(std::move(options)) {}
CBrindleApp::~CBrindleApp() { ExitInstance(); }

bool CBrindleApp::InitInstance() {
  m_nExitCode = 0;
  // Only a running player starts the browser.
  if (!plat::ipc::findClass(kPlayerClass)) return false;

  m_presence = std::make_unique<plat::ipc::ClassPresence>(kFrameClass, this);
  switch (m_presence->registerClass()) {
    case plat::ipc::ClassPresence::Result::First:
      break;
    case plat::ipc::ClassPresence::Result::Exists:
      plat::ipc::requestActivate(kFrameClass);
      m_presence.reset();
      return false;
    case plat::ipc::ClassPresence::Result::Failed:
      m_presence.reset();
      return false;
  }

  auto store = std::make_unique<CBrindlePageStore>(
      m_options.workFolder.empty() ? tv::pages::WorkFolder() : m_options.workFolder,
      m_options.programFolder.empty() ? plat::fs::programFolder() : m_options.programFolder);
  if (const std::optional<int> code = store->SetUp()) {
    m_nExitCode = *code;
    ExitInstance();
    m_nExitCode = *code;
    return false;
  }

  auto* view = new CBrindleBrowse(std::move(store));
  m_frame = std::make_unique<CMainFrame>(view);
  m_frame->OnCreate(m_options.service != nullptr ? m_options.service : CMainFrame::kServiceName);
  m_frame->SetLanguage(0);
  view->OnInitialUpdate();
  m_frame->show();
  m_frame->update();
  // Requests of the player (activation, close) are taken from now on.
  m_presence->announceReady();
  return true;
}

int CBrindleApp::ExitInstance() {
  m_frame.reset();
  if (m_presence) {
    m_presence->unregisterClass();
    m_presence.reset();
  }
  return m_nExitCode;
}

void CBrindleApp::onActivate() {
  if (m_frame) plat::ipc::activateTopLevel(m_frame.get());
}

void CBrindleApp::onClose() {
  if (m_frame) m_frame->close();
}
