#pragma once
// The application's help services: the table from help contexts to topic
// pages, the set-up of the help object for a help language, the help entry
// that falls back to the contents page, and the About box's version line.
//
// Help contexts are 0x10000 plus a command, control or dialog id.

#include <cstdint>
#include <string>
#include <string_view>

class COrv_HtmlHelp;

namespace orv::shell {

inline constexpr std::uint32_t kHelpContextBase = 0x10000;
inline constexpr std::uint32_t kHelpContext = 1;  // the only command that shows a topic
inline constexpr int kHelpLanguageStored = -1;
inline constexpr int kHelpLanguageWindows = -2;

// The topic page of command or window `id`, or empty when it has none.
std::string_view HelpTopicForId(std::uint32_t id);
// Every page the table names (the help folder of each language holds them).
const std::string_view* HelpTopicPages(std::size_t& count);

// Points `help` at the help folder of `language` (-1: the stored help
// language, -2: the system's language), window type "Main", no owner. When
// that language has no help folder, the stored help language becomes 0
// (English); the index itself is kept for this run. Answers the index used.
int InitHelp(COrv_HtmlHelp& help, int language);
// True when `command` is HELP_CONTEXT and the context's page was shown.
bool ShowHelpTopic(COrv_HtmlHelp& help, std::uint32_t context, std::uint32_t command);
// ShowHelpTopic, else the contents page.
void WinHelp(COrv_HtmlHelp& help, std::uint32_t context, std::uint32_t command);

// "major.minor.patch.build" of the program's version, or empty when the
// version is unknown (the About box then shows an empty line).
std::string FormatVersionLine(std::string_view version);
// The version line of this build.
std::string ProgramVersionLine();

}  // namespace orv::shell
