#include "player/book/talvane.h"

#include "platform/fs/program_folder.h"
#include "player/book/book_info.h"
#include "player/book/info_bundle.h"

// Media spots are written into a private folder of the player's own, never
// into the shared temporary folder, where another user could plant a link
// or a file of the same name.
COrv_Talvane::COrv_Talvane() {
  const std::filesystem::path folder = plat::fs::privateFolder("spots");
  if (!folder.empty()) m_spots.SetFolder(folder);
}

COrv_Talvane::~COrv_Talvane() { Close(); }

void COrv_Talvane::Clear() {
  m_descriptions.clear();
  m_titles.clear();
  m_sourceFiles.clear();
  COrv_InfoBase::Clear();
}

void COrv_Talvane::SetErrorSink(orv::InfoErrorSink* sink) {
  COrv_InfoBase::SetErrorSink(sink);
  m_reader.SetErrorSink(sink);
}

int COrv_Talvane::Open(const std::string& code, int flags) {
  if (IsOpen()) return report(kLineOpenBusy, kErrState);
  SetCode(code);
  if (flags & kOpenFilled) {
    if (code.empty() || GetSourceFile(-1).empty()) return report(kLineOpenNoSource, kErrState);
  } else if (!LoadBookInfo(code)) {
    return 0;
  }
  if (!m_reader.Open(*this)) return 0;
  m_spots.Load();  // optional: a book without readable spots opens all the same
  m_openFlags |= 1;
  return 1;
}

void COrv_Talvane::Close() {
  m_spots.Clear();
  Clear();
  if (IsOpen()) {
    m_reader.Close();
    m_openFlags &= ~1;
  }
}

int COrv_Talvane::LoadBookInfo(const std::string& code) {
  if (IsOpen()) return report(kLineLoadBusy, kErrState);
  orv::COrv_BookInfo info;
  if (!info.SelectBook(code)) return report(kLineNotInstalled, kErrNotInstalled);
  SetCode(info.GetSelectedCode());
  SetTvlClass(info.GetTvlClass());
  SetOrigLanguage(info.GetOrigLanguage());  // -1 (none) becomes kNoLanguage
  SetSourceFile(info.GetSourceFile(-1, true), -1);
  SetCategory(info.GetCategory());
  SetDifficulty(info.GetDifficulty());
  SetDescription(info.GetDescription(-1), -1);
  SetTitle(info.GetTitle(-1), -1);
  SetNumQuotes(info.GetNumQuotes());
  return 1;
}

int COrv_Talvane::LoadQuoteInfo(COrv_InfoBundle& bundle, int n, int language, int mask) {
  if (language == -1) language = m_origLanguage;
  if (!IsOpen()) return 0;
  // Texts and word lists first, the wave list (the costly part) last.
  static constexpr int kOrder[] = {1, 8, 16, 64, 4, 2, 32, 512, 128};
  for (const int kind : kOrder) {
    if ((mask & kind) == 0) continue;
    if (!m_reader.ReadInfo(kind, n, bundle, language, kind == 128 ? kAllSpeeds : 0)) return 0;
  }
  bundle.SetQuoteNumber(n);
  return 1;
}

int COrv_Talvane::WriteBookInfo() {
  if (!IsOpen()) return report(kLineWriteClosed, kErrState);
  if (m_origLanguage == kNoLanguage || m_origLanguage < 0) return report(kLineWriteNoLanguage, kErrState);
  // The whole information file is built first and then put in place, so
  // that a crash never leaves half of it.
  orv::COrv_BookInfo info;
  const std::string source = GetSourceFile(-1);
  if (!info.BeginBook(m_code) || !info.Register(m_code, source, m_origLanguage, true)) return 0;
  bool ok = info.SetTvlClass(m_tvlClass);
  ok = info.SetCategory(m_category) && ok;
  ok = info.SetDifficulty(m_difficult) && ok;
  ok = info.SetDescription(GetDescription(-1), -1) && ok;
  ok = info.SetTitle(GetTitle(-1), -1) && ok;
  ok = info.SetNumQuotes(m_numQuotes) && ok;
  ok = info.SetSourceType(source, -1) && ok;
  if (const std::string medium = info.GetMediumTitle(); !medium.empty()) ok = info.SetCDROMTitle(medium) && ok;
  return ok && info.CommitBook() ? 1 : 0;
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
