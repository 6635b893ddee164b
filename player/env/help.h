#pragma once
// COrv_HtmlHelp: the application's one door to the help viewer. It holds
// the help folder of the help language, an optional window type and the
// window that asks; every Show request is ignored while the folder is
// missing.
//
// Targets are "<folder>" (+ ">" + window type), and for a topic
// "<folder>::/<topic>" (+ ">" + window type).

#include <optional>
#include <string>

#include "platform/ui/help_viewer.h"

class COrv_HtmlHelp {
 public:
  COrv_HtmlHelp() = default;
  virtual ~COrv_HtmlHelp() = default;

  // Closes every help window (the application also does so at exit).
  void CloseAll();
  // Both close every help window before they take the new value.
  void SetOwner(plat::ui::HelpOwner window);
  void SetHelpFile(const std::string& path);
  void SetWindowType(const std::string& name);  // empty: none

  // False without a file; else whether the help folder exists.
  bool HelpFileExists() const;
  void ShowContents();
  void ShowIndex();
  // Runs a full-text search for `query` (none: an empty one).
  void ShowSearch(const std::optional<std::string>& query = std::nullopt);
  void ShowTopic(const std::string& topic);

  const std::string& GetWindowType() const { return m_strWindowType; }
  const std::string& GetHelpFile() const { return m_strHelpFile; }
  plat::ui::HelpOwner GetOwner() const { return m_hOwner; }

 private:
  std::string target(const std::string& topic) const;
  void display(plat::ui::HelpRequest request);

  std::string m_strWindowType;
  std::string m_strHelpFile;
  plat::ui::HelpOwner m_hOwner = 0;
};
