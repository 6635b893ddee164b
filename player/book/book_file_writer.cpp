#include "player/book/book_file_writer.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <system_error>

#include "platform/fs/file_io.h"
#include "platform/fs/temp_files.h"
#include "platform/riff/riff.h"
#include "platform/riff/wav.h"
#include "platform/text/utf8.h"
#include "player/env/credential_block.h"
#include "player/env/msg_box.h"
#include "shared/scrambler/scrambler.h"

namespace {

constexpr plat::riff::ChunkId kSegmentChunkId = plat::riff::makeId("QLON");
constexpr int kErrorSubNumber = 550;
constexpr int kErrorOpen = 1717;
constexpr int kErrorHeader = 1744;
constexpr int kErrorCopy = 1781;

void putLe16(char* p, uint16_t v) {
  p[0] = static_cast<char>(v & 0xFF);
  p[1] = static_cast<char>(v >> 8);
}

void putLe32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string upperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string paddedName(std::string_view name, size_t width) {
  std::string out(name.substr(0, width));
  out.resize(width, ' ');
  return out;
}

}  // namespace

COrv_BookFileWriter::COrv_BookFileWriter() = default;

COrv_BookFileWriter::~COrv_BookFileWriter() { Abort(); }

// --- Names and paths ---------------------------------------------------------------

void COrv_BookFileWriter::SetName(std::string_view name) {
  m_name.assign(name);
  for (char& c : m_name) {
    switch (c) {
      case ':': case '<': case '>': case '/': case '\\': case '|': case '?': case '"':
        c = ' ';
        break;
      default:
        break;
    }
  }
}

void COrv_BookFileWriter::SetFolder(std::string_view folder) {
  m_folder.assign(folder);
  if (m_folder.empty() || m_folder.back() != '/') m_folder.push_back('/');
}

void COrv_BookFileWriter::SetPath(std::string_view path) { m_path.assign(path); }

void COrv_BookFileWriter::BuildPath() { m_path = m_folder + m_name; }

// --- The file ------------------------------------------------------------------------

bool COrv_BookFileWriter::Fail(std::string text) {
  m_lastError = std::move(text);
  return false;
}

bool COrv_BookFileWriter::isWriterTemporaryName(std::string_view name) {
  // ".tvw<hex>.tmp" (a content file being written) and "~tvw<hex>.tmp" (a
  // rendering of the installer on its way into one).
  const bool lead = name.substr(0, 4) == ".tvw" || name.substr(0, 4) == "~tvw";
  return lead && name.size() > 8 && name.substr(name.size() - 4) == ".tmp";
}

bool COrv_BookFileWriter::Create() {
  Abort();
  m_memberNames.clear();
  m_partStart = kPartOffset;
  if (m_path.empty()) return Fail("no path set");
  const std::filesystem::path target(m_path);
  if (!target.has_filename()) return Fail("the path names no file: " + m_path);
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  // Content files that a killed writer left half-written go first; a
  // writer that still runs holds its file and keeps it.
  plat::fs::removeUnheldFiles(folder, isWriterTemporaryName);
  plat::fs::TempFile temp;
  if (std::error_code ec = plat::fs::createTempFile(folder, ".tvw", temp))
    return Fail("cannot create a temporary file in " + folder.string() + ": " + ec.message());
  if (std::error_code ec = m_file.open(temp.path, plat::fs::File::Mode::ReadWrite)) {
    plat::fs::removeFile(temp.path);
    return Fail("cannot open " + temp.path.string() + ": " + ec.message());
  }
  m_file.holdLock();
  m_tempPath = temp.path;
  return true;
}

bool COrv_BookFileWriter::Commit() {
  if (!m_file.isOpen()) return Fail("no file is open");
  std::error_code ec = m_file.sync();
  if (std::error_code closeEc = m_file.close(); !ec) ec = closeEc;
  if (!ec) {
    // A new content file is readable by everyone, as the other files of an
    // installation are; the temporary file was made private.
    std::error_code permEc;
    std::filesystem::permissions(m_tempPath,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_read | std::filesystem::perms::others_read,
                                 permEc);
    ec = plat::fs::renameFile(m_tempPath, m_path);
  }
  if (ec) {
    plat::fs::removeFile(m_tempPath);
    m_tempPath.clear();
    return Fail("cannot write " + m_path + ": " + ec.message());
  }
  m_tempPath.clear();
  return true;
}

void COrv_BookFileWriter::Abort() {
  if (m_file.isOpen()) m_file.close();
  if (!m_tempPath.empty()) {
    plat::fs::removeFile(m_tempPath);
    m_tempPath.clear();
  }
}

bool COrv_BookFileWriter::Seek(uint64_t position) {
  if (!m_file.isOpen()) return Fail("no file is open");
  if (std::error_code ec = m_file.seek(position)) return Fail("seek failed: " + ec.message());
  return true;
}

bool COrv_BookFileWriter::Write(const void* data, size_t length) {
  if (!m_file.isOpen()) return Fail("no file is open");
  if (length == 0) return true;
  if (std::error_code ec = m_file.write(data, length)) return Fail("write failed: " + ec.message());
  return true;
}

// --- Header ----------------------------------------------------------------------------

void COrv_BookFileWriter::InitHeader(uint8_t version, uint8_t byte3, uint16_t word4, uint16_t word6) {
  m_header[0] = 'C';
  m_header[1] = 'D';
  m_header[2] = version;
  m_header[3] = byte3;
  SetHeaderWord1(word4);
  SetHeaderWord2(word6);
}

void COrv_BookFileWriter::SetHeaderWord1(uint16_t value) {
  putLe16(reinterpret_cast<char*>(m_header + 4), value);
}

void COrv_BookFileWriter::SetHeaderWord2(uint16_t value) {
  putLe16(reinterpret_cast<char*>(m_header + 6), value);
}

bool COrv_BookFileWriter::WriteHeader() { return Seek(0) && Write(m_header, kHeaderSize); }

// --- Index records -----------------------------------------------------------------------

void COrv_BookFileWriter::SetIndexEntry(std::string_view name, int32_t value1, int32_t value2) {
  m_indexName.assign(name);
  m_indexValue1 = value1;
  m_indexValue2 = value2;
}

bool COrv_BookFileWriter::IsValidBookCode(std::string_view code) {
  if (code.empty() || code.size() > kIndexNameSize) return false;
  return std::all_of(code.begin(), code.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
}

std::string COrv_BookFileWriter::ScrambledIndexName(std::string_view code) {
  std::string name = paddedName(upperAscii(code), kIndexNameSize);
  COrv_Scrambler().ScrambleMod255(name.data(), name.size(), 1, 0);
  return name;
}

bool COrv_BookFileWriter::WriteIndexEntry(int n, int scramble) {
  if (n < 1 || n > kIndexRecords) return Fail("index record " + std::to_string(n) + " is outside 1..250");
  char record[kIndexRecordSize] = {};
  if (scramble) {
    // Readers compare all 8 bytes: a longer code would be matched on its
    // first 8, so it is refused rather than cut.
    if (!IsValidBookCode(m_indexName))
      return Fail("book code \"" + m_indexName + "\" is not 1 to 8 letters, digits or underscores");
    const std::string name = ScrambledIndexName(m_indexName);
    std::copy(name.begin(), name.end(), record);
  } else {
    if (m_indexName.size() > kIndexNameSize)
      return Fail("index name \"" + m_indexName + "\" is longer than 8 bytes");
    std::copy(m_indexName.begin(), m_indexName.end(), record);
  }
  putLe32(record + 8, static_cast<uint32_t>(m_indexValue1));
  putLe32(record + 12, static_cast<uint32_t>(m_indexValue2));
  return Seek(static_cast<uint64_t>(kIndexRecordSize) * n - 8) && Write(record, sizeof record);
}

// --- Part header -----------------------------------------------------------------------------

void COrv_BookFileWriter::SetPartHeader(uint16_t count, std::string_view name) {
  m_partCount = count;
  m_partName.assign(name);
}

bool COrv_BookFileWriter::WritePartHeader() {
  char header[kPartHeaderSize] = {};
  putLe16(header, m_partCount);
  const std::string_view name = plat::text::cutToBytes(m_partName, kPartNameSize);
  std::copy(name.begin(), name.end(), header + 2);
  return Write(header, sizeof header);
}

void COrv_BookFileWriter::SetPartStart(uint32_t position) {
  m_partStart = position;
  m_memberNames.clear();
}

// --- Member records ------------------------------------------------------------------------------

void COrv_BookFileWriter::SetMemberRecord(std::string_view name, int32_t offset, int32_t length, uint8_t flag) {
  m_memberName.assign(name.substr(0, kMemberNameSize));
  m_memberOffset = offset;
  m_memberLength = length;
  m_memberFlag = flag;
}

void COrv_BookFileWriter::SetMemberFromPacket(std::string_view storedName, int32_t offset, int32_t length,
                                              uint8_t flag) {
  SetMemberRecord(storedName, offset, length, flag);
}

bool COrv_BookFileWriter::WriteMemberRecord() {
  char record[kMemberRecordSize] = {};
  std::copy(m_memberName.begin(), m_memberName.end(), record);
  putLe32(record + 3, static_cast<uint32_t>(m_memberOffset));
  putLe32(record + 7, static_cast<uint32_t>(m_memberLength));
  record[11] = static_cast<char>(m_memberFlag);
  return Write(record, sizeof record);
}

bool COrv_BookFileWriter::WriteInt32At(int32_t value, uint64_t position) {
  char bytes[4];
  putLe32(bytes, static_cast<uint32_t>(value));
  return Seek(position) && Write(bytes, sizeof bytes);
}

// --- Members ---------------------------------------------------------------------------------------

std::string COrv_BookFileWriter::ScrambledMemberName(std::string_view name) {
  std::string stored = paddedName(name, kMemberNameSize);
  COrv_Scrambler().ScrambleMod255(stored.data(), stored.size(), 1, 0);
  return stored;
}

bool COrv_BookFileWriter::CheckMemberSlot(std::string_view name, uint32_t dataPos, uint32_t tablePos,
                                          uint64_t length) {
  if (!m_file.isOpen()) return Fail("no file is open");
  // Readers compare the 3 stored bytes: a longer name would be cut and could
  // name another member; a NUL byte would not survive the scrambling walk.
  if (name.empty() || name.size() > kMemberNameSize)
    return Fail("member name \"" + std::string(name) + "\" is not 1 to 3 bytes");
  if (name.find('\0') != std::string_view::npos) return Fail("member name holds a NUL byte");
  const std::string padded = paddedName(name, kMemberNameSize);
  if (m_memberNames.count(padded)) return Fail("member \"" + padded + "\" is already in this part");
  const uint64_t tableStart = static_cast<uint64_t>(m_partStart) + kPartHeaderSize;
  const uint64_t tableEnd = tableStart + kMemberTableSize;
  if (tablePos < tableStart || tablePos >= tableEnd || (tablePos - tableStart) % kMemberRecordSize != 0)
    return Fail("the member table is full (" + std::to_string(kMemberRecords) + " members)");
  if (dataPos < tableEnd) return Fail("member data would overwrite the member table");
  // Offsets are stored plus 1 in signed 32 bits.
  if (static_cast<uint64_t>(dataPos) + length >= static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
    return Fail("the content file would outgrow 2 GiB");
  return true;
}

int COrv_BookFileWriter::AppendBufferEntry(std::string_view name, const void* data, uint32_t length,
                                           uint32_t& dataPos, uint32_t& tablePos, uint32_t& outLength) {
  if (!CheckMemberSlot(name, dataPos, tablePos, length)) return 0;
  SetMemberRecord(ScrambledMemberName(name), static_cast<int32_t>(dataPos + 1), static_cast<int32_t>(length), 0);
  if (!Seek(tablePos) || !WriteMemberRecord()) return 0;
  if (!Seek(dataPos) || !Write(data, length)) return 0;
  m_memberNames.insert(paddedName(name, kMemberNameSize));
  dataPos += length;
  tablePos += kMemberRecordSize;
  outLength = length;
  return 1;
}

void COrv_BookFileWriter::Report(int messageId, int errorNumber, int subNumber, const std::string& detail) {
  COrv_MsgBox box;
  box.m_nCaptionId = kCaptionError;
  box.m_nMessageId = messageId;
  box.m_nErrorNumber = errorNumber;
  box.m_nSubNumber = subNumber;
  box.m_nKind = 1;  // the message, then what it concerns
  box.m_strExtraText = detail;
  box.Show();
}

int COrv_BookFileWriter::AppendAudioFile(const std::filesystem::path& wavPath, std::string_view name,
                                         uint32_t& dataPos, uint32_t& tablePos, uint32_t headerPos,
                                         uint32_t headerStep, uint32_t& outLength) {
  std::string bytes;
  if (std::error_code ec = plat::fs::readFile(wavPath, bytes)) {
    m_lastError = "cannot read " + wavPath.string() + ": " + ec.message();
    Report(kMsgCantOpen, kErrorOpen, kErrorSubNumber, wavPath.string());
    return 0;
  }
  return appendAudio(bytes, wavPath.string(), name, dataPos, tablePos, headerPos, headerStep, outLength);
}

int COrv_BookFileWriter::AppendAudioData(std::string_view wavBytes, std::string_view name, uint32_t& dataPos,
                                         uint32_t& tablePos, uint32_t headerPos, uint32_t headerStep,
                                         uint32_t& outLength) {
  return appendAudio(wavBytes, "member " + std::string(name), name, dataPos, tablePos, headerPos, headerStep,
                     outLength);
}

int COrv_BookFileWriter::appendAudio(std::string_view bytes, const std::string& source, std::string_view name,
                                     uint32_t& dataPos, uint32_t& tablePos, uint32_t headerPos, uint32_t headerStep,
                                     uint32_t& outLength) {
  PreparedAudio audio;
  PrepareAudio(std::string(bytes), audio);
  return AppendPreparedAudio(audio, source, name, dataPos, tablePos, headerPos, headerStep, outLength);
}

bool COrv_BookFileWriter::PrepareAudio(std::string bytes, PreparedAudio& out) {
  out = PreparedAudio();
  auto refuse = [&](const std::string& why) {
    out = PreparedAudio();
    out.error = why;
    return false;
  };
  // Whatever layout the WAV has, the member holds the canonical form: the
  // 44-byte header, the samples (with their pad byte), then the segment
  // chunk, so that the reader's rebuilt file is a plain canonical WAV that
  // still carries its segments.
  plat::riff::WavInfo wav;
  if (std::error_code ec = plat::riff::readWavInfo(plat::riff::MemorySource(bytes), wav)) return refuse(ec.message());
  if (const plat::riff::Chunk* chunk = wav.layout.findLast(kSegmentChunkId)) {
    const uint64_t end = chunk->bodyEnd();
    if (end > bytes.size()) return refuse("truncated segment chunk");
    out.segmentChunk =
        plat::riff::chunkBytes(kSegmentChunkId, std::string_view(bytes).substr(chunk->bodyOffset(), chunk->size));
  }
  const uint64_t size = wav.data.size, padded = size + (size & 1u);
  if (36 + padded + out.segmentChunk.size() > std::numeric_limits<uint32_t>::max())
    return refuse("the WAV file is too large");
  const auto dataSize = static_cast<uint32_t>(size);
  const std::string canonicalStart = plat::riff::canonicalHeader(wav.format, dataSize);
  // A file in the canonical layout already (as the renderings are) keeps
  // its samples where they lie; any other is rewritten.
  if (wav.data.bodyOffset() == kWavHeaderSize && kWavHeaderSize + padded <= bytes.size() &&
      bytes.compare(0, 4, canonicalStart, 0, 4) == 0 && bytes.compare(8, 36, canonicalStart, 8, 36) == 0) {
    if (padded != size) bytes[kWavHeaderSize + size] = '\0';
    out.bytes = std::move(bytes);
  } else if (std::error_code ec = plat::riff::canonicalWav(bytes, out.bytes)) {
    return refuse(ec.message());
  }
  out.samplesAt = kWavHeaderSize;
  out.samplesLength = padded;
  out.header = out.bytes.substr(0, kWavHeaderSize);
  plat::riff::putU32(out.header.data() + 4, static_cast<uint32_t>(36 + padded + out.segmentChunk.size()));
  return true;
}

int COrv_BookFileWriter::AppendPreparedAudio(const PreparedAudio& audio, std::string_view source, std::string_view name,
                                             uint32_t& dataPos, uint32_t& tablePos, uint32_t headerPos,
                                             uint32_t headerStep, uint32_t& outLength) {
  auto refuse = [&](int errorNumber, const std::string& why) {
    m_lastError = std::string(source) + ": " + why;
    Report(kMsgAppendAudio, errorNumber, kErrorSubNumber, m_lastError);
    return 0;
  };
  if (audio.header.size() != kWavHeaderSize || audio.samplesAt + audio.samplesLength > audio.bytes.size())
    return refuse(kErrorHeader, audio.error);
  const uint64_t memberLength = audio.samplesLength + audio.segmentChunk.size();
  std::string header = audio.header;

  if (!CheckMemberSlot(name, dataPos, tablePos, memberLength)) return refuse(kErrorHeader, m_lastError);
  const uint32_t length = static_cast<uint32_t>(memberLength);

  // The header pieces go into records that are already written (the
  // Echomark's header records of the record member): never into the tables
  // or past the data written so far.
  size_t firstPiece = 0;
  uint64_t firstAt = 0;
  if (name[0] == '0') {
    firstPiece = 26;
    firstAt = static_cast<uint64_t>(headerPos) + 7;
  } else if (name[0] == '2' || name[0] == '6') {
    firstPiece = 24;
    firstAt = static_cast<uint64_t>(headerPos) + 9;
  }
  const uint64_t secondAt = static_cast<uint64_t>(headerPos) + headerStep + 2;
  if (firstPiece) {
    const uint64_t dataStart = static_cast<uint64_t>(m_partStart) + kPartTableSize;
    if (firstAt < dataStart || secondAt < dataStart || firstAt + firstPiece > dataPos ||
        secondAt + (kWavHeaderSize - firstPiece) > dataPos)
      return refuse(kErrorHeader, "the header positions lie outside the data written so far");
  }

  SetMemberRecord(ScrambledMemberName(name), static_cast<int32_t>(dataPos + 1), static_cast<int32_t>(length), 0);
  if (!Seek(tablePos) || !WriteMemberRecord()) return refuse(kErrorCopy, m_lastError);
  if (firstPiece) {
    COrv_Scrambler().Scramble(header.data(), header.size(), 1, 0);
    if (!Seek(firstAt) || !Write(header.data(), firstPiece) || !Seek(secondAt) ||
        !Write(header.data() + firstPiece, kWavHeaderSize - firstPiece))
      return refuse(kErrorCopy, m_lastError);
  }
  if (!Seek(dataPos) || !Write(audio.bytes.data() + audio.samplesAt, audio.samplesLength) ||
      !Write(audio.segmentChunk.data(), audio.segmentChunk.size()))
    return refuse(kErrorCopy, m_lastError);

  m_memberNames.insert(paddedName(name, kMemberNameSize));
  dataPos += length;
  tablePos += kMemberRecordSize;
  outLength = length;
  return 1;
}
