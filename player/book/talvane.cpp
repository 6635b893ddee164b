#include "player/book/talvane.h"

#include "platform/fs/program_folder.h"

COrv_Talvane::COrv_Talvane() {
  const std::filesystem::path temp = plat::fs::systemTempFolder();
  if (!temp.empty()) m_spots.SetFolder(temp);
}

COrv_Talvane::~COrv_Talvane() {
  m_reader.Close();
  COrv_Talvane::Clear();
}

void COrv_Talvane::Clear() {
  m_descriptions.clear();
  m_titles.clear();
  m_sourceFiles.clear();
  COrv_InfoBase::Clear();
}

void COrv_Talvane::SetBookErrorSink(orv::InfoErrorSink* sink) {
  SetErrorSink(sink);
  m_reader.SetErrorSink(sink);
}

void COrv_Talvane::setText(std::vector<std::string>& list, const std::string& text, int language,
                           std::uint32_t subkey) {
  const std::uint32_t key = languageKey(language);
  int index = FindKeyPair(key, subkey);
  if (index < 0 || static_cast<size_t>(index) >= list.size()) {
    index = static_cast<int>(list.size());
    list.push_back(text);
  } else {
    list[static_cast<size_t>(index)] = text;
  }
  AddKeyPair(index, key, subkey);
}

std::string COrv_Talvane::getText(const std::vector<std::string>& list, int language, std::uint32_t subkey) const {
  const int index = FindKeyPair(languageKey(language), subkey);
  if (index < 0 || static_cast<size_t>(index) >= list.size()) return {};
  return list[static_cast<size_t>(index)];
}
