#include "platform/ui/help_viewer_qt.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include "platform/fs/file_io.h"

namespace stdfs = std::filesystem;

namespace plat::ui {

namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::string utf8(const QString& s) {
  const QByteArray b = s.toUtf8();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

QString listPage(const QString& heading, const stdfs::path& folder, const std::vector<HelpPage>& pages) {
  QString html = QStringLiteral("<html><body><h2>") + heading.toHtmlEscaped() + QStringLiteral("</h2><ul>");
  for (const HelpPage& p : pages) {
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString((folder / stdfs::path(p.path)).string()));
    html += QStringLiteral("<li><a href=\"") + url.toString(QUrl::FullyEncoded).toHtmlEscaped() +
            QStringLiteral("\">") + qs(p.title).toHtmlEscaped() + QStringLiteral("</a></li>");
  }
  if (pages.empty()) html += QStringLiteral("<li>-</li>");
  return html + QStringLiteral("</ul></body></html>");
}

}  // namespace

class QtHelpWindow : public QWidget {
 public:
  QtHelpWindow() {
    setAttribute(Qt::WA_DeleteOnClose);
    // A help window never keeps the program running: when the program's
    // own windows close, the main loop ends and the program closes its help
    // windows on the way out.
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(720, 560);
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    auto* contents = new QPushButton(QStringLiteral("Contents"), this);
    auto* index = new QPushButton(QStringLiteral("Index"), this);
    search_ = new QLineEdit(this);
    auto* go = new QPushButton(QStringLiteral("Search"), this);
    bar->addWidget(contents);
    bar->addWidget(index);
    bar->addWidget(search_, 1);
    bar->addWidget(go);
    layout->addLayout(bar);
    browser_ = new QTextBrowser(this);
    browser_->setOpenLinks(true);
    layout->addWidget(browser_, 1);
    // Links followed inside the window change what it shows.
    connect(browser_, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
      file_ = url.isLocalFile() ? url.toLocalFile().toStdString() : std::string();
    });
    connect(contents, &QPushButton::clicked, this, [this] { showContents(); });
    connect(index, &QPushButton::clicked, this, [this] { showIndex(); });
    connect(go, &QPushButton::clicked, this, [this] { runSearch(false); });
    connect(search_, &QLineEdit::returnPressed, this, [this] { runSearch(false); });
  }

  void setFolder(const stdfs::path& folder) {
    if (folder_.folder() == folder) return;
    folder_ = HelpFolder(folder);
    std::string title = folder.filename().string();
    // The window is named after the contents page.
    const stdfs::path contents = folder_.contentsPage();
    std::error_code ec;
    std::string bytes;
    if (!contents.empty() && stdfs::file_size(contents, ec) <= HelpFolder::kMaxPageBytes && !ec &&
        !plat::fs::readFile(contents, bytes)) {
      if (std::string t = extractPageText(bytes).title; !t.empty()) title = t;
    }
    setWindowTitle(qs(title));
  }

  void showContents() {
    const stdfs::path page = folder_.contentsPage();
    if (!page.empty()) return showFile(page, {});
    showGenerated(listPage(QStringLiteral("Contents"), folder_.folder(), folder_.pages()));
  }
  void showIndex() {
    const stdfs::path page = folder_.indexPage();
    if (!page.empty()) return showFile(page, {});
    showGenerated(listPage(QStringLiteral("Index"), folder_.folder(), folder_.pages()));
  }
  void showSearch(const std::string& query, bool titlesOnly, bool execute) {
    search_->setText(qs(query));
    if (execute && !query.empty()) return runSearch(titlesOnly);
    showGenerated(QStringLiteral("<html><body><h2>Search</h2></body></html>"));
    search_->setFocus();
  }
  void runSearch(bool titlesOnly) {
    const std::string query = utf8(search_->text());
    showGenerated(listPage(QStringLiteral("Search: ") + search_->text(), folder_.folder(),
                           folder_.search(query, titlesOnly)));
  }
  void showFile(const stdfs::path& file, const std::string& anchor) {
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(file.string()));
    if (!anchor.empty()) url.setFragment(qs(anchor));
    browser_->setSource(url);
    file_ = file.string();
  }
  void showGenerated(const QString& html) {
    browser_->setHtml(html);
    file_.clear();
  }

  std::string file() const { return file_; }
  std::string text() const { return utf8(browser_->toPlainText()); }
  std::string searchText() const { return utf8(search_->text()); }

 private:
  HelpFolder folder_{stdfs::path()};
  QTextBrowser* browser_ = nullptr;
  QLineEdit* search_ = nullptr;
  std::string file_;
};

struct QtHelpViewer::Windows {
  std::map<std::string, QPointer<QtHelpWindow>> byType;
};

QtHelpViewer::QtHelpViewer() : windows_(std::make_unique<Windows>()) {}

QtHelpViewer::~QtHelpViewer() {
  for (auto& [type, w] : windows_->byType)
    if (w) delete w.data();
}

QtHelpWindow* QtHelpViewer::window(const std::string& windowType) const {
  const auto it = windows_->byType.find(windowType);
  return it == windows_->byType.end() ? nullptr : it->second.data();
}

bool QtHelpViewer::display(const HelpRequest& request) {
  if (request.command == HelpCommand::CloseAll) {
    for (auto& [type, w] : windows_->byType)
      if (w) w->close();
    windows_->byType.clear();
    return true;
  }
  if (!qtHelpUsable()) return false;
  const HelpAddress address = parseHelpAddress(request.target);
  const HelpFolder folder(address.folder);
  if (!folder.exists()) return false;
  std::optional<stdfs::path> topic;
  if (request.command == HelpCommand::Topic) {
    topic = folder.topicFile(address.topic);
    if (!topic) return false;
  }
  QtHelpWindow* w = window(address.windowType);
  if (!w) {
    w = new QtHelpWindow;
    windows_->byType[address.windowType] = w;
  }
  w->setFolder(address.folder);
  switch (request.command) {
    case HelpCommand::Contents: w->showContents(); break;
    case HelpCommand::Index: w->showIndex(); break;
    case HelpCommand::Search: w->showSearch(request.query, request.titlesOnly, request.execute); break;
    case HelpCommand::Topic: w->showFile(*topic, topicAnchor(address.topic)); break;
    case HelpCommand::CloseAll: break;
  }
  w->show();
  w->raise();
  w->activateWindow();
  return true;
}

bool QtHelpViewer::isOpen(const std::string& windowType) const {
  const QtHelpWindow* w = window(windowType);
  return w && w->isVisible();
}
std::string QtHelpViewer::shownFile(const std::string& windowType) const {
  const QtHelpWindow* w = window(windowType);
  return w ? w->file() : std::string();
}
std::string QtHelpViewer::shownText(const std::string& windowType) const {
  const QtHelpWindow* w = window(windowType);
  return w ? w->text() : std::string();
}
std::string QtHelpViewer::searchText(const std::string& windowType) const {
  const QtHelpWindow* w = window(windowType);
  return w ? w->searchText() : std::string();
}
void QtHelpViewer::runSearch(const std::string& windowType) {
  if (QtHelpWindow* w = window(windowType)) w->runSearch(false);
}

bool qtHelpUsable() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace plat::ui
