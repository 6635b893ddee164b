#pragma once
// COrv_ErrorInfo: what went wrong while reading a file (code, kind, where in
// the program, an optional text), kept until it is shown.

#include <cstdint>
#include <string>

namespace orv {

// Where list and reader code reports errors: an error record of the
// caller's (the document's error record, for instance). Both calls answer
// 0, as the reporting functions do.
class InfoErrorSink {
 public:
  virtual ~InfoErrorSink() = default;
  virtual int SetError(int line, const std::string& sourceFile, int code, int kind) = 0;
  virtual int SetErrorText(int line, const std::string& sourceFile, int code, int kind,
                           const std::string& text) = 0;
};

}  // namespace orv

class COrv_ErrorInfo : public orv::InfoErrorSink {
 public:
  COrv_ErrorInfo() = default;
  virtual ~COrv_ErrorInfo() = default;

  // Record the error; both answer 0. SetError leaves the text as it was.
  int SetError(int32_t line, const std::string& sourceFile, int32_t code, int32_t kind) override;
  int SetErrorText(int32_t line, const std::string& sourceFile, int32_t code, int32_t kind,
                   const std::string& text) override;
  // "Error <code> occurred.\n\nSource: <file>\nLine number: <line>" in the
  // application's box, OK and no icon; answers the box's answer.
  int ShowError() const;
  std::string FormatText() const;

  std::string m_strText;
  int32_t m_nKind = 0;
  int32_t m_nCode = 0;
  std::string m_strSourceFile;
  int32_t m_nLine = 0;
};
