#include "player/env/msg_box.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/ui/message_box.h"
#include "shared/language/orv_language.h"

namespace orv {

void exitWithCode(int32_t n) {
  std::fflush(stdout);
  if (n >= 0 && n <= 255) {
    std::fflush(stderr);
    std::_Exit(n);
  }
  std::fprintf(stderr, "%d\n", static_cast<int>(n));
  std::fflush(stderr);
  std::_Exit(1);
}

namespace {
std::vector<std::pair<std::string, std::string>>& shownNames() {
  static std::vector<std::pair<std::string, std::string>> names;
  return names;
}
}  // namespace

ShownFileName::ShownFileName(std::string internal, std::string shown) : internal_(internal) {
  shownNames().emplace_back(std::move(internal), std::move(shown));
}

ShownFileName::~ShownFileName() {
  auto& names = shownNames();
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    if (it->first == internal_) {
      names.erase(std::next(it).base());
      break;
    }
  }
}

std::string ShownFileName::Apply(std::string text) {
  for (const auto& [internal, shown] : shownNames()) {
    if (internal.empty()) continue;
    for (size_t at = text.find(internal); at != std::string::npos; at = text.find(internal, at + shown.size()))
      text.replace(at, internal.size(), shown);
  }
  return text;
}

}  // namespace orv

namespace {

std::string errorHead(const std::string& prefix, int32_t n, int32_t s) {
  return prefix + " " + std::to_string(n) + "." + std::to_string(s) + "\n\n";
}

}  // namespace

std::string COrv_MsgBox::FormatText() const {
  if (m_nKind < 0 || m_nKind > 6) return {};
  const COrv_Language language;
  const std::string p = language.LoadString(orv::kStrErrorPrefix);
  const std::string x = orv::ShownFileName::Apply(m_strExtraText);
  // Kind 6 names no message.
  const std::string m = m_nKind == 6 ? std::string() : language.LoadString(m_nMessageId);
  const std::string head = errorHead(p, m_nErrorNumber, m_nSubNumber);
  switch (m_nKind) {
    case 0: return head + m;
    case 1:
    case 4: return head + m + " \n\n " + x;
    case 2: return head + x + " \n\n " + m;
    case 3: return m;
    case 5: return x + " " + m;
    case 6: return head + x;
  }
  return {};
}

int32_t COrv_MsgBox::Show() {
  using namespace plat::ui;
  if (m_nKind >= 0 && m_nKind <= 6) {
    const std::string text = FormatText();
    const bool warning = m_nKind == 3 || m_nKind == 5;
    const uint32_t flags = MB_TASKMODAL | MB_OK | (warning ? MB_ICONEXCLAMATION : MB_ICONSTOP);
    if (m_nKind == 4) {
      AppMessageBox(text, flags | MB_HELP, static_cast<uint32_t>(m_nHelpContext));
    } else {
      MessageBox(text, COrv_Language().LoadString(m_nCaptionId), flags);
    }
  }
  if (m_nExitFlag == 1) orv::exitWithCode(m_nErrorNumber);
  return m_nErrorNumber;
}
