#include "player/shell/command_line.h"

#include <cctype>
#include <charconv>

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Reads a leading decimal integer the way "%d" does: leading white space
// and a sign allowed, trailing text ignored. False when no digit starts it.
bool readInt(std::string_view text, int& out) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  int value = 0;
  const auto res = std::from_chars(first, last, value);
  if (res.ec != std::errc() || res.ptr == first) return false;
  out = value;
  return true;
}

}  // namespace

void COrv_CommandLineInfo::Parse(const std::vector<std::string>& args) {
  for (const std::string& arg : args) ParseParam(arg);
}

void COrv_CommandLineInfo::ParseParam(std::string_view text) {
  if (text.size() > 1 && text.front() == '-')
    ParseSwitch(text.substr(1));
  else
    ParseValue(text);
}

void COrv_CommandLineInfo::ParseSwitch(std::string_view text) {
  struct Switch {
    std::string_view name;
    int COrv_CommandLineInfo::*flag;
    int value;
  };
  static const Switch kSwitches[] = {
      {"us", &COrv_CommandLineInfo::m_bUser, 1},       {"pwd", &COrv_CommandLineInfo::m_bPassword, 1},
      {"usfc", &COrv_CommandLineInfo::m_bUsfc, 1},     {"tv", &COrv_CommandLineInfo::m_bBook, 1},
      {"path", &COrv_CommandLineInfo::m_bPath, 1},     {"nq", &COrv_CommandLineInfo::m_bNumber, 1},
      {"nfp", &COrv_CommandLineInfo::m_bNfp, 0},       {"idL", &COrv_CommandLineInfo::m_bIdL, 1},
      {"uninstal", &COrv_CommandLineInfo::m_bUninstal, 1}, {"instal", &COrv_CommandLineInfo::m_bInstal, 1},
      {"load", &COrv_CommandLineInfo::m_bLoad, 1},     {"nopen", &COrv_CommandLineInfo::m_bNoOpen, 1},
      {"nostart", &COrv_CommandLineInfo::m_bNoStart, 1},
  };
  for (const Switch& s : kSwitches) {
    if (equalsNoCase(text, s.name)) {
      this->*s.flag = s.value;
      return;
    }
  }
}

void COrv_CommandLineInfo::ParseValue(std::string_view text) {
  struct Slot {
    int COrv_CommandLineInfo::*flag;
    std::string COrv_CommandLineInfo::*text;
    int COrv_CommandLineInfo::*number;
  };
  static const Slot kSlots[] = {
      {&COrv_CommandLineInfo::m_bUser, &COrv_CommandLineInfo::m_strUser, nullptr},
      {&COrv_CommandLineInfo::m_bPassword, &COrv_CommandLineInfo::m_strPassword, nullptr},
      {&COrv_CommandLineInfo::m_bBook, &COrv_CommandLineInfo::m_strBook, nullptr},
      {&COrv_CommandLineInfo::m_bPath, &COrv_CommandLineInfo::m_strPath, nullptr},
      {&COrv_CommandLineInfo::m_bNumber, nullptr, &COrv_CommandLineInfo::m_nNumber},
      {&COrv_CommandLineInfo::m_bIdL, nullptr, &COrv_CommandLineInfo::m_nIdL},
      {&COrv_CommandLineInfo::m_bLoad, &COrv_CommandLineInfo::m_strLoadFile, nullptr},
  };
  for (const Slot& s : kSlots) {
    if (!(this->*s.flag)) continue;
    if (s.text) {
      if (!(this->*s.text).empty()) continue;
      this->*s.text = std::string(text);
      return;
    }
    if (this->*s.number != -1) continue;
    // A value "%d" cannot read is dropped and leaves the number at -1,
    // so the next value goes to the number again.
    readInt(text, this->*s.number);
    return;
  }
}
