#pragma once
// The information lists of one Echomark together, as the document and the
// main frame each hold them: links, wave list, dictionary, comments,
// introductions and word lists, filled kind by kind by the content readers.

#include <cstdint>
#include <string>

#include "player/book/info_base.h"
#include "player/book/info_lists.h"
#include "player/book/wave_list.h"

class COrv_InfoBundle {
 public:
  // Information kinds (HasInfo, and the readers' kind masks).
  enum Kind : int {
    kWordText = 1,
    kComment = 2,
    kIntroduction = 4,
    kFixedWords = 8,
    kKeywords = 16,
    kDictionary = 32,
    kSegmentStarts = 64,
    kWaves = 128,
    kLinks = 512,
  };

  COrv_InfoBundle() = default;
  COrv_InfoBundle(const COrv_InfoBundle&) = delete;
  COrv_InfoBundle& operator=(const COrv_InfoBundle&) = delete;
  virtual ~COrv_InfoBundle();

  // Clears word lists, introductions, comments, dictionary, waves (deleting
  // their files) and links, in this order.
  void ClearAll();

  // Sets the sink (not owned) of the bundle and of each list.
  void SetErrorSink(orv::InfoErrorSink* sink);
  orv::InfoErrorSink* GetErrorSink() const { return m_errorSink; }
  // Forwards to the sink with kind 0; 0 without a sink.
  int ReportError(int code, const std::string& text, const std::string& sourceFile, int line) const;

  // Whether the bundle holds information of a kind: kinds 1, 2 and 4 in
  // that language; 128 for that list key of the wave list (the language
  // argument carries the key); the other kinds whatever the language.
  // Unknown kinds: false.
  bool HasInfo(int kind, std::uint32_t language) const;

  // The Echomark the bundle was last filled for (0: none).
  void SetQuoteNumber(std::int32_t n) { m_quote = n; }
  std::int32_t GetQuoteNumber() const { return m_quote; }

  COrv_LinkInfo& Links() { return m_links; }
  CQlWaves& Waves() { return m_waves; }
  COrv_DictionaryInfo& Dictionary() { return m_dictionary; }
  COrv_CommentInfo& Comments() { return m_comments; }
  COrv_PrologInfo& Introductions() { return m_introductions; }
  COrv_WordInfo& Words() { return m_words; }
  const COrv_LinkInfo& Links() const { return m_links; }
  const CQlWaves& Waves() const { return m_waves; }
  const COrv_DictionaryInfo& Dictionary() const { return m_dictionary; }
  const COrv_CommentInfo& Comments() const { return m_comments; }
  const COrv_PrologInfo& Introductions() const { return m_introductions; }
  const COrv_WordInfo& Words() const { return m_words; }

 private:
  // Built in this order, destroyed in the reverse one.
  COrv_LinkInfo m_links;
  CQlWaves m_waves;
  COrv_DictionaryInfo m_dictionary;
  COrv_CommentInfo m_comments;
  COrv_PrologInfo m_introductions;
  COrv_WordInfo m_words;
  std::string m_text;
  std::int32_t m_quote = 0;
  orv::InfoErrorSink* m_errorSink = nullptr;
};
