#include "player/env/error_info.h"

#include "platform/ui/message_box.h"

int COrv_ErrorInfo::SetError(int32_t line, const std::string& sourceFile, int32_t code, int32_t kind) {
  m_nLine = line;
  m_strSourceFile = sourceFile;
  m_nCode = code;
  m_nKind = kind;
  return 0;
}

int COrv_ErrorInfo::SetErrorText(int32_t line, const std::string& sourceFile, int32_t code, int32_t kind,
                                 const std::string& text) {
  SetError(line, sourceFile, code, kind);
  m_strText = text;
  return 0;
}

std::string COrv_ErrorInfo::FormatText() const {
  return "Error " + std::to_string(m_nCode) + " occurred.\n\nSource: " + m_strSourceFile +
         "\nLine number: " + std::to_string(m_nLine);
}

int COrv_ErrorInfo::ShowError() const { return plat::ui::AppMessageBox(FormatText(), plat::ui::MB_OK); }
