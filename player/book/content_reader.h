#pragma once
// The reader of a book content file of format version 2 or 3 for one loaded
// book: finds the book's part through the index, reads "ID " and "INI" into
// the book, keeps the Echomark record member "S01" and builds from it the
// table of each Echomark's record groups, through which ReadInfo finds the
// records of any Echomark. Versions 2 and 3 differ only in the version byte,
// in "ID " (scrambled as a whole in version 3) and in where the title comes
// from ("ID " in version 2, [Books] Title of "INI" in version 3).
//
// Everything the file says is checked before it is used: counts are bounded
// by the tables they count, every member must lie inside the file, every
// read must be whole (a truncated file fails with code 16), and a "S01"
// that describes more Echomarks than "ID " counts is refused. The small
// members are read into memory; nothing of a failed Open stays behind.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "player/book/info_base.h"

class COrv_Talvane;
class COrv_InfoBundle;

class COrv_TvlReader {
 public:
  // Error codes (shown by the error record as "Error %d occurred.").
  enum Code {
    kErrOpen = 4,
    kErrBusy = 14,
    kErrFormat = 16,
    kErrMemory = 17,
    kErrMember = 18,
    kErrTempFile = 19,
    kErrRecords = 101,
    kErrKind = 102,
  };
  static constexpr int kIndexRecords = 250;
  static constexpr int kMemberRecords = 250;
  static constexpr size_t kIndexSize = 8 + 16 * kIndexRecords;         // 4008
  static constexpr size_t kPartSize = 16 + 12 * kMemberRecords;        // 3016
  static constexpr size_t kIdSize = 58;
  static constexpr size_t kRecordSize = 33;
  static constexpr size_t kRecordHead = 512;
  static constexpr size_t kGroups = 10;
  // Members read into memory are at most this long (a larger one: code 17).
  static constexpr uint64_t kMaxMemoryMember = 64u << 20;
  // Echomarks whose speech and links members can be named ("0nn", "Gnn").
  static constexpr int kMaxNamedEchomark = 99;

  struct Group {
    int32_t first = 0;  // record number, from 1
    int32_t count = 0;
  };
  using GroupRecord = std::array<Group, kGroups>;

  struct Member {
    uint64_t offset = 0;  // from 0
    uint64_t length = 0;
  };

  COrv_TvlReader(int version, const char* sourceFile);
  virtual ~COrv_TvlReader();
  COrv_TvlReader(const COrv_TvlReader&) = delete;
  COrv_TvlReader& operator=(const COrv_TvlReader&) = delete;

  int Open(COrv_Talvane& book);
  void Close();
  bool IsOpen() const { return m_open; }
  int ReadInfo(int kind, int n, COrv_InfoBundle& target, int speedFlags);
  int ReadCatalogue(COrv_Talvane& book, std::vector<int>& versions, std::vector<int>& numbers,
                    std::vector<std::string>& names);
  void SetErrorSink(orv::InfoErrorSink* sink) { m_sink = sink; }

  int GetVersion() const { return m_version; }
  const char* GetSourceName() const { return m_sourceFile; }
  // The group table (one record per Echomark), for tests and tools.
  const std::vector<GroupRecord>& GetGroups() const { return m_groups; }
  // Builds the group table from the records of a "S01" member for
  // `echomarks` Echomarks; 0 (reported) on a bad type or more Echomarks.
  int BuildRecordIndex(const std::string& s01, int echomarks);

  // Group index of a record type of "S01"; -1 for a type with no group.
  static int GroupOfType(int type);

 private:
  friend class COrv_TvlLoaders;

  std::filesystem::path contentPath() const;
  int Verify(int flags);
  int ReadIndex(std::string& index);
  int LoadPart(const std::string& index);
  // The member's place in the file; false (reported with code 18 when
  // `report`) when the part has no such member. A member that the part
  // names but the file does not hold whole (a file cut short) is always
  // reported, and MemberDamaged() then answers true: an optional member
  // that is damaged is an error, never "absent".
  bool FindMember(const std::string& name, Member& out, bool report);
  bool MemberDamaged() const { return m_memberDamaged; }
  // Reads a member whole; 0 on failure (reported).
  int ReadMember(const Member& member, std::string& out);
  int ReadAt(uint64_t offset, size_t n, std::string& out);
  int ReportError(int line, int code, const std::string& text = {});
  int CheckNamedEchomarks();

  const int m_version;
  const char* const m_sourceFile;
  bool m_open = false;
  std::string m_part;
  bool m_memberDamaged = false;  // the part header and member table
  COrv_Talvane* m_book = nullptr;
  std::vector<GroupRecord> m_groups;
  std::string m_records;  // the "S01" member
  std::string m_section;
  orv::InfoErrorSink* m_sink = nullptr;
};

class COrv_TvlClass2 : public COrv_TvlReader {
 public:
  COrv_TvlClass2() : COrv_TvlReader(2, "TvlClass2") {}
};

class COrv_TvlClass3 : public COrv_TvlReader {
 public:
  COrv_TvlClass3() : COrv_TvlReader(3, "TvlClass3") {}
};
