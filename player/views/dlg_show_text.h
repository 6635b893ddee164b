#pragma once
// COrv_DlgShowText: the modal dialog that shows an Echomark's introduction,
// comment or a word's dictionary definition in one text format. With mark-up
// on, spans in [square brackets] show bold red and spans in <angle
// brackets> bold green (brackets included); a bracket left open is plain
// text.
//
// ModalTextDialog is the document's text dialog service over it.

#include <QDialog>
#include <QString>

#include <memory>
#include <string>

#include "player/book/text_format.h"
#include "player/book/tv_document_host.h"

class QTextDocument;
class COrv_ShowText;
class COrv_SkinFrame;

class COrv_DlgShowText : public QDialog {
 public:
  static constexpr std::uint32_t kSquareColour = COrv_CharFormat::Rgb(255, 0, 0);
  static constexpr std::uint32_t kAngleColour = COrv_CharFormat::Rgb(0, 128, 0);

  // The smallest size the learner can make it.
  static constexpr int kMinWidth = 100, kMinHeight = 80;

  explicit COrv_DlgShowText(QWidget* parent = nullptr);
  ~COrv_DlgShowText() override;

  void SetTextFormat(const COrv_TextFormat& format) { m_format = format; }
  void EnableMarkup(bool on) { m_markup = on; }
  int DoModal();

  // Set before DoModal.
  std::string m_caption;
  std::string m_text;
  int m_dialogNumber = 0;

  COrv_ShowText* TextControl() const { return m_edit; }
  COrv_SkinFrame& Skin() const { return *m_skin; }
  // Fills the control from the members (DoModal does it first).
  void Populate();
  // The text with its format and, when asked, the mark-up spans.
  static void FillDocument(QTextDocument& doc, const QString& text, const COrv_TextFormat& format,
                           bool markup);

 private:
  COrv_ShowText* m_edit = nullptr;
  COrv_TextFormat m_format;
  bool m_markup = false;
  std::unique_ptr<COrv_SkinFrame> m_skin;
};

namespace orv::views {

// Shows each request in a COrv_DlgShowText over the active window.
class ModalTextDialog : public TvTextDialog {
 public:
  void ShowText(const TvTextDialogRequest& request) override;
};

}  // namespace orv::views
