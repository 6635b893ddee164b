#pragma once
// The information lists of one Echomark, as the content readers fill them:
// texts by language (comment, introduction, word text), dictionary entries
// by (language, word number), grammar links and the word-number lists.
// Texts are UTF-8. Unknown keys answer empty strings, 0 or -1.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "player/book/info_base.h"

// A text per language: the language number is the key.
class COrv_TextInfo : public COrv_InfoBase {
 public:
  ~COrv_TextInfo() override { COrv_TextInfo::Clear(); }
  void Clear() override;

  // Replaces the text of a known language, or stores it at a new index.
  void SetText(const std::string& text, std::uint32_t language);
  // Empty when the language has none.
  std::string GetText(std::uint32_t language) const;

 private:
  std::vector<std::string> m_texts;
};

class COrv_CommentInfo : public COrv_TextInfo {};
class COrv_PrologInfo : public COrv_TextInfo {};

// Dictionary entries keyed by the pair (language, word number), with the
// distinct word numbers in order of first addition.
class COrv_DictionaryInfo : public COrv_InfoBase {
 public:
  ~COrv_DictionaryInfo() override { COrv_DictionaryInfo::Clear(); }
  void Clear() override;

  void Add(std::uint32_t word, const std::string& firstText, const std::string& secondText,
           const std::string& definition, std::uint32_t language);
  std::string GetFirstText(std::uint32_t word, std::uint32_t language) const;
  std::string GetSecondText(std::uint32_t word, std::uint32_t language) const;
  std::string GetDefinition(std::uint32_t word, std::uint32_t language) const;

  int GetWordCount() const { return static_cast<int>(m_words.size()); }
  // Position of the word number among the distinct ones, counted from 1
  // as GetWordAt counts; -1 when absent.
  int FindWord(std::uint32_t word) const;
  // Word number n (from 1); 0 outside 1..count.
  std::uint32_t GetWordAt(int n) const;

 private:
  const std::string* entry(const std::vector<std::string>& texts, std::uint32_t word,
                           std::uint32_t language) const;

  std::vector<std::string> m_definitions;
  std::vector<std::string> m_secondTexts;
  std::vector<std::string> m_firstTexts;
  std::vector<std::uint32_t> m_words;
};

// Grammar links: (name, id) pairs, id being the word number; no key map.
class COrv_LinkInfo : public COrv_InfoBase {
 public:
  ~COrv_LinkInfo() override { COrv_LinkInfo::Clear(); }
  void Clear() override;

  // Appended unless the same name with the same id is there already.
  void Add(const std::string& name, std::uint32_t id);
  // Appends the names of the id; answers the size of `names`.
  int GetLinks(std::uint32_t id, std::vector<std::string>& names) const;
  // Appends the id of every entry with that name; answers the size of `ids`.
  int FindIds(const std::string& name, std::vector<std::uint32_t>& ids) const;
  // Appends every id not yet in `ids`; answers its size, or 0 (leaving
  // `ids` alone) when the list is empty.
  int CollectIds(std::vector<std::uint32_t>& ids) const;
  bool HasId(std::uint32_t id) const;
  bool HasName(const std::string& name) const;
  bool HasLinks() const { return !m_names.empty(); }
  int GetLinkCount() const { return static_cast<int>(m_names.size()); }

 private:
  std::vector<std::string> m_names;
  std::vector<std::uint32_t> m_ids;
};

// The word text by language and the word-number lists: the sorted list
// (first word of each segment), the kind-16 list (keywords) and the kind-8
// list (fixed words). List entries are counted from 1.
class COrv_WordInfo : public COrv_TextInfo {
 public:
  ~COrv_WordInfo() override { COrv_WordInfo::Clear(); }
  void Clear() override;

  // Appends and keeps the list ascending (duplicates kept).
  void AddSorted(std::uint32_t n);
  void AddList8(std::uint32_t n) { m_list8.push_back(n); }
  void AddList16(std::uint32_t n) { m_list16.push_back(n); }

  int GetSortedCount() const { return static_cast<int>(m_sorted.size()); }
  int GetList8Count() const { return static_cast<int>(m_list8.size()); }
  int GetList16Count() const { return static_cast<int>(m_list16.size()); }
  // Entry k (from 1); 0 outside 1..count.
  std::uint32_t GetSortedAt(int k) const { return at(m_sorted, k); }
  std::uint32_t GetList8At(int k) const { return at(m_list8, k); }
  std::uint32_t GetList16At(int k) const { return at(m_list16, k); }

 private:
  static std::uint32_t at(const std::vector<std::uint32_t>& list, int k);

  std::vector<std::uint32_t> m_sorted;
  std::vector<std::uint32_t> m_list16;
  std::vector<std::uint32_t> m_list8;
};

// --- Media spots -------------------------------------------------------------------
// A book's spot file: groups of items, each item a file that an outside
// viewer shows. The list owns the spot file (deleted at Clear) and the files
// it extracts (deleted when another group is extracted and at Clear).
//
// Layout (little-endian, absolute offsets): a 20-byte header (i32 file size
// at 0, no record starts beyond it; i32 at 4: the first group starts at
// this + 4; u16 group count at 10). A 32-byte group record (i32 at 0:
// distance to the next group; i32 at 4: distance to its first item; u16
// item count at 8, main item at 10, trigger key at 12, viewer kind at 14;
// expiry day u8 at 24, month u8 at 25, year u16 at 26, all 0 for never).
// A 266-byte item record (i32 at 0: total size of the item with this
// record, also the distance to the next item; u16 width at 4, height at 6;
// zero-terminated file name at 8), then the item's file contents.

struct COrv_SpotDate {
  int year = 0, month = 0, day = 0;
};

// What the spot list needs of the system: the date, the screen, the viewer
// program and a way to start it. Tests put fakes here.
class COrv_SpotHost {
 public:
  virtual ~COrv_SpotHost() = default;
  virtual COrv_SpotDate Today() const = 0;
  virtual void ScreenSize(int& width, int& height) const = 0;
  // The viewer program of a viewer kind (only kind 0 has one); empty: none.
  virtual std::filesystem::path ViewerProgram(int kind) const = 0;
  // Starts the program with the arguments, shown normally, and waits at
  // most `idleWaitMs` until it is ready. False when it cannot be started.
  virtual bool Start(const std::filesystem::path& program, const std::vector<std::string>& args,
                     int idleWaitMs) = 0;
};

// The system's date (local time), the primary screen's size as the window
// layer reads it (1024 x 768 in a program without a display), the program
// folder's "Pelvara.exe", and a detached process waited for until its
// window is up.
class COrv_SystemSpotHost : public COrv_SpotHost {
 public:
  COrv_SpotDate Today() const override;
  void ScreenSize(int& width, int& height) const override;
  std::filesystem::path ViewerProgram(int kind) const override;
  bool Start(const std::filesystem::path& program, const std::vector<std::string>& args,
             int idleWaitMs) override;
};

class COrv_SpotInfo : public COrv_InfoBase {
 public:
  static constexpr size_t kHeaderSize = 20;
  static constexpr size_t kGroupSize = 32;
  static constexpr size_t kItemSize = 266;
  static constexpr int kDefaultWindowSize = 400;
  static constexpr int kIdleWaitMs = 2000;
  // The window class the viewer program takes while it shows a spot.
  static constexpr const char* kViewerClass = "ClsPelvara";

  // Without a host, the system's.
  explicit COrv_SpotInfo(COrv_SpotHost* host = nullptr);
  ~COrv_SpotInfo() override { COrv_SpotInfo::Clear(); }

  // Deletes the extracted files and the spot file, forgets the path and
  // every record, zeroes the header.
  void Clear() override;

  // The spot file, which the list owns from now on. A different file set
  // before is cleared (and deleted) first.
  void SetFilePath(const std::filesystem::path& path);
  const std::filesystem::path& GetFilePath() const { return m_filePath; }
  // Where the items' files are extracted (the system's temporary folder in
  // the loaded book).
  void SetFolder(const std::filesystem::path& folder) { m_folder = folder; }
  const std::filesystem::path& GetFolder() const { return m_folder; }

  // Reads the header, group and item records. False, and the list left
  // empty, when the path is empty, the list is loaded already, the file
  // cannot be read or a record lies past the size in the header, past the
  // file or is malformed.
  bool Load();
  bool IsLoaded() const { return m_spotsLoaded; }
  int GetGroupCount() const;
  int GetItemCount(int group) const;

  // The group's main item (its number, or 0), its window size (false when
  // none) and its file name (empty when none).
  int GetMainItem(int group) const;
  bool GetMainItemSize(int group, int& width, int& height) const;
  std::string GetMainItemName(int group) const;
  int GetTriggerKey(int group) const;
  int GetViewerKind(int group) const;

  // Writes the files of the group's items into the folder. A file name that
  // is not a plain name inside the folder ("../x", "a/b") fails. On failure
  // every file written for the group is deleted.
  bool Extract(int group);
  int GetExtractedGroup() const { return m_extractedGroup; }
  std::vector<std::filesystem::path> GetExtractedFiles() const { return m_extractedFiles; }

  bool IsViewerAvailable(int kind) const;
  // True when not loaded (or no such group); false for an all-zero date;
  // else whether today is after the stored date.
  bool IsExpired(int group) const;
  bool StartViewer(int group);
  // Starts the first group with that trigger key whose viewer is available
  // and which has not expired.
  bool StartByTrigger(int key);

 private:
  const std::string* groupRecord(int group) const;
  const std::string* itemRecord(int group, int item) const;
  std::int64_t itemOffset(int group, int item) const;
  void deleteExtracted();
  void forgetRecords();

  COrv_SystemSpotHost m_systemHost;
  COrv_SpotHost* m_host;
  bool m_spotsLoaded = false;
  std::filesystem::path m_folder;
  std::filesystem::path m_filePath;
  std::string m_header = std::string(kHeaderSize, '\0');
  std::vector<std::int64_t> m_offsets;
  std::vector<std::string> m_records;
  int m_extractedGroup = 0;
  std::vector<std::filesystem::path> m_extractedFiles;
};
