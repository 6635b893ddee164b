#include "platform/riff/riff.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fs/fault.h"

namespace plat::riff {

namespace {

// A hostile file of nothing but empty chunks must not make the walker build
// an unbounded list.
constexpr size_t kMaxChunks = 1u << 20;

std::error_code fromErrno(int e) { return std::error_code(e, std::generic_category()); }

class RiffCategory : public std::error_category {
 public:
  const char* name() const noexcept override { return "riff"; }
  std::string message(int e) const override {
    switch (static_cast<Error>(e)) {
      case Error::NotRiff: return "not a RIFF file";
      case Error::WrongForm: return "unexpected RIFF form type";
      case Error::Truncated: return "chunk runs past the end of the file";
      case Error::PastParent: return "chunk runs past the end of its parent";
      case Error::TrailingData: return "bytes after the RIFF form";
      case Error::TooLarge: return "RIFF form too large";
      case Error::NoFormat: return "no \"fmt \" chunk";
      case Error::BadFormat: return "inconsistent \"fmt \" chunk";
      case Error::Unsupported: return "unsupported wave format";
      case Error::NoData: return "no \"data\" chunk";
    }
    return "unknown RIFF error";
  }
};

// Reads exactly n bytes at offset of an open descriptor.
std::error_code preadAll(int fd, const std::string& path, uint64_t offset, size_t n, char* out) {
  if (int f = plat::fs::takeFault(plat::fs::FaultOp::Read, path)) return fromErrno(f);
  while (n > 0) {
    ssize_t got = ::pread(fd, out, n, static_cast<off_t>(offset));
    if (got < 0) {
      if (errno == EINTR) continue;
      return fromErrno(errno);
    }
    if (got == 0) return Error::Truncated;  // the file shrank under us
    out += got;
    offset += static_cast<uint64_t>(got);
    n -= static_cast<size_t>(got);
  }
  return {};
}

std::error_code pwriteAll(int fd, const std::string& path, uint64_t offset, std::string_view bytes) {
  if (int f = plat::fs::takeFault(plat::fs::FaultOp::Write, path)) return fromErrno(f);
  const char* p = bytes.data();
  size_t n = bytes.size();
  while (n > 0) {
    ssize_t put = ::pwrite(fd, p, n, static_cast<off_t>(offset));
    if (put < 0) {
      if (errno == EINTR) continue;
      return fromErrno(errno);
    }
    p += put;
    offset += static_cast<uint64_t>(put);
    n -= static_cast<size_t>(put);
  }
  return {};
}

// A source over a descriptor owned by someone else.
class FdSource final : public Source {
 public:
  FdSource(int fd, uint64_t size, std::string path) : fd_(fd), size_(size), path_(std::move(path)) {}
  uint64_t size() const override { return size_; }
  std::error_code read(uint64_t offset, size_t n, char* out) const override {
    if (offset > size_ || n > size_ - offset) return Error::Truncated;
    return preadAll(fd_, path_, offset, n, out);
  }

 private:
  int fd_;
  uint64_t size_;
  std::string path_;
};

// Lists the chunks that fill [begin, end) of the source.
std::error_code walk(const Source& src, uint64_t begin, uint64_t end, std::vector<Chunk>& out) {
  out.clear();
  uint64_t pos = begin;
  while (pos < end) {
    if (end - pos < 8) return pos + 8 > src.size() ? Error::Truncated : Error::PastParent;
    if (out.size() >= kMaxChunks) return Error::TooLarge;
    char h[8];
    if (auto ec = src.read(pos, 8, h)) return ec;
    Chunk c;
    std::memcpy(c.id.data(), h, 4);
    c.size = getU32(h + 4);
    c.offset = pos;
    if (c.bodyEnd() > src.size()) return Error::Truncated;
    if (c.bodyEnd() > end) return Error::PastParent;
    if (c.isList()) {
      if (c.size < 4) return Error::PastParent;  // its type does not fit inside it
      if (auto ec = src.read(c.bodyOffset(), 4, c.form.data())) return ec;
    }
    out.push_back(c);
    pos = c.paddedEnd();  // may pass `end` by the missing pad of the last chunk
  }
  return {};
}

}  // namespace

const std::error_category& riffCategory() {
  static const RiffCategory category;
  return category;
}

std::error_code make_error_code(Error e) { return std::error_code(static_cast<int>(e), riffCategory()); }

std::string idText(const ChunkId& id) { return std::string(id.data(), id.size()); }

uint16_t getU16(const char* p) {
  return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
}

uint32_t getU32(const char* p) {
  return static_cast<uint32_t>(static_cast<uint8_t>(p[0])) | (static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24);
}

void appendU16(std::string& out, uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

void appendU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void putU32(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::error_code MemorySource::read(uint64_t offset, size_t n, char* out) const {
  if (offset > bytes_.size() || n > bytes_.size() - offset) return Error::Truncated;
  if (n > 0) std::memcpy(out, bytes_.data() + offset, n);
  return {};
}

FileSource::~FileSource() {
  if (fd_ >= 0) ::close(fd_);
}

std::error_code FileSource::open(const std::filesystem::path& path) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
  path_ = path.string();
  if (int f = plat::fs::takeFault(plat::fs::FaultOp::Open, path_)) return fromErrno(f);
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fromErrno(errno);
  struct stat st{};
  if (::fstat(fd, &st) != 0) {
    int e = errno;
    ::close(fd);
    return fromErrno(e);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return fromErrno(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  }
  fd_ = fd;
  size_ = static_cast<uint64_t>(st.st_size);
  return {};
}

std::error_code FileSource::read(uint64_t offset, size_t n, char* out) const {
  if (fd_ < 0) return fromErrno(EBADF);
  if (offset > size_ || n > size_ - offset) return Error::Truncated;
  return preadAll(fd_, path_, offset, n, out);
}

const Chunk* RiffLayout::find(const ChunkId& id) const {
  for (const Chunk& c : chunks)
    if (c.id == id) return &c;
  return nullptr;
}

const Chunk* RiffLayout::findLast(const ChunkId& id) const {
  for (auto it = chunks.rbegin(); it != chunks.rend(); ++it)
    if (it->id == id) return &*it;
  return nullptr;
}

std::error_code readLayout(const Source& src, RiffLayout& out) {
  out = RiffLayout{};
  out.sourceSize = src.size();
  char h[12];
  if (src.size() < 4) return Error::NotRiff;
  if (auto ec = src.read(0, 4, h)) return ec;
  if (ChunkId{h[0], h[1], h[2], h[3]} != kRiffId) return Error::NotRiff;
  if (src.size() < 12) return Error::Truncated;
  if (auto ec = src.read(0, 12, h)) return ec;
  Chunk riff;
  riff.id = kRiffId;
  riff.size = getU32(h + 4);
  riff.offset = 0;
  if (riff.size < 4) return Error::NotRiff;
  if (riff.bodyEnd() > src.size()) return Error::Truncated;
  std::memcpy(riff.form.data(), h + 8, 4);
  out.riff = riff;
  if (auto ec = walk(src, 12, riff.bodyEnd(), out.chunks)) {
    out.chunks.clear();
    return ec;
  }
  return {};
}

std::error_code readLayout(const Source& src, const ChunkId& form, RiffLayout& out) {
  if (auto ec = readLayout(src, out)) return ec;
  if (out.riff.form != form) return Error::WrongForm;
  return {};
}

std::error_code listSubChunks(const Source& src, const Chunk& list, std::vector<Chunk>& out) {
  out.clear();
  if (!list.isList() || list.size < 4) return Error::PastParent;
  if (list.bodyEnd() > src.size()) return Error::Truncated;
  return walk(src, list.bodyOffset() + 4, list.bodyEnd(), out);
}

std::error_code readBody(const Source& src, const Chunk& chunk, std::string& out) {
  out.clear();
  if (chunk.bodyEnd() > src.size()) return Error::Truncated;
  out.resize(chunk.size);
  if (auto ec = src.read(chunk.bodyOffset(), chunk.size, out.data())) {
    out.clear();
    return ec;
  }
  return {};
}

std::string chunkBytes(const ChunkId& id, std::string_view body) {
  std::string out;
  out.reserve(8 + body.size() + 1);
  out.append(id.data(), 4);
  appendU32(out, static_cast<uint32_t>(body.size()));
  out.append(body);
  if (body.size() & 1u) out += '\0';
  return out;
}

namespace {
// Checks that a chunk can go at the end of the form and gives the bytes to
// write at the end of the source (a missing pad byte, then the chunk) and
// the new RIFF size.
std::error_code planAppend(const Source& src, const ChunkId& id, std::string_view body, std::string& tail,
                           uint32_t& riffSize) {
  RiffLayout layout;
  if (auto ec = readLayout(src, layout)) return ec;
  const uint64_t at = layout.appendOffset();
  if (src.size() > at) return Error::TrailingData;
  if (body.size() > 0xFFFFFFFFull) return Error::TooLarge;
  const uint64_t newEnd = at + 8 + body.size() + (body.size() & 1u);
  if (newEnd - 8 > 0xFFFFFFFFull) return Error::TooLarge;
  tail.assign(static_cast<size_t>(at - src.size()), '\0');
  tail += chunkBytes(id, body);
  riffSize = static_cast<uint32_t>(newEnd - 8);
  return {};
}
}  // namespace

std::error_code appendChunk(std::string& bytes, const ChunkId& id, std::string_view body) {
  std::string tail;
  uint32_t riffSize = 0;
  if (auto ec = planAppend(MemorySource(bytes), id, body, tail, riffSize)) return ec;
  bytes += tail;
  putU32(bytes.data() + 4, riffSize);
  return {};
}

std::error_code appendChunkToFile(const std::filesystem::path& path, const ChunkId& id, std::string_view body) {
  const std::string p = path.string();
  if (int f = plat::fs::takeFault(plat::fs::FaultOp::Open, p)) return fromErrno(f);
  int fd = ::open(p.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return fromErrno(errno);
  struct stat st{};
  if (::fstat(fd, &st) != 0) {
    int e = errno;
    ::close(fd);
    return fromErrno(e);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return fromErrno(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  }
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  std::string tail;
  uint32_t riffSize = 0;
  std::error_code ec = planAppend(FdSource(fd, size, p), id, body, tail, riffSize);
  if (!ec) ec = pwriteAll(fd, p, size, tail);
  if (!ec) {
    std::string field;
    appendU32(field, riffSize);
    ec = pwriteAll(fd, p, 4, field);
  }
  if (ec) {
    // Undo a partial append; the RIFF size is written last, so it still
    // describes the old form.
    int rc = ::ftruncate(fd, static_cast<off_t>(size));
    (void)rc;
  }
  if (::close(fd) != 0 && !ec) ec = fromErrno(errno);
  return ec;
}

}  // namespace plat::riff
