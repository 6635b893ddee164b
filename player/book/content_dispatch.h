#pragma once
// COrv_TvlCoreIO: the one way into a loaded book's content file. It decides
// the file's format version (the book's TvlClass, or the file's header when
// that is 0), opens the content with the reader of that version, forwards
// the information requests to it and reads a content file's catalogue.
// Errors go to the sink with the source file name "TvlCoreIO".

#include <filesystem>
#include <string>
#include <vector>

#include "player/book/content_reader.h"
#include "player/book/info_base.h"

class COrv_TvlCoreIO {
 public:
  enum Code { kErrOpenFile = 4, kErrVersion = 2, kErrBusy = 14, kErrNoSource = 15, kErrFormat = 16, kErrClosed = 103 };
  static constexpr const char* kSourceFile = "TvlCoreIO";

  COrv_TvlCoreIO() = default;
  virtual ~COrv_TvlCoreIO() = default;
  COrv_TvlCoreIO(const COrv_TvlCoreIO&) = delete;
  COrv_TvlCoreIO& operator=(const COrv_TvlCoreIO&) = delete;

  int Open(COrv_Talvane& book);
  int Close();
  int ReadInfo(int kind, int n, COrv_InfoBundle& target, int language, int speedFlags, int spare = 0);
  int ReadCatalogue(COrv_Talvane& book, std::vector<int>& versions, std::vector<int>& numbers,
                    std::vector<std::string>& names);
  // The version byte of a file that starts "CD"; 0 for any other file and
  // for a file that cannot be read.
  static int ReadFormatVersion(const std::filesystem::path& path);
  void SetErrorSink(orv::InfoErrorSink* sink);
  int GetVersion() const { return m_version; }

 private:
  // The version byte, 0 for a file not starting "CD", -1 when unreadable.
  static int probeVersion(const std::filesystem::path& path);
  // Takes the book's version from its content file when it is not known;
  // 0 (reported) when the file cannot be read.
  int knownVersion(COrv_Talvane& book);
  int ReportError(int line, int code);

  orv::InfoErrorSink* m_sink = nullptr;
  COrv_TvlClass2 m_reader2;
  COrv_TvlClass3 m_reader3;
  int m_version = 0;
};
