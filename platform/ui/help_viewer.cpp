#include "platform/ui/help_viewer.h"

#include <QString>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <system_error>

#include "platform/fs/file_io.h"
#include "platform/ui/help_viewer_qt.h"
#include "platform/ui/test_mode.h"

namespace stdfs = std::filesystem;

namespace plat::ui {

namespace {

constexpr std::string_view kTopicMark = "::/";

class NullHelpViewer : public HelpViewer {
 public:
  bool display(const HelpRequest&) override { return false; }
};

struct ViewerState {
  std::mutex mutex;
  HelpViewer* set = nullptr;
  std::unique_ptr<HelpViewer> fallback;
};

ViewerState& state() {
  static ViewerState s;
  return s;
}

// Characters 0x80-0x9F of CP1252; the rest of the code page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

QString decodePage(std::string_view bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (!utf8.hasError()) return text;
  text.clear();
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text += (b >= 0x80 && b <= 0x9F) ? QChar(kCp1252High[b - 0x80]) : QChar(static_cast<char16_t>(b));
  }
  return text;
}

bool startsWithAt(const QString& s, qsizetype at, QLatin1StringView what) {
  return s.mid(at, what.size()).compare(what, Qt::CaseInsensitive) == 0;
}

// Decodes the entity at `at` (pointing at '&'); answers its text and moves
// `at` past it, or answers "&" for a lone ampersand.
QString decodeEntity(const QString& s, qsizetype& at) {
  const qsizetype semi = s.indexOf(u';', at);
  if (semi < 0 || semi - at > 10) {
    ++at;
    return QStringLiteral("&");
  }
  const QString name = s.mid(at + 1, semi - at - 1);
  QString out;
  if (name.startsWith(u'#')) {
    bool ok = false;
    const uint code = (name.size() > 1 && (name[1] == u'x' || name[1] == u'X')) ? name.mid(2).toUInt(&ok, 16)
                                                                                  : name.mid(1).toUInt(&ok, 10);
    if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
      const char32_t c = code;
      out = QString::fromUcs4(&c, 1);
    }
  } else if (name == u"amp") {
    out = QStringLiteral("&");
  } else if (name == u"lt") {
    out = QStringLiteral("<");
  } else if (name == u"gt") {
    out = QStringLiteral(">");
  } else if (name == u"quot") {
    out = QStringLiteral("\"");
  } else if (name == u"apos") {
    out = QStringLiteral("'");
  } else if (name == u"nbsp") {
    out = QStringLiteral(" ");
  }
  if (out.isEmpty()) {
    ++at;
    return QStringLiteral("&");
  }
  at = semi + 1;
  return out;
}

QString simplified(const QString& s) { return s.simplified(); }

std::string toUtf8(const QString& s) {
  const QByteArray b = s.toUtf8();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

QString fromUtf8(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool isPageName(const stdfs::path& p) {
  const QString ext = QString::fromStdString(p.extension().string()).toLower();
  return ext == u".htm" || ext == u".html";
}

// Whether `inner` is `outer` or lies below it (both canonical).
bool within(const stdfs::path& outer, const stdfs::path& inner) {
  auto o = outer.begin();
  auto i = inner.begin();
  for (; o != outer.end(); ++o, ++i) {
    if (i == inner.end() || *o != *i) return false;
  }
  return true;
}

std::optional<PageText> readPage(const stdfs::path& file) {
  std::error_code ec;
  const auto size = stdfs::file_size(file, ec);
  if (ec || size > HelpFolder::kMaxPageBytes) return std::nullopt;
  std::string bytes;
  if (plat::fs::readFile(file, bytes)) return std::nullopt;
  return extractPageText(bytes);
}

}  // namespace

std::string_view helpCommandName(HelpCommand command) {
  switch (command) {
    case HelpCommand::CloseAll: return "closeall";
    case HelpCommand::Contents: return "contents";
    case HelpCommand::Index: return "index";
    case HelpCommand::Search: return "search";
    case HelpCommand::Topic: return "topic";
  }
  return "contents";
}

HelpAddress parseHelpAddress(std::string_view target) {
  HelpAddress a;
  const size_t gt = target.rfind('>');
  if (gt != std::string_view::npos) {
    const std::string_view type = target.substr(gt + 1);
    if (type.find('/') == std::string_view::npos) {
      a.windowType = std::string(type);
      target = target.substr(0, gt);
    }
  }
  const size_t mark = target.find(kTopicMark);
  if (mark != std::string_view::npos) {
    a.topic = std::string(target.substr(mark + kTopicMark.size()));
    target = target.substr(0, mark);
  }
  a.folder = stdfs::path(std::string(target));
  return a;
}

std::string formatHelpAddress(const HelpAddress& a) {
  std::string s = a.folder.string();
  if (!a.topic.empty()) {
    s += kTopicMark;
    s += a.topic;
  }
  if (!a.windowType.empty()) {
    s += '>';
    s += a.windowType;
  }
  return s;
}

HelpViewer& currentHelpViewer() {
  ViewerState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.set) return *s.set;
  if (!s.fallback) {
    if (testMode() && !testModeShows("help")) {
      auto recording = std::make_unique<RecordingHelpViewer>();
      if (const char* log = std::getenv(kTestLogVariable); log != nullptr && *log != '\0') recording->setLogFile(log);
      s.fallback = std::move(recording);
    }
    else if (qtHelpUsable())
      s.fallback = std::make_unique<QtHelpViewer>();
    else
      s.fallback = std::make_unique<NullHelpViewer>();
  }
  return *s.fallback;
}

HelpViewer* setCurrentHelpViewer(HelpViewer* viewer) {
  ViewerState& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  HelpViewer* previous = s.set;
  s.set = viewer;
  return previous;
}

bool HtmlHelp(const HelpRequest& request) { return currentHelpViewer().display(request); }

bool RecordingHelpViewer::display(const HelpRequest& request) {
  requests_.push_back(request);
  if (!log_.empty()) appendTestLogLine(log_, formatHelpLine(helpCommandName(request.command), request.target, request.query));
  if (request.command == HelpCommand::CloseAll) return true;
  return HelpFolder(parseHelpAddress(request.target).folder).exists();
}

// --- HelpFolder -------------------------------------------------------------

bool HelpFolder::exists() const {
  std::error_code ec;
  return !folder_.empty() && stdfs::is_directory(folder_, ec);
}

std::vector<HelpPage> HelpFolder::pages() const {
  std::vector<HelpPage> pages;
  if (!exists()) return pages;
  std::error_code ec;
  stdfs::recursive_directory_iterator it(folder_, stdfs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != stdfs::recursive_directory_iterator(); it.increment(ec)) {
    if (it.depth() >= kMaxDepth) it.disable_recursion_pending();
    std::error_code sec;
    if (it->is_symlink(sec) || !it->is_regular_file(sec) || !isPageName(it->path())) continue;
    if (pages.size() >= kMaxPages) break;
    HelpPage page;
    page.path = it->path().lexically_relative(folder_).generic_string();
    if (auto text = readPage(it->path()); text && !text->title.empty())
      page.title = text->title;
    else
      page.title = it->path().filename().string();
    pages.push_back(std::move(page));
  }
  std::sort(pages.begin(), pages.end(), [](const HelpPage& a, const HelpPage& b) { return a.path < b.path; });
  return pages;
}

std::optional<stdfs::path> HelpFolder::topicFile(std::string_view topic) const {
  if (!exists()) return std::nullopt;
  const std::string_view page = topic.substr(0, topic.find('#'));
  const stdfs::path relative{std::string(page)};
  if (page.empty() || relative.is_absolute() || !isPageName(relative)) return std::nullopt;
  std::error_code ec;
  const stdfs::path root = stdfs::canonical(folder_, ec);
  if (ec) return std::nullopt;
  const stdfs::path file = stdfs::weakly_canonical(root / relative, ec);
  if (ec || !within(root, file) || !stdfs::is_regular_file(file, ec)) return std::nullopt;
  return file;
}

stdfs::path HelpFolder::contentsPage() const { return topicFile("contents.html").value_or(stdfs::path()); }
stdfs::path HelpFolder::indexPage() const { return topicFile("index.html").value_or(stdfs::path()); }

std::vector<HelpPage> HelpFolder::search(std::string_view query, bool titlesOnly) const {
  std::vector<HelpPage> hits;
  const QStringList words = fromUtf8(query).toCaseFolded().split(u' ', Qt::SkipEmptyParts);
  QStringList folded;
  for (const QString& w : words) {
    const QString s = w.simplified();
    if (!s.isEmpty()) folded += s.split(u' ', Qt::SkipEmptyParts);
  }
  if (folded.isEmpty()) return hits;
  for (HelpPage& page : pages()) {
    const auto text = readPage(folder_ / stdfs::path(page.path));
    if (!text) continue;
    const QString haystack = fromUtf8(titlesOnly ? text->title : text->title + " " + text->text).toCaseFolded();
    const bool all = std::all_of(folded.begin(), folded.end(), [&](const QString& w) { return haystack.contains(w); });
    if (all) hits.push_back(std::move(page));
  }
  return hits;
}

std::string topicAnchor(std::string_view topic) {
  const size_t hash = topic.find('#');
  return hash == std::string_view::npos ? std::string() : std::string(topic.substr(hash + 1));
}

PageText extractPageText(std::string_view html) {
  const QString s = decodePage(html);
  QString text;
  QString title;
  bool inTitle = false;
  qsizetype i = 0;
  const qsizetype n = s.size();
  while (i < n) {
    const QChar c = s[i];
    if (c == u'<') {
      if (startsWithAt(s, i, QLatin1StringView("<!--"))) {
        const qsizetype end = s.indexOf(QLatin1StringView("-->"), i + 4);
        i = end < 0 ? n : end + 3;
        continue;
      }
      const qsizetype close = s.indexOf(u'>', i + 1);
      if (close < 0) break;
      QString tag = s.mid(i + 1, close - i - 1).trimmed();
      const bool ending = tag.startsWith(u'/');
      if (ending) tag.remove(0, 1);
      const qsizetype nameEnd = tag.indexOf(QRegularExpression(QStringLiteral("[\\s/]")));
      const QString name = (nameEnd < 0 ? tag : tag.left(nameEnd)).toLower();
      i = close + 1;
      if (!ending && (name == u"script" || name == u"style")) {
        const QString endTag = QStringLiteral("</") + name;
        const qsizetype end = s.indexOf(endTag, i, Qt::CaseInsensitive);
        if (end < 0) break;
        const qsizetype endClose = s.indexOf(u'>', end);
        i = endClose < 0 ? n : endClose + 1;
        continue;
      }
      if (name == u"title") {
        inTitle = !ending;
        continue;
      }
      (inTitle ? title : text) += u' ';  // tags separate words
      continue;
    }
    if (c == u'&') {
      (inTitle ? title : text) += decodeEntity(s, i);
      continue;
    }
    (inTitle ? title : text) += c;
    ++i;
  }
  return PageText{toUtf8(simplified(title)), toUtf8(simplified(text))};
}

}  // namespace plat::ui
