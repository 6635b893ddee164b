#pragma once
// COrv_Talvane: one Talvane as the player holds it while it is open: its
// identity and numbers, per language its source file, title and
// description, the dispatcher that reads its book content file and its
// media spots.
//
// The per-language texts live in three string lists indexed through the
// base's key-pair map: key = language, subkey 1 description, 2 title, 3
// source file. Language -1 stands for the original language. An original
// language that is not set is kNoLanguage in memory (the installed-book
// information answers -1 for it, and the setter takes any negative number
// as "not set"), so no negative language ever reaches the information files.
//
// Closed after construction and Close, open after a successful Open. Every
// refusal is reported to the error sink (source "Talvane", kind 0) and
// answers 0; a refused call changes nothing but the code stored by Open.

#include <cstdint>
#include <string>
#include <vector>

#include "player/book/content_dispatch.h"
#include "player/book/info_base.h"
#include "player/book/info_lists.h"

class COrv_InfoBundle;

class COrv_Talvane : public COrv_InfoBase {
 public:
  static constexpr int kNoLanguage = 99999;
  static constexpr const char* kSourceFile = "Talvane";
  // Open flag: the caller has filled the book's information itself (code
  // and source file), so nothing is read from the installed books.
  static constexpr int kOpenFilled = 1;
  // Every information kind of an Echomark (the bundle's kinds).
  static constexpr int kAllKinds = 1 | 2 | 4 | 8 | 16 | 32 | 64 | 128 | 512;
  // The speed renderings asked with the wave list: all nine speeds.
  static constexpr int kAllSpeeds = 0x1FF;

  // Error codes and the lines the reports carry.
  enum Code { kErrState = 18, kErrNotInstalled = 20 };
  enum Line {
    kLineOpenBusy = 68,
    kLineOpenNoSource = 78,
    kLineLoadBusy = 135,
    kLineNotInstalled = 145,
    kLineWriteClosed = 374,
    kLineWriteNoLanguage = 382,
  };

  COrv_Talvane();
  ~COrv_Talvane() override;

  // Empties the three string lists and the base's map.
  void Clear() override;

  // Opens the book's content. Without kOpenFilled the information is read
  // from the installed books first (LoadBookInfo). Then the content reader
  // opens the content file and the media spots are read (a book without
  // readable spots still opens). 1 on success; 0 when the book is open
  // already (the open book stays as it was), when kOpenFilled comes without
  // a code or a source file, or when the information or the content cannot
  // be read.
  int Open(const std::string& code, int flags);
  // Empties the spot list (deleting its files), the texts and the map, and
  // closes the content reader when the content is open.
  void Close();
  bool IsOpen() const { return (m_openFlags & 1) != 0; }

  // Reads the installed book's information: format version, original
  // language, the source file of the original language (searched for in
  // the candidate folders), category, difficulty, description, title and
  // number of Echomarks. 0 when the book is open or the code is not
  // installed.
  int LoadBookInfo(const std::string& code);
  // Reads the kinds of `mask` of Echomark n into the bundle, in the order
  // 1, 8, 16, 64, 4, 2, 32, 512, 128 (the wave list with all speeds); the
  // first failure ends with 0. On success the bundle records n. Language
  // -1 is the original language. 0 while the content is not open.
  int LoadQuoteInfo(COrv_InfoBundle& bundle, int n, int language, int mask);
  // Registers the open book in the installed books (replacing an earlier
  // installation, whose users keep their status) and writes its numbers,
  // texts, source type and medium title. 0 when the book is not open, has
  // no original language, or a write fails.
  int WriteBookInfo();

  // Sets the sink of the book and of its content reader.
  void SetErrorSink(orv::InfoErrorSink* sink);
  void SetBookErrorSink(orv::InfoErrorSink* sink) { SetErrorSink(sink); }

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
  void SetOrigLanguage(int n) { m_origLanguage = n < 0 ? kNoLanguage : n; }
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
  int report(int line, int code) const { return ReportError(line, kSourceFile, code, 0); }

  COrv_SpotInfo m_spots;
  COrv_TvlCoreIO m_reader;
  int m_numQuotes = 0;
  int m_openFlags = 0;
  int m_origLanguage = kNoLanguage;
  int m_difficult = 0;
  int m_category = 0;
  std::vector<std::string> m_descriptions;
  std::vector<std::string> m_titles;
  std::string m_code;
  int m_tvlClass = 0;
  std::vector<std::string> m_sourceFiles;
};
