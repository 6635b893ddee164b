#include "tools/packet/packet_writer.h"

#include <zlib.h>

#include <fstream>
#include <stdexcept>

#include "shared/scrambler/scrambler.h"

namespace tvtools {
namespace {

void putU8(std::string& out, std::uint8_t v) { out.push_back(static_cast<char>(v)); }
void putU16(std::string& out, std::uint16_t v) {
  putU8(out, static_cast<std::uint8_t>(v & 0xFF));
  putU8(out, static_cast<std::uint8_t>(v >> 8));
}
void putU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) putU8(out, static_cast<std::uint8_t>(v >> (8 * i)));
}

// A fixed-width field: `text` NUL-padded to `width`; `maxLength` bytes at most.
void putField(std::string& out, std::string_view text, std::size_t width, std::size_t maxLength,
              const char* what) {
  if (text.size() > maxLength) throw std::invalid_argument(std::string(what) + " too long");
  out.append(text);
  out.append(width - text.size(), '\0');
}

std::uint32_t checkedSize(std::size_t n) {
  if (n > 0x7FFFFFFFu) throw std::invalid_argument("size does not fit in 31 bits");
  return static_cast<std::uint32_t>(n);
}

}  // namespace

std::string buildPart(const PacketBook& book) {
  if (book.members.size() > 0xFFFF) throw std::invalid_argument("too many members");
  std::string out;
  putU16(out, static_cast<std::uint16_t>(book.members.size()));
  putField(out, book.partName, 14, 13, "part name");
  std::size_t dataOffset = 16 + 12 * book.members.size();
  for (const PacketMember& m : book.members) {
    putField(out, m.name, 3, 3, "member name");
    putU32(out, checkedSize(dataOffset + 1));
    putU32(out, checkedSize(m.data.size()));
    putU8(out, m.flag);
    dataOffset += m.data.size();
  }
  for (const PacketMember& m : book.members) out.append(m.data);
  return out;
}

std::string buildContent(const PacketSpec& spec) {
  std::string out;
  for (const PacketBook& b : spec.books) out.append(buildPart(b));
  return out;
}

std::string gzipBytes(std::string_view data, int level) {
  z_stream zs{};
  if (deflateInit2(&zs, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  std::string out;
  out.resize(deflateBound(&zs, static_cast<uLong>(data.size())) + 32);
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return out;
}

std::string buildPacket(const PacketSpec& spec) {
  if (spec.books.size() > 255) throw std::invalid_argument("more than 255 books");

  std::string entryArea;
  for (const PacketEntry& e : spec.entries) {
    std::string data = e.gzip ? gzipBytes(e.data) : e.data;
    putU32(entryArea, checkedSize(data.size()));
    putU8(entryArea, e.gzip ? 1 : 0);
    putU8(entryArea, 0);
    putU8(entryArea, e.scrambleName ? 1 : 0);
    std::string name;
    putField(name, e.name, 9, 8, "entry name");
    if (e.scrambleName) COrv_Scrambler().Scramble(name.data(), name.size(), 1, 0);
    entryArea.append(name);
    entryArea.append(data);
  }

  std::string out;
  out.append("TPK", 3);
  out.push_back('\0');
  putU32(out, static_cast<std::uint32_t>(spec.headerValue));
  putU32(out, checkedSize(entryArea.size()));
  out.append(entryArea);

  std::string tail;
  if (spec.rawTailSet) {
    tail = spec.rawTail;
  } else {
    std::string content = buildContent(spec);
    tail = spec.compression == 1 ? gzipBytes(content) : content;
  }

  const std::size_t directorySize = 20 + 457 * spec.books.size();
  out.append(5, '\0');
  putU32(out, checkedSize(directorySize));
  putU32(out, checkedSize(tail.size()));
  putU16(out, spec.trailerWord);
  putU8(out, spec.trailerByte15);
  putU8(out, spec.contentVersion);
  putU8(out, static_cast<std::uint8_t>(spec.books.size()));
  putU8(out, spec.compression);
  putU8(out, spec.audioFlag);

  for (const PacketBook& b : spec.books) {
    std::string slot;
    putField(slot, b.code, 9, 8, "book code");
    putField(slot, b.title, 31, 30, "title");
    putField(slot, b.description, 255, 254, "description");
    putU8(slot, b.category);
    putU8(slot, b.difficulty);
    putU8(slot, b.language);
    slot.append(3 * 51 + 2, '\0');
    putU32(slot, checkedSize(buildPart(b).size()));
    out.append(slot);
  }
  out.append(tail);
  return out;
}

bool writePacket(const std::filesystem::path& path, const PacketSpec& spec) {
  std::string bytes = buildPacket(spec);
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f.flush());
}

}  // namespace tvtools
