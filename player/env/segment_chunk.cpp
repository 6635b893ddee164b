// The segment table chunk and its writer.

#include "player/env/segment_chunk.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "player/env/file_util.h"

namespace orv {

namespace riff = plat::riff;

std::error_code cutSegments(uint32_t dataSize, int count, const float* shares, std::vector<Segment>& out) {
  out.clear();
  if (count < 1 || count > kMaxSegments) return std::make_error_code(std::errc::invalid_argument);
  if (count > 1 && shares == nullptr) return std::make_error_code(std::errc::invalid_argument);
  for (int i = 0; i + 1 < count; ++i)
    if (!std::isfinite(shares[i]) || shares[i] < 0.0f) return std::make_error_code(std::errc::invalid_argument);

  out.reserve(static_cast<size_t>(count));
  uint32_t start = 0;
  for (int i = 0; i + 1 < count; ++i) {
    const uint32_t left = dataSize - start;
    // Computed in double and compared before converting, so that a share
    // above 1 cannot overflow the 32-bit length.
    const double wanted = std::trunc(static_cast<double>(dataSize) * static_cast<double>(shares[i]));
    const uint32_t length = wanted >= static_cast<double>(left) ? left : static_cast<uint32_t>(wanted);
    out.push_back({start, length});
    start += length;
  }
  out.push_back({start, dataSize - start});
  return {};
}

std::string segmentTableBody(const std::vector<Segment>& segments) {
  std::string body;
  body.reserve(2 + 8 * segments.size());
  riff::appendU16(body, static_cast<uint16_t>(segments.size()));
  for (const Segment& s : segments) {
    riff::appendU32(body, s.start);
    riff::appendU32(body, s.length);
  }
  return body;
}

std::error_code decodeSegmentTable(std::string_view body, uint32_t dataSize, std::vector<Segment>& out) {
  out.clear();
  const auto bad = std::make_error_code(std::errc::invalid_argument);
  if (body.size() < 2) return bad;
  const size_t count = riff::getU16(body.data());
  if (body.size() != 2 + 8 * count) return bad;
  uint64_t next = 0;
  std::vector<Segment> segments;
  segments.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const char* p = body.data() + 2 + 8 * i;
    Segment s{riff::getU32(p), riff::getU32(p + 4)};
    if (s.start != next) return bad;
    next += s.length;
    if (next > dataSize) return bad;
    segments.push_back(s);
  }
  if (next != dataSize) return bad;
  out = std::move(segments);
  return {};
}

namespace {

// The segment table body for the WAV form in `src`: its first "data" chunk
// found by walking the chunks (never by a byte search, which could meet the
// letters inside another chunk).
std::error_code planTable(const riff::Source& src, int count, const float* shares, std::string& body) {
  if (count < 1 || count > kMaxSegments) return std::make_error_code(std::errc::invalid_argument);
  riff::RiffLayout layout;
  if (auto ec = riff::readLayout(src, riff::kWaveForm, layout)) return ec;
  const riff::Chunk* data = layout.find(riff::kDataId);
  if (data == nullptr) return riff::Error::NoData;
  std::vector<Segment> segments;
  if (auto ec = cutSegments(data->size, count, shares, segments)) return ec;
  body = segmentTableBody(segments);
  return {};
}

}  // namespace

std::error_code appendSegmentChunk(std::string& wavBytes, int count, const float* shares) {
  if (count == 0) return {};
  std::string body;
  if (auto ec = planTable(riff::MemorySource(wavBytes), count, shares, body)) return ec;
  return riff::appendChunk(wavBytes, kSegmentChunkId, body);
}

int COrv_FileUtil::AppendSegmentChunk(const std::string& path, int count, const float* shares) const {
  if (count == 0) return 1;
  if (count < 0 || count > kMaxSegments) return 0;
  std::string body;
  {
    riff::FileSource src;
    if (auto ec = src.open(path)) {
      std::fprintf(stderr, "Can't open file %s, error = %u\n", path.c_str(), static_cast<unsigned>(ec.value()));
      return 0;
    }
    if (planTable(src, count, shares, body)) return 0;
  }
  // The writer checks the form again under its own open, writes the chunk
  // after the padded end of the form and only then the RIFF size; a failed
  // write is undone.
  if (auto ec = riff::appendChunkToFile(path, kSegmentChunkId, body)) {
    if (ec.category() == std::generic_category() || ec.category() == std::system_category())
      std::fprintf(stderr, "Can't open file %s, error = %u\n", path.c_str(), static_cast<unsigned>(ec.value()));
    return 0;
  }
  return 1;
}

std::ptrdiff_t FindBytes(const void* buffer, const void* pattern, std::size_t count, std::size_t patternLength) {
  if (patternLength == 0 || patternLength > count) return -1;
  const auto* b = static_cast<const unsigned char*>(buffer);
  for (std::size_t i = 0; i + patternLength <= count; ++i)
    if (std::memcmp(b + i, pattern, patternLength) == 0) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

}  // namespace orv
