#pragma once
// COrv_Talvane: one Talvane as the player holds it while it is open: its
// identity and numbers, per language its source file, title and
// description, the dispatcher that reads its book content file and its
// media spots.
//
// The per-language texts live in three string lists indexed through the
// base's key-pair map: key = language, subkey 1 description, 2 title, 3
// source file. Language -1 stands for the original language. An original
// language that is not set is kNoLanguage in memory.

#include <cstdint>
#include <string>
#include <vector>

#include "player/book/content_dispatch.h"
#include "player/book/info_base.h"
#include "player/book/info_lists.h"

class COrv_Talvane : public COrv_InfoBase {
 public:
  static constexpr int kNoLanguage = 99999;
  static constexpr const char* kSourceFile = "Talvane";

  COrv_Talvane();
  ~COrv_Talvane() override;

  // Empties the three string lists and the base's map.
  void Clear() override;

  // Sets the sink of the book and of its content reader.
  void SetBookErrorSink(orv::InfoErrorSink* sink);

  void SetCode(const std::string& code) { m_code = code; }
  const std::string& GetCode() const { return m_code; }

  void SetSourceFile(const std::string& path, int language) { setText(m_sourceFiles, path, language, 3); }
  std::string GetSourceFile(int language) const { return getText(m_sourceFiles, language, 3); }
  void SetTitle(const std::string& text, int language) { setText(m_titles, text, language, 2); }
  std::string GetTitle(int language) const { return getText(m_titles, language, 2); }
  void SetDescription(const std::string& text, int language) { setText(m_descriptions, text, language, 1); }
  std::string GetDescription(int language) const { return getText(m_descriptions, language, 1); }

  void SetTvlClass(int n) { m_tvlClass = n; }
  int GetTvlClass() const { return m_tvlClass; }
  void SetOrigLanguage(int n) { m_origLanguage = n; }
  int GetOrigLanguage() const { return m_origLanguage; }
  void SetCategory(int n) { m_category = n; }
  int GetCategory() const { return m_category; }
  void SetDifficulty(int n) { m_difficult = n; }
  int GetDifficulty() const { return m_difficult; }
  void SetNumQuotes(int n) { m_numQuotes = n; }
  int GetNumQuotes() const { return m_numQuotes; }

  COrv_SpotInfo& Spots() { return m_spots; }
  COrv_TvlCoreIO& ContentReader() { return m_reader; }

 private:
  std::uint32_t languageKey(int language) const {
    return static_cast<std::uint32_t>(language == -1 ? m_origLanguage : language);
  }
  void setText(std::vector<std::string>& list, const std::string& text, int language, std::uint32_t subkey);
  std::string getText(const std::vector<std::string>& list, int language, std::uint32_t subkey) const;

  COrv_SpotInfo m_spots;
  COrv_TvlCoreIO m_reader;
  int m_numQuotes = 0;
  int m_origLanguage = kNoLanguage;
  int m_difficult = 0;
  int m_category = 0;
  std::vector<std::string> m_descriptions;
  std::vector<std::string> m_titles;
  std::string m_code;
  int m_tvlClass = 0;
  std::vector<std::string> m_sourceFiles;
};
