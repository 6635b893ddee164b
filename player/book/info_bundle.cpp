#include "player/book/info_bundle.h"

COrv_InfoBundle::~COrv_InfoBundle() { ClearAll(); }

void COrv_InfoBundle::ClearAll() {
  m_words.Clear();
  m_introductions.Clear();
  m_comments.Clear();
  m_dictionary.Clear();
  m_waves.Clear();
  m_links.Clear();
}

void COrv_InfoBundle::SetErrorSink(orv::InfoErrorSink* sink) {
  m_errorSink = sink;
  m_links.SetErrorSink(sink);
  m_waves.SetErrorSink(sink);
  m_dictionary.SetErrorSink(sink);
  m_comments.SetErrorSink(sink);
  m_introductions.SetErrorSink(sink);
  m_words.SetErrorSink(sink);
}

int COrv_InfoBundle::ReportError(int code, const std::string& text, const std::string& sourceFile,
                                 int line) const {
  if (!m_errorSink) return 0;
  return m_errorSink->SetErrorText(line, sourceFile, code, 0, text);
}

bool COrv_InfoBundle::HasInfo(int kind, std::uint32_t language) const {
  switch (kind) {
    case kWordText: return !m_words.GetText(language).empty();
    case kComment: return !m_comments.GetText(language).empty();
    case kIntroduction: return !m_introductions.GetText(language).empty();
    case kFixedWords: return m_words.GetList8Count() > 0;
    case kKeywords: return m_words.GetList16Count() > 0;
    case kDictionary: return m_dictionary.GetWordCount() > 0;
    case kSegmentStarts: return m_words.GetSortedCount() > 0;
    case kWaves: return m_waves.HasWaveKey(language);
    case kLinks: return m_links.HasLinks();
    default: return false;
  }
}
