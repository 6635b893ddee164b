#include "player/views/tv_document_panes.h"

#include <QString>

#include "player/book/tv_document.h"
#include "player/views/so_far_state.h"

namespace orv::views {

TvDocumentPanes::TvDocumentPanes(COrv_TvDocument& doc, TvDocumentView* view, GoToMenu goToMenu)
    : m_doc(doc), m_view(view), m_goTo(std::move(goToMenu)) {
  if (m_view) m_doc.AddView(m_view);
}

TvDocumentPanes::~TvDocumentPanes() {
  if (m_view) m_doc.RemoveView(m_view);
}

SoFarState TvDocumentPanes::GetSoFarState() const {
  return MakeSoFarState(m_doc.GetQuoteInfo(), m_doc.GetMaskChar(), m_doc.GetQuoteStatus(0),
                        m_doc.GetCurrentQuote());
}

std::uint32_t TvDocumentPanes::GetCurrentStatus() const { return m_doc.GetQuoteStatus(0); }

bool TvDocumentPanes::SetWordMark(int n, std::uint32_t mark, int flags) {
  return m_doc.SetWordMark(n, mark, static_cast<unsigned>(flags)) != 0;
}

bool TvDocumentPanes::RecheckUserText(bool feedback) { return m_doc.RecheckUserText(feedback); }
bool TvDocumentPanes::ShowDictionaryDefinition(int n) { return m_doc.ShowDictionaryDefinition(n); }
bool TvDocumentPanes::ShowIntroduction() { return m_doc.ShowIntroduction(); }
bool TvDocumentPanes::ShowComment() { return m_doc.ShowQuoteComment(); }

int TvDocumentPanes::GetGrammarTitles(int n, std::vector<std::string>& titles) const {
  return m_doc.GetQuoteInfo().GetGrammarTitles(n, titles);
}

bool TvDocumentPanes::ShowGrammarPage(int n, int k) { return m_doc.GetQuoteInfo().ShowGrammarPage(n, k); }

BookTextState TvDocumentPanes::GetBookText() const {
  BookTextState book;
  book.text = QString::fromStdString(m_doc.GetBookText()).toStdU32String();
  book.status = m_doc.GetStatusArray();
  const auto& intro = m_doc.GetIntroductionLengths();
  const auto& text = m_doc.GetTextLengths();
  const auto& comment = m_doc.GetCommentLengths();
  const std::size_t count = std::min({intro.size(), text.size(), comment.size(), book.status.size()});
  book.lengths.assign(count, {0, 0, 0});
  for (std::size_t n = 1; n < count; ++n) book.lengths[n] = {intro[n], text[n], comment[n]};
  book.status.resize(count);
  return book;
}

unsigned TvDocumentPanes::GetCurrentQuote() const { return m_doc.GetCurrentQuote(); }
std::string TvDocumentPanes::GetUserText() const { return m_doc.GetUserText(); }

bool TvDocumentPanes::CheckUserText(const std::string& text, bool feedback) {
  return m_doc.CheckUserText(text, feedback);
}

COrv_TextFormat TvDocumentPanes::GetTextFormat(int record) const { return m_doc.GetTextFormat(record); }

}  // namespace orv::views
