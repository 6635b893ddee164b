#pragma once
// A packet that installs: one Talvane "HAMLET" (or another code) of two
// Echomarks, the first with two speech segments, laid out as the packets
// of the book shop are, and the same book as the book fixture writes it
// once installed.

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "shared/scrambler/scrambler.h"
#include "tools/book/book_fixture.h"
#include "tools/packet/packet_writer.h"

namespace installtest {

inline void le16(std::string& s, std::uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}
inline void le32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
inline std::uint32_t get32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(s[at + static_cast<std::size_t>(i)]);
  return v;
}
inline std::string padded(std::string s, std::size_t width) {
  s.resize(width, ' ');
  return s;
}

// The book both as the packet carries it and as the book fixture writes it
// installed: Echomark 1 has slower and faster headers and two speech
// segments (a quarter and three quarters), Echomark 2 normal speed only,
// in one segment.
inline tvtools::book::Book referenceBook(const std::string& code = "HAMLET") {
  tvtools::book::Book b;
  b.version = 2;
  b.code = code;
  b.title = "Hamlet";
  b.category = 4;
  b.language = 3;
  b.level = 2;
  b.description = "A play";
  tvtools::book::Echomark one;
  one.introduction = "Act one";
  one.wordText = "to be or not";
  one.links = {{"Verbs", 2}};
  one.dictionary = {{1, 1}};
  one.normalWav = tvtools::book::makeWav(22050, {});
  one.slowWav = one.normalWav;
  one.fastWav = one.normalWav;
  one.speechShares = {0.25f, 0.75f};
  tvtools::book::Echomark two;
  two.introduction = "Act two";
  two.wordText = "that is the question";
  two.normalWav = tvtools::book::makeWav(8000, {});
  b.echomarks = {one, two};
  b.dictionary = {{"be", "exist", "to have being"}};
  return b;
}

// "S01" records are 33 bytes: the kind, then 32 bytes of payload; they
// start at 512, after the width byte and the table of record numbers.
inline std::string s01Head() {
  std::string s(512, '\0');
  s[0] = 32;
  return s;
}
inline void appendS01Record(std::string& s, std::uint8_t type, std::string payload = {}) {
  s.push_back(static_cast<char>(type));
  payload.resize(32, '\0');
  s += payload;
}
// A text as "S01" keeps it: blank-padded to 32 bytes, scrambled.
inline std::string s01Text(std::string t) {
  t = padded(t, 32);
  COrv_Scrambler().ScrambleMod255(t.data(), t.size(), 1, 0);
  return t;
}

// The "S01" of referenceBook as the book fixture lays it out (records of 33
// bytes; the header records are zero until the installation fills them).
inline std::string s01Member() {
  std::string s = s01Head();
  auto record = [&](std::uint8_t type, std::string payload = {}) { appendS01Record(s, type, std::move(payload)); };
  auto scrambled = s01Text;
  auto table = [&](int n) {
    const std::size_t rec = (s.size() - 512) / 33 + 1;
    s[10 + 2 * static_cast<std::size_t>(n)] = static_cast<char>(rec);
  };
  record(1, scrambled("Act one"));
  table(1);
  record(9);
  record(9);
  record(3, scrambled("to be or not"));
  // The dictionary references: their count, then (word 1, entry 1).
  std::string ref;
  le16(ref, 1);
  le16(ref, 1);
  le16(ref, 1);
  record(8, ref);
  for (int i = 0; i < 7; ++i) record(12);
  for (int i = 0; i < 7; ++i) record(13);
  record(1, scrambled("Act two"));
  table(2);
  record(9);
  record(9);
  record(3, scrambled("that is the question"));
  return s;
}

inline std::string idMember(const std::string& title, int category, int language, std::size_t echomarks) {
  std::string id(58, '\0');
  id[18] = static_cast<char>(category);
  id[20] = static_cast<char>(language);
  id.replace(24, 30, padded(title, 30));
  id[56] = static_cast<char>(echomarks);
  return id;
}

inline std::string idMember(const tvtools::book::Book& b) {
  return idMember(b.title, b.category, b.language, b.echomarks.size());
}

inline std::string dciMember() {
  std::string s;
  le16(s, 1);
  le32(s, 1);
  return s + padded("be", 32);
}

// Plain pieces {L; 32 bytes; L bytes}: the installation enciphers them.
inline std::string dctPiece(const std::string& second, const std::string& definition) {
  std::string s;
  le16(s, static_cast<std::uint16_t>(definition.size()));
  return s + padded(second, 32) + definition;
}

inline std::string vftMember(const std::vector<std::vector<float>>& perWave) {
  std::string s;
  le32(s, static_cast<std::uint32_t>(perWave.size()));
  for (const auto& shares : perWave) {
    le16(s, static_cast<std::uint16_t>(shares.size()));
    for (float f : shares) {
      std::uint32_t bits;
      std::memcpy(&bits, &f, 4);
      le32(s, bits);
    }
  }
  return s;
}

inline tvtools::PacketSpec packetSpec(const std::string& code = "HAMLET") {
  const tvtools::book::Book b = referenceBook(code);
  std::vector<std::vector<float>> shares;
  for (const tvtools::book::Echomark& e : b.echomarks)
    shares.push_back(e.speechShares.empty() ? std::vector<float>{1.0f} : e.speechShares);
  tvtools::PacketBook book;
  book.code = code;
  book.title = b.title;
  book.description = b.description;
  book.category = b.category;
  book.difficulty = 2;
  book.language = b.language;
  book.members = {
      {"ID ", idMember(b)},
      {"INI", "[" + code + "]\r\nLevel=2\r\nDescription=A play\r\n"},
      {"S01", s01Member()},
      {"DCI", dciMember()},
      {"dct", dctPiece("exist", "to have being")},
      {"G01", "[Links]\r\nVerbs=2\r\n"},
      {"VFT", vftMember(shares)},
      {"001", b.echomarks[0].normalWav},
      {"002", b.echomarks[1].normalWav},
  };
  tvtools::PacketSpec spec;
  spec.headerValue = 0x01020304;
  spec.trailerWord = 0x0506;
  spec.contentVersion = 2;
  spec.books = {book};
  return spec;
}

// A packet of book "SPEECH" whose Echomark n (from 1) has `recordings`[n-1]
// as its stored speech (a WAV, or what the packet's audio kind names), each
// with slower and faster headers and two segments of 40 and 60 per cent.
inline tvtools::PacketSpec speechPacketSpec(const std::vector<std::string>& recordings) {
  std::string s01 = s01Head();
  auto record = [&](std::uint8_t type, std::string payload = {}) { appendS01Record(s01, type, std::move(payload)); };
  std::vector<std::vector<float>> shares;
  tvtools::PacketBook book;
  book.code = "SPEECH";
  book.title = "Speech";
  book.description = "Spoken";
  book.category = 1;
  book.difficulty = 1;
  book.language = 1;
  for (std::size_t n = 1; n <= recordings.size(); ++n) {
    record(1, s01Text("Part " + std::to_string(n)));
    const std::size_t rec = (s01.size() - 512) / 33 + 1;  // the next record: the first header
    s01[10 + 2 * n] = static_cast<char>(rec & 0xFF);
    s01[11 + 2 * n] = static_cast<char>(rec >> 8);
    record(9);
    record(9);
    for (int i = 0; i < 7; ++i) record(12);
    for (int i = 0; i < 7; ++i) record(13);
    shares.push_back({0.4f, 0.6f});
  }
  book.members = {
      {"ID ", idMember(book.title, book.category, book.language, recordings.size())},
      {"INI", "[SPEECH]\r\nLevel=1\r\n"},
      {"S01", s01},
      {"VFT", vftMember(shares)},
  };
  for (std::size_t n = 1; n <= recordings.size(); ++n) {
    std::string name = std::to_string(n);
    book.members.push_back({"0" + std::string(2 - name.size(), '0') + name, recordings[n - 1]});
  }
  tvtools::PacketSpec spec;
  spec.contentVersion = 2;
  spec.books = {book};
  return spec;
}

// A WAV file of one second of silence in any sample format, written byte
// by byte (not by the reader's own writer): `tag` 1 PCM, 3 float; with
// `extensible` the format stands as the sub-format of tag 0xFFFE.
inline std::string wavIn(std::uint16_t tag, std::uint16_t bits, bool extensible = false) {
  const std::uint32_t rate = 11025;
  const std::uint16_t align = bits / 8;
  std::string fmt;
  le16(fmt, extensible ? 0xFFFE : tag);
  le16(fmt, 1);
  le32(fmt, rate);
  le32(fmt, rate * align);
  le16(fmt, align);
  le16(fmt, bits);
  if (extensible) {
    le16(fmt, 22);
    le16(fmt, bits);
    le32(fmt, 4);  // front centre
    le16(fmt, tag);
    fmt += std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
  }
  std::string body = "WAVEfmt ";
  le32(body, static_cast<std::uint32_t>(fmt.size()));
  body += fmt + "data";
  le32(body, rate * align);
  body += std::string(rate * align, '\0');
  std::string wav = "RIFF";
  le32(wav, static_cast<std::uint32_t>(body.size()));
  return wav + body;
}

}  // namespace installtest
