#include "player/env/help.h"

#include <filesystem>
#include <system_error>

using plat::ui::HelpCommand;
using plat::ui::HelpRequest;

void COrv_HtmlHelp::CloseAll() {
  HelpRequest r;
  r.command = HelpCommand::CloseAll;
  plat::ui::HtmlHelp(r);
}

void COrv_HtmlHelp::SetOwner(plat::ui::HelpOwner window) {
  CloseAll();
  m_hOwner = window;
}

void COrv_HtmlHelp::SetHelpFile(const std::string& path) {
  CloseAll();
  m_strHelpFile = path;
}

void COrv_HtmlHelp::SetWindowType(const std::string& name) { m_strWindowType = name; }

bool COrv_HtmlHelp::HelpFileExists() const {
  if (m_strHelpFile.empty()) return false;
  std::error_code ec;
  return std::filesystem::is_directory(m_strHelpFile, ec);
}

std::string COrv_HtmlHelp::target(const std::string& topic) const {
  plat::ui::HelpAddress a;
  a.folder = m_strHelpFile;
  a.topic = topic;
  a.windowType = m_strWindowType;
  return plat::ui::formatHelpAddress(a);
}

void COrv_HtmlHelp::display(HelpRequest request) {
  if (!HelpFileExists()) return;
  request.owner = m_hOwner;
  plat::ui::HtmlHelp(request);
}

void COrv_HtmlHelp::ShowContents() {
  HelpRequest r;
  r.command = HelpCommand::Contents;
  r.target = target({});
  display(std::move(r));
}

void COrv_HtmlHelp::ShowIndex() {
  HelpRequest r;
  r.command = HelpCommand::Index;
  r.target = target({});
  display(std::move(r));
}

void COrv_HtmlHelp::ShowSearch(const std::optional<std::string>& query) {
  HelpRequest r;
  r.command = HelpCommand::Search;
  r.target = target({});
  r.query = query.value_or(std::string());
  r.titlesOnly = false;
  r.execute = true;
  display(std::move(r));
}

void COrv_HtmlHelp::ShowTopic(const std::string& topic) {
  HelpRequest r;
  r.command = HelpCommand::Topic;
  r.target = target(topic);
  display(std::move(r));
}
