// The loaders behind COrv_TvlReader::ReadInfo: one information kind of one
// Echomark into the lists of an information bundle. Every count, entry and
// length read from the file is checked against the group or member that
// holds it before it is used.
#include <algorithm>
#include <cstdio>

#include "platform/fs/file.h"
#include "platform/fs/program_folder.h"
#include "platform/fs/temp_files.h"
#include "platform/riff/riff.h"
#include "platform/riff/wav.h"
#include "player/book/content_reader.h"
#include "player/book/info_bundle.h"
#include "player/book/talvane.h"
#include "player/env/segment_chunk.h"
#include "player/book/byte_fields.h"
#include "shared/scrambler/scrambler.h"

namespace {

using orv::le16;
using orv::le32;
std::string trimBlanks(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}
std::string unscrambled255(std::string s) {
  COrv_Scrambler().ScrambleMod255(s.data(), s.size(), 0, 0);
  return s;
}
std::string memberName(char first, int n) {
  // n is 1..99: two digits.
  return std::string{first, static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

// Lines of 32 characters joined by one blank each, their padding removed.
std::string joinLines(const std::string& s) {
  std::string result;
  for (size_t p = 0;;) {
    result += s.substr(p, 32);
    p += 32;
    if (p > s.size()) break;
    result = trimBlanks(std::move(result)) + " ";
  }
  return result;
}

}  // namespace

class COrv_TvlLoaders {
 public:
  COrv_TvlLoaders(COrv_TvlReader& r, int n, COrv_InfoBundle& target) : r_(r), n_(n), target_(target) {}

  const COrv_TvlReader::Group& group(int g) const {
    return r_.m_groups[static_cast<size_t>(n_ - 1)][static_cast<size_t>(g)];
  }
  // The payloads of the group's records joined (count x 32 bytes).
  std::string payload(int g) const {
    const COrv_TvlReader::Group& gr = group(g);
    std::string out;
    out.reserve(32 * static_cast<size_t>(gr.count));
    for (int32_t i = 0; i < gr.count; ++i)
      out.append(r_.m_records, COrv_TvlReader::kRecordHead + COrv_TvlReader::kRecordSize *
                                                                   static_cast<size_t>(gr.first - 1 + i) + 1, 32);
    return out;
  }
  uint32_t language() const { return static_cast<uint32_t>(r_.m_book->GetOrigLanguage()); }

  int text(int g, COrv_TextInfo& list, bool join) {
    if (group(g).count == 0) return 1;
    std::string s = payload(g);
    COrv_Scrambler().ScrambleMod255(s.data(), s.size(), 0, 0);
    s = trimBlanks(std::move(s));
    if (join) s = joinLines(s);
    list.SetText(s, language());
    list.SetLoaded(1);
    return 1;
  }

  // N and the N numbers of a number group; false when N does not fit.
  bool numbers(int g, std::vector<uint16_t>& out) {
    const std::string s = payload(g);
    if (s.size() < 2) return false;
    const size_t count = le16(s, 0);
    if (2 + 2 * count > s.size()) return false;
    for (size_t i = 0; i < count; ++i) out.push_back(le16(s, 2 + 2 * i));
    return true;
  }

  int list(int g, int kind) {
    COrv_WordInfo& words = target_.Words();
    if (kind == 64 && group(g).count == 0) {
      words.AddSorted(1);
      return 1;
    }
    if (group(g).count == 0) return 1;
    std::vector<uint16_t> values;
    if (!numbers(g, values)) return r_.ReportError(__LINE__, COrv_TvlReader::kErrRecords, "a number list is longer than its group");
    if (kind == 64) words.AddSorted(1);
    for (uint16_t v : values) {
      if (kind == 8) words.AddList8(v);
      else if (kind == 16) words.AddList16(v);
      else words.AddSorted(static_cast<uint32_t>(v) + 1);
    }
    return 1;
  }

  int dictionary() {
    COrv_DictionaryInfo& dict = target_.Dictionary();
    dict.SetLoaded(1);
    if (group(7).count == 0) return 1;
    const std::string refs = payload(7);
    const size_t count = le16(refs, 0);
    if (2 + 4 * count > refs.size())
      return r_.ReportError(__LINE__, COrv_TvlReader::kErrRecords, "the dictionary references are longer than their group");
    COrv_TvlReader::Member member;
    std::string dci, dct;
    if (!r_.FindMember("DCI", member, true) || !r_.ReadMember(member, dci) || !r_.FindMember("DCT", member, true) ||
        !r_.ReadMember(member, dct))
      return r_.ReportError(__LINE__, COrv_TvlReader::kErrRecords, "the dictionary members are missing");
    for (size_t i = 0; i < count; ++i) {
      const uint16_t word = le16(refs, 2 + 4 * i);
      const uint16_t entry = le16(refs, 4 + 4 * i);
      if (entry < 1 || 38 * static_cast<size_t>(entry) > dci.size())
        return r_.ReportError(__LINE__, COrv_TvlReader::kErrRecords, "dictionary entry " + std::to_string(entry) + " is missing");
      const size_t at = 38 * (static_cast<size_t>(entry) - 1);
      const std::string first = trimBlanks(dci.substr(at + 6, 32));
      const uint64_t position = le32(dci, at + 2);
      if (position < 1 || position - 1 + 34 > dct.size())
        return r_.ReportError(__LINE__, COrv_TvlReader::kErrRecords, "a dictionary text lies outside its member");
      const size_t p = static_cast<size_t>(position - 1);
      const size_t length = le16(dct, p);
      if (p + 34 + length > dct.size())
        return r_.ReportError(__LINE__, COrv_TvlReader::kErrRecords, "a dictionary text is longer than its member");
      const std::string second = trimBlanks(unscrambled255(dct.substr(p + 2, 32)));
      const std::string definition = trimBlanks(unscrambled255(dct.substr(p + 34, length)));
      dict.Add(word, first, second, definition, language());
    }
    return 1;
  }

  int links() {
    COrv_LinkInfo& list = target_.Links();
    list.SetLoaded(1);
    if (n_ > COrv_TvlReader::kMaxNamedEchomark) return 1;
    COrv_TvlReader::Member member;
    if (!r_.FindMember(memberName('G', n_), member, false)) return r_.MemberDamaged() ? 0 : 1;
    std::string text;
    if (!r_.ReadMember(member, text)) return 0;
    bool inSection = false, found = false;
    size_t p = 0;
    while (p <= text.size()) {
      size_t e = text.find('\n', p);
      if (e == std::string::npos) e = text.size();
      std::string line = text.substr(p, e - p);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      p = e + 1;
      if (!inSection) {
        if (line == "[Links]") inSection = found = true;
        continue;
      }
      const size_t eq = line.find('=');
      if (eq == std::string::npos) break;
      uint32_t number = 0;
      for (size_t i = eq + 1; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
        number = number * 10 + static_cast<uint32_t>(line[i] - '0');
      list.Add(line.substr(0, eq), number);
    }
    if (!found) {
      // Answers 0 as before, but says why, so the caller's message has a text.
      r_.ReportError(__LINE__, COrv_TvlReader::kErrFormat,
                     "the links of Echomark " + std::to_string(n_) + " have no [Links] section");
      return 0;
    }
    return 1;
  }

  int wave(int speed) {
    CQlWaves& waves = target_.Waves();
    waves.SetLoaded(1);
    if (speed < CQlWaves::kMinSpeed || speed > CQlWaves::kMaxSpeed) return 1;
    // Speech the part does not hold: an error for the normal speed (told
    // as a missing member), nothing for the others.
    auto absent = [&](const std::string& why) {
      return speed == 0 ? r_.ReportError(__LINE__, COrv_TvlReader::kErrMember, why) : 1;
    };
    if (n_ > COrv_TvlReader::kMaxNamedEchomark) return absent("Echomark " + std::to_string(n_) + " has no speech");
    const int g = speed == 0 ? 1 : speed < 0 ? 2 : 3;
    if (group(g).count == 0) return absent("Echomark " + std::to_string(n_) + " has no normal-speed speech");
    const char digit = static_cast<char>('0' + (speed == 0 ? 0 : speed < 0 ? 1 - speed : speed + 5));
    COrv_TvlReader::Member member;
    if (!r_.FindMember(memberName(digit, n_), member, false))
      return r_.MemberDamaged() ? 0 : absent("the normal-speed speech of Echomark " + std::to_string(n_) + " is missing");
    std::string header = payload(g);
    const size_t at = speed == 0 ? 6 : 8 + 50 * static_cast<size_t>((speed < 0 ? -speed : speed) - 1);
    // The member is there but its header records are cut short: damage,
    // at any speed.
    if (at + 44 > header.size())
      return r_.ReportError(__LINE__, COrv_TvlReader::kErrFormat, "the wave header of the speech is cut short");
    header = header.substr(at, 44);
    COrv_Scrambler().Scramble(header.data(), header.size(), 0, 0);

    plat::fs::TempFile temp;
    if (plat::fs::createTempFile(plat::fs::systemTempFolder(), "MIO", temp))
      return r_.ReportError(__LINE__, COrv_TvlReader::kErrTempFile, "no temporary file for the speech");
    int built = build(member, header, temp.path);
    if (built) built = checkWave(temp.path, memberName(digit, n_));
    if (!built) {
      std::error_code ignored;
      std::filesystem::remove(temp.path, ignored);
      return 0;
    }
    waves.SetWaveFile(speed, temp.path);
    return speed == 0 ? segments(waves) : 1;
  }

  // The WAV file: the header, then the member's bytes copied from the
  // content file piece by piece.
  int build(const COrv_TvlReader::Member& member, const std::string& header, const std::filesystem::path& target) {
    plat::fs::File in, out;
    if (in.open(r_.contentPath(), plat::fs::File::Mode::Read))
      return r_.ReportError(__LINE__, COrv_TvlReader::kErrOpen, "the content file cannot be opened");
    if (out.open(target, plat::fs::File::Mode::ReadWrite) || out.write(header.data(), header.size()))
      return r_.ReportError(__LINE__, COrv_TvlReader::kErrTempFile, "the speech file cannot be written");
    std::string buffer(std::min<uint64_t>(member.length, 1u << 20), '\0');
    for (uint64_t done = 0; done < member.length;) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), member.length - done));
      size_t got = 0;
      if (in.readAt(member.offset + done, buffer.data(), n, got) || got != n)
        return r_.ReportError(__LINE__, COrv_TvlReader::kErrOpen, "the speech cannot be read");
      if (out.write(buffer.data(), n))
        return r_.ReportError(__LINE__, COrv_TvlReader::kErrTempFile, "the speech file cannot be written");
      done += n;
    }
    if (out.close()) return r_.ReportError(__LINE__, COrv_TvlReader::kErrTempFile, "the speech file cannot be written");
    return 1;
  }

  // The rebuilt speech must be a WAV the strict reader takes whole (its
  // header, its sizes against the file) in a sample format the wave-out
  // engine plays; otherwise a play would hand the device nothing and say
  // nothing. A member that the file holds cut short or with a lying
  // header is damage.
  int checkWave(const std::filesystem::path& wav, const std::string& name) {
    const std::string where = "the speech member \"" + name + "\" of Echomark " + std::to_string(n_);
    plat::riff::WavInfo info;
    if (plat::riff::readWavFileInfo(wav, info))
      return r_.ReportError(__LINE__, COrv_TvlReader::kErrFormat, where + " is no valid WAV file");
    const plat::riff::WavFormat& f = info.format;
    if (f.bitsPerSample != 8 && f.bitsPerSample != 16)
      return r_.ReportError(__LINE__, COrv_TvlReader::kErrFormat,
                            where + " holds " + std::to_string(f.bitsPerSample) + "-bit samples");
    return 1;
  }

  // The segment shares from the segment chunk, found by walking the WAV's
  // chunks; a WAV without one is one segment of 100 per cent, a WAV whose
  // table does not fit its samples is damaged.
  int segments(CQlWaves& waves) {
    plat::riff::FileSource src;
    if (src.open(waves.GetWaveFile(0)))
      return r_.ReportError(__LINE__, COrv_TvlReader::kErrOpen, "the speech file cannot be opened");
    plat::riff::RiffLayout layout;
    std::vector<orv::Segment> table;
    const plat::riff::Chunk* data = nullptr;
    const plat::riff::Chunk* chunk = nullptr;
    std::string body;
    if (!plat::riff::readLayout(src, plat::riff::kWaveForm, layout)) {
      data = layout.find(plat::riff::kDataId);
      chunk = layout.findLast(orv::kSegmentChunkId);
    }
    if (!data || !chunk || data->size == 0) {
      waves.SetSegmentShare(1, 100.0f);
      return 1;
    }
    if (plat::riff::readBody(src, *chunk, body) || orv::decodeSegmentTable(body, data->size, table) || table.empty())
      return r_.ReportError(__LINE__, COrv_TvlReader::kErrFormat,
                            "the segment table of the speech member \"" + memberName('0', n_) + "\" of Echomark " +
                                std::to_string(n_) + " does not fit its samples");
    for (size_t j = 0; j < table.size(); ++j)
      waves.SetSegmentShare(static_cast<int>(j + 1),
                            static_cast<float>(static_cast<double>(table[j].length) / data->size * 100.0));
    return 1;
  }

 private:
  COrv_TvlReader& r_;
  const int n_;
  COrv_InfoBundle& target_;
};

int COrv_TvlReader::ReadInfo(int kind, int n, COrv_InfoBundle& target, int speedFlags) {
  if (!Verify(0x01)) return 0;
  if (!m_open) return ReportError(__LINE__, kErrRecords, "no book is open");
  const bool known = kind == 1 || kind == 2 || kind == 4 || kind == 8 || kind == 16 || kind == 32 || kind == 64 ||
                     kind == 128 || kind == 512;
  if (!known) return ReportError(__LINE__, kErrKind, "unknown information kind " + std::to_string(kind));
  if (n < 1 || static_cast<size_t>(n) > m_groups.size())
    return ReportError(__LINE__, kErrRecords, "the book has no Echomark " + std::to_string(n));
  // Every Echomark the book counts has its records (at least its speech
  // header records, by which the records are found): one without any is
  // the mark of a damaged or cut record member, not an empty Echomark.
  const GroupRecord& groups = m_groups[static_cast<size_t>(n - 1)];
  if (std::all_of(groups.begin(), groups.end(), [](const Group& g) { return g.count == 0; }))
    return ReportError(__LINE__, kErrRecords, "Echomark " + std::to_string(n) + " has no records");
  COrv_TvlLoaders load(*this, n, target);
  switch (kind) {
    case 1: return load.text(4, target.Words(), true);
    case 2: return load.text(8, target.Comments(), false);
    case 4: return load.text(0, target.Introductions(), true);
    case 8: return load.list(5, 8);
    case 16: return load.list(6, 16);
    case 64: return load.list(9, 64);
    case 32: return load.dictionary();
    case 512: return load.links();
    default: break;
  }
  static constexpr int kSpeeds[] = {0, -1, -2, -3, -4, 1, 2, 3, 4};
  for (int bit = 0; bit < 9; ++bit)
    if ((speedFlags & (1 << bit)) && !load.wave(kSpeeds[bit])) return 0;
  return 1;
}
