#pragma once
// The programs' help viewer: one help window per window type, each a
// QTextBrowser with Contents, Index and Search above it. Needs a
// QApplication; used only on the UI thread. The header is free of Qt.

#include <map>
#include <memory>
#include <string>

#include "platform/ui/help_viewer.h"

namespace plat::ui {

class QtHelpWindow;

class QtHelpViewer : public HelpViewer {
 public:
  QtHelpViewer();
  ~QtHelpViewer() override;

  // Contents and Index show the folder's contents or index page, or a list
  // of its pages when it has none; Search fills the search field and, when
  // asked to execute, lists the pages found; Topic shows the page at its
  // anchor. CloseAll closes every help window.
  bool display(const HelpRequest& request) override;

  // What a window shows, for tests: whether the window of `windowType` is
  // open, the local file it shows (empty for a generated list), its plain
  // text and its search field.
  bool isOpen(const std::string& windowType) const;
  std::string shownFile(const std::string& windowType) const;
  std::string shownText(const std::string& windowType) const;
  std::string searchText(const std::string& windowType) const;
  // Runs the search field's query in that window, as its Search button does.
  void runSearch(const std::string& windowType);

 private:
  QtHelpWindow* window(const std::string& windowType) const;
  struct Windows;
  std::unique_ptr<Windows> windows_;
};

// Whether a QApplication exists to show help windows in.
bool qtHelpUsable();

}  // namespace plat::ui
