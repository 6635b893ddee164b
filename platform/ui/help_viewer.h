#pragma once
// The help viewer behind an interface without Qt.
//
// A help file is a folder of HTML pages (`Orv_HL<code>/`) holding a
// contents page "contents.html" and an index page "index.html" beside the
// topic pages. A request names its target the way the callers build it:
//
//     <folder>[::/<topic>][><window type>]
//
// The topic is a page path relative to the folder, with an optional
// "#anchor"; the window type names the help window to use (one window per
// type; none is the default window). Window type names hold neither '>'
// nor '/', which is what tells a window type from a folder name holding '>'.
//
// Every request goes to the process-wide current viewer: the programs use
// the QTextBrowser viewer (help_viewer_qt.h), tests a RecordingHelpViewer.
// A request whose folder is missing shows nothing and says nothing.

#include <cstdint>
#include <filesystem>
#include <utility>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat::ui {

// The window that asks for help, as an opaque handle (0: none).
using HelpOwner = std::uintptr_t;

enum class HelpCommand { CloseAll, Contents, Index, Search, Topic };

struct HelpRequest {
  HelpCommand command = HelpCommand::Contents;
  HelpOwner owner = 0;
  std::string target;  // empty for CloseAll
  // Search only: the text to look for (empty: open the search page), whether
  // to match page titles only, and whether to run the search at once.
  std::string query;
  bool titlesOnly = false;
  bool execute = false;

  bool operator==(const HelpRequest&) const = default;
};

std::string_view helpCommandName(HelpCommand command);  // "closeall", "contents", ...

struct HelpAddress {
  std::filesystem::path folder;
  std::string topic;       // without the leading "::/"; may hold "#anchor"
  std::string windowType;  // empty: the default window
};
HelpAddress parseHelpAddress(std::string_view target);
std::string formatHelpAddress(const HelpAddress& address);

class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  // Carries out the request; answers whether a page was shown (for CloseAll,
  // true). A missing folder or page answers false and shows nothing.
  virtual bool display(const HelpRequest& request) = 0;
};

// The viewer every call goes to. Until one is set it is chosen at first use:
// in test mode a recording viewer; with a QApplication the QTextBrowser
// viewer; otherwise a viewer that shows nothing.
HelpViewer& currentHelpViewer();
// Makes `viewer` (not owned) the current one and answers the previous one
// set this way; nullptr goes back to the default choice.
HelpViewer* setCurrentHelpViewer(HelpViewer* viewer);

class ScopedHelpViewer {
 public:
  explicit ScopedHelpViewer(HelpViewer& viewer) : previous_(setCurrentHelpViewer(&viewer)) {}
  ~ScopedHelpViewer() { setCurrentHelpViewer(previous_); }
  ScopedHelpViewer(const ScopedHelpViewer&) = delete;
  ScopedHelpViewer& operator=(const ScopedHelpViewer&) = delete;

 private:
  HelpViewer* previous_;
};

// The HtmlHelp-shaped call: goes to the current viewer.
bool HtmlHelp(const HelpRequest& request);

// A viewer that shows nothing: it records every request and answers
// whether the request's folder exists (CloseAll: true), as a real viewer
// would. With a log file set, each request is also appended to it as a
// "help" line (see test_mode.h); in test mode the log of TALVANE_TEST_LOG.
class RecordingHelpViewer : public HelpViewer {
 public:
  bool display(const HelpRequest& request) override;
  void setLogFile(std::filesystem::path path) { log_ = std::move(path); }
  const std::vector<HelpRequest>& requests() const { return requests_; }
  void clear() { requests_.clear(); }

 private:
  std::vector<HelpRequest> requests_;
  std::filesystem::path log_;
};

// --- The pages of a help folder ---------------------------------------------
struct HelpPage {
  std::string path;   // relative to the folder, '/'-separated
  std::string title;  // the page's <title>, else its file name
  bool operator==(const HelpPage&) const = default;
};

// Reads a help folder. The pages come from outside the program: every page
// is read with a size limit, the walk is bounded in depth and count, and
// symbolic links are not followed, so a hostile folder costs little and
// never leads outside itself.
class HelpFolder {
 public:
  static constexpr std::uintmax_t kMaxPageBytes = 4u << 20;
  static constexpr std::size_t kMaxPages = 5000;
  static constexpr int kMaxDepth = 8;

  explicit HelpFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}
  bool exists() const;
  const std::filesystem::path& folder() const { return folder_; }

  // Every .htm/.html page, sorted by path.
  std::vector<HelpPage> pages() const;
  // The contents and index pages; empty when the folder has none (a viewer
  // then lists the pages itself).
  std::filesystem::path contentsPage() const;
  std::filesystem::path indexPage() const;
  // The file of a topic ("sub/page.htm#anchor" gives sub/page.htm) when it
  // is a page inside the folder; nothing for a missing page or one that
  // leads outside the folder.
  std::optional<std::filesystem::path> topicFile(std::string_view topic) const;
  // The pages holding every word of the query, without regard to case, in
  // their visible text (titlesOnly: in their titles). An empty query finds
  // nothing.
  std::vector<HelpPage> search(std::string_view query, bool titlesOnly = false) const;

 private:
  std::filesystem::path folder_;
};

// The anchor of a topic ("page.htm#a" gives "a"), empty when none.
std::string topicAnchor(std::string_view topic);

// A page's title and visible text (tags, scripts and styles dropped,
// entities decoded, white space folded). Pages that are not valid UTF-8 are
// read as CP1252.
struct PageText {
  std::string title;
  std::string text;
};
PageText extractPageText(std::string_view html);

}  // namespace plat::ui
