#include "player/book/content_reader.h"

#include <algorithm>
#include <new>

#include "platform/fs/file.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/temp_files.h"
#include "platform/fs/program_folder.h"
#include "platform/profile/profile.h"
#include "player/book/book_info.h"
#include "player/book/talvane.h"
#include "player/book/byte_fields.h"
#include "shared/scrambler/scrambler.h"

namespace {

using orv::le16;
using orv::le32;

std::string unscrambled255(std::string s) {
  COrv_Scrambler().ScrambleMod255(s.data(), s.size(), 0, 0);
  return s;
}

std::string trimBlanks(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string padded(std::string s, size_t width) {
  s.resize(width, ' ');
  return s;
}

}  // namespace

COrv_TvlReader::COrv_TvlReader(int version, const char* sourceFile) : m_version(version), m_sourceFile(sourceFile) {}

COrv_TvlReader::~COrv_TvlReader() { Close(); }

int COrv_TvlReader::ReportError(int line, int code, const std::string& text) {
  if (m_sink) m_sink->SetErrorText(line, m_sourceFile, code, 0, text);
  return 0;
}

std::filesystem::path COrv_TvlReader::contentPath() const {
  if (!m_book) return {};
  return m_book->GetSourceFile(-1);
}

int COrv_TvlReader::Verify(int flags) {
  if (flags & 0x01) {
    const std::filesystem::path path = contentPath();
    const auto status = path.empty() ? std::nullopt : plat::fs::fileStatus(path);
    if (!status || status->folder) return ReportError(__LINE__, kErrFormat, "the content file is missing");
  }
  if (flags & 0x10) {
    if (!Verify(0x01)) return ReportError(__LINE__, kErrMember);
    std::string index;
    if (!ReadIndex(index)) return 0;
    if (index[0] != 'C' || index[1] != 'D' || static_cast<uint8_t>(index[2]) != m_version)
      return ReportError(__LINE__, kErrFormat, "not a content file of version " + std::to_string(m_version));
  }
  return 1;
}

int COrv_TvlReader::ReadAt(uint64_t offset, size_t n, std::string& out) {
  plat::fs::File file;
  if (file.open(contentPath(), plat::fs::File::Mode::Read))
    return ReportError(__LINE__, kErrOpen, "the content file cannot be opened");
  try {
    out.assign(n, '\0');
  } catch (const std::bad_alloc&) {
    return ReportError(__LINE__, kErrMemory);
  }
  size_t got = 0;
  if (file.readAt(offset, out.data(), n, got)) return ReportError(__LINE__, kErrOpen, "the content file cannot be read");
  if (got != n) return ReportError(__LINE__, kErrFormat, "the content file is truncated");
  return 1;
}

int COrv_TvlReader::ReadIndex(std::string& index) {
  if (!Verify(0x01)) return 0;
  return ReadAt(0, kIndexSize, index);
}

int COrv_TvlReader::LoadPart(const std::string& index) {
  if (!Verify(0x01)) return 0;
  const std::string code = m_book->GetCode();
  // Codes are stored upper case and compared on all 8 bytes: a longer code
  // would be matched on its first 8 and open another book.
  const std::string canonical = orv::COrv_BookInfo::CanonicalBookCode(code);
  if (canonical.empty()) return ReportError(__LINE__, kErrFormat, "\"" + code + "\" is not a book code");
  const std::string key = padded(canonical, 8);
  const int count = le16(index, 4);
  if (count > kIndexRecords) return ReportError(__LINE__, kErrFormat, "the index counts more than 250 records");
  int found = -1;
  for (int i = 0; i < count && found < 0; ++i)
    if (unscrambled255(index.substr(8 + 16 * static_cast<size_t>(i), 8)) == key) found = i;
  if (found < 0) return ReportError(__LINE__, kErrFormat, "the book " + canonical + " is not in the index");
  const uint32_t position = le32(index, 8 + 16 * static_cast<size_t>(found) + 8);
  if (position < 1) return ReportError(__LINE__, kErrFormat, "the book's part has no position");
  if (!ReadAt(position - 1, kPartSize, m_part)) {
    m_part.clear();
    return 0;
  }
  if (le16(m_part, 0) > kMemberRecords) {
    m_part.clear();
    return ReportError(__LINE__, kErrFormat, "the part counts more than 250 members");
  }
  return 1;
}

bool COrv_TvlReader::FindMember(const std::string& name, Member& out, bool report) {
  m_memberDamaged = false;
  if (m_part.size() != kPartSize) return false;
  const std::string key = padded(name, 3);
  const int count = le16(m_part, 0);
  for (int i = 0; i < count; ++i) {
    const size_t at = 16 + 12 * static_cast<size_t>(i);
    if (unscrambled255(m_part.substr(at, 3)) != key) continue;
    const uint32_t offset = le32(m_part, at + 3);
    const uint32_t length = le32(m_part, at + 7);
    std::uint64_t size = 0;
    if (const auto status = plat::fs::fileStatus(contentPath())) size = status->size;
    if (offset < 1 || static_cast<int32_t>(length) < 0 || offset - 1 + static_cast<uint64_t>(length) > size) {
      m_memberDamaged = true;
      ReportError(__LINE__, kErrFormat, "member \"" + name + "\" lies outside the file");
      return false;
    }
    out.offset = offset - 1;
    out.length = length;
    return true;
  }
  if (report) ReportError(__LINE__, kErrMember, "member \"" + name + "\" is missing");
  return false;
}

int COrv_TvlReader::ReadMember(const Member& member, std::string& out) {
  if (member.length > kMaxMemoryMember) return ReportError(__LINE__, kErrMemory, "a member is too large");
  return ReadAt(member.offset, static_cast<size_t>(member.length), out);
}

int COrv_TvlReader::GroupOfType(int type) {
  switch (type) {
    case 1: return 0;
    case 9: return 1;
    case 12: return 2;
    case 13: return 3;
    case 3: return 4;
    case 4: return 5;
    case 6: return 6;
    case 8: return 7;
    case 5: return 8;
    case 7: return 9;
    default: return -1;
  }
}

int COrv_TvlReader::BuildRecordIndex(const std::string& s01, int echomarks) {
  m_groups.assign(static_cast<size_t>(std::max(echomarks, 0)), GroupRecord{});
  int previous = 0;
  bool pendingAdvance = false;
  size_t current = 0;
  const size_t records = s01.size() > kRecordHead ? (s01.size() - kRecordHead) / kRecordSize : 0;
  for (size_t r = 0; r < records; ++r) {
    const int type = static_cast<uint8_t>(s01[kRecordHead + kRecordSize * r]);
    const int32_t number = static_cast<int32_t>(r + 1);
    if (type != previous && previous == 9) pendingAdvance = true;
    if ((type == 1 || type == 9) && pendingAdvance) {
      ++current;
      pendingAdvance = false;
    }
    const int g = GroupOfType(type);
    if (g < 0) {
      m_groups.clear();
      return ReportError(__LINE__, kErrFormat, "record " + std::to_string(number) + " has the unknown type " +
                                                   std::to_string(type));
    }
    if (current >= m_groups.size()) {
      m_groups.clear();
      return ReportError(__LINE__, kErrFormat, "the record member describes more Echomarks than the book has");
    }
    Group& group = m_groups[current][static_cast<size_t>(g)];
    if (type == previous) {
      ++group.count;
    } else {
      group.first = number;
      group.count = 1;
    }
    previous = type;
  }
  return 1;
}

// Speech members carry the Echomark number in two digits: an Echomark above
// 99 with a speech header (or slower or faster renderings) cannot be played
// and would be mixed up with another one, so such a book is refused.
int COrv_TvlReader::CheckNamedEchomarks() {
  for (size_t i = kMaxNamedEchomark; i < m_groups.size(); ++i) {
    const GroupRecord& g = m_groups[i];
    bool speech = g[2].count > 0 || g[3].count > 0;
    for (int32_t r = 0; !speech && r < g[1].count; ++r) {
      const size_t at = kRecordHead + kRecordSize * static_cast<size_t>(g[1].first - 1 + r);
      speech = std::any_of(m_records.begin() + static_cast<std::ptrdiff_t>(at + 1),
                           m_records.begin() + static_cast<std::ptrdiff_t>(at + kRecordSize),
                           [](char c) { return c != 0; });
    }
    if (speech)
      return ReportError(__LINE__, kErrFormat,
                         "Echomark " + std::to_string(i + 1) + " has speech, but only Echomarks 1 to 99 can have it");
  }
  return 1;
}

int COrv_TvlReader::Open(COrv_Talvane& book) {
  Close();
  m_book = &book;
  m_section = book.GetCode();
  const int ok = [&] {
    if (!Verify(0x10)) return 0;
    std::string index;
    if (!ReadIndex(index) || !LoadPart(index)) return 0;

    Member member;
    std::string id;
    if (!FindMember("ID ", member, true) || !ReadMember(member, id)) return 0;
    if (id.size() < kIdSize) return ReportError(__LINE__, kErrFormat, "member \"ID \" is too short");
    if (m_version == 3) COrv_Scrambler().Scramble(id.data(), kIdSize, 0, COrv_Scrambler::GetContentSeed());
    const int numQuotes = static_cast<int16_t>(le16(id, 56));
    if (numQuotes < 0) return ReportError(__LINE__, kErrFormat, "a negative number of Echomarks");
    book.SetNumQuotes(numQuotes);
    book.SetCategory(static_cast<uint8_t>(id[18]));
    const std::string source = book.GetSourceFile(-1);
    const int language = static_cast<uint8_t>(id[20]);
    book.SetOrigLanguage(language > 31 ? 0 : language);
    book.SetSourceFile(source, -1);
    if (m_version == 2) {
      std::string title = id.substr(24, 30);
      if (const size_t nul = title.find('\0'); nul != std::string::npos) title.resize(nul);
      book.SetTitle(trimBlanks(title), -1);
    }

    std::string ini;
    if (!FindMember("INI", member, true) || !ReadMember(member, ini)) return 0;
    const plat::profile::Snapshot settings(std::move(ini));
    book.SetDifficulty(settings.getInt(m_section, "Level", 1));
    book.SetDescription(settings.getString(m_section, "Description", "", 256), -1);
    if (m_version == 3) book.SetTitle(settings.getString("Books", "Title", "", 256), -1);

    if (!FindMember("S01", member, true) || !ReadMember(member, m_records)) return 0;
    if (!BuildRecordIndex(m_records, numQuotes) || !CheckNamedEchomarks()) return 0;

    // The media spots are optional: a book without them opens cleanly.
    const bool hasSpots = FindMember("MF1", member, false);
    if (MemberDamaged()) return 0;
    if (hasSpots) {
      std::string spots;
      if (!ReadMember(member, spots)) return 0;
      const std::filesystem::path folder = plat::fs::systemTempFolder();
      plat::fs::TempFile temp;
      if (plat::fs::createTempFile(folder, "MIO", temp))
        return ReportError(__LINE__, kErrTempFile, "no temporary file for the media spots");
      plat::fs::File file;
      // The temporary file was made empty: open it without truncating.
      std::error_code ec = file.open(temp.path, plat::fs::File::Mode::ReadWrite);
      if (!ec) ec = file.write(spots.data(), spots.size());
      if (std::error_code closeEc = file.close(); !ec) ec = closeEc;
      if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temp.path, ignored);
        return ReportError(__LINE__, kErrTempFile, "the media spots cannot be written");
      }
      book.Spots().SetFilePath(temp.path);
    }
    return 1;
  }();
  if (!ok) {
    Close();
    return 0;
  }
  m_open = true;
  return 1;
}

void COrv_TvlReader::Close() {
  m_open = false;
  m_part.clear();
  m_part.shrink_to_fit();
  m_groups.clear();
  m_groups.shrink_to_fit();
  m_records.clear();
  m_records.shrink_to_fit();
}

int COrv_TvlReader::ReadCatalogue(COrv_Talvane& book, std::vector<int>& versions, std::vector<int>& numbers,
                                  std::vector<std::string>& names) {
  if (m_open) return ReportError(__LINE__, kErrBusy, "the reader holds an open book");
  m_book = &book;
  m_section = book.GetCode();
  if (!Verify(0x10)) return 0;
  std::string index;
  if (!ReadIndex(index)) return 0;
  const int count = le16(index, 4);
  if (count > kIndexRecords) return ReportError(__LINE__, kErrFormat, "the index counts more than 250 records");
  versions.resize(static_cast<size_t>(count));
  numbers.resize(static_cast<size_t>(count));
  names.resize(static_cast<size_t>(count));
  for (size_t i = 0; i < static_cast<size_t>(count); ++i) {
    versions[i] = m_version;
    numbers[i] = 1;
    names[i] = trimBlanks(unscrambled255(index.substr(8 + 16 * i, 8)));
  }
  return count;
}
