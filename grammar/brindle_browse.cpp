#include "grammar/brindle_browse.h"

#include <QKeyEvent>
#include <algorithm>
#include <QMouseEvent>
#include <QUrl>

CBrindleBrowse::CBrindleBrowse(std::unique_ptr<CBrindlePageStore> store, QWidget* parent)
    : QTextBrowser(parent), m_store(std::move(store)) {
  setOpenLinks(true);
  setOpenExternalLinks(false);
  setContextMenuPolicy(Qt::NoContextMenu);
}

CBrindleBrowse::~CBrindleBrowse() = default;

void CBrindleBrowse::OnInitialUpdate() { Navigate(m_store->IndexPage().string()); }

void CBrindleBrowse::Navigate(std::string_view pageOrUrl) {
  const QString text = QString::fromUtf8(pageOrUrl.data(), static_cast<qsizetype>(pageOrUrl.size()));
  QUrl url;
  if (text.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
    url = QUrl(text);
  } else {
    const qsizetype hash = text.indexOf(QLatin1Char('#'));
    url = QUrl::fromLocalFile(hash < 0 ? text : text.left(hash));
    if (hash >= 0) url.setFragment(text.mid(hash + 1));
  }
  setSource(url);
}

bool CBrindleBrowse::OnCommand(int id) {
  switch (id) {
    case ID_GO_BACK:
      if (CanGoBack()) GoToHistory(m_nHistoryPos - 1);
      return true;
    case ID_GO_FORWARD:
      if (CanGoForward()) GoToHistory(m_nHistoryPos + 1);
      return true;
    case ID_GO_HOME:
      OnInitialUpdate();
      return true;
    case ID_REFRESH:
      if (m_store->CurrentPage() != CBrindlePageStore::kNoPage) Navigate(m_store->CurrentPage());
      return true;
    case ID_TEXT_LARGEST: SetTextSize(4); return true;
    case ID_TEXT_LARGER: SetTextSize(3); return true;
    case ID_TEXT_MEDIUM: SetTextSize(2); return true;
    case ID_TEXT_SMALLER: SetTextSize(1); return true;
    case ID_TEXT_SMALLEST: SetTextSize(0); return true;
    default:
      return false;
  }
}

void CBrindleBrowse::SetTextSize(int level) {
  static constexpr qreal kScale[] = {0.75, 0.875, 1.0, 1.25, 1.5};
  level = std::clamp(level, 0, 4);
  if (m_fBasePointSize <= 0) m_fBasePointSize = font().pointSizeF() > 0 ? font().pointSizeF() : 10.0;
  QFont scaled = font();
  scaled.setPointSizeF(m_fBasePointSize * kScale[level]);
  setFont(scaled);
  m_nTextSize = level;
}

void CBrindleBrowse::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
  // Only local pages are shown; a link to anything else is not followed.
  if (!name.isLocalFile()) return;
  const std::optional<std::filesystem::path> page = m_store->BeforeNavigate(name.toLocalFile().toStdString());
  if (!page) return;
  m_bShown = true;
  QUrl local = QUrl::fromLocalFile(QString::fromStdString(page->string()));
  local.setFragment(name.fragment());
  QTextBrowser::doSetSource(local, type);
  m_store->AfterNavigate();
  if (m_bInHistory) return;
  m_history.resize(static_cast<std::size_t>(m_nHistoryPos + 1));
  m_history.push_back(local);
  m_nHistoryPos = static_cast<int>(m_history.size()) - 1;
}

void CBrindleBrowse::GoToHistory(int pos) {
  m_bInHistory = true;
  m_bShown = false;
  setSource(m_history[static_cast<std::size_t>(pos)]);
  m_bInHistory = false;
  if (m_bShown) m_nHistoryPos = pos;
}

void CBrindleBrowse::keyPressEvent(QKeyEvent* event) {
  const bool alt = event->modifiers() & Qt::AltModifier;
  if (event->key() == Qt::Key_Back || (alt && event->key() == Qt::Key_Left)) {
    OnCommand(ID_GO_BACK);
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Forward || (alt && event->key() == Qt::Key_Right)) {
    OnCommand(ID_GO_FORWARD);
    event->accept();
    return;
  }
  QTextBrowser::keyPressEvent(event);
}

void CBrindleBrowse::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QTextBrowser::mousePressEvent(event);
}

void CBrindleBrowse::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QTextBrowser::mouseReleaseEvent(event);
}
