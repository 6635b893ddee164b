#include "player/book/content_dispatch.h"

#include "platform/fs/file.h"
#include "player/book/talvane.h"

int COrv_TvlCoreIO::ReportError(int line, int code) {
  if (m_sink) return m_sink->SetError(line, kSourceFile, code, 0);
  return 0;
}

void COrv_TvlCoreIO::SetErrorSink(orv::InfoErrorSink* sink) {
  m_sink = sink;
  m_reader2.SetErrorSink(sink);
  m_reader3.SetErrorSink(sink);
}

int COrv_TvlCoreIO::probeVersion(const std::filesystem::path& path) {
  plat::fs::File file;
  if (path.empty() || file.open(path, plat::fs::File::Mode::Read)) return -1;
  unsigned char head[4] = {};
  size_t got = 0;
  if (file.read(head, sizeof head, got)) return -1;
  if (got >= 3 && head[0] == 'C' && head[1] == 'D') return head[2];
  return 0;
}

int COrv_TvlCoreIO::ReadFormatVersion(const std::filesystem::path& path) {
  const int v = probeVersion(path);
  return v < 0 ? 0 : v;
}

int COrv_TvlCoreIO::knownVersion(COrv_Talvane& book) {
  if (book.GetTvlClass() == 0) {
    const int v = probeVersion(book.GetSourceFile(-1));
    // An unreadable file is reported as such, not as a wrong version.
    if (v < 0) return ReportError(__LINE__, kErrOpenFile);
    book.SetTvlClass(v);
  }
  return 1;
}

int COrv_TvlCoreIO::Open(COrv_Talvane& book) {
  if (m_version != 0) return ReportError(__LINE__, kErrBusy);
  if (book.GetCode().empty() || book.GetSourceFile(-1).empty()) return ReportError(__LINE__, kErrNoSource);
  if (!knownVersion(book)) return 0;
  m_version = book.GetTvlClass();
  COrv_TvlReader* reader = m_version == 2 ? static_cast<COrv_TvlReader*>(&m_reader2)
                           : m_version == 3 ? static_cast<COrv_TvlReader*>(&m_reader3)
                                            : nullptr;
  if (m_version == 1) {
    m_version = 0;
    return 0;
  }
  if (!reader) {
    m_version = 0;
    return ReportError(__LINE__, kErrVersion);
  }
  if (!reader->Open(book)) {
    m_version = 0;
    return 0;
  }
  return 1;
}

int COrv_TvlCoreIO::Close() {
  switch (m_version) {
    case 0: return 1;
    case 1: return 0;
    case 2: m_reader2.Close(); break;
    case 3: m_reader3.Close(); break;
    default: return ReportError(__LINE__, kErrVersion);
  }
  m_version = 0;
  return 1;
}

int COrv_TvlCoreIO::ReadInfo(int kind, int n, COrv_InfoBundle& target, int /*language*/, int speedFlags,
                             int /*spare*/) {
  switch (m_version) {
    case 0: return ReportError(__LINE__, kErrClosed);
    case 1: return 1;
    case 2: return m_reader2.ReadInfo(kind, n, target, speedFlags);
    case 3: return m_reader3.ReadInfo(kind, n, target, speedFlags);
    default: return ReportError(__LINE__, kErrVersion);
  }
}

int COrv_TvlCoreIO::ReadCatalogue(COrv_Talvane& book, std::vector<int>& versions, std::vector<int>& numbers,
                                  std::vector<std::string>& names) {
  if (book.GetSourceFile(-1).empty()) return ReportError(__LINE__, kErrNoSource);
  if (!knownVersion(book)) return 0;
  switch (book.GetTvlClass()) {
    case 1: return 0;
    case 2: return m_reader2.ReadCatalogue(book, versions, numbers, names);
    case 3: return m_reader3.ReadCatalogue(book, versions, numbers, names);
    default: return ReportError(__LINE__, kErrVersion);
  }
}
