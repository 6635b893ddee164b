#include "grammar/main_frame.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <functional>

#include "grammar/boxes.h"
#include "grammar/brindle_browse.h"
#include "platform/ui/message_box.h"
#include "platform/ui/qt_message_box.h"
#include "platform/ui/test_mode.h"
#include "shared/language/orv_language.h"

namespace {

constexpr int kBarId = 110;
constexpr int kMaxLanguageDigits = 10;

std::string execText(const void* data, uint32_t size) {
  if (data == nullptr) return {};
  const char* text = static_cast<const char*>(data);
  return std::string(text, strnlen(text, size));
}

// The language index written as decimal text (blanks around it allowed);
// false for anything else, or a value beyond 32 bits.
bool parseLanguage(const std::string& text, unsigned& out) {
  std::size_t i = text.find_first_not_of(" \t\r\n");
  const std::size_t end = text.find_last_not_of(" \t\r\n");
  if (i == std::string::npos) return false;
  uint64_t value = 0;
  int digits = 0;
  for (; i <= end; ++i) {
    if (text[i] < '0' || text[i] > '9' || ++digits > kMaxLanguageDigits) return false;
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  if (value > 0xFFFFFFFFu) return false;
  out = static_cast<unsigned>(value);
  return true;
}

// The language object's index for a stored index: beyond the browser's
// languages it is the program's own (English).
int languageIndex(unsigned index) {
  return index <= static_cast<unsigned>(COrv_Language::kBrowserHighestIndex) ? static_cast<int>(index) : 0;
}

QString languageString(int id, unsigned language) {
  const COrv_Language lang(languageIndex(language), COrv_Language::kBrowserHighestIndex);
  return QString::fromStdString(lang.LoadString(id, languageIndex(language)));
}

}  // namespace

// --- DDE -------------------------------------------------------------------------

bool CGrammarPageTopic::Exec(const void* data, uint32_t size) {
  if (m_pFrame == nullptr) return false;
  return m_pFrame->ShowPage(execText(data, size));
}

bool CChangeGUILangTopic::Exec(const void* data, uint32_t size) {
  unsigned index = 0;
  if (m_pFrame == nullptr || !parseLanguage(execText(data, size), index)) return false;
  m_pFrame->SetLanguage(index);
  return true;
}

bool CBrindleDDEServer::OnCreated() {
  m_GrammarPageTopic.Create(kGrammarPageTopic);
  AddTopic(&m_GrammarPageTopic);
  m_ChangeGUILangTopic.Create(kChangeGUILangTopic);
  AddTopic(&m_ChangeGUILangTopic);
  return true;
}

// --- Button bar ----------------------------------------------------------------------

const std::array<CBrindleButtonBar::Row, CBrindleButtonBar::kRows> CBrindleButtonBar::kTable = {{
    {0, 0, 0, 0, 2, 2, {0, 0, 0, 0}},
    {1, CBrindleBrowse::ID_GO_BACK, 4, 20101, 30, 30, {146, 147, 0, 0}},
    {0, 0, 0, 0, 2, 2, {0, 0, 0, 0}},
    {1, CBrindleBrowse::ID_GO_FORWARD, 4, 20103, 30, 30, {150, 151, 0, 0}},
    {0, 0, 0, 0, 2, 2, {0, 0, 0, 0}},
    {1, CBrindleBrowse::ID_REFRESH, 4, 20104, 30, 30, {152, 153, 0, 0}},
    {0, 0, 0, 0, 2, 2, {0, 0, 0, 0}},
    {1, CBrindleBrowse::ID_GO_HOME, 4, 20102, 30, 30, {148, 149, 0, 0}},
    {0, 0, 0, 0, 10, 10, {0, 0, 0, 0}},
    {1, CMainFrame::ID_ALWAYS_ON_TOP, 2, 20105, 30, 30, {157, 155, 158, 156}},
}};

CBrindleButtonBar::CBrindleButtonBar(QWidget* parent) : QWidget(parent) {
  SetBackground(0, kDefaultColour);
  for (std::size_t r = 0; r < kTable.size(); ++r)
    if (kTable[r].kind == 1) m_buttons[r] = std::make_unique<tv::buttons::COrv_ButtonEx>();
}

CBrindleButtonBar::~CBrindleButtonBar() {
  // The hosts hold the buttons' windows: they go before the buttons do.
  for (auto*& host : m_hosts) {
    delete host;
    host = nullptr;
  }
}

void CBrindleButtonBar::Create(const std::function<void(int)>& onCommand, unsigned language) {
  int left = 0;
  int height = 0;
  for (const Row& row : kTable) height = std::max(height, row.height);
  setFixedHeight(height + 2);
  for (std::size_t r = 0; r < kTable.size(); ++r) {
    const Row& row = kTable[r];
    tv::buttons::COrv_ButtonEx* button = m_buttons[r].get();
    if (row.kind == 1 && button != nullptr && m_hosts[r] == nullptr) {
      button->SetBitmaps4(row.bitmaps[0], row.bitmaps[1], row.bitmaps[2], row.bitmaps[3]);
      button->SetMode(row.style);
      auto* host = new tv::buttons::ButtonHost(*button, onCommand, this);
      host->setObjectName(QString::number(row.command));
      if (host->CreateButton(row.command, QSize(row.width, row.width))) {
        // Vertically centred when lower than the bar, else at the top.
        const int top = row.width < this->height() ? (this->height() - row.width) / 2 : 0;
        host->move(left, top);
        host->show();
        m_hosts[r] = host;
      } else {
        delete host;
      }
    }
    left += row.width;
  }
  setMinimumWidth(left);
  LoadTooltips(language);
}

void CBrindleButtonBar::SetBackground(int mode, uint32_t value) {
  if (mode == 1) {
    const COrv_Language lang(0, COrv_Language::kBrowserHighestIndex);
    const auto picture = lang.LoadBitmap(static_cast<int>(value & 0xFFFFu), 0, 0, 0);
    QPixmap pattern;
    if (picture && !picture->file.empty()) pattern.load(QString::fromStdString(picture->file.string()));
    if (!pattern.isNull()) {
      m_nBackgroundMode = 1;
      m_nBackgroundValue = value;
      m_brush = QBrush(pattern);
      update();
      return;
    }
    value = kDefaultColour;
  }
  m_nBackgroundMode = 0;
  m_nBackgroundValue = value & 0xFFFFFFu;
  m_brush = QBrush(QColor::fromRgb(static_cast<QRgb>(m_nBackgroundValue)));
  update();
}

void CBrindleButtonBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), m_brush);
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawLine(0, height() - 1, width(), height() - 1);  // the bottom border
}

void CBrindleButtonBar::LoadTooltips(unsigned language) {
  for (std::size_t r = 0; r < kTable.size(); ++r)
    if (m_buttons[r] != nullptr) m_buttons[r]->SetToolTipText(languageString(kTable[r].tooltip, language).toStdString());
}

int CBrindleButtonBar::SetCheck(int command, bool checked) {
  int found = 0;
  for (std::size_t r = 0; r < kTable.size(); ++r) {
    tv::buttons::COrv_ButtonEx* button = m_buttons[r].get();
    if (button == nullptr || kTable[r].command != command || m_hosts[r] == nullptr) continue;
    button->SetPressed(checked);
    found = 1;
  }
  return found;
}

int CBrindleButtonBar::GetCheck(int command) const {
  const tv::buttons::COrv_ButtonEx* button = Button(command);
  return button == nullptr ? -1 : (button->IsDown() ? 1 : 0);
}

tv::buttons::COrv_ButtonEx* CBrindleButtonBar::Button(int command) const {
  for (std::size_t r = 0; r < kTable.size(); ++r)
    if (m_buttons[r] != nullptr && kTable[r].command == command) return m_buttons[r].get();
  return nullptr;
}

tv::buttons::ButtonHost* CBrindleButtonBar::ButtonWidget(int command) const {
  for (std::size_t r = 0; r < kTable.size(); ++r)
    if (m_hosts[r] != nullptr && kTable[r].command == command) return m_hosts[r];
  return nullptr;
}

// --- Main frame ----------------------------------------------------------------------

CMainFrame::CMainFrame(CBrindleBrowse* view, QWidget* parent) : QMainWindow(parent), m_pView(view) {
  m_server.m_GrammarPageTopic.m_pFrame = this;
  m_server.m_ChangeGUILangTopic.m_pFrame = this;
  setObjectName("ClsBrindle");
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect s = screen->geometry();
    setGeometry(static_cast<int>(0.05 * s.width()), static_cast<int>(0.1 * s.height()),
                static_cast<int>(0.4 * s.width()), static_cast<int>(0.7 * s.height()));
  }
  setCentralWidget(view);
  // The browser's boxes belong to this window, even while the player's
  // window is the active one.
  plat::ui::setApplicationWindow(this);
}

CMainFrame::~CMainFrame() {
  if (plat::ui::applicationWindow() == this) plat::ui::setApplicationWindow(nullptr);
  m_server.Shutdown();
}

bool CMainFrame::OnCreate(const char* service) {
  auto* bar = new QToolBar(this);
  bar->setObjectName(QString::number(kBarId));
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setContextMenuPolicy(Qt::PreventContextMenu);
  m_pBar = new CBrindleButtonBar(bar);
  m_pBar->SetBackground(0, CBrindleButtonBar::kDefaultColour);
  m_pBar->Create([this](int id) { OnCommand(id); }, m_nLanguage);
  bar->addWidget(m_pBar);
  addToolBar(Qt::TopToolBarArea, bar);

  m_pBar->SetCheck(ID_ALWAYS_ON_TOP, true);
  SetTopmost(true);

  if (!m_server.Create(service)) {
    char text[64];
    std::snprintf(text, sizeof text, "Service failed to start. Error: %d", static_cast<int>(m_server.GetLastDdeError()));
    brindle::tell(text);
  }
  return true;
}

namespace {
// In test mode, what the browser shows goes to the shared test log, so that
// tests of the player and the browser together can follow it.
void logShown(const std::string& what, const std::string& detail) {
  if (!plat::ui::testMode()) return;
  const char* log = std::getenv(plat::ui::kTestLogVariable);
  if (log == nullptr || *log == '\0') return;
  std::string line = "event\tbrowser " + what + "\t";
  for (char c : detail) line += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
  plat::ui::appendTestLogLine(log, line + "\n");
}
}  // namespace

bool CMainFrame::ShowPage(const std::string& page) {
  if (brindle::boxOpen()) return false;
  QTimer::singleShot(0, this, [this, page] {
    // A box opened since the request came: the page under it is left alone.
    if (brindle::boxOpen()) return;
    m_pView->Navigate(page);
    logShown("page", std::filesystem::path(page).filename().string());
    logShown("title", m_pView->documentTitle().toStdString());
  });
  return true;
}

void CMainFrame::SetLanguage(unsigned index) {
  m_nLanguage = index;
  setWindowTitle(languageString(IDS_TITLE, index));
  if (m_pBar != nullptr) m_pBar->LoadTooltips(index);
  if (plat::ui::testMode()) {
    std::string shown = windowTitle().toStdString();
    for (const CBrindleButtonBar::Row& row : CBrindleButtonBar::kTable) {
      if (row.kind != 1 || m_pBar == nullptr || m_pBar->Button(row.command) == nullptr) continue;
      shown += "|" + m_pBar->Button(row.command)->ToolTipText();
    }
    logShown("language", std::to_string(index) + " " + shown);
  }
}

void CMainFrame::OnCommand(int id) {
  if (id == ID_ALWAYS_ON_TOP) {
    SetTopmost(m_pBar != nullptr && m_pBar->GetCheck(ID_ALWAYS_ON_TOP) == 1);
    return;
  }
  m_pView->OnCommand(id);
}

void CMainFrame::SetTopmost(bool on) {
  if (IsTopmost() == on) return;
  // Changing the flag re-creates the native window: size, place and
  // visibility are kept.
  const QRect place = geometry();
  const bool shown = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  setGeometry(place);
  if (shown) show();
}

bool CMainFrame::IsTopmost() const { return windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

void CMainFrame::focusInEvent(QFocusEvent* e) {
  QMainWindow::focusInEvent(e);
  if (m_pView != nullptr) m_pView->viewport()->repaint();
}

bool CMainFrame::event(QEvent* e) {
  const bool handled = QMainWindow::event(e);
  // The frame window taking the focus back (the window becoming active
  // again) repaints the page at once, as a focus change on the frame does.
  if (e->type() == QEvent::WindowActivate && m_pView != nullptr) m_pView->viewport()->repaint();
  return handled;
}
