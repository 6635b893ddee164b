#pragma once
// Strict gzip reading, shared by the container reader and the grammar
// browser's page store: one or more concatenated members that fill the
// input exactly, checked to the last byte, with a ceiling on the output.

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvgzip {

inline constexpr std::size_t kInBlock = 64 * 1024;
inline constexpr std::size_t kOutBlock = 256 * 1024;

enum class Inflate { Ok, Corrupt, ReadError, WriteError, TooLarge };

// Inflates one or more concatenated gzip members that fill exactly `inputSize`
// bytes delivered by `read`, handing the output to `write`. Strict: a bad
// magic, header, CRC or length, a truncated member, trailing bytes that are
// not a gzip member, an empty input and more than `limit` output bytes all
// fail.
template <typename Read, typename Write>
Inflate inflateGzip(std::uint64_t inputSize, std::uint64_t limit, Read read, Write write) {
  if (inputSize == 0) return Inflate::Corrupt;
  z_stream zs{};
  if (inflateInit2(&zs, 15 + 16) != Z_OK) return Inflate::Corrupt;
  std::vector<unsigned char> in(kInBlock);
  std::vector<unsigned char> out(kOutBlock);
  std::uint64_t remaining = inputSize;
  std::uint64_t produced = 0;
  bool memberOpen = false;
  Inflate result = Inflate::Ok;
  while (result == Inflate::Ok) {
    if (zs.avail_in == 0) {
      if (remaining == 0) {
        if (memberOpen) result = Inflate::Corrupt;  // truncated member
        break;
      }
      std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, in.size()));
      if (!read(in.data(), want)) {
        result = Inflate::ReadError;
        break;
      }
      remaining -= want;
      zs.next_in = in.data();
      zs.avail_in = static_cast<uInt>(want);
    }
    if (!memberOpen) {
      // A new member starts here: the end of the previous one may be
      // followed only by another complete member.
      if (inflateReset(&zs) != Z_OK) {
        result = Inflate::Corrupt;
        break;
      }
      memberOpen = true;
    }
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&zs, Z_NO_FLUSH);
    std::size_t got = out.size() - zs.avail_out;
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
      result = Inflate::Corrupt;
      break;
    }
    if (rc == Z_BUF_ERROR && got == 0 && zs.avail_in != 0) {
      result = Inflate::Corrupt;
      break;
    }
    produced += got;
    if (produced > limit) {
      result = Inflate::TooLarge;
      break;
    }
    if (got > 0 && !write(out.data(), got)) {
      result = Inflate::WriteError;
      break;
    }
    if (rc == Z_STREAM_END) memberOpen = false;
  }
  inflateEnd(&zs);
  return result;
}


// The unpacked bytes of a gzip stream in memory, or nothing when it is not
// one strict stream or unpacks to more than `limit` bytes.
inline std::optional<std::string> inflateGzipBytes(std::string_view packed, std::uint64_t limit) {
  std::size_t at = 0;
  std::string out;
  const Inflate r = inflateGzip(
      packed.size(), limit,
      [&](unsigned char* to, std::size_t n) {
        std::memcpy(to, packed.data() + at, n);
        at += n;
        return true;
      },
      [&](const unsigned char* from, std::size_t n) {
        out.append(reinterpret_cast<const char*>(from), n);
        return true;
      });
  if (r != Inflate::Ok) return std::nullopt;
  return out;
}

}  // namespace tvgzip
