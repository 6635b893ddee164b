#pragma once
// Builds book content files for tests and the demo: a description of a book
// (its numbers, texts and Echomarks) becomes the file an installation would
// leave, written through COrv_BookFileWriter.
//
// Members of each book's part, in this order: "ID " (58 bytes; scrambled as
// a whole with the content seed in version 3), "INI" (section = the book
// code with Level and Description; version 3 also [Books] Title), "S01" (the
// Echomark records), "DCI" and "DCT" (when the book has a dictionary), "Gnn"
// (an Echomark's links), "MF1" (when the book has spots), then per Echomark
// its speech "0nn", "6nn" (faster), "2nn" (slower).
//
// "S01": a 512-byte head (byte 0 = 32; at 10 + 2n the record number, from
// 1, of Echomark n's first normal-speed header record), then 33-byte records
// (type byte, 32 payload bytes), per Echomark in this order: introduction
// (1), normal-speed header (9, 2 records), word text (3), fixed words (4),
// keywords (6), dictionary references (8), comment (5), segment starts (7),
// slower headers (12, 7 records), faster headers (13, 7 records). Kinds an
// Echomark lacks have no records; the normal-speed header records are always
// there, since the readers find Echomarks by them.
//
// The builder refuses what the readers would read differently from what was
// described: Echomark numbers above 99 with speech or links (members carry
// the number in two digits), a word longer than one 32-byte line, an
// Echomark with nothing after its header records followed by one without an
// introduction (the two header runs would read as one), duplicate or
// invalid book codes, and more than 250 members.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tools/packet/packet_writer.h"

namespace tvtools::book {

struct DictionaryEntry {
  std::string word;        // "DCI": 32 bytes, plain
  std::string second;      // "DCT": 32 bytes, scrambled
  std::string definition;  // "DCT": at most 2048 bytes, scrambled
};

struct DictionaryRef {
  int16_t word = 0;   // word number within the Echomark
  int16_t entry = 1;  // entry of the book's dictionary, from 1
};

struct Link {
  std::string name;
  int number = 0;
};

struct Echomark {
  std::string introduction;             // wrapped into 32-byte lines
  std::string wordText;                 // wrapped into 32-byte lines
  std::string comment;                  // cut every 32 bytes
  std::vector<int16_t> fixedWords;      // record type 4
  std::vector<int16_t> keywords;        // record type 6
  std::vector<int16_t> segmentStarts;   // record type 7 (counted from 0)
  std::vector<DictionaryRef> dictionary;
  std::vector<Link> links;              // member "Gnn"
  std::string normalWav;                // WAV file bytes; empty: no speech
  std::string slowWav;                  // member "2nn"; empty: none
  std::string fastWav;                  // member "6nn"; empty: none
  // Packet form only: the segment shares of the normal speech (fractions of
  // its samples, the last taking the rest), carried in "VFT"; none: one.
  std::vector<float> speechShares;
};

struct Book {
  int version = 2;  // content format version, 2 or 3
  std::string code = "DEMO";
  std::string title;
  uint8_t category = 0;
  uint8_t language = 0;  // the original language
  int level = 1;
  std::string description;
  std::vector<Echomark> echomarks;
  std::vector<DictionaryEntry> dictionary;
  std::string spots;  // member "MF1" (spot_file.h); empty: none
};

// Writes `book` as a book content file at `target` (atomically). False with
// a reason in `error` when the book cannot be written as described.
bool writeBookFile(const std::filesystem::path& target, const Book& book, std::string& error);
// A library: one index record and one part per book, all of one version.
bool writeLibraryFile(const std::filesystem::path& target, const std::vector<Book>& books, std::string& error);

// `book` as a packet carries it before installation: its directory slot
// and the members "ID ", "INI", "S01" (header records zero; every Echomark
// with normal speech asks for its slower and faster renderings, which the
// installation makes), "DCI" and "DCT" as plain pieces, "Gnn", "VFT" (the
// speech shares of each normal speech), "MF1" (the spots, when there are
// any) and "0nn" (the normal speech as given, without a segment chunk). Slower and faster speech given in the
// book is not carried. False with a reason when the book cannot be carried.
bool packetBook(const Book& book, tvtools::PacketBook& out, std::string& error);

// A mono 16-bit PCM WAV of `sampleCount` samples at `rate` with a segment
// chunk made from `shares` (fractions of the data, the last taking the rest;
// none: no chunk), as the installation step makes them.
std::string makeWav(uint32_t sampleCount, const std::vector<float>& shares, uint32_t rate = 11025);
// The body of a segment chunk for `dataSize` sample bytes.
std::string segmentChunkBody(uint32_t dataSize, const std::vector<float>& shares);

// Text as the record groups store it, before scrambling: lines of exactly
// 32 bytes. wrapText wraps at blanks (false when a word is longer than 32
// bytes); cutText cuts every 32 bytes, a letter of several bytes possibly
// spanning two lines, and pads the last. Trailing blanks are removed first;
// an empty text gives no lines.
bool wrapText(std::string_view text, std::string& lines);
std::string cutText(std::string_view text);

}  // namespace tvtools::book
