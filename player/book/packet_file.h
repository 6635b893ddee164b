#pragma once
// Packet (.tpk) and library (.tvl) container files: a 12-byte header, an
// entry area of A bytes (entries back to back, each a 16-byte header and its
// data), a 20-byte trailer, T - 20 bytes of 457-byte directory slots (one per
// book) and a tail of G bytes holding every book's part, stored or gzip.
//
//   0          header  {char[4] "TPK"; int32 value; int32 A}
//   12         entries {int32 size; u8 compression; u8; u8 scrambled; char[9] name; data}
//   12 + A     trailer {5 bytes; int32 T; int32 G; u16 word; u8; u8 version;
//                       u8 slot count; u8 compression; u8 audio flag}
//   32 + A     slots   {char[9] code; char[31] title; char[255] description;
//                       u8[3]; char[51][3]; u8[2]; int32 part size}
//   12 + A + T tail
//
// A file starting "CD" is a book content file and is accepted as a library.
//
// COrv_PacketFile opens one such file, checks it, reads its records and
// entries and unpacks its tail. Every count, size and offset read from the
// file is checked against the file before it is used. The tail is unpacked
// into a working folder of ours (never beside the container, which may lie
// on a read-only medium) under a unique name; GetContentPath() names it and
// RemoveContent() (or the destructor) removes it. Each process unpacks into
// a folder of its own there, and the next unpacking removes what killed
// processes left. gzip data is inflated
// strictly (magic, CRC and length checked; no pass-through of non-gzip
// data) with a ceiling on the unpacked size. A failed unpacking leaves no
// file behind.
//
// Errors for the learner go through COrv_MsgBox in the interface language:
// the error-window caption, the error-code pair, the message and the file
// it concerns. The question before a book is installed again is a Yes/No
// box under the question-window caption.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/fs/file.h"

class COrv_PacketFile {
 public:
  static constexpr std::size_t kHeaderSize = 12;
  static constexpr std::size_t kTrailerSize = 20;
  static constexpr std::size_t kSlotSize = 457;
  static constexpr std::size_t kEntryHeaderSize = 16;
  static constexpr std::size_t kPartHeaderSize = 16;
  static constexpr std::size_t kMemberRecordSize = 12;

  // String ids of the messages and captions.
  enum : int {
    kCaptionError = 9002,
    kCaptionQuestion = 9004,
    kMsgCantOpen = 9101,
    kMsgBadFormat = 9103,
    kMsgBadDownload = 9104,
    kMsgSlotMissing = 9105,
    kMsgCompression = 9106,
    kMsgAlreadyInstalled = 9203,
  };

  // The last error reported (or that would have been reported without the
  // report flag): message id and code pair; all 0 after a success.
  struct Error {
    int message = 0;
    int first = 0;
    int second = 0;
    bool operator==(const Error&) const = default;
  };

  // Whether a book code is installed (for ConfirmReinstall).
  using InstalledCheck = std::function<bool(const std::string& code)>;
  // Installs a library file from its folder and name (for MakeLibraryCopy).
  using LibraryInstaller = std::function<void(const std::string& folder, const std::string& name)>;

  COrv_PacketFile();
  ~COrv_PacketFile();
  COrv_PacketFile(const COrv_PacketFile&) = delete;
  COrv_PacketFile& operator=(const COrv_PacketFile&) = delete;

  // --- Names -------------------------------------------------------------
  // With a non-empty `second`, `first` is the folder and `second` the file
  // name; otherwise `first` is a full path split at its last '/'.
  void SetPathParts(const std::string& first, const std::string& second);
  void SetName(const std::string& name) { m_name = name; }
  void SetFolder(const std::string& folder);  // appends '/' when missing
  void SetPath(const std::string& path);
  void BuildPath();
  const std::string& GetPath() const { return m_path; }
  const std::string& GetFolder() const { return m_folder; }
  const std::string& GetName() const { return m_name; }
  std::string GetTitle() const;  // the name up to its first '.'
  void ClearName() { m_name.clear(); }
  void ClearFolder() { m_folder.clear(); }
  void ClearPath() { m_path.clear(); }

  // --- Collaborators and limits ----------------------------------------------
  // Where tails are unpacked; default <configuration root>/unpack (created
  // on first use).
  void SetWorkFolder(const std::filesystem::path& folder) { m_workFolder = folder; }
  std::filesystem::path GetWorkFolder() const;
  // Removes the unpacking folders that processes no longer running left in
  // the work folder (a killed installation's).
  void RemoveLeftovers() const;
  // Ceilings on unpacked sizes: the tail (default 4 GiB) and one entry,
  // which is unpacked into memory (default 64 MiB).
  void SetTailLimit(std::uint64_t bytes) { m_tailLimit = bytes; }
  void SetEntryLimit(std::uint64_t bytes) { m_entryLimit = bytes; }
  void SetInstalledCheck(InstalledCheck check) { m_isInstalled = std::move(check); }
  void SetLibraryInstaller(LibraryInstaller installer) { m_installLibrary = std::move(installer); }
  // The data path's BackUp folder: library copies made from there are not
  // installed again.
  void SetBackupFolder(const std::string& folder) { m_backupFolder = folder; }

  // --- Open file -------------------------------------------------------------
  // Opens the file read-only and reads its header and trailer (the trailer
  // only when the header's entry area leaves room for it). False when it
  // cannot be opened or the header cannot be read; no message.
  bool Open(const std::string& first, const std::string& second);
  bool IsOpen() const { return m_file.isOpen(); }
  void Close();
  std::uint64_t GetFileLength() const { return m_length; }

  // Block reads at the open file; false on a short read or when the bytes
  // lie outside the file (or, for slots, past the directory).
  bool ReadHeader();
  bool ReadTrailer();
  bool ReadNextSlot();
  bool ReadAt(std::uint64_t position, std::size_t count, void* buffer);

  // --- Updating a container ------------------------------------------------
  // The records of an existing container are rewritten through a working
  // copy beside it, so that a reader (or a crash) sees the old file or the
  // new one, never a mix: BeginUpdate copies the file and reads its header
  // and trailer from the copy; the writes below go to the copy (reads then
  // see what was written); CommitUpdate renames the copy over the file.
  // Close(), another file-level operation or the destructor before the
  // commit drops the copy and leaves the file as it was.
  //
  // Each write lands only where the record lies inside the file as it is,
  // at the sizes in memory: the file never grows, and a damaged or
  // mistaken size writes nothing. False then, and for a file not opened
  // for update.
  int BeginUpdate(const std::string& first, const std::string& second);
  bool IsUpdating() const { return !m_updatePath.empty(); }
  bool WriteHeader();   // the 12 header bytes at 0
  bool WriteTrailer();  // the 20 trailer bytes at 12 + A
  bool WriteSlot(int n);  // the slot in memory as slot n, 1..slot count, at 32 + A + 457 x (n - 1)
  int CommitUpdate();

  bool IsHeaderTag(std::string_view text) const { return GetTag() == text; }
  bool IsBookFile();  // the tag begins with "CD" (sets the book-file flag)
  bool GetBookFileFlag() const { return m_isBookFile; }
  bool CheckLength() const;          // 12 + A + T + G == file length
  bool CheckDirectorySize() const;   // T == 20 + 457 x slot count

  // --- Fields ------------------------------------------------------------------
  std::string GetTag() const;
  std::int32_t GetHeaderValue() const { return i32(m_header.data() + 4); }
  std::int32_t GetEntryAreaSize() const { return i32(m_header.data() + 8); }
  std::int32_t GetDirectorySize() const { return i32(m_trailer.data() + 5); }
  std::int32_t GetTailSize() const { return i32(m_trailer.data() + 9); }
  std::uint16_t GetTrailerWord() const;
  std::uint8_t GetTrailerByte15() const { return m_trailer[15]; }
  std::uint8_t GetContentVersion() const { return m_trailer[16]; }
  std::uint8_t GetTrailerSlotCount() const { return m_trailer[17]; }
  std::uint8_t GetCompression() const { return m_trailer[18]; }
  std::uint8_t GetAudioFlag() const { return m_trailer[19]; }

  std::string GetSlotCode() const { return field(m_slot.data(), 9); }
  std::string GetSlotTitle() const { return field(m_slot.data() + 9, 31); }
  std::string GetSlotDescription() const { return field(m_slot.data() + 40, 255); }
  std::uint8_t GetSlotByte(int i) const;          // i = 0..2: bytes 295-297
  std::string GetSlotString(int i) const;         // i = 0..2: strings at 298, 349, 400
  std::uint8_t GetSlotTailByte(int i) const;      // i = 0..1: bytes 451, 452
  std::int32_t GetSlotSize() const { return i32(m_slot.data() + 453); }

  std::uint16_t GetMemberCount() const { return m_memberCount; }
  const std::string& GetPartName() const { return m_partName; }
  const std::string& GetMemberName() const { return m_memberName; }
  std::int32_t GetMemberOffset() const { return m_memberOffset; }
  std::int32_t GetMemberLength() const { return m_memberLength; }
  std::uint8_t GetMemberFlag() const { return m_memberFlag; }

  void SetHeaderValue(std::int32_t v) { put32(m_header.data() + 4, v); }
  // Sets A and, on a file opened for update, writes the header back. A
  // size that puts the trailer outside the file (negative, or past its end)
  // is refused there: false, the header in memory and on disk unchanged.
  bool SetEntryAreaSize(std::int32_t v);
  void SetTrailerSlotCount(std::uint8_t v) { m_trailer[17] = v; }
  void SetTrailerByte15(std::uint8_t v) { m_trailer[15] = v; }
  void SetAudioFlag(std::uint8_t v) { m_trailer[19] = v; }
  void SetSlotCode(const std::string& code);
  void CopySlot(std::uint8_t out[kSlotSize]) const;
  void CopyTrailer(std::uint8_t out[kTrailerSize]) const;

  // --- File-level operations (each opens the file and closes it) -------------
  int Validate(const std::string& first, const std::string& second, bool report);
  int GetSlotCount(const std::string& first, const std::string& second);
  // Reads slots 1 to n; slot n stays in memory and is copied to `buffer`.
  // 0 when the file cannot be opened or has no slot n.
  int ReadSlot(const std::string& first, const std::string& second, std::uint8_t* buffer, int n);
  int ConfirmReinstall(const std::string& first, const std::string& second, int n, bool ask);
  int ScanEntries(const std::string& first, const std::string& second);
  int HasEntry(const std::string& first, const std::string& second, const std::string& name);
  // Without a buffer: size = the entry's unpacked length, 1. With a buffer
  // whose size (in) is below the length: size = the bytes missing, 0.
  // Otherwise the data is copied, size = length, 1. An open file is used as
  // it is and left open.
  int ReadEntry(const std::string& first, const std::string& second, const std::string& name,
                void* buffer, std::size_t& size);
  // Writes the entry's (unpacked) data to `destination`; 1 on success. A
  // failure leaves no destination file.
  int ExtractEntry(const std::string& first, const std::string& second, const std::string& name,
                   const std::filesystem::path& destination);

  // --- The tail --------------------------------------------------------------
  // Unpacks the tail of the open file (header and trailer read) into the
  // working folder. 1 on success; on failure a message, no file left, 0.
  int ExtractContent();
  const std::filesystem::path& GetContentPath() const { return m_contentPath; }
  void RemoveContent();

  // Reads a part header at `partStart` of the unpacked content, or the
  // `index`-th (from 1) member record of that part; a member whose data
  // does not lie inside the content is refused. False on any bound.
  bool ReadPartHeader(std::uint64_t partStart);
  bool ReadMemberRecord(std::uint64_t partStart, int index);
  // Reads bytes of the unpacked content.
  bool ReadContentAt(std::uint64_t position, std::size_t count, void* buffer);
  std::uint64_t GetContentLength() const { return m_contentLength; }

  // Book content files: the path with its last three characters replaced by
  // "tvl", after copying the file there (and installing it as a library
  // unless it lies in the BackUp folder); empty when this is not a book
  // content file.
  std::string MakeLibraryCopy(const std::string& path);

  const Error& GetLastError() const { return m_lastError; }

 private:
  struct EntryInfo {
    std::uint64_t dataPos = 0;
    std::uint32_t size = 0;
    std::uint8_t compression = 0;
  };
  enum class Walk { Found, End, Malformed };

  static std::int32_t i32(const std::uint8_t* p);
  static void put32(std::uint8_t* p, std::int32_t v);
  static std::string field(const std::uint8_t* p, std::size_t width);

  bool OpenPath();
  // Drops the working copy of an update that was not committed.
  void AbandonUpdate();
  // Writes `count` bytes at `position` of the working copy, inside the file.
  bool WriteAt(std::uint64_t position, const void* data, std::size_t count);
  bool TrailerInFile() const;
  std::uint64_t SlotPosition(int n) const;
  Walk WalkEntries(const std::string& name, EntryInfo* found);
  bool UnpackEntry(const EntryInfo& entry, std::string& out, bool report);
  void Report(int kind, int message, const std::string& file, int first, int second);
  void Fail(int message, int first, int second) { m_lastError = {message, first, second}; }

  std::string m_name;
  std::string m_folder;
  std::string m_path;
  std::array<std::uint8_t, kHeaderSize> m_header{};
  std::array<std::uint8_t, kTrailerSize> m_trailer{};
  std::array<std::uint8_t, kSlotSize> m_slot{};
  std::uint16_t m_memberCount = 0;
  std::string m_partName;
  std::string m_memberName;
  std::int32_t m_memberOffset = 0;
  std::int32_t m_memberLength = 0;
  std::uint8_t m_memberFlag = 0;
  bool m_isBookFile = false;
  std::size_t m_headerGot = 0;

  plat::fs::File m_file;
  std::error_code m_openError;
  std::uint64_t m_length = 0;
  std::uint64_t m_nextSlot = 0;  // position of the next slot to read
  std::filesystem::path m_updatePath;  // the working copy of an update, else empty

  std::filesystem::path m_workFolder;
  std::filesystem::path m_contentPath;
  plat::fs::File m_content;
  std::uint64_t m_contentLength = 0;
  std::uint64_t m_tailLimit = 4ull << 30;
  std::uint64_t m_entryLimit = 64ull << 20;
  InstalledCheck m_isInstalled;
  LibraryInstaller m_installLibrary;
  std::string m_backupFolder;
  Error m_lastError;
};
