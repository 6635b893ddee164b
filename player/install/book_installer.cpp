#include "player/install/book_installer.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/fs/file.h"
#include "platform/fs/file_io.h"
#include "platform/fs/temp_files.h"
#include "platform/riff/wav.h"
#include "player/book/book_file_writer.h"
#include "player/book/packet_file.h"
#include "player/env/msg_box.h"
#include "player/env/segment_chunk.h"
#include "player/install/conv32_library.h"
#include "player/install/render_pool.h"
#include "player/install/wave_stretch.h"
#include "shared/language/orv_language.h"
#include "shared/scrambler/scrambler.h"

namespace orv::install {
namespace {

namespace fs = std::filesystem;
using W = COrv_BookFileWriter;

constexpr const char* kAddonEntry = "MF1ADDON";
// "S01": byte 0 = record width - 1, the record-number table at 10 (472
// bytes: element n for Echomark n, element 0 unused), records from 512.
constexpr std::size_t kS01TableAt = 10;
constexpr std::size_t kS01RecordsAt = 512;
constexpr std::uint8_t kS01Width = 33;     // every reader steps by 33 bytes
constexpr std::uint32_t kHeaderStep = 32;  // K: the second header piece
constexpr std::uint8_t kRecIntro = 1, kRecNormal = 9, kRecSlow = 12, kRecFast = 13;
constexpr double kFastFactor = 0.8, kSlowFactor = 1.2;
constexpr std::uint16_t kIndexUsed = 1;  // one book per installed content file
constexpr std::size_t kSpareBuffers = 8;  // of each kind
// The recordings and renderings held in memory at once (besides the spare
// buffers): room for four recordings of a minute and a half with both
// their renderings, which keeps eight workers busy.
constexpr std::uint64_t kRenderBudget = 64ull << 20;

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::uint16_t le16(const std::string& s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1]) << 8);
}

void report(int message, int line, const std::string& detail = {}) { ReportInstallError(message, line, detail); }

// A fault found away from where it is told: a recording prepared or
// rendered ahead of its turn is refused only when its turn comes, so that a
// packet gets the same one message whatever order the work ran in.
struct Refusal {
  int message = 0;
  int line = 0;
  std::string detail;
  explicit operator bool() const { return message != 0; }
  bool tell() const {
    report(message, line, detail);
    return false;
  }
};

std::string text(int id) { return COrv_Language().LoadString(id); }

// "'Title': speech kind 'F' (70)": the book and the packet's audio byte,
// printable or not.
std::string conversionDetail(const std::string& title, std::uint8_t kind) {
  std::string k = std::to_string(kind);
  if (kind > 32 && kind < 127) k = "'" + std::string(1, static_cast<char>(kind)) + "' (" + k + ")";
  return "'" + title + "': " + text(COrv_BookInstaller::kStrSpeechKind) + " " + k;
}

// "speech member "002": sample format 32-bit PCM cannot be played".
std::string sampleFormatReason(const std::string& member, const std::string& format) {
  std::string s = text(COrv_BookInstaller::kStrSampleFormat);
  if (const auto at = s.find("%1"); at != std::string::npos) s.replace(at, 2, member);
  if (const auto at = s.find("%2"); at != std::string::npos) s.replace(at, 2, format);
  return s;
}

struct Member {
  std::string name;  // upper case
  std::uint64_t position = 0;  // in the unpacked content
  std::uint32_t length = 0;
};

// The Echomark's header groups in "S01": absolute record numbers (from 1).
struct HeaderGroups {
  std::size_t normal = 0, slow = 0, fast = 0;
};

// One recording of the audio pass. The calling thread prepares it (reads
// the member, its header groups and segment shares), workers render it and
// the calling thread stores the renderings in turn. Plain speech renders
// in two parts side by side, both reading the recording as read: the
// check and the faster rendering, and the slower rendering. Compressed
// speech is one part (decoding, check, both renderings): its samples exist
// only once decoded.
struct Recording {
  const Member* member = nullptr;
  std::string digits;
  HeaderGroups groups;
  std::string data;     // the member as the packet holds it
  std::string decoded;  // compressed speech, decoded
  // Where the renderings are made: buffers of recordings stored before.
  std::string fastBytes, slowBytes;
  std::vector<float> shares;
  Refusal before;  // found while preparing: nothing is rendered
  Refusal after;   // the segment shares: told after a rendering fault
  Refusal rendering;  // decoding, the check, the faster rendering
  std::string reason;  // the rendering's refusal in words, when it has some
  Refusal slowRendering;
  // A rendering's segment chunk could not be made (one flag per part).
  bool chunkFailed = false, slowChunkFailed = false;
  // Each rendering ready to be written (none: not made).
  std::optional<W::PreparedAudio> normal, fast, slow;
};

class Run {
 public:
  Run(InstallProgress& progress, AudioConverter* converter) : m_progress(progress), m_converter(converter) {}
  ~Run() {
    if (m_writer.IsOpen()) m_writer.Abort();
    m_packet.RemoveContent();
  }

  void limit(const fs::path& workFolder, std::uint64_t tailLimit, unsigned threads) {
    if (!workFolder.empty()) m_packet.SetWorkFolder(workFolder);
    if (tailLimit != 0) m_packet.SetTailLimit(tailLimit);
    m_threads = threads;
  }
  int install(const std::string& name, const std::string& folder, const std::string& destination,
              std::string& contentPath, int slot);
  // Why the installation was refused, when a refusal said it in words.
  const std::string& reason() const { return m_reason; }

 private:
  bool bad(int line) {
    report(COrv_BookInstaller::kMsgBadFormat, line, m_packet.GetPath());
    return false;
  }
  Refusal badFormat(int line) const { return {COrv_BookInstaller::kMsgBadFormat, line, m_packet.GetPath()}; }
  Refusal readInto(const Member& m, std::string& out);
  bool readMember(const Member& m, std::string& out);
  bool fitsMemberTable(const std::vector<Member>& members, bool addon);
  bool storeBuffer(const std::string& name, const std::string& data);
  bool copyDictionary(const std::string& data);
  // False when the Echomark's header records are wrong (`line` says where
  // that was found).
  bool findGroups(int echomark, HeaderGroups& groups, int& line);
  Refusal nextShares(std::vector<float>& shares);
  // The three steps of a recording (see Recording).
  bool prepareAudio(Recording& r);
  std::size_t audioParts() const { return plain() ? 2 : 1; }
  void renderAudio(Recording& r, std::size_t part) const;
  bool plain() const { return m_kind == 0 || m_kind == '+'; }
  // Adds the segment chunk to a rendering and makes it ready to be
  // written; false when the chunk cannot be made.
  static bool finishRendering(std::string& wav, const std::vector<float>& shares, std::optional<W::PreparedAudio>& out);
  bool storeAudio(Recording& r);
  bool installRecordings(const std::vector<Member>& members);
  // The bar over the members: the members done so far of all the packet
  // holds, up to 90 (the rest is the final steps').
  void showMembersDone() { m_progress.SetPosition(static_cast<int>(90 * m_membersDone / m_memberCount)); }
  bool storeWave(const std::string& name, const W::PreparedAudio& wav, std::size_t record);
  std::string chooseName(const std::string& folder, const std::string& title, const std::string& code);

  InstallProgress& m_progress;
  AudioConverter* m_converter;
  unsigned m_threads = 0;
  std::string m_reason;
  std::uint8_t m_kind = 0;  // the packet's audio kind
  COrv_PacketFile m_packet;
  W m_writer;
  std::uint64_t m_partStart = 0;
  std::uint64_t m_partEnd = 0;
  std::uint32_t m_dataPos = W::kFirstDataPosition;
  std::uint32_t m_tablePos = W::kFirstTablePosition;
  std::string m_s01;
  std::optional<std::uint32_t> m_s01Pos;  // where "S01" lies in the content file
  std::optional<std::string> m_shares;    // "VFT"
  // Buffers of recordings already stored, taken again for the next ones:
  // fresh memory of that size costs more to touch than to read into, and
  // memory freed by the workers would stay with them.
  struct Spares {
    std::vector<std::string> data, fast, slow;
  } m_spare;
  std::size_t m_sharesAt = 4;             // the head is skipped
  // The packet's member records, and those stored so far: the copied
  // members, then the recordings.
  std::int64_t m_memberCount = 1;
  std::int64_t m_membersDone = 0;
};

Refusal Run::readInto(const Member& m, std::string& out) {
  if (m.length > COrv_BookInstaller::kMaxMemberBytes) return badFormat(__LINE__);
  out.resize(m.length);
  if (m.length > 0 && !m_packet.ReadContentAt(m.position, m.length, out.data())) return badFormat(__LINE__);
  return {};
}

bool Run::readMember(const Member& m, std::string& out) {
  const Refusal r = readInto(m, out);
  return r ? r.tell() : true;
}

// The members the content file will hold (every recording with its faster
// and slower renderings) must fit its table of 250: a packet that cannot
// is refused now, before any audio is made.
bool Run::fitsMemberTable(const std::vector<Member>& members, bool addon) {
  std::size_t stored = addon ? 1 : 0;
  const Member* s01 = nullptr;
  std::vector<int> recordings;
  for (const Member& m : members) {
    const char lead = m.name.empty() ? '\0' : m.name[0];
    if (m.name == "ID " || m.name == "INI" || m.name == "S01" || m.name == "DCI" || m.name == "DCT" || lead == 'G' ||
        (m.name == "MF1" && !addon))
      ++stored;
    if (m.name == "S01") s01 = &m;
    if (lead == '0' && m.name.size() == 3 && std::isdigit(static_cast<unsigned char>(m.name[1])) &&
        std::isdigit(static_cast<unsigned char>(m.name[2])))
      recordings.push_back((m.name[1] - '0') * 10 + (m.name[2] - '0'));
  }
  stored += recordings.size();
  if (stored > static_cast<std::size_t>(W::kMemberRecords)) {
    report(COrv_BookInstaller::kMsgTooManyMembers, __LINE__, m_packet.GetPath());
    return false;
  }
  // The renderings come from "S01"; without a readable one the recordings
  // fail on their own later.
  std::string records;
  if (s01 == nullptr || !readMember(*s01, records) || records.size() < kS01RecordsAt ||
      static_cast<std::uint8_t>(records[0]) != kS01Width - 1)
    return true;
  std::swap(m_s01, records);
  for (const int echomark : recordings) {
    HeaderGroups groups;
    int line = 0;
    if (echomark >= 1 && findGroups(echomark, groups, line)) stored += (groups.fast != 0) + (groups.slow != 0);
  }
  std::swap(m_s01, records);
  if (stored > static_cast<std::size_t>(W::kMemberRecords)) {
    report(COrv_BookInstaller::kMsgTooManyMembers, __LINE__, m_packet.GetPath());
    return false;
  }
  return true;
}

bool Run::storeBuffer(const std::string& name, const std::string& data) {
  std::uint32_t length = 0;
  // The writer reports nothing for a buffer it refuses: say the packet is
  // wrong (a name twice, more members than the table holds).
  if (m_writer.AppendBufferEntry(name, data.data(), static_cast<std::uint32_t>(data.size()), m_dataPos, m_tablePos,
                                 length) != 1)
    return bad(__LINE__);
  return true;
}

bool Run::copyDictionary(const std::string& data) {
  std::string out;
  out.reserve(data.size());
  COrv_Scrambler scrambler;
  std::size_t at = 0;
  while (at < data.size()) {
    if (data.size() - at < 2) return (report(COrv_BookInstaller::kMsgDictionary, __LINE__), false);
    const std::uint16_t length = le16(data, at);
    if (length > COrv_BookInstaller::kMaxPiece || data.size() - at - 2 < 32u + length)
      return (report(COrv_BookInstaller::kMsgDictionary, __LINE__), false);
    out.append(data, at, 2);
    std::string block = data.substr(at + 2, 32);
    std::string body = data.substr(at + 34, length);
    scrambler.ScrambleMod255(block.data(), block.size(), 1, 0);
    scrambler.ScrambleMod255(body.data(), body.size(), 1, 0);
    out += block;
    out += body;
    at += 34u + length;
  }
  return storeBuffer("DCT", out);
}

bool Run::findGroups(int echomark, HeaderGroups& groups, int& line) {
  const auto fail = [&](int at) {
    line = at;
    return false;
  };
  const std::size_t records = (m_s01.size() - kS01RecordsAt) / kS01Width;
  auto type = [&](std::size_t record) {  // record from 1
    return static_cast<std::uint8_t>(m_s01[kS01RecordsAt + (record - 1) * kS01Width]);
  };
  const std::size_t first = le16(m_s01, kS01TableAt + 2 * static_cast<std::size_t>(echomark));
  // The normal-speed header is two records of kind 9; the table must point
  // at them, or the header pieces would be written over other records.
  if (first < 1 || first + 1 > records || type(first) != kRecNormal || type(first + 1) != kRecNormal)
    return fail(__LINE__);
  groups.normal = first;
  // The records after the Echomark's own header run, up to the next
  // Echomark (its introduction or its header): a slower group (12) and a
  // faster group (13) ask for those renderings.
  std::size_t r = first;
  while (r <= records && type(r) == kRecNormal) ++r;
  for (; r <= records; ++r) {
    const std::uint8_t t = type(r);
    if (t == kRecIntro || t == kRecNormal) break;
    if (t == kRecSlow && groups.slow == 0) groups.slow = r;
    if (t == kRecFast && groups.fast == 0) groups.fast = r;
  }
  // Both header pieces of a slower or faster rendering lie in the group's
  // first two records.
  for (const std::size_t g : {groups.slow, groups.fast})
    if (g != 0 && (g + 1 > records || type(g + 1) != type(g))) return fail(__LINE__);
  return true;
}

Refusal Run::nextShares(std::vector<float>& shares) {
  const std::string& v = *m_shares;
  if (v.size() - m_sharesAt < 2) return {COrv_BookInstaller::kMsgFragmentTable, __LINE__, {}};
  const std::uint16_t count = le16(v, m_sharesAt);
  if ((v.size() - m_sharesAt - 2) / 4 < count) return {COrv_BookInstaller::kMsgFragmentTable, __LINE__, {}};
  shares.resize(count);
  if (count > 0) std::memcpy(shares.data(), v.data() + m_sharesAt + 2, 4u * count);
  m_sharesAt += 2u + 4u * count;
  return {};
}

bool Run::storeWave(const std::string& name, const W::PreparedAudio& wav, std::size_t record) {
  const auto headerPos = static_cast<std::uint32_t>(*m_s01Pos + kS01RecordsAt + (record - 1) * kS01Width);
  std::uint32_t length = 0;
  // The writer shows its own message when it refuses the rendering.
  return m_writer.AppendPreparedAudio(wav, "member " + name, name, m_dataPos, m_tablePos, headerPos, kHeaderStep,
                                      length) == 1;
}

bool Run::prepareAudio(Recording& r) {
  const Member& m = *r.member;
  r.digits = m.name.substr(1);
  if (r.digits.size() != 2 || !std::isdigit(static_cast<unsigned char>(r.digits[0])) ||
      !std::isdigit(static_cast<unsigned char>(r.digits[1])))
    return (r.before = badFormat(__LINE__), false);
  const int echomark = (r.digits[0] - '0') * 10 + (r.digits[1] - '0');
  if (echomark < 1) return (r.before = badFormat(__LINE__), false);
  // The headers of every rendering go into "S01" records, and the segment
  // shares come from "VFT": a recording without them cannot be stored.
  if (!m_s01Pos) return (r.before = badFormat(__LINE__), false);
  if (!m_shares) return (r.before = {COrv_BookInstaller::kMsgFragmentTable, __LINE__, {}}, false);
  if (int line = 0; !findGroups(echomark, r.groups, line)) return (r.before = badFormat(line), false);
  const auto take = [](std::vector<std::string>& spares, std::string& into) {
    if (spares.empty()) return;
    into = std::move(spares.back());
    spares.pop_back();
    into.clear();
  };
  take(m_spare.data, r.data);
  take(m_spare.fast, r.fastBytes);
  take(m_spare.slow, r.slowBytes);
  // Room for the segment table that the rendering step appends.
  r.data.reserve(std::size_t{m.length} + 4096);
  if ((r.before = readInto(m, r.data))) return false;
  if (m_kind != 0 && m_kind != '+' && (!m_converter || !m_converter->Available()))
    return (r.before = {COrv_BookInstaller::kMsgCompression, __LINE__, m_packet.GetPath()}, false);
  return !(r.after = nextShares(r.shares));
}

bool Run::finishRendering(std::string& wav, const std::vector<float>& shares, std::optional<W::PreparedAudio>& out) {
  if (wav.empty()) return true;
  if (appendSegmentChunk(wav, static_cast<int>(shares.size()), shares.data())) return false;
  // A rendering the writer would refuse is told when it is stored.
  W::PrepareAudio(std::move(wav), out.emplace());
  return true;
}

// Pure work on the recording alone: it may run on a worker thread. The
// recording as read is only read here, by both parts at once.
void Run::renderAudio(Recording& r, std::size_t part) const {
  if (r.before) return;
  const std::string& normal = plain() ? r.data : r.decoded;
  std::string& fast = r.fastBytes;
  std::string& slow = r.slowBytes;
  if (part == 0) {
    if (!plain()) {
      if (!m_converter->Convert(r.data, m_kind, r.decoded)) {
        // The box names the book and the kind; its text is made when told.
        r.rendering = {COrv_BookInstaller::kMsgConversion, __LINE__, {}};
        return;
      }
      r.data = {};
    }
    // A sample format the player does not play is named.
    if (const std::string format = unsupportedSampleFormat(normal); !format.empty()) {
      r.reason = sampleFormatReason(r.member->name, format);
      return void(r.rendering = {COrv_BookInstaller::kMsgBadFormat, __LINE__, m_packet.GetPath() + "\n" + r.reason});
    }
    // A recording that is no readable PCM WAV is the packet's fault, told
    // as such before anything is made from it.
    if (plat::riff::WavInfo check; plat::riff::readWavInfo(plat::riff::MemorySource(normal), check))
      return void(r.rendering = badFormat(__LINE__));
    if (r.groups.fast != 0 && stretchWave(normal, kFastFactor, fast)) return void(r.rendering = badFormat(__LINE__));
    if (r.after) return;
    if (!finishRendering(fast, r.shares, r.fast)) r.chunkFailed = true;
  }
  if (part == 1 || !plain()) {
    if (r.groups.slow != 0 && stretchWave(normal, kSlowFactor, slow))
      return void(r.slowRendering = badFormat(__LINE__));
    if (r.after) return;
    // Each part writes its own flag: the parts run at the same time.
    if (!finishRendering(slow, r.shares, r.slow)) r.slowChunkFailed = true;
  }
}

bool Run::storeAudio(Recording& r) {
  if (r.before) return r.before.tell();
  if (r.rendering.message == COrv_BookInstaller::kMsgConversion)
    r.rendering.detail = conversionDetail(m_packet.GetSlotTitle(), m_kind);
  if (r.rendering) return (m_reason = r.reason, r.rendering.tell());
  if (r.slowRendering) return r.slowRendering.tell();
  if (r.after) return r.after.tell();
  // The recording itself gets its segment chunk once no part reads it.
  std::string normal = std::move(plain() ? r.data : r.decoded);
  if (!finishRendering(normal, r.shares, r.normal) || r.chunkFailed || r.slowChunkFailed)
    return Refusal{COrv_BookInstaller::kMsgFragmentTable, __LINE__, {}}.tell();
  const bool stored = storeWave("0" + r.digits, *r.normal, r.groups.normal) &&
                      (!r.fast || storeWave("6" + r.digits, *r.fast, r.groups.fast)) &&
                      (!r.slow || storeWave("2" + r.digits, *r.slow, r.groups.slow));
  const auto give = [](std::vector<std::string>& spares, std::optional<W::PreparedAudio>& from) {
    if (from && spares.size() < kSpareBuffers) spares.push_back(std::move(from->bytes));
  };
  give(m_spare.data, r.normal);
  give(m_spare.fast, r.fast);
  give(m_spare.slow, r.slow);
  r = Recording();
  // The disk takes the renderings while the next ones are made: the flush
  // at the end then finds little to write.
  if (stored) m_writer.StartWriteBack();
  return stored;
}

// The recordings in member order: their renderings are made on the
// machine's cores, and stored one after the other as they come in.
bool Run::installRecordings(const std::vector<Member>& members) {
  std::vector<Recording> recordings;
  for (const Member& m : members)
    if (!m.name.empty() && m.name[0] == '0') recordings.emplace_back().member = &m;
  RenderPool::Steps steps;
  steps.prepare = [&](std::size_t i) { return prepareAudio(recordings[i]); };
  steps.parts = [&](std::size_t) { return audioParts(); };
  steps.render = [&](std::size_t i, std::size_t part) { renderAudio(recordings[i], part); };
  steps.finish = [&](std::size_t i) {
    if (!storeAudio(recordings[i])) return false;
    ++m_membersDone;
    showMembersDone();
    return true;
  };
  // The member and its two renderings are held until stored; compressed
  // speech grows on decoding.
  steps.weight = [&](std::size_t i) { return std::uint64_t{recordings[i].member->length} * (plain() ? 3 : 16); };
  steps.waiting = [&] { m_progress.KeepAlive(); };
  return RenderPool(m_threads, kRenderBudget).run(recordings.size(), steps);
}

std::string Run::chooseName(const std::string& folder, const std::string& title, const std::string& code) {
  // Another book's content file (or any other file) of that name is never
  // replaced: its own installation still reads it. A file of this book
  // (index record 1 holds its code) is replaced by the reinstallation. The
  // second name carries the code, so it is this book's alone.
  const std::string names[] = {COrv_BookInstaller::ContentFileName(title, code),
                               COrv_BookInstaller::ContentFileName(title.empty() ? code : title + " " + code, code)};
  for (const std::string& name : names) {
    W probe;
    probe.SetFolder(folder);
    probe.SetName(name);
    probe.BuildPath();
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(probe.GetPath(), ec))) return name;
    plat::fs::File file;
    char stored[W::kIndexNameSize] = {};
    std::size_t got = 0;
    if (fs::is_regular_file(fs::symlink_status(probe.GetPath(), ec)) &&
        !file.open(probe.GetPath(), plat::fs::File::Mode::Read) &&
        !file.readAt(W::kHeaderSize, stored, sizeof stored, got) && got == sizeof stored &&
        std::string(stored, sizeof stored) == W::ScrambledIndexName(code))
      return name;
  }
  return {};
}

int Run::install(const std::string& name, const std::string& folder, const std::string& destination,
                 std::string& contentPath, int slot) {
  const std::string first = folder.empty() ? name : folder;
  const std::string second = folder.empty() ? std::string() : name;
  // Validate checks the file's sizes against each other and reports what
  // is wrong with it.
  if (!m_packet.Validate(first, second, true)) return 0;
  // The entry area must walk to its end: a damaged entry header would hide
  // the media spots ("MF1ADDON") and the book would lose them unsaid.
  if (!m_packet.GetBookFileFlag() && !m_packet.ScanEntries(first, second)) return 0;
  const bool addon = m_packet.HasEntry(first, second, kAddonEntry) == 1;
  if (m_packet.GetBookFileFlag()) return bad(__LINE__);
  if (!m_packet.Open(first, second)) return (report(COrv_BookInstaller::kMsgCantOpen, __LINE__, m_packet.GetPath()), 0);
  if (!m_packet.ReadHeader() || !m_packet.ReadTrailer()) return bad(__LINE__);
  if (slot < 1 || slot > m_packet.GetTrailerSlotCount()) {
    report(COrv_PacketFile::kMsgSlotMissing, __LINE__, m_packet.GetPath());
    return 0;
  }
  std::uint64_t partStart = 0;
  for (int n = 1; n <= slot; ++n) {
    if (!m_packet.ReadNextSlot() || m_packet.GetSlotSize() < 0) return bad(__LINE__);
    if (n < slot) partStart += static_cast<std::uint64_t>(m_packet.GetSlotSize());
  }
  m_partStart = partStart;
  m_partEnd = partStart + static_cast<std::uint64_t>(m_packet.GetSlotSize());
  const std::string code = upper(m_packet.GetSlotCode());
  const std::string title = m_packet.GetSlotTitle();
  const std::uint8_t version = m_packet.GetContentVersion();
  if (!W::IsValidBookCode(code) || (version != 2 && version != 3)) return bad(__LINE__);

  m_progress.SetLine1(" " + text(COrv_BookInstaller::kStrInstalling) + " '" + title + "'");
  m_progress.SetLine2(" " + text(COrv_BookInstaller::kStrDecompressing));
  m_progress.SetPosition(1);

  m_writer.SetFolder(destination);
  const std::string fileName = chooseName(destination, title, code);
  m_writer.SetName(fileName.empty()
                       ? COrv_BookInstaller::ContentFileName(title.empty() ? code : title + " " + code, code)
                       : fileName);
  m_writer.BuildPath();
  if (fileName.empty()) return (report(COrv_BookInstaller::kMsgCantOpen, __LINE__, m_writer.GetPath()), 0);
  if (!m_writer.Create()) return (report(COrv_BookInstaller::kMsgCantOpen, __LINE__, m_writer.GetPath()), 0);
  m_writer.InitHeader(version, 0, kIndexUsed, 0);
  bool ok = m_writer.WriteHeader();
  m_writer.SetIndexEntry("", 0, 0);
  for (int n = 1; n <= 248 && ok; ++n) ok = m_writer.WriteIndexEntry(n, 0);
  // Record 250 carries two of the packet's numbers; 249 stays zero.
  m_writer.SetIndexEntry("", m_packet.GetTrailerWord(), m_packet.GetHeaderValue());
  ok = ok && m_writer.WriteIndexEntry(250, 0);
  ok = ok && m_writer.Seek(W::kPartOffset);
  m_writer.SetPartHeader(0, "");
  ok = ok && m_writer.WritePartHeader();
  m_writer.SetMemberRecord("", 0, 0, 0);
  for (int n = 0; n < W::kMemberRecords && ok; ++n) ok = m_writer.WriteMemberRecord();
  if (!ok) return (report(COrv_BookInstaller::kMsgCantOpen, __LINE__, m_writer.GetPath()), 0);
  m_progress.SetPosition(5);

  // The packet reports its own unpacking failures.
  if (!m_packet.ExtractContent()) return 0;
  m_progress.SetPosition(10);
  m_progress.SetLine2(" " + text(COrv_BookInstaller::kStrConverting));

  if (m_partEnd > m_packet.GetContentLength() || !m_packet.ReadPartHeader(m_partStart)) return bad(__LINE__);
  const int count = m_packet.GetMemberCount();
  if (W::kPartHeaderSize + W::kMemberRecordSize * static_cast<std::uint64_t>(count) > m_partEnd - m_partStart)
    return bad(__LINE__);
  std::vector<Member> members;
  for (int i = 1; i <= count; ++i) {
    if (!m_packet.ReadMemberRecord(m_partStart, i)) return bad(__LINE__);
    Member m;
    m.name = upper(m_packet.GetMemberName());
    m.position = m_partStart + static_cast<std::uint64_t>(m_packet.GetMemberOffset()) - 1;
    m.length = static_cast<std::uint32_t>(m_packet.GetMemberLength());
    // A member must lie inside its own book's part.
    if (m.position + m.length > m_partEnd) return bad(__LINE__);
    members.push_back(std::move(m));
  }

  if (!fitsMemberTable(members, addon)) return 0;

  // The bar moves with every member stored, first in the pass over the
  // records, then with each recording (see showMembersDone).
  m_memberCount = std::max(count, 1);
  for (int i = 0; i < count; ++i) {
    const Member& m = members[static_cast<std::size_t>(i)];
    const char lead = m.name.empty() ? '\0' : m.name[0];
    std::string data;
    const bool copied = m.name == "ID " || m.name == "INI" || m.name == "S01" || m.name == "DCI" || lead == 'G' ||
                        (m.name == "MF1" && !addon);
    if (copied) {
      if (m.name == "S01") {
        if (!readMember(m, m_s01)) return 0;
        if (m_s01.size() < kS01RecordsAt || static_cast<std::uint8_t>(m_s01[0]) != kS01Width - 1)
          return bad(__LINE__);
        m_s01Pos = m_dataPos;
        if (!storeBuffer(m.name, m_s01)) return 0;
      } else if (!readMember(m, data) || !storeBuffer(m.name, data)) {
        return 0;
      }
    } else if (m.name == "DCT") {
      if (!readMember(m, data) || !copyDictionary(data)) return 0;
    } else if (m.name == "VFT") {
      if (m_shares) return bad(__LINE__);
      if (!readMember(m, data)) return 0;
      if (data.size() < 4) return (report(COrv_BookInstaller::kMsgFragmentTable, __LINE__), 0);
      m_shares = std::move(data);
    }
    if (copied || m.name == "DCT") ++m_membersDone;
    showMembersDone();
  }

  m_kind = m_packet.GetAudioFlag();
  if (!installRecordings(members)) return 0;

  if (addon) {
    std::size_t size = 0;
    if (!m_packet.ReadEntry(first, second, kAddonEntry, nullptr, size)) return bad(__LINE__);
    std::string data(size, '\0');
    if (!m_packet.ReadEntry(first, second, kAddonEntry, data.data(), size) || size != data.size())
      return bad(__LINE__);
    if (!storeBuffer("MF1", data)) return 0;
  }

  const std::uint32_t total = m_dataPos - W::kFirstDataPosition;
  m_writer.SetIndexEntry(code, static_cast<std::int32_t>(W::kPartOffset + 1),
                         static_cast<std::int32_t>(W::kPartTableSize + 1 + total));
  ok = m_writer.WriteIndexEntry(1, 1) && m_writer.Seek(W::kPartOffset);
  m_writer.SetPartHeader(static_cast<std::uint16_t>((m_tablePos - W::kFirstTablePosition) / W::kMemberRecordSize), "");
  ok = ok && m_writer.WritePartHeader();
  m_packet.RemoveContent();
  m_packet.Close();
  if (!ok || !m_writer.Commit()) return (report(COrv_BookInstaller::kMsgCantOpen, __LINE__, m_writer.GetPath()), 0);

  m_progress.SetLine2(" " + text(COrv_BookInstaller::kStrUpdating));
  m_progress.SetPosition(90);
  m_progress.SetPosition(100);
  m_progress.SetLine2(" " + text(COrv_BookInstaller::kStrInstalled));
  contentPath = m_writer.GetPath();
  return 1;
}

}  // namespace

void ReportInstallError(int message, int line, const std::string& detail) {
  COrv_MsgBox box;
  box.m_nMessageId = message;
  box.m_nErrorNumber = line;
  box.m_nKind = detail.empty() ? 0 : 1;
  box.m_strExtraText = detail;
  box.Show();
}

COrv_BookInstaller::COrv_BookInstaller() : m_converter(&COrv_Conv32Library::Shared()) {}

std::string COrv_BookInstaller::ContentFileName(const std::string& title, const std::string& code) {
  return (title.empty() ? code : title) + ".tvl";
}

int COrv_BookInstaller::Install(const std::string& packetName, const std::string& packetFolder,
                                const std::string& destinationFolder, std::string& contentPath, int slot,
                                InstallProgress& progress) {
  contentPath.clear();
  Run run(progress, m_converter);
  run.limit(m_workFolder, m_tailLimit, m_threads);
  const int result = run.install(packetName, packetFolder, destinationFolder, contentPath, slot);
  m_reason = run.reason();
  return result;
}

}  // namespace orv::install
