#pragma once
// An error sink that records what the lists report.

#include <string>
#include <vector>

#include "player/book/info_base.h"

struct RecordedError {
  int line;
  std::string source;
  int code;
  int kind;
  std::string text;
  bool operator==(const RecordedError&) const = default;
};

class RecordingSink : public orv::InfoErrorSink {
 public:
  int SetError(int line, const std::string& source, int code, int kind) override {
    errors.push_back({line, source, code, kind, {}});
    return 0;
  }
  int SetErrorText(int line, const std::string& source, int code, int kind,
                   const std::string& text) override {
    errors.push_back({line, source, code, kind, text});
    return 0;
  }
  std::vector<RecordedError> errors;
};
