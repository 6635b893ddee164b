#pragma once
// The writer of book content files: the file every installed Talvane reads
// its texts, lists and speech from.
//
// Layout of a file with one part (integers little-endian):
//   0     8     header: 'C', 'D', format version, byte, word, word
//   8     4000  index: 250 records of 16 bytes (8-byte name, value 1, value 2)
//   4008  16    part header: member count, 14-byte part name
//   4024  3000  member table: 250 records of 12 bytes (3-byte scrambled name,
//               offset of the data plus 1, length, flag)
//   7024  ...   the members' data, back to back
// Index names that are written scrambled are blank-padded to 8 bytes, member
// names to 3 bytes; both use the scrambler's walk kept in 1..255 (seed 0).
//
// An audio member is a WAV file in the canonical form: the samples, then its
// segment chunk ("QLON") when the WAV had one, are the member's data; the
// 44-byte canonical header (its RIFF size covering the chunk) is scrambled
// with the additive walk and stored in two pieces in the Echomark's header
// records, at positions the caller passes (P and K).
//
// The file is written atomically: Create() opens a temporary file beside the
// target, Commit() renames it over the target, and anything else (Abort(), a
// failure, the destructor) removes the temporary, so a failed write leaves
// nothing half-written and an existing target untouched.
//
// The writer refuses what a reader would mix up: index names that are not
// 1 to 8 letters, digits or underscores (codes are stored upper case),
// member names of more than 3 bytes (a fourth character would be cut off and
// "0100" would read as "010"), a member name used twice in one part, and a
// member beyond the 250 records of the table.

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "platform/fs/file.h"

class COrv_BookFileWriter {
 public:
  static constexpr uint32_t kHeaderSize = 8;
  static constexpr int kIndexRecords = 250;
  static constexpr uint32_t kIndexRecordSize = 16;
  static constexpr uint32_t kIndexNameSize = 8;
  static constexpr uint32_t kPartOffset = kHeaderSize + kIndexRecords * kIndexRecordSize;  // 4008
  static constexpr uint32_t kPartHeaderSize = 16;
  static constexpr uint32_t kPartNameSize = 14;
  static constexpr int kMemberRecords = 250;
  static constexpr uint32_t kMemberRecordSize = 12;
  static constexpr uint32_t kMemberNameSize = 3;
  static constexpr uint32_t kMemberTableSize = kMemberRecords * kMemberRecordSize;        // 3000
  static constexpr uint32_t kPartTableSize = kPartHeaderSize + kMemberTableSize;          // 3016
  static constexpr uint32_t kFirstTablePosition = kPartOffset + kPartHeaderSize;          // 4024
  static constexpr uint32_t kFirstDataPosition = kFirstTablePosition + kMemberTableSize;  // 7024
  static constexpr uint32_t kWavHeaderSize = 44;

  // Message ids and error numbers of the reports of AppendAudioFile.
  static constexpr int kMsgCantOpen = 9101;
  static constexpr int kMsgAppendAudio = 9108;
  static constexpr int kCaptionError = 9002;

  COrv_BookFileWriter();
  virtual ~COrv_BookFileWriter();
  COrv_BookFileWriter(const COrv_BookFileWriter&) = delete;
  COrv_BookFileWriter& operator=(const COrv_BookFileWriter&) = delete;

  // --- Names and paths ---------------------------------------------------------
  // The content file name, with : < > / \ | ? and " replaced by blanks.
  void SetName(std::string_view name);
  // The folder; a separator is appended when missing.
  void SetFolder(std::string_view folder);
  void SetPath(std::string_view path);
  // Full path = folder + name.
  void BuildPath();
  const char* GetPathPtr() const { return m_path.c_str(); }
  const std::string& GetName() const { return m_name; }
  const std::string& GetFolder() const { return m_folder; }
  const std::string& GetPath() const { return m_path; }
  void ClearName() { m_name.clear(); }
  void ClearFolder() { m_folder.clear(); }
  void ClearPath() { m_path.clear(); }

  // --- The file ----------------------------------------------------------------
  // Whether `name` is that of a file the writer (or the installer beside
  // it) makes while it works, which nothing may keep after a crash.
  static bool isWriterTemporaryName(std::string_view name);
  // Opens a new temporary file beside the full path (its folder must exist).
  bool Create();
  bool IsOpen() const { return m_file.isOpen(); }
  // Flushes and closes the file and renames it over the full path. On
  // failure the temporary file is removed and the target is left as it was.
  bool Commit();
  // Starts writing what is written so far to the disk, so that the flush
  // of Commit() after a long write waits for little.
  void StartWriteBack() { m_file.startWriteBack(); }
  // Closes and removes the temporary file; the target is left as it was.
  void Abort();
  bool Seek(uint64_t position);
  bool Write(const void* data, size_t length);
  // What the last refused or failed operation found, for logs and tools.
  const std::string& LastError() const { return m_lastError; }

  // --- Header ------------------------------------------------------------------
  void InitHeader(uint8_t version, uint8_t byte3, uint16_t word4, uint16_t word6);
  void SetVersion(uint8_t version) { m_header[2] = version; }
  void SetHeaderByte(uint8_t value) { m_header[3] = value; }
  void SetHeaderWord1(uint16_t value);
  void SetHeaderWord2(uint16_t value);
  uint8_t GetVersion() const { return m_header[2]; }
  // Seeks to 0 and writes the 8 header bytes.
  bool WriteHeader();

  // --- Index records -------------------------------------------------------------
  void SetIndexEntry(std::string_view name, int32_t value1, int32_t value2);
  void SetIndexName(std::string_view name) { m_indexName = name; }
  void SetIndexValue1(int32_t value) { m_indexValue1 = value; }
  void SetIndexValue2(int32_t value) { m_indexValue2 = value; }
  const std::string& GetIndexName() const { return m_indexName; }
  int32_t GetIndexValue1() const { return m_indexValue1; }
  int32_t GetIndexValue2() const { return m_indexValue2; }
  // Writes the pending record as record n (1..250) at 16 x n - 8. With
  // `scramble` the name must be a book code (1 to 8 letters, digits or
  // underscores; stored upper case), blank-padded and scrambled; otherwise
  // it is written NUL-padded and must be at most 8 bytes.
  bool WriteIndexEntry(int n, int scramble);

  // --- Part header -------------------------------------------------------------------
  void SetPartHeader(uint16_t count, std::string_view name);
  void SetPartMemberCount(uint16_t count) { m_partCount = count; }
  void SetPartName(std::string_view name) { m_partName = name; }
  uint16_t GetPartMemberCount() const { return m_partCount; }
  // Writes count and name (cut to 14 bytes at a character boundary) at the
  // current position.
  bool WritePartHeader();
  // Where the part whose members are appended begins (4008 for the first
  // part of a file); appended members must keep to its table and follow it.
  // Setting it starts a new part: the names used so far are forgotten.
  void SetPartStart(uint32_t position);
  uint32_t GetPartStart() const { return m_partStart; }

  // --- Member records -------------------------------------------------------------------
  void SetMemberRecord(std::string_view name, int32_t offset, int32_t length, uint8_t flag);
  // Takes a member record as a container reader hands it over: 3 name bytes
  // as stored (scrambled), offset, length, flag.
  void SetMemberFromPacket(std::string_view storedName, int32_t offset, int32_t length, uint8_t flag);
  // Writes the pending record's 3 name bytes (as set), offset, length and
  // flag at the current position.
  bool WriteMemberRecord();
  bool WriteInt32At(int32_t value, uint64_t position);

  // --- Members -----------------------------------------------------------------------------
  // Appends `length` bytes as member `name` (1 to 3 bytes, blank-padded): its
  // record at `tablePos`, its data at `dataPos`. Both positions advance;
  // `outLength` = length. 1 on success, 0 when refused or failed.
  int AppendBufferEntry(std::string_view name, const void* data, uint32_t length, uint32_t& dataPos,
                        uint32_t& tablePos, uint32_t& outLength);
  // Appends the WAV file at `wavPath` as audio member `name`. For a name
  // beginning '0' the scrambled header's bytes 0-25 go to P + 7 and 26-43 to
  // P + K + 2; for '2' or '6' bytes 0-23 to P + 9 and 24-43 to P + K + 2;
  // other names keep no header. Failures are shown in a message box (9101
  // when the file cannot be read, 9108 for a WAV that is not PCM, malformed,
  // too large, or a member that is refused) and answer 0.
  int AppendAudioFile(const std::filesystem::path& wavPath, std::string_view name, uint32_t& dataPos,
                      uint32_t& tablePos, uint32_t headerPos, uint32_t headerStep, uint32_t& outLength);
  // The same for a WAV file held in memory (its reports name the member).
  int AppendAudioData(std::string_view wavBytes, std::string_view name, uint32_t& dataPos, uint32_t& tablePos,
                      uint32_t headerPos, uint32_t headerStep, uint32_t& outLength);

  // A WAV file made ready to be stored as an audio member: its canonical
  // form, the RIFF header as the member keeps it and its segment chunk.
  struct PreparedAudio {
    std::string bytes;  // holds the canonical header, the samples and their pad byte
    std::size_t samplesAt = 0, samplesLength = 0;  // the samples and pad byte within `bytes`
    std::string header;        // 44 bytes as the member keeps them; empty when refused
    std::string segmentChunk;  // the whole chunk, or empty
    std::string error;         // why it was refused
  };
  // Pure work on the bytes alone (no file, no box): any thread may do it,
  // so that only the writing is left to the writer's thread. A WAV in the
  // canonical layout is taken as it is, without a copy. False when the WAV
  // is not PCM, malformed or too large (`out.error` says which).
  static bool PrepareAudio(std::string wavBytes, PreparedAudio& out);
  // Appends a prepared WAV as AppendAudioFile does; a refused one is
  // reported (9108) naming `source`.
  int AppendPreparedAudio(const PreparedAudio& audio, std::string_view source, std::string_view name,
                          uint32_t& dataPos, uint32_t& tablePos, uint32_t headerPos, uint32_t headerStep,
                          uint32_t& outLength);

  // The 3 stored (scrambled) name bytes of member `name`, blank-padded.
  static std::string ScrambledMemberName(std::string_view name);
  // The 8 stored (scrambled) bytes of index name `code`, blank-padded.
  static std::string ScrambledIndexName(std::string_view code);
  // Whether `code` is a book code this format can hold (1 to 8 ASCII
  // letters, digits or underscores).
  static bool IsValidBookCode(std::string_view code);

 private:
  bool Fail(std::string text);
  bool CheckMemberSlot(std::string_view name, uint32_t dataPos, uint32_t tablePos, uint64_t length);
  int appendAudio(std::string_view wavBytes, const std::string& source, std::string_view name, uint32_t& dataPos,
                  uint32_t& tablePos, uint32_t headerPos, uint32_t headerStep, uint32_t& outLength);
  void Report(int messageId, int errorNumber, int subNumber, const std::string& detail);

  std::string m_folder;
  std::string m_path;
  uint8_t m_header[kHeaderSize] = {'C', 'D', 0, 0, 0, 0, 0, 0};
  std::string m_indexName;
  int32_t m_indexValue1 = 0;
  int32_t m_indexValue2 = 0;
  uint16_t m_partCount = 0;
  std::string m_partName;
  std::string m_memberName;  // as it is written: 3 bytes
  int32_t m_memberOffset = 0;
  int32_t m_memberLength = 0;
  uint8_t m_memberFlag = 0;
  std::string m_name;

  plat::fs::File m_file;
  std::filesystem::path m_tempPath;
  uint32_t m_partStart = kPartOffset;
  std::set<std::string> m_memberNames;  // the names appended to the current part
  std::string m_lastError;
};
