#pragma once
// Builds container files in the packet layout the player reads: a 12-byte
// header, entries back to back, a 20-byte trailer, one 457-byte directory
// slot per book and the tail holding every book's part (stored or gzip).
// Integers are little-endian; every field not set here is zero.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tvtools {

// One member of a book's part: a 3-character name and its data.
struct PacketMember {
  std::string name;  // at most 3 bytes; shorter names are NUL-padded
  std::string data;
  std::uint8_t flag = 0;
};

// One book: its directory slot and its part of the tail.
struct PacketBook {
  std::string code;         // at most 8 bytes
  std::string title;        // at most 30 bytes
  std::string description;  // at most 254 bytes
  std::uint8_t category = 0;
  std::uint8_t difficulty = 0;
  std::uint8_t language = 0;
  std::string partName;  // at most 13 bytes
  std::vector<PacketMember> members;
};

// An entry of the entry area.
struct PacketEntry {
  std::string name;  // at most 8 bytes
  std::string data;
  bool gzip = false;          // stored gzip-compressed
  bool scrambleName = false;  // name stored with the modulo-256 walk, seed 0
};

struct PacketSpec {
  std::int32_t headerValue = 0;  // header offset 4
  std::uint16_t trailerWord = 0;  // trailer offset 13
  std::uint8_t trailerByte15 = 0;
  std::uint8_t contentVersion = 3;
  std::uint8_t compression = 1;  // 0 stored, 1 gzip (others written as given)
  std::uint8_t audioFlag = 0;
  std::vector<PacketEntry> entries;
  std::vector<PacketBook> books;
  // When set, written as the tail instead of the books' parts (the slots'
  // part sizes still come from the books): for damaged fixtures.
  bool rawTailSet = false;
  std::string rawTail;
};

// The part of one book: header {uint16 member count, char[14] name}, the
// 12-byte member records and the members' data back to back. A member's
// offset counts from 1 at the start of the part.
std::string buildPart(const PacketBook& book);

// The unpacked tail: every book's part in slot order.
std::string buildContent(const PacketSpec& spec);

// gzip (RFC 1952) of `data`; level as zlib's (-1: its default).
std::string gzipBytes(std::string_view data, int level = -1);

// The whole container file. Throws std::invalid_argument for a field that
// does not fit (a name too long, more than 255 books or 65535 members).
std::string buildPacket(const PacketSpec& spec);

// Writes buildPacket(spec) to `path`; false when the file cannot be written.
bool writePacket(const std::filesystem::path& path, const PacketSpec& spec);

}  // namespace tvtools
