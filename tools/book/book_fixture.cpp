#include "tools/book/book_fixture.h"

#include <cmath>
#include <cstring>
#include <cstdio>
#include <set>

#include "platform/fs/file.h"
#include "platform/fs/file_io.h"
#include "platform/fs/temp_files.h"
#include "platform/riff/riff.h"
#include "platform/riff/wav.h"
#include "player/book/book_file_writer.h"
#include "player/env/credential_block.h"
#include "shared/scrambler/scrambler.h"
#include "platform/text/utf8.h"

namespace tvtools::book {
namespace {

using W = COrv_BookFileWriter;
constexpr size_t kLine = 32;
constexpr size_t kRecord = 33;
constexpr size_t kS01Head = 512;
constexpr int kMaxNamedEchomark = 99;
constexpr int kMaxHeadTable = 235;  // entries of the 472-byte table, element 0 unused
constexpr size_t kMaxDefinition = 2048;

void putLe16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
void appendLe16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}
void appendLe32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::string trimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return std::string(s.substr(0, n));
}

std::string padded(std::string_view s, size_t width) {
  std::string out(plat::text::cutToBytes(s, width));
  out.resize(width, ' ');
  return out;
}

std::string scrambled255(std::string s) {
  COrv_Scrambler().ScrambleMod255(s.data(), s.size(), 1, 0);
  return s;
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::string memberName(char digit, int n) {
  char name[8];
  std::snprintf(name, sizeof name, "%c%02d", digit, n);
  return name;
}

// Records of one type holding `payload` (padded with zeros to whole records).
void appendRecords(std::string& s01, uint8_t type, std::string_view payload, size_t minRecords = 1) {
  size_t count = (payload.size() + kLine - 1) / kLine;
  if (count < minRecords) count = minRecords;
  for (size_t i = 0; i < count; ++i) {
    s01.push_back(static_cast<char>(type));
    std::string part(i * kLine < payload.size() ? payload.substr(i * kLine, kLine) : std::string_view());
    part.resize(kLine, '\0');
    s01 += part;
  }
}

std::string numberList(const std::vector<int16_t>& numbers) {
  std::string out;
  appendLe16(out, static_cast<uint16_t>(numbers.size()));
  for (int16_t v : numbers) appendLe16(out, static_cast<uint16_t>(v));
  return out;
}

bool hasTail(const Echomark& e) {
  return !e.wordText.empty() || !e.fixedWords.empty() || !e.keywords.empty() || !e.dictionary.empty() ||
         !e.comment.empty() || !e.segmentStarts.empty() || !e.slowWav.empty() || !e.fastWav.empty();
}

// Where the audio header records of one Echomark lie in "S01" (record
// numbers from 1; 0: none).
struct HeaderRecords {
  size_t normal = 0, slow = 0, fast = 0;
};

// `packetForm`: the records a packet carries, where every Echomark with
// normal speech asks for its slower and faster renderings, which the
// installation makes.
bool buildS01(const Book& book, std::string& s01, std::vector<HeaderRecords>& headers, std::string& error,
              bool packetForm = false) {
  s01.assign(kS01Head, '\0');
  s01[0] = static_cast<char>(kLine);
  headers.assign(book.echomarks.size(), {});
  for (size_t i = 0; i < book.echomarks.size(); ++i) {
    const Echomark& e = book.echomarks[i];
    const int n = static_cast<int>(i + 1);
    const std::string where = "Echomark " + std::to_string(n) + ": ";
    auto text = [&](std::string_view t, const char* what, std::string& out) {
      if (!wrapText(t, out)) {
        error = where + what + " holds a word longer than 32 bytes";
        return false;
      }
      out = scrambled255(out);
      return true;
    };
    auto record = [&]() { return (s01.size() - kS01Head) / kRecord + 1; };
    std::string intro, words;
    if (!text(e.introduction, "the introduction", intro) || !text(e.wordText, "the word text", words)) return false;
    if (i > 0 && intro.empty() && !hasTail(book.echomarks[i - 1])) {
      error = where + "Echomark " + std::to_string(n - 1) +
              " has nothing after its header records and this one no introduction: they would read as one";
      return false;
    }
    if (e.dictionary.size() > 0x7FFF || e.fixedWords.size() > 0x7FFF || e.keywords.size() > 0x7FFF ||
        e.segmentStarts.size() > 0x7FFF) {
      error = where + "a list is too long";
      return false;
    }
    for (const DictionaryRef& r : e.dictionary)
      if (r.entry < 1 || static_cast<size_t>(r.entry) > book.dictionary.size()) {
        error = where + "dictionary entry " + std::to_string(r.entry) + " does not exist";
        return false;
      }
    if (!intro.empty()) appendRecords(s01, 1, intro);
    headers[i].normal = record();
    if (n <= kMaxHeadTable) putLe16(s01, 10 + 2 * static_cast<size_t>(n), static_cast<uint16_t>(headers[i].normal));
    appendRecords(s01, 9, "", 2);
    if (!words.empty()) appendRecords(s01, 3, words);
    if (!e.fixedWords.empty()) appendRecords(s01, 4, numberList(e.fixedWords));
    if (!e.keywords.empty()) appendRecords(s01, 6, numberList(e.keywords));
    if (!e.dictionary.empty()) {
      std::string refs;
      appendLe16(refs, static_cast<uint16_t>(e.dictionary.size()));
      for (const DictionaryRef& r : e.dictionary) {
        appendLe16(refs, static_cast<uint16_t>(r.word));
        appendLe16(refs, static_cast<uint16_t>(r.entry));
      }
      appendRecords(s01, 8, refs);
    }
    const std::string comment = cutText(e.comment);
    if (!comment.empty()) appendRecords(s01, 5, scrambled255(comment));
    if (!e.segmentStarts.empty()) appendRecords(s01, 7, numberList(e.segmentStarts));
    const bool renderings = packetForm && !e.normalWav.empty();
    if (!e.slowWav.empty() || renderings) {
      headers[i].slow = record();
      appendRecords(s01, 12, "", 7);
    }
    if (!e.fastWav.empty() || renderings) {
      headers[i].fast = record();
      appendRecords(s01, 13, "", 7);
    }
  }
  return true;
}

std::string idMember(const Book& book) {
  std::string id(58, '\0');
  id[18] = static_cast<char>(book.category);
  id[20] = static_cast<char>(book.language);
  id.replace(24, 30, padded(book.title, 30));
  putLe16(id, 56, static_cast<uint16_t>(book.echomarks.size()));
  if (book.version == 3) COrv_Scrambler().Scramble(id.data(), id.size(), 1, COrv_Scrambler::GetContentSeed());
  return id;
}

std::string iniMember(const Book& book) {
  std::string ini = "[" + upper(book.code) + "]\r\nLevel=" + std::to_string(book.level) +
                    "\r\nDescription=" + book.description + "\r\n";
  if (book.version == 3) ini += "[Books]\r\nTitle=" + book.title + "\r\n";
  return ini;
}

// `scramble` false: the plain pieces of a packet, which the installation
// enciphers.
bool dictionaryMembers(const Book& book, std::string& dci, std::string& dct, std::string& error,
                       bool scramble = true) {
  for (size_t e = 0; e < book.dictionary.size(); ++e) {
    const DictionaryEntry& entry = book.dictionary[e];
    if (entry.definition.size() > kMaxDefinition) {
      error = "dictionary entry " + std::to_string(e + 1) + ": the definition is longer than 2048 bytes";
      return false;
    }
    appendLe16(dci, static_cast<uint16_t>(e + 1));
    appendLe32(dci, static_cast<uint32_t>(dct.size() + 1));
    dci += padded(entry.word, kLine);
    // The 32-byte block and the definition are walks of their own.
    appendLe16(dct, static_cast<uint16_t>(entry.definition.size()));
    dct += scramble ? scrambled255(padded(entry.second, kLine)) : padded(entry.second, kLine);
    dct += scramble ? scrambled255(entry.definition) : entry.definition;
  }
  return true;
}

std::string linkMember(const std::vector<Link>& links) {
  std::string out = "[Links]\r\n";
  for (const Link& l : links) out += l.name + "=" + std::to_string(l.number) + "\r\n";
  return out;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool checkBook(const Book& book, std::string& error) {
  const std::string where = "book " + book.code + ": ";
  if (!W::IsValidBookCode(book.code)) {
    error = where + "the code is not 1 to 8 letters, digits or underscores";
    return false;
  }
  if (book.version != 2 && book.version != 3) {
    error = where + "the version is not 2 or 3";
    return false;
  }
  if (book.echomarks.size() > 0x7FFF) {
    error = where + "too many Echomarks";
    return false;
  }
  if (hasLineBreak(book.description) || hasLineBreak(book.title)) {
    error = where + "the title and the description are one line each";
    return false;
  }
  for (size_t i = 0; i < book.echomarks.size(); ++i) {
    const Echomark& e = book.echomarks[i];
    const bool named = !e.normalWav.empty() || !e.slowWav.empty() || !e.fastWav.empty() || !e.links.empty();
    if (named && i + 1 > kMaxNamedEchomark) {
      error = where + "Echomark " + std::to_string(i + 1) +
              " has speech or links, but members can name Echomarks 1 to 99 only";
      return false;
    }
    if (!e.normalWav.empty() && i + 1 > kMaxHeadTable) {
      error = where + "Echomark " + std::to_string(i + 1) + " is beyond the record member's table";
      return false;
    }
    for (const Link& l : e.links)
      if (l.name.empty() || l.name.find('=') != std::string::npos || hasLineBreak(l.name)) {
        error = where + "link name \"" + l.name + "\" cannot be stored";
        return false;
      }
  }
  return true;
}

class PartWriter {
 public:
  PartWriter(W& w, std::string& error) : w_(w), error_(error) {}

  bool buffer(std::string_view name, std::string_view data, uint32_t& d, uint32_t& m) {
    uint32_t len = 0;
    if (w_.AppendBufferEntry(name, data.data(), static_cast<uint32_t>(data.size()), d, m, len) == 1) return true;
    error_ = "member \"" + std::string(name) + "\": " + w_.LastError();
    return false;
  }

  bool audio(const std::filesystem::path& folder, std::string_view name, const std::string& wav, uint32_t& d,
             uint32_t& m, uint32_t p) {
    plat::fs::TempFile temp;
    if (std::error_code ec = plat::fs::createTempFile(folder, ".tvb", temp)) {
      error_ = "cannot create a temporary WAV file: " + ec.message();
      return false;
    }
    bool ok = false;
    uint32_t len = 0;
    // A scratch copy only: no need to flush it to the disk.
    plat::fs::File file;
    std::error_code ec = file.open(temp.path, plat::fs::File::Mode::Create);
    if (!ec) ec = file.write(wav.data(), wav.size());
    if (std::error_code closeEc = file.close(); !ec) ec = closeEc;
    if (ec)
      error_ = "cannot write a temporary WAV file: " + ec.message();
    else if (w_.AppendAudioFile(temp.path, name, d, m, p, 32, len) == 1)
      ok = true;
    else
      error_ = "member \"" + std::string(name) + "\": " + w_.LastError();
    plat::fs::removeFile(temp.path);
    return ok;
  }

 private:
  W& w_;
  std::string& error_;
};

bool writePart(W& w, const std::filesystem::path& folder, const Book& book, uint32_t partStart, uint32_t& end,
               std::string& error) {
  std::string s01;
  std::vector<HeaderRecords> headers;
  if (!buildS01(book, s01, headers, error)) return false;
  std::string dci, dct;
  if (!dictionaryMembers(book, dci, dct, error)) return false;

  w.SetPartStart(partStart);
  if (!w.Seek(partStart)) return (error = w.LastError(), false);
  w.SetPartHeader(0, "");
  if (!w.WritePartHeader()) return (error = w.LastError(), false);
  w.SetMemberRecord("", 0, 0, 0);
  for (int i = 0; i < W::kMemberRecords; ++i)
    if (!w.WriteMemberRecord()) return (error = w.LastError(), false);

  uint32_t d = partStart + W::kPartTableSize;
  uint32_t m = partStart + W::kPartHeaderSize;
  PartWriter part(w, error);
  if (!part.buffer("ID ", idMember(book), d, m) || !part.buffer("INI", iniMember(book), d, m)) return false;
  const uint32_t s01At = d;
  if (!part.buffer("S01", s01, d, m)) return false;
  if (!book.dictionary.empty() && (!part.buffer("DCI", dci, d, m) || !part.buffer("DCT", dct, d, m))) return false;
  for (size_t i = 0; i < book.echomarks.size(); ++i)
    if (!book.echomarks[i].links.empty() &&
        !part.buffer(memberName('G', static_cast<int>(i + 1)), linkMember(book.echomarks[i].links), d, m))
      return false;
  if (!book.spots.empty() && !part.buffer("MF1", book.spots, d, m)) return false;
  auto at = [&](size_t record) { return static_cast<uint32_t>(s01At + kS01Head + kRecord * (record - 1)); };
  for (size_t i = 0; i < book.echomarks.size(); ++i) {
    const Echomark& e = book.echomarks[i];
    const int n = static_cast<int>(i + 1);
    if (!e.normalWav.empty() && !part.audio(folder, memberName('0', n), e.normalWav, d, m, at(headers[i].normal)))
      return false;
    if (!e.fastWav.empty() && !part.audio(folder, memberName('6', n), e.fastWav, d, m, at(headers[i].fast)))
      return false;
    if (!e.slowWav.empty() && !part.audio(folder, memberName('2', n), e.slowWav, d, m, at(headers[i].slow)))
      return false;
  }

  const uint32_t count = (m - partStart - W::kPartHeaderSize) / W::kMemberRecordSize;
  if (!w.Seek(partStart)) return (error = w.LastError(), false);
  w.SetPartHeader(static_cast<uint16_t>(count), "");
  if (!w.WritePartHeader()) return (error = w.LastError(), false);
  end = d;
  return true;
}

}  // namespace

bool wrapText(std::string_view text, std::string& lines) {
  lines.clear();
  const std::string t = trimRight(text);
  std::string line;
  size_t p = 0;
  while (p < t.size()) {
    if (t[p] == ' ') {
      ++p;
      continue;
    }
    size_t q = t.find(' ', p);
    if (q == std::string::npos) q = t.size();
    const std::string_view word(t.data() + p, q - p);
    if (word.size() > kLine) {
      lines.clear();
      return false;
    }
    if (line.empty()) {
      line = word;
    } else if (line.size() + 1 + word.size() <= kLine) {
      line += ' ';
      line += word;
    } else {
      lines += padded(line, kLine);
      line = word;
    }
    p = q;
  }
  if (!line.empty()) lines += padded(line, kLine);
  return true;
}

std::string cutText(std::string_view text) {
  // Readers join the records' bytes before decoding, so a letter of several
  // bytes may span two records; only the last record is padded.
  std::string out = trimRight(text);
  if (out.size() % kLine != 0) out.append(kLine - out.size() % kLine, ' ');
  return out;
}

std::string segmentChunkBody(uint32_t dataSize, const std::vector<float>& shares) {
  std::string body;
  if (shares.empty()) return body;
  appendLe16(body, static_cast<uint16_t>(shares.size()));
  uint32_t start = 0;
  for (size_t i = 0; i + 1 < shares.size(); ++i) {
    const uint32_t length = static_cast<uint32_t>(static_cast<double>(dataSize) * shares[i]);
    appendLe32(body, start);
    appendLe32(body, length);
    start += length;
  }
  appendLe32(body, start);
  appendLe32(body, dataSize - start);
  return body;
}

std::string makeWav(uint32_t sampleCount, const std::vector<float>& shares, uint32_t rate) {
  std::string samples;
  samples.reserve(2 * static_cast<size_t>(sampleCount));
  for (uint32_t i = 0; i < sampleCount; ++i) {
    const double v = 8000.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * i / rate);
    const auto s = static_cast<int16_t>(std::lround(v));
    appendLe16(samples, static_cast<uint16_t>(s));
  }
  std::string wav;
  if (plat::riff::writeWav(plat::riff::WavFormat::pcm(rate, 16, 1), samples, wav)) return {};
  if (!shares.empty())
    plat::riff::appendChunk(wav, plat::riff::makeId("QLON"),
                            segmentChunkBody(static_cast<uint32_t>(samples.size()), shares));
  return wav;
}

bool writeLibraryFile(const std::filesystem::path& target, const std::vector<Book>& books, std::string& error) {
  error.clear();
  if (books.empty() || books.size() > 248) {
    error = "a content file holds 1 to 248 books";
    return false;
  }
  std::set<std::string> codes;
  for (const Book& book : books) {
    if (!checkBook(book, error)) return false;
    if (book.version != books[0].version) {
      error = "all books of one file have one version";
      return false;
    }
    if (!codes.insert(upper(book.code)).second) {
      error = "book code " + book.code + " is used twice";
      return false;
    }
  }
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";

  W w;
  w.SetPath(target.string());
  if (!w.Create()) return (error = w.LastError(), false);
  w.InitHeader(static_cast<uint8_t>(books[0].version), 0, static_cast<uint16_t>(books.size()), 0);
  if (!w.WriteHeader()) return (error = w.LastError(), false);
  w.SetIndexEntry("", 0, 0);
  for (int n = 1; n <= W::kIndexRecords; ++n)
    if (!w.WriteIndexEntry(n, 0)) return (error = w.LastError(), false);

  uint32_t partStart = W::kPartOffset;
  for (size_t i = 0; i < books.size(); ++i) {
    uint32_t end = 0;
    if (!writePart(w, folder, books[i], partStart, end, error)) {
      error = "book " + books[i].code + ": " + error;
      return false;
    }
    w.SetIndexEntry(books[i].code, static_cast<int32_t>(partStart + 1), static_cast<int32_t>(end - partStart + 1));
    if (!w.WriteIndexEntry(static_cast<int>(i + 1), 1)) return (error = w.LastError(), false);
    partStart = end;
  }
  if (!w.Commit()) return (error = w.LastError(), false);
  return true;
}

bool packetBook(const Book& book, tvtools::PacketBook& out, std::string& error) {
  error.clear();
  if (!checkBook(book, error)) return false;
  std::string s01;
  std::vector<HeaderRecords> headers;
  std::string dci, dct;
  if (!buildS01(book, s01, headers, error, true) || !dictionaryMembers(book, dci, dct, error, false)) return false;
  out = {};
  out.code = upper(book.code);
  out.title = book.title;
  out.description = book.description;
  out.category = book.category;
  out.difficulty = static_cast<uint8_t>(book.level);
  out.language = book.language;
  out.members = {{"ID ", idMember(book)}, {"INI", iniMember(book)}, {"S01", s01}};
  if (!book.dictionary.empty()) {
    out.members.push_back({"DCI", dci});
    out.members.push_back({"DCT", dct});
  }
  std::string vft;
  uint32_t waves = 0;
  for (size_t i = 0; i < book.echomarks.size(); ++i) {
    const Echomark& e = book.echomarks[i];
    if (!e.links.empty()) out.members.push_back({memberName('G', static_cast<int>(i + 1)), linkMember(e.links)});
    if (e.normalWav.empty()) continue;
    ++waves;
    const std::vector<float> shares = e.speechShares.empty() ? std::vector<float>{1.0f} : e.speechShares;
    appendLe16(vft, static_cast<uint16_t>(shares.size()));
    for (float f : shares) {
      uint32_t bits = 0;
      static_assert(sizeof bits == sizeof f);
      std::memcpy(&bits, &f, sizeof bits);
      appendLe32(vft, bits);
    }
  }
  std::string head;
  appendLe32(head, waves);
  out.members.push_back({"VFT", head + vft});
  if (!book.spots.empty()) out.members.push_back({"MF1", book.spots});
  for (size_t i = 0; i < book.echomarks.size(); ++i)
    if (!book.echomarks[i].normalWav.empty())
      out.members.push_back({memberName('0', static_cast<int>(i + 1)), book.echomarks[i].normalWav});
  if (out.members.size() > 250) {
    error = "book " + book.code + ": more than 250 members";
    return false;
  }
  return true;
}

bool writeBookFile(const std::filesystem::path& target, const Book& book, std::string& error) {
  return writeLibraryFile(target, std::vector<Book>{book}, error);
}

}  // namespace tvtools::book
