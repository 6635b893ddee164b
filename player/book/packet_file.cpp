#include "player/book/packet_file.h"

#include <zlib.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/fs/config_root.h"
#include "platform/fs/file_io.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/temp_files.h"
#include "platform/ui/message_box.h"
#include "player/env/msg_box.h"
#include "shared/gzip/strict_gzip.h"
#include "shared/language/orv_language.h"
#include "shared/scrambler/scrambler.h"

namespace {

using tvgzip::Inflate;
using tvgzip::inflateGzip;

constexpr std::size_t kCopyBlock = 64 * 1024;

}  // namespace

COrv_PacketFile::COrv_PacketFile() = default;

COrv_PacketFile::~COrv_PacketFile() {
  Close();
  RemoveContent();
}

// --- Names --------------------------------------------------------------------

void COrv_PacketFile::SetPathParts(const std::string& first, const std::string& second) {
  if (!second.empty()) {
    SetFolder(first);
    SetName(second);
    BuildPath();
  } else {
    SetPath(first);
  }
}

void COrv_PacketFile::SetFolder(const std::string& folder) {
  m_folder = folder;
  if (m_folder.empty() || m_folder.back() != '/') m_folder.push_back('/');
}

void COrv_PacketFile::SetPath(const std::string& path) {
  m_path = path;
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    m_folder.clear();
    m_name = path;
  } else {
    m_folder = path.substr(0, slash + 1);
    m_name = path.substr(slash + 1);
  }
}

void COrv_PacketFile::BuildPath() {
  m_path = m_folder;
  if (!m_path.empty() && m_path.back() != '/') m_path.push_back('/');
  m_path += m_name;
}

std::string COrv_PacketFile::GetTitle() const { return m_name.substr(0, m_name.find('.')); }

std::filesystem::path COrv_PacketFile::GetWorkFolder() const {
  return m_workFolder.empty() ? plat::fs::configRoot() / "unpack" : m_workFolder;
}

// --- Raw fields -----------------------------------------------------------------

std::int32_t COrv_PacketFile::i32(const std::uint8_t* p) {
  std::uint32_t v = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                    std::uint32_t(p[3]) << 24;
  return static_cast<std::int32_t>(v);
}

void COrv_PacketFile::put32(std::uint8_t* p, std::int32_t v) {
  auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

std::string COrv_PacketFile::field(const std::uint8_t* p, std::size_t width) {
  const void* nul = std::memchr(p, 0, width);
  std::size_t n = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - p) : width;
  return std::string(reinterpret_cast<const char*>(p), n);
}

std::string COrv_PacketFile::GetTag() const { return field(m_header.data(), std::min<std::size_t>(4, m_headerGot)); }

std::uint16_t COrv_PacketFile::GetTrailerWord() const {
  return static_cast<std::uint16_t>(m_trailer[13] | m_trailer[14] << 8);
}

std::uint8_t COrv_PacketFile::GetSlotByte(int i) const { return i >= 0 && i < 3 ? m_slot[295 + i] : 0; }
std::string COrv_PacketFile::GetSlotString(int i) const {
  return i >= 0 && i < 3 ? field(m_slot.data() + 298 + 51 * i, 51) : std::string();
}
std::uint8_t COrv_PacketFile::GetSlotTailByte(int i) const { return i >= 0 && i < 2 ? m_slot[451 + i] : 0; }

void COrv_PacketFile::SetSlotCode(const std::string& code) {
  std::memset(m_slot.data(), 0, 9);
  std::memcpy(m_slot.data(), code.data(), std::min<std::size_t>(code.size(), 8));
}

void COrv_PacketFile::CopySlot(std::uint8_t out[kSlotSize]) const { std::memcpy(out, m_slot.data(), kSlotSize); }
void COrv_PacketFile::CopyTrailer(std::uint8_t out[kTrailerSize]) const {
  std::memcpy(out, m_trailer.data(), kTrailerSize);
}

// --- Open file ------------------------------------------------------------------

bool COrv_PacketFile::OpenPath() {
  Close();
  m_length = 0;
  m_openError = m_file.open(m_path, plat::fs::File::Mode::Read);
  if (m_openError) return false;
  m_openError = m_file.size(m_length);
  if (m_openError) {
    m_file.close();
    return false;
  }
  return true;
}

bool COrv_PacketFile::Open(const std::string& first, const std::string& second) {
  SetPathParts(first, second);
  if (!OpenPath()) return false;
  if (!ReadHeader()) return false;
  if (TrailerInFile()) ReadTrailer();
  return true;
}

void COrv_PacketFile::Close() {
  AbandonUpdate();
  if (m_file.isOpen()) m_file.close();
  if (m_content.isOpen()) m_content.close();
}

bool COrv_PacketFile::ReadAt(std::uint64_t position, std::size_t count, void* buffer) {
  if (!m_file.isOpen() || position > m_length || count > m_length - position) return false;
  std::size_t got = 0;
  return !m_file.readAt(position, buffer, count, got) && got == count;
}

bool COrv_PacketFile::ReadHeader() {
  m_header.fill(0);
  m_headerGot = 0;
  if (!m_file.isOpen()) return false;
  std::size_t got = 0;
  if (m_file.readAt(0, m_header.data(), kHeaderSize, got)) return false;
  m_headerGot = got;
  return got == kHeaderSize;
}

bool COrv_PacketFile::TrailerInFile() const {
  std::int64_t a = GetEntryAreaSize();
  return a >= 0 && static_cast<std::uint64_t>(a) + kHeaderSize + kTrailerSize <= m_length;
}

bool COrv_PacketFile::ReadTrailer() {
  m_trailer.fill(0);
  m_nextSlot = 0;
  if (!TrailerInFile()) return false;
  std::uint64_t at = kHeaderSize + static_cast<std::uint64_t>(GetEntryAreaSize());
  if (!ReadAt(at, kTrailerSize, m_trailer.data())) return false;
  m_nextSlot = at + kTrailerSize;
  return true;
}

std::uint64_t COrv_PacketFile::SlotPosition(int n) const {
  return kHeaderSize + static_cast<std::uint64_t>(GetEntryAreaSize()) + kTrailerSize +
         kSlotSize * static_cast<std::uint64_t>(n - 1);
}

bool COrv_PacketFile::ReadNextSlot() {
  if (m_nextSlot == 0) return false;
  // Slots lie inside the directory the trailer announces, and inside the file.
  std::int64_t t = GetDirectorySize();
  std::uint64_t trailerPos = kHeaderSize + static_cast<std::uint64_t>(GetEntryAreaSize());
  std::uint64_t dirEnd =
      t >= static_cast<std::int64_t>(kTrailerSize) ? trailerPos + static_cast<std::uint64_t>(t) : 0;
  if (m_nextSlot + kSlotSize > dirEnd) return false;
  if (!ReadAt(m_nextSlot, kSlotSize, m_slot.data())) return false;
  m_nextSlot += kSlotSize;
  return true;
}

bool COrv_PacketFile::IsBookFile() {
  m_isBookFile = m_headerGot >= 2 && m_header[0] == 'C' && m_header[1] == 'D';
  return m_isBookFile;
}

bool COrv_PacketFile::SetEntryAreaSize(std::int32_t v) {
  if (!IsUpdating()) {
    put32(m_header.data() + 8, v);
    return true;
  }
  if (v < 0 || static_cast<std::uint64_t>(v) + kHeaderSize + kTrailerSize > m_length) return false;
  const auto kept = m_header;
  put32(m_header.data() + 8, v);
  if (WriteHeader()) return true;
  m_header = kept;
  return false;
}

bool COrv_PacketFile::CheckLength() const {
  std::int64_t a = GetEntryAreaSize(), t = GetDirectorySize(), g = GetTailSize();
  if (a < 0 || t < 0 || g < 0) return false;
  return static_cast<std::uint64_t>(kHeaderSize + a + t + g) == m_length;
}

bool COrv_PacketFile::CheckDirectorySize() const {
  return GetDirectorySize() == static_cast<std::int32_t>(kSlotSize * GetTrailerSlotCount() + kTrailerSize);
}

// --- Messages -----------------------------------------------------------------

void COrv_PacketFile::Report(int kind, int message, const std::string& path, int first, int second) {
  Fail(message, first, second);
  // Kind 1 names the message before the file, kind 2 the file first; with
  // no file to name the box shows the message alone.
  COrv_MsgBox box;
  box.m_nCaptionId = kCaptionError;
  box.m_nMessageId = message;
  box.m_nErrorNumber = first;
  box.m_nSubNumber = second;
  box.m_nKind = path.empty() ? 0 : kind;
  box.m_strExtraText = path;
  box.Show();
}

// --- File-level operations ---------------------------------------------------------

int COrv_PacketFile::Validate(const std::string& first, const std::string& second, bool report) {
  m_lastError = {};
  m_isBookFile = false;
  SetPathParts(first, second);
  auto fail = [&](int kind, int message, int a, int b) {
    if (report)
      Report(kind, message, m_path, a, b);
    else
      Fail(message, a, b);
    Close();
    return 0;
  };
  if (!OpenPath()) return fail(1, kMsgCantOpen, 739, 750);
  ReadHeader();
  if (m_headerGot == kHeaderSize && IsHeaderTag("TPK")) {
    // A trailer that cannot lie in the file means a wrong length too.
    if (!ReadTrailer() || !CheckLength()) return fail(2, kMsgBadDownload, 798, 750);
    if (!CheckDirectorySize()) return fail(2, kMsgBadFormat, 818, 750);
    Close();
    return 1;
  }
  if (IsBookFile()) {
    Close();
    return 1;
  }
  return fail(2, kMsgBadFormat, 776, 750);
}

int COrv_PacketFile::GetSlotCount(const std::string& first, const std::string& second) {
  SetPathParts(first, second);
  if (!OpenPath()) return 0;
  ReadHeader();
  int count = ReadTrailer() ? GetTrailerSlotCount() : 0;
  Close();
  return count;
}

int COrv_PacketFile::ReadSlot(const std::string& first, const std::string& second, std::uint8_t* buffer,
                              int n) {
  m_lastError = {};
  SetPathParts(first, second);
  if (!OpenPath()) {
    // The system's own reason, in a plain box, cut to 1024 bytes.
    Fail(kMsgCantOpen, 0, 0);
    std::string text = orv::ShownFileName::Apply(m_path) + ": " + m_openError.message();
    if (text.size() > 1024) text.resize(1024);
    plat::ui::MessageBox(text, "", plat::ui::MB_OK);
    return 0;
  }
  bool ok = ReadHeader() && ReadTrailer() && n >= 1 && n <= GetTrailerSlotCount();
  for (int i = 1; ok && i <= n; ++i) ok = ReadNextSlot();
  Close();
  if (!ok) return 0;
  if (buffer) CopySlot(buffer);
  return 1;
}

int COrv_PacketFile::ConfirmReinstall(const std::string& first, const std::string& second, int n,
                                      bool ask) {
  m_lastError = {};
  SetPathParts(first, second);
  if (!OpenPath()) {
    Report(1, kMsgCantOpen, m_path, 970, 750);
    return 0;
  }
  bool ok = ReadHeader() && ReadTrailer() && n >= 1 && n <= GetTrailerSlotCount();
  for (int i = 1; ok && i <= n; ++i) ok = ReadNextSlot();
  Close();
  if (!ok) {
    if (ask)
      Report(2, kMsgSlotMissing, m_path, 993, 750);
    else
      Fail(kMsgSlotMissing, 993, 750);
    return 0;
  }
  if (!m_isInstalled || !m_isInstalled(GetSlotCode())) return 1;
  if (!ask) return 0;
  const COrv_Language language;
  // The title takes the place of the first %s; a translation without one
  // is shown as it stands.
  std::string text = language.LoadString(kMsgAlreadyInstalled);
  if (const std::size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, GetSlotTitle());
  plat::ui::MessageBoxRequest box = plat::ui::MessageBoxRequest::fromFlags(
      text, language.LoadString(kCaptionQuestion),
      plat::ui::MB_YESNO | plat::ui::MB_ICONQUESTION | plat::ui::MB_TASKMODAL);
  return plat::ui::MessageBox(box) == plat::ui::IDYES ? 1 : 0;
}

COrv_PacketFile::Walk COrv_PacketFile::WalkEntries(const std::string& name, EntryInfo* found) {
  // Entries lie back to back from offset 12; the walk ends exactly at 12 + A,
  // and every entry must lie inside the entry area and the file.
  std::int64_t a = GetEntryAreaSize();
  if (a < 0) return Walk::Malformed;
  const std::uint64_t end = kHeaderSize + static_cast<std::uint64_t>(a);
  if (end > m_length) return Walk::Malformed;
  std::uint64_t pos = kHeaderSize;
  while (pos < end) {
    std::uint8_t h[kEntryHeaderSize];
    if (pos + kEntryHeaderSize > end || !ReadAt(pos, kEntryHeaderSize, h)) return Walk::Malformed;
    std::int64_t size = i32(h);
    if (size < 0 || pos + kEntryHeaderSize + static_cast<std::uint64_t>(size) > end) return Walk::Malformed;
    std::uint8_t rawName[9];
    std::memcpy(rawName, h + 7, 9);
    if (h[6] == 1) COrv_Scrambler().Scramble(rawName, 9, 0, 0);
    if (!name.empty() && field(rawName, 9) == name) {
      if (found) *found = {pos + kEntryHeaderSize, static_cast<std::uint32_t>(size), h[4]};
      return Walk::Found;
    }
    pos += kEntryHeaderSize + static_cast<std::uint64_t>(size);
  }
  return Walk::End;
}

int COrv_PacketFile::ScanEntries(const std::string& first, const std::string& second) {
  m_lastError = {};
  SetPathParts(first, second);
  if (!OpenPath()) {
    Report(1, kMsgCantOpen, m_path, 870, 750);
    return 0;
  }
  int result = 0;
  if (ReadHeader() && IsHeaderTag("TPK")) {
    result = WalkEntries(std::string(), nullptr) == Walk::End ? 1 : 0;
    if (!result) Report(2, kMsgBadFormat, m_path, 876, 750);
  } else {
    result = IsBookFile() ? 1 : 0;  // a book content file has no entries
  }
  Close();
  return result;
}

int COrv_PacketFile::HasEntry(const std::string& first, const std::string& second, const std::string& name) {
  m_lastError = {};
  if (name.empty()) return 0;
  SetPathParts(first, second);
  if (!OpenPath()) {
    Report(1, kMsgCantOpen, m_path, 1221, 750);
    return 0;
  }
  int result = ReadHeader() && IsHeaderTag("TPK") && WalkEntries(name, nullptr) == Walk::Found ? 1 : 0;
  Close();
  return result;
}

bool COrv_PacketFile::UnpackEntry(const EntryInfo& entry, std::string& out, bool report) {
  out.clear();
  if (entry.compression == 0) {
    out.resize(entry.size);
    return ReadAt(entry.dataPos, entry.size, out.data());
  }
  if (entry.compression != 1) return false;
  std::uint64_t pos = entry.dataPos;
  Inflate r = inflateGzip(
      entry.size, m_entryLimit,
      [&](unsigned char* buf, std::size_t n) {
        bool ok = ReadAt(pos, n, buf);
        pos += n;
        return ok;
      },
      [&](const unsigned char* buf, std::size_t n) {
        out.append(reinterpret_cast<const char*>(buf), n);
        return true;
      });
  if (r == Inflate::Ok) return true;
  out.clear();
  if (report)
    Report(2, kMsgBadDownload, m_path, 1340, 750);
  else
    Fail(kMsgBadDownload, 1340, 750);
  return false;
}

int COrv_PacketFile::ReadEntry(const std::string& first, const std::string& second, const std::string& name,
                               void* buffer, std::size_t& size) {
  m_lastError = {};
  std::size_t capacity = size;
  size = 0;
  if (name.empty()) return 0;
  bool opened = false;
  if (!m_file.isOpen()) {
    SetPathParts(first, second);
    if (!OpenPath()) {
      Report(1, kMsgCantOpen, m_path, 1324, 750);
      return 0;
    }
    ReadHeader();
    opened = true;
  }
  auto done = [&](int result) {
    if (opened) Close();
    return result;
  };
  EntryInfo entry;
  if (!IsHeaderTag("TPK") || WalkEntries(name, &entry) != Walk::Found) return done(0);
  if (entry.compression > 1) return done(0);
  std::uint64_t length = entry.size;
  std::string data;
  if (entry.compression == 1) {
    if (!UnpackEntry(entry, data, true)) return done(0);
    length = data.size();
  }
  if (!buffer) {
    size = static_cast<std::size_t>(length);
    return done(1);
  }
  if (capacity < length) {
    size = static_cast<std::size_t>(length - capacity);
    return done(0);
  }
  if (entry.compression == 0) {
    if (!ReadAt(entry.dataPos, entry.size, buffer)) return done(0);
  } else if (!data.empty()) {
    std::memcpy(buffer, data.data(), data.size());
  }
  size = static_cast<std::size_t>(length);
  return done(1);
}

int COrv_PacketFile::ExtractEntry(const std::string& first, const std::string& second, const std::string& name,
                                  const std::filesystem::path& destination) {
  m_lastError = {};
  if (name.empty()) return 0;
  SetPathParts(first, second);
  if (!OpenPath()) {
    Report(1, kMsgCantOpen, m_path, 1221, 750);
    return 0;
  }
  EntryInfo entry;
  std::string data;
  bool ok = ReadHeader() && IsHeaderTag("TPK") && WalkEntries(name, &entry) == Walk::Found &&
            UnpackEntry(entry, data, true);
  Close();
  if (!ok) return 0;
  if (plat::fs::writeFileAtomic(destination, data)) {
    Report(1, kMsgCantOpen, destination.string(), 1260, 750);
    return 0;
  }
  return 1;
}

// --- The tail -------------------------------------------------------------------

namespace {

// Each process unpacks into a folder of its own under the work folder,
// "p<process id>", so that what a killed installer left behind can be told
// from what a running one uses: the next unpacking removes the folders of
// processes that no longer run.
std::filesystem::path processFolder(const std::filesystem::path& work) {
  return work / ("p" + std::to_string(::getpid()));
}

void removeFoldersOfDeadProcesses(const std::filesystem::path& work) {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(work, ec)) {
    const std::string name = e.path().filename().string();
    if (name.size() < 2 || name[0] != 'p' ||
        name.find_first_not_of("0123456789", 1) != std::string::npos || name.size() > 11)
      continue;
    const long pid = std::stol(name.substr(1));
    if (pid <= 0 || pid == ::getpid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) plat::fs::removeTree(e.path());
  }
}

}  // namespace

void COrv_PacketFile::RemoveLeftovers() const { removeFoldersOfDeadProcesses(GetWorkFolder()); }

void COrv_PacketFile::RemoveContent() {
  if (m_content.isOpen()) m_content.close();
  if (!m_contentPath.empty()) {
    plat::fs::removeFile(m_contentPath);
    plat::fs::removeFolder(m_contentPath.parent_path());  // only when nothing else is left in it
  }
  m_contentPath.clear();
  m_contentLength = 0;
}

int COrv_PacketFile::ExtractContent() {
  m_lastError = {};
  RemoveContent();
  if (!m_file.isOpen()) return 0;
  const std::uint8_t compression = GetCompression();
  if (compression > 1) {
    Report(1, kMsgCompression, std::string(), 561, 550);
    return 0;
  }
  // The tail must lie inside the file as the trailer describes it.
  std::int64_t a = GetEntryAreaSize(), t = GetDirectorySize(), g = GetTailSize();
  if (a < 0 || t < static_cast<std::int64_t>(kTrailerSize) || g < 0 ||
      static_cast<std::uint64_t>(kHeaderSize + a + t + g) > m_length) {
    Report(2, kMsgBadDownload, m_path, 521, 550);
    return 0;
  }
  const std::uint64_t tailPos = static_cast<std::uint64_t>(kHeaderSize + a + t);
  const std::uint64_t tailSize = static_cast<std::uint64_t>(g);

  removeFoldersOfDeadProcesses(GetWorkFolder());
  const std::filesystem::path folder = processFolder(GetWorkFolder());
  plat::fs::TempFile temp;
  std::string prefix = GetTitle().empty() ? std::string("packet") : GetTitle();
  prefix += '_';
  if (!plat::fs::ensureFolder(folder) || plat::fs::createTempFile(folder, prefix, temp)) {
    plat::fs::removeFolder(folder);
    Report(1, kMsgCantOpen, GetName(), 537, 550);
    return 0;
  }
  plat::fs::File out;
  if (out.open(temp.path, plat::fs::File::Mode::Create)) {
    plat::fs::removeFile(temp.path);
    plat::fs::removeFolder(folder);
    Report(1, kMsgCantOpen, GetName(), 537, 550);
    return 0;
  }
  auto fail = [&](int kind, int message, const std::string& file, int first, int second) {
    out.close();
    plat::fs::removeFile(temp.path);
    plat::fs::removeFolder(folder);
    Report(kind, message, file, first, second);
    return 0;
  };

  std::uint64_t readPos = tailPos;
  auto readTail = [&](unsigned char* buf, std::size_t n) {
    bool ok = ReadAt(readPos, n, buf);
    readPos += n;
    return ok;
  };
  auto writeOut = [&](const unsigned char* buf, std::size_t n) { return !out.write(buf, n); };

  if (compression == 0) {
    if (tailSize > m_tailLimit) return fail(2, kMsgBadFormat, m_path, 547, 550);
    std::vector<unsigned char> buf(kCopyBlock);
    for (std::uint64_t left = tailSize; left > 0;) {
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, buf.size()));
      if (!readTail(buf.data(), n)) return fail(1, kMsgCantOpen, m_path, 542, 550);
      if (!writeOut(buf.data(), n)) return fail(1, kMsgCantOpen, temp.path.string(), 541, 550);
      left -= n;
    }
  } else {
    switch (inflateGzip(tailSize, m_tailLimit, readTail, writeOut)) {
      case Inflate::Ok: break;
      case Inflate::Corrupt: return fail(2, kMsgBadDownload, m_path, 545, 550);
      case Inflate::ReadError: return fail(1, kMsgCantOpen, m_path, 542, 550);
      case Inflate::WriteError: return fail(1, kMsgCantOpen, temp.path.string(), 541, 550);
      case Inflate::TooLarge: return fail(2, kMsgBadFormat, m_path, 547, 550);
    }
  }
  if (out.close()) {
    plat::fs::removeFile(temp.path);
    plat::fs::removeFolder(folder);
    Report(1, kMsgCantOpen, temp.path.string(), 541, 550);
    return 0;
  }
  m_contentPath = temp.path;
  if (m_content.open(m_contentPath, plat::fs::File::Mode::Read) || m_content.size(m_contentLength)) {
    RemoveContent();
    Report(1, kMsgCantOpen, temp.path.string(), 537, 550);
    return 0;
  }
  return 1;
}

bool COrv_PacketFile::ReadContentAt(std::uint64_t position, std::size_t count, void* buffer) {
  if (!m_content.isOpen() || position > m_contentLength || count > m_contentLength - position) return false;
  std::size_t got = 0;
  return !m_content.readAt(position, buffer, count, got) && got == count;
}

bool COrv_PacketFile::ReadPartHeader(std::uint64_t partStart) {
  std::uint8_t h[kPartHeaderSize];
  m_memberCount = 0;
  m_partName.clear();
  if (!ReadContentAt(partStart, kPartHeaderSize, h)) return false;
  m_memberCount = static_cast<std::uint16_t>(h[0] | h[1] << 8);
  m_partName = field(h + 2, 14);
  return true;
}

bool COrv_PacketFile::ReadMemberRecord(std::uint64_t partStart, int index) {
  m_memberName.clear();
  m_memberOffset = m_memberLength = 0;
  m_memberFlag = 0;
  if (index < 1 || index > m_memberCount) return false;
  std::uint8_t r[kMemberRecordSize];
  std::uint64_t at = partStart + kPartHeaderSize + kMemberRecordSize * static_cast<std::uint64_t>(index - 1);
  if (!ReadContentAt(at, kMemberRecordSize, r)) return false;
  std::int64_t offset = i32(r + 3), length = i32(r + 7);
  // The member's data lies at part start + offset - 1 and inside the content.
  if (offset < 1 || length < 0 ||
      partStart + static_cast<std::uint64_t>(offset - 1) + static_cast<std::uint64_t>(length) > m_contentLength)
    return false;
  m_memberName = field(r, 3);
  m_memberOffset = static_cast<std::int32_t>(offset);
  m_memberLength = static_cast<std::int32_t>(length);
  m_memberFlag = r[11];
  return true;
}

std::string COrv_PacketFile::MakeLibraryCopy(const std::string& path) {
  if (!m_isBookFile || path.size() < 3) return {};
  std::string copy = path.substr(0, path.size() - 3) + "tvl";
  if (copy == path) return copy;  // already a library file name
  plat::fs::removeFile(copy);
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    std::string bytes;
    if (!plat::fs::readFile(path, bytes) && !plat::fs::writeFileAtomic(copy, bytes)) {
      COrv_PacketFile source;
      source.SetPath(path);
      std::string backup = m_backupFolder;
      if (!backup.empty() && backup.back() != '/') backup.push_back('/');
      if (source.GetFolder() != backup && m_installLibrary) m_installLibrary(source.GetFolder(), source.GetName());
    }
  }
  return copy;
}

// --- Updating ---------------------------------------------------------------------

namespace {

// The working copy of an update: ".<name>.~up<unique>.tmp" beside the file.
std::string updatePrefix(const std::string& name) { return "." + name + ".~up"; }

}  // namespace

int COrv_PacketFile::BeginUpdate(const std::string& first, const std::string& second) {
  m_lastError = {};
  SetPathParts(first, second);
  if (!OpenPath()) return 0;
  const std::filesystem::path target = m_path;
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  // Copies that killed updates left behind (nobody holds their lock) go.
  const std::string prefix = updatePrefix(GetName());
  plat::fs::removeUnheldFiles(folder, [&](std::string_view n) {
    return n.size() > prefix.size() && n.substr(0, prefix.size()) == prefix && n.ends_with(".tmp");
  });

  plat::fs::TempFile temp;
  if (plat::fs::createTempFile(folder, prefix, temp)) {
    Close();
    return 0;
  }
  plat::fs::File copy;
  bool ok = !copy.open(temp.path, plat::fs::File::Mode::ReadWrite) && copy.holdLock();
  std::vector<unsigned char> buf(kCopyBlock);
  for (std::uint64_t pos = 0; ok && pos < m_length;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(m_length - pos, buf.size()));
    ok = ReadAt(pos, n, buf.data()) && !copy.write(buf.data(), n);
    pos += n;
  }
  std::error_code ec;
  if (ok) std::filesystem::permissions(temp.path, std::filesystem::status(target, ec).permissions(), ec);
  if (!ok || ec) {
    copy.close();
    plat::fs::removeFile(temp.path);
    Close();
    return 0;
  }
  m_file.close();
  m_file = std::move(copy);
  m_updatePath = temp.path;
  if (!ReadHeader()) {
    Close();
    return 0;
  }
  if (TrailerInFile()) ReadTrailer();
  return 1;
}

void COrv_PacketFile::AbandonUpdate() {
  if (m_updatePath.empty()) return;
  m_file.close();
  plat::fs::removeFile(m_updatePath);
  m_updatePath.clear();
}

bool COrv_PacketFile::WriteAt(std::uint64_t position, const void* data, std::size_t count) {
  if (!IsUpdating() || !m_file.isOpen() || position > m_length || count > m_length - position) return false;
  return !m_file.seek(position) && !m_file.write(data, count);
}

bool COrv_PacketFile::WriteHeader() { return WriteAt(0, m_header.data(), kHeaderSize); }

bool COrv_PacketFile::WriteTrailer() {
  if (!TrailerInFile()) return false;
  return WriteAt(kHeaderSize + static_cast<std::uint64_t>(GetEntryAreaSize()), m_trailer.data(), kTrailerSize);
}

bool COrv_PacketFile::WriteSlot(int n) {
  // Slot n lies inside the directory that the trailer in memory announces.
  if (n < 1 || n > GetTrailerSlotCount() || !TrailerInFile()) return false;
  const std::int64_t t = GetDirectorySize();
  if (t < static_cast<std::int64_t>(kTrailerSize)) return false;
  const std::uint64_t dirEnd = kHeaderSize + static_cast<std::uint64_t>(GetEntryAreaSize()) + static_cast<std::uint64_t>(t);
  const std::uint64_t at = SlotPosition(n);
  if (at + kSlotSize > dirEnd) return false;
  return WriteAt(at, m_slot.data(), kSlotSize);
}

int COrv_PacketFile::CommitUpdate() {
  if (!IsUpdating()) return 0;
  // Renamed while still open and locked, so that no cleaner of another
  // update takes it for a leftover on the way.
  if (m_file.sync() || plat::fs::renameFile(m_updatePath, m_path)) {
    AbandonUpdate();
    return 0;
  }
  m_updatePath.clear();
  return m_file.close() ? 0 : 1;
}
