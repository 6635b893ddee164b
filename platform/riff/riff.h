#pragma once
// A strict RIFF reader and writer.
//
// A RIFF file is one outer chunk ("RIFF", size, form type) whose body is a
// sequence of chunks: a 4-byte id, a 32-bit little-endian body size, the
// body, and one pad byte after a body of odd size. The reader walks the
// chunks inside their parent and checks every size before it is used:
//   - a chunk that runs past the end of the file (or buffer) is Truncated;
//   - a chunk that runs past its parent but not past the file is PastParent;
//   - a pad byte is honoured; it may be missing only where the chunk ends
//     exactly at its parent's end (writers commonly drop that one).
// Bytes of the file after the outer chunk are not part of it and are not
// read. Nothing is ever read outside the source.
//
// Sources are memory buffers or files; files are read piece by piece, so a
// layout can be taken without reading the samples.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace plat::riff {

// --- Errors --------------------------------------------------------------------
// I/O failures are reported with the system's errno codes; the format's own
// failures with these.
enum class Error {
  NotRiff = 1,   // no "RIFF" tag, or too short for the outer chunk
  WrongForm,     // the form type is not the one asked for
  Truncated,     // a chunk runs past the end of the file
  PastParent,    // a chunk runs past the end of its parent
  TrailingData,  // bytes after the outer chunk (appending would lose or swallow them)
  TooLarge,      // the result would not fit the 32-bit sizes
  NoFormat,      // WAV without a "fmt " chunk
  BadFormat,     // a "fmt " chunk that contradicts itself
  Unsupported,   // a consistent format that is not PCM 8/16/24/32-bit, mono or stereo
  NoData,        // WAV without a "data" chunk
};
const std::error_category& riffCategory();
std::error_code make_error_code(Error e);

}  // namespace plat::riff

template <>
struct std::is_error_code_enum<plat::riff::Error> : std::true_type {};

namespace plat::riff {

// --- Chunk ids -----------------------------------------------------------------
using ChunkId = std::array<char, 4>;
constexpr ChunkId makeId(const char (&s)[5]) { return {s[0], s[1], s[2], s[3]}; }
inline constexpr ChunkId kRiffId = makeId("RIFF");
inline constexpr ChunkId kListId = makeId("LIST");
inline constexpr ChunkId kWaveForm = makeId("WAVE");
inline constexpr ChunkId kFmtId = makeId("fmt ");
inline constexpr ChunkId kDataId = makeId("data");
std::string idText(const ChunkId& id);

// --- Little-endian fields --------------------------------------------------------
uint16_t getU16(const char* p);
uint32_t getU32(const char* p);
void appendU16(std::string& out, uint16_t v);
void appendU32(std::string& out, uint32_t v);
void putU32(char* p, uint32_t v);

// --- Sources ---------------------------------------------------------------------
class Source {
 public:
  virtual ~Source() = default;
  virtual uint64_t size() const = 0;
  // Reads exactly `n` bytes at `offset`; a range past the end is an error
  // (Truncated), as is any I/O failure.
  virtual std::error_code read(uint64_t offset, size_t n, char* out) const = 0;
};

class MemorySource final : public Source {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  uint64_t size() const override { return bytes_.size(); }
  std::error_code read(uint64_t offset, size_t n, char* out) const override;

 private:
  std::string_view bytes_;
};

// A file opened read-only; every open and read goes through the fault hook.
class FileSource final : public Source {
 public:
  FileSource() = default;
  ~FileSource();
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  std::error_code open(const std::filesystem::path& path);
  uint64_t size() const override { return size_; }
  std::error_code read(uint64_t offset, size_t n, char* out) const override;

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
  std::string path_;
};

// --- Layout -------------------------------------------------------------------------
struct Chunk {
  ChunkId id{};
  uint32_t size = 0;    // body size as stored
  uint64_t offset = 0;  // of the 8-byte header, from the start of the source
  ChunkId form{};       // "RIFF" and "LIST" chunks: the type in their first 4 body bytes

  uint64_t bodyOffset() const { return offset + 8; }
  uint64_t bodyEnd() const { return bodyOffset() + size; }
  uint64_t paddedEnd() const { return bodyEnd() + (size & 1u); }
  bool isList() const { return id == kRiffId || id == kListId; }
};

struct RiffLayout {
  Chunk riff;                 // the outer chunk; riff.form is the form type
  std::vector<Chunk> chunks;  // the chunks of its body, in file order
  uint64_t sourceSize = 0;    // size of the whole file or buffer

  const Chunk* find(const ChunkId& id) const;      // the first of that id, or nullptr
  const Chunk* findLast(const ChunkId& id) const;  // the last of that id, or nullptr
  // Where a chunk appended to the form begins: the padded end of the form.
  uint64_t appendOffset() const { return riff.paddedEnd(); }
};

// Reads the outer chunk and lists its chunks (one level; see listSubChunks).
std::error_code readLayout(const Source& src, RiffLayout& out);
// The same, refusing another form type with WrongForm.
std::error_code readLayout(const Source& src, const ChunkId& form, RiffLayout& out);
// The chunks inside a "LIST" (or "RIFF") chunk, after its type.
std::error_code listSubChunks(const Source& src, const Chunk& list, std::vector<Chunk>& out);
// A chunk's body (without the pad byte).
std::error_code readBody(const Source& src, const Chunk& chunk, std::string& out);

// --- Writing ------------------------------------------------------------------------
// Header, body and the pad byte of an odd body.
std::string chunkBytes(const ChunkId& id, std::string_view body);

// Appends a chunk at the end of the RIFF form held in `bytes` and updates the
// RIFF size. The form is checked first; a missing pad byte of its last chunk
// is added. Fails, leaving `bytes` unchanged, on a malformed form, on bytes
// after the form (TrailingData), and when the form would outgrow 32 bits.
std::error_code appendChunk(std::string& bytes, const ChunkId& id, std::string_view body);
// The same, in place on a file: the chunk is written at the end of the form,
// then the RIFF size. A failed write leaves the file as it was.
std::error_code appendChunkToFile(const std::filesystem::path& path, const ChunkId& id, std::string_view body);

}  // namespace plat::riff
