#pragma once
// COrv_BookInfo: what the player knows about each installed Talvane. Two
// kinds of ini files under the data path's Talvanes folder:
//
//   Index.tvk            [Tv installed] <CODE>=1 per book, [General] Count
//   <CODE>/<CODE>.ini    one information file per book: source file, title,
//                        description and source type per language, the
//                        original language, category, difficulty, content
//                        format version, number of Echomarks, medium title
//                        and the module languages
//
// Book codes have one spelling: 1 to 8 ASCII letters, digits or
// underscores, upper case (a code given in lower case names the same book).
// Any other code is refused by every operation that takes one. The folder
// and file names still go through MakeValidFileName, so that no name read
// back from a file can leave the Talvanes folder.
//
// Per-language values live in [Settings] for language -1 and for the
// book's original language, and in [Lang<L>] for a module language L;
// for any other language nothing is written and reads give their empty
// value. Free texts (titles, descriptions, the medium title) may hold line
// breaks and backslashes: they are stored with "\\", "\n", "\r" and "\0"
// escapes. Values that begin or end with blanks, or that a pair of quotes
// encloses, are stored quoted. So every value that is set reads back as it
// was set (titles are read back cut to 199 characters, as the readers of
// the information file have always seen them).
//
// Callers make an instance around the work at hand and drop it. Nothing
// throws: reads of missing files or keys give the documented defaults, and
// writes answer whether they were made.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs/disk.h"
#include "platform/profile/profile.h"
#include "player/env/environment.h"
#include "player/env/users.h"

namespace orv {

// Where a book's source lies (SourceType bits).
enum SourceTypeBits : int {
  kSourceFixed = 1,
  kSourceNetwork = 2,
  kSourceNoPath = 4,
  kSourceRemovable = 8,  // removable drive or optical medium
};

class COrv_BookInfo : public COrv_Environment {
 public:
  // On the cached data path, or on `dataPath` when one is given and not
  // empty (a data path that is being built).
  COrv_BookInfo() : COrv_BookInfo(nullptr) {}
  explicit COrv_BookInfo(const std::string* dataPath);
  // The same, with `code` selected when it is installed (SelectBook).
  explicit COrv_BookInfo(std::string_view code, const std::string* dataPath = nullptr);

  // The canonical spelling of a book code (upper case), or an empty string
  // when `code` is no valid book code.
  static std::string CanonicalBookCode(std::string_view code);
  static bool IsValidBookCode(std::string_view code) { return !CanonicalBookCode(code).empty(); }

  // --- The list of installed books -----------------------------------------
  int GetInstalledCount();
  bool SetInstalledCount(int n);
  bool IsInstalled(std::string_view code);
  // Selects the code and answers true when it is installed; otherwise the
  // selection is cleared.
  bool SelectBook(std::string_view code);
  const std::string& GetSelectedCode() const { return code_; }
  // Every installed code (a key of [Tv installed] with a non-empty value),
  // in file order, whatever Count says; valid codes in their canonical
  // spelling. Replaces the list's contents; answers how many.
  int GetInstalledBooks(std::vector<std::string>& list);
  // Selects each installed book in turn, in GetInstalledBooks' order, with
  // its information file read once: the getters `visit` calls answer from
  // that one read, so listing hundreds of books reads each file once and
  // the index once. A write, or another selection, drops the copy read.
  // Afterwards no book is selected. Answers how many books were visited.
  int ForEachInstalledBook(const std::function<void(COrv_BookInfo&)>& visit);
  // Adds the code with Count raised by one unless it is installed already.
  // False for an invalid code or a failed write.
  bool AddInstalled(std::string_view code);

  // Adds the code to the list, selects it, makes its folder and a fresh
  // information file holding the source file and the original language.
  // Without force an installed code gives false and changes nothing. A
  // negative original language, an invalid code or a source path longer
  // than the information file keeps give false. When the file cannot be
  // made, a book that was new is unregistered again; a book that was
  // installed before (force) keeps its entry and its users' status files.
  bool Register(std::string_view code, std::string_view sourceFile, int origLanguage, bool force);
  // Builds the information file of `code` in memory: the code is selected
  // and every write until CommitBook goes to a fresh text that the reads
  // see too (Register with the same code starts it). CommitBook makes the
  // book folder, replaces the information file with that text in one
  // rename, and then lists the code in Index.tvk. So a crash leaves the
  // old information file or the new one, never a part of the new. False
  // for an invalid code, or when the file or the entry could not be made.
  bool BeginBook(std::string_view code);
  bool CommitBook();

  // Removes the selected book: its entry (Count lowered only when the entry
  // was there, never below 0), its information file and then its folder
  // when that is empty, and every user's status file of the book. False
  // when no book is selected.
  bool Unregister();

  // kind 5: Index.tvk; kind 2: the information file; any other kind: the
  // book folder. Empty for a kind other than 5 while no book is selected.
  std::string GetIniPath(int kind);
  // The book folder; with create, the Talvanes folder and the book folder
  // are made first. Empty while no book is selected.
  std::string GetBookFolder(bool create);

  // --- Per-language values --------------------------------------------------
  // Stores the source file of language L (-1: the original language).
  // Another language becomes a module language first; when it is one
  // already, or when the original language has a source file, force is
  // needed to replace it. A path holding a line break or longer than 259
  // characters is refused.
  bool SetSourceFile(int language, std::string_view path, bool force);
  // The stored source file of language L. With search, the first existing
  // file of that name in the stored folder, the data path's Install folder
  // and then the alternative source folders (names match without regard to
  // case), or an empty string when none exists.
  std::string GetSourceFile(int language, bool search);

  // The original language as stored; -1 when it is unset: stored as 9999 (the
  // value that means none), absent, negative, or no book selected. Readers
  // take every negative value as "no language".
  int GetOrigLanguage();

  bool SetTitle(std::string_view title, int language);
  std::string GetTitle(int language);  // at most 199 characters
  // Stored in pieces of 100 characters with the number of pieces.
  bool SetDescription(std::string_view text, int language);
  std::string GetDescription(int language);

  // --- Module languages -----------------------------------------------------
  // Every number of IdLanguages (none when Num is below 1); answers how
  // many. Replaces the list's contents.
  int GetModuleLanguages(std::vector<int>& list);
  bool SetModuleLanguages(const std::vector<int>& list);
  bool HasLanguage(int language);
  int GetModuleCount();

  // --- Book values ----------------------------------------------------------
  bool SetCategory(int n);
  int GetCategory();
  bool SetDifficulty(int n);
  int GetDifficulty();
  bool SetTvlClass(int n);
  int GetTvlClass();
  bool SetNumQuotes(int n);
  int GetNumQuotes();
  bool SetCDROMTitle(std::string_view title);
  std::string GetCDROMTitle();  // at most 510 characters

  // --- Where the source lies ------------------------------------------------
  int GetSourceType(int language);
  // Classifies the drive of `path` (see SourceTypeBits): a path of the form
  // //server/share/... is a network share; any other path is looked up in
  // the mount table. An empty path stores GetSourceType(-1) with
  // kSourceNoPath added.
  bool SetSourceType(std::string_view path, int language);
  // The medium's title when the source lies on a removable medium: CDTitle
  // of Install.inf [Info], else of StartUp.ini [General], in the folder of
  // the stored source file. Empty otherwise.
  std::string GetMediumTitle();

  // The mount table (and sysfs root) drive kinds are read from; the
  // running system's when none is set.
  void SetMountTable(plat::fs::MountTable table, std::filesystem::path sysRoot = "/sys");

 private:
  std::string infoFile();
  // The information file as it stands (or as it is being built).
  // Valid until the next call (the held copy while one is held).
  const plat::profile::Snapshot& infoSnapshot();
  bool applyInfo(const plat::profile::Batch& batch);
  // The section of language L, or nothing when L has none.
  std::optional<std::string> languageSection(int language);
  bool writeValue(std::string_view section, std::string_view key, std::string_view value);
  bool writeInt(std::string_view section, std::string_view key, int n);
  int readInt(std::string_view section, std::string_view key);
  std::string readText(std::string_view section, std::string_view key, size_t maxChars);
  plat::fs::DriveKind driveKindOf(const std::string& path);

  std::string code_;
  std::optional<std::string> staged_;  // the information file being built
  // The selected book's file, read once, with the languages that every
  // per-language read looks up, taken from it once.
  struct Held {
    plat::profile::Snapshot info;
    std::optional<int> origLanguage;
    std::optional<std::vector<int>> modules;
  };
  bool holding() const { return held_ && !staged_ && !code_.empty(); }
  std::optional<Held> held_;
  plat::profile::Snapshot loaded_;               // what infoSnapshot read last
  std::string stagedCode_;
  std::optional<plat::fs::MountTable> mounts_;
  std::filesystem::path sysRoot_ = "/sys";
};

namespace bookinfo_detail {
// The stored form of a free text and back (escapes, see above).
std::string escapeText(std::string_view text);
std::string unescapeText(std::string_view stored);
}  // namespace bookinfo_detail

// Makes the installed-book information the source of every book's number
// of Echomarks for the user accounts' status files (see users.h); answers
// the previous source. Programs that link this file install it at start.
EchomarkCountSource* installBookInfoEchomarkCounts();

}  // namespace orv
