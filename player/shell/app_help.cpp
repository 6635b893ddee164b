#include "player/shell/app_help.h"

#include <charconv>
#include <vector>

#include "player/env/environment.h"
#include "player/env/help.h"
#include "shared/language/orv_language.h"

#ifndef TV_PROGRAM_VERSION
#define TV_PROGRAM_VERSION ""
#endif

namespace orv::shell {
namespace {

struct Topic {
  std::string_view page;
  std::initializer_list<std::uint32_t> ids;
};

const Topic kTopics[] = {
    {"tvdifficultylevel.htm", {104}},
    {"tvcategory.htm", {105}},
    {"listening.htm", {115, 116}},
    {"fragment.htm", {118, 120, 198, 199, 213, 214, 32811, 32812}},
    {"speechview.htm", {119, 197}},
    {"changephrase.htm", {124, 125}},
    {"volume.htm", {126}},
    {"audiomodes.htm", {127, 140, 158, 159}},
    {"hereisthestory.htm", {131, 132, 133, 134, 403}},
    {"scratchpad.htm", {141, 143}},
    {"sofarsogood.htm", {142, 144, 154, 401}},
    {"grammar.htm", {146}},
    {"dictionary.htm", {147}},
    {"lazy.htm", {148, 32784}},
    {"letterbyletter.htm", {149}},
    {"spellcheck.htm", {150, 32790}},
    {"speakerpanel.htm", {152, 216, 220, 32776}},
    {"comment.htm", {153}},
    {"recording.htm", {193, 194, 195, 196, 32808}},
    {"auxpanel.htm", {215, 219, 32782}},
    {"quotebar.htm", {217, 32787}},
    {"userpanel.htm", {221}},
    {"speed.htm", {225, 32803, 32804, 32805}},
    {"statusbar.htm", {400, 59393}},
    {"transcription.htm", {402}},
    {"keyword.htm", {32780}},
    {"installtv.htm", {32814}},
};

}  // namespace

std::string_view HelpTopicForId(std::uint32_t id) {
  for (const Topic& t : kTopics)
    for (std::uint32_t i : t.ids)
      if (i == id) return t.page;
  return {};
}

const std::string_view* HelpTopicPages(std::size_t& count) {
  static const std::vector<std::string_view> pages = [] {
    std::vector<std::string_view> v;
    for (const Topic& t : kTopics) v.push_back(t.page);
    return v;
  }();
  count = pages.size();
  return pages.data();
}

int InitHelp(COrv_HtmlHelp& help, int language) {
  int index = language;
  if (language == kHelpLanguageStored)
    index = COrv_Environment().GetHelpLanguage();
  else if (language == kHelpLanguageWindows)
    index = COrv_Language::GetWindowsLanguage();
  const COrv_Language lang(index);
  if (!lang.HelpFileExists(index)) COrv_Environment().SetHelpLanguage(0);
  help.SetHelpFile(lang.GetHelpFilePath(index).string());
  help.SetWindowType("Main");
  help.SetOwner(0);
  return index;
}

bool ShowHelpTopic(COrv_HtmlHelp& help, std::uint32_t context, std::uint32_t command) {
  if (command != kHelpContext || context < kHelpContextBase) return false;
  const std::string_view page = HelpTopicForId(context - kHelpContextBase);
  if (page.empty()) return false;
  help.ShowTopic(std::string(page));
  return true;
}

void WinHelp(COrv_HtmlHelp& help, std::uint32_t context, std::uint32_t command) {
  if (!ShowHelpTopic(help, context, command)) help.ShowContents();
}

std::string FormatVersionLine(std::string_view version) {
  // Up to four dot-separated numbers, missing ones are 0; anything else
  // means no usable version.
  unsigned parts[4] = {0, 0, 0, 0};
  if (version.empty()) return {};
  std::size_t n = 0;
  const char* p = version.data();
  const char* end = p + version.size();
  while (true) {
    if (n == 4) return {};
    const auto r = std::from_chars(p, end, parts[n]);
    if (r.ec != std::errc() || parts[n] > 0xFFFF) return {};
    ++n;
    p = r.ptr;
    if (p == end) break;
    if (*p != '.') return {};
    ++p;
  }
  return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
         std::to_string(parts[3]);
}

std::string ProgramVersionLine() { return FormatVersionLine(TV_PROGRAM_VERSION); }

}  // namespace orv::shell
