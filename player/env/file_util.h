#pragma once
// COrv_FileUtil: the player's stateless toolbox for paths, files, folders,
// disk space, file comparison, special folders and menu shortcuts, and the
// writer of the segment table that cuts a WAV file into audio segments
// (segment_chunk.h holds the chunk's layout).
//
// Callers make one on the stack around a call. Paths are UTF-8 with '/' as
// the separator; "folder" means a path without file name. A '/' byte never
// occurs inside a multi-byte UTF-8 character, so the splits below work on
// bytes and still treat every character as a unit.
//
// What the class needs of the environment (the backup folder of the data
// path, the menu folder for book shortcuts, the program's own file and
// folder) it asks of the process-wide FileUtilServices; the environment
// store installs the real one.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "platform/fs/disk.h"

namespace orv {

// --- What the utilities ask of the environment ---------------------------------
class FileUtilServices {
 public:
  virtual ~FileUtilServices() = default;
  // The data path's backup folder; empty when there is none.
  virtual std::string backUpFolder() const;
  // The folder that book shortcuts go into; empty when none is configured.
  virtual std::string installMenuFolder() const;
  // The program folder (read-only) and the program's own file.
  virtual std::string programFolder() const;
  virtual std::string programFile() const;
  // Where files that belong in the system-wide library folders are kept:
  // on this platform, the machine-settings folder under the configuration
  // root (nothing of the suite writes into the system's own folders).
  virtual std::string systemFolder() const;
  virtual std::string windowsFolder() const;
};

// The services every COrv_FileUtil uses: the installed ones, or else the
// environment store's (the data path's BackUp folder, the configured menu
// folder, the program folder of AppPath).
const FileUtilServices& fileUtilServices();
// The environment store's services (defined with COrv_Environment).
const FileUtilServices& environmentFileUtilServices();
// Installs `services` (not owned; nullptr: the defaults) and answers the
// previous one installed this way.
const FileUtilServices* setFileUtilServices(const FileUtilServices* services);

// --- Texts the utilities show, by string id --------------------------------------
// Shown through COrv_MsgBox in the interface language.
inline constexpr int kStrCantOpenFile = 9101;

// --- Name cleaning ---------------------------------------------------------------
// A name made safe as one file or folder name: each of < > : " / \ | and
// every control character becomes '_'. Names that would still not name a
// child of their folder are refused with an empty answer: the empty name,
// "." and ".." and any name made only of dots. Dots elsewhere stay
// ("Mr. Smith" is kept as it is). Used for user folders, book folders and
// shortcut names.
std::string MakeValidFileName(std::string_view name);

// --- Comparison results ----------------------------------------------------------
inline constexpr int kCompareSamePath = 0;
inline constexpr int kCompareFirstMissing = -1;
inline constexpr int kCompareSecondMissing = -2;
inline constexpr int kCompareIdentical = 13;          // same name, size and time
inline constexpr int kCompareSameSizeFirstNewer = 14;
inline constexpr int kCompareSameSizeSecondNewer = 15;
inline constexpr int kCompareFirstNewer = 16;         // same name, other size
inline constexpr int kCompareSecondNewer = 17;

// HRESULT values of the file queries.
inline constexpr uint32_t kResultFail = 0x80004005u;              // E_FAIL
inline constexpr uint32_t kResultNoVersionRecord = 0x80070715u;   // no version resource

class COrv_FileUtil {
 public:
  COrv_FileUtil() = default;
  virtual ~COrv_FileUtil() = default;

  // --- Paths and names (pure string work) --------------------------------------
  // Appends '/' unless the path already ends in one. Always true.
  bool AddBackslash(std::string& path) const;
  // Split at the last '/': the folder without it and the name after it; no
  // '/' gives an empty folder and the whole path as name.
  void SplitPath(std::string_view path, std::string& folder, std::string& name) const;
  // The same, the folder keeping its closing '/'.
  void SplitPathKeepSlash(std::string_view path, std::string& folder, std::string& name) const;
  // Split at the last '.': the extension keeps its dot; no dot gives the
  // whole path and an empty extension.
  void SplitExtension(std::string_view path, std::string& stem, std::string& extension) const;
  // Split at the last '(': the rest starts with it; none gives the whole
  // name and an empty rest.
  void SplitAtParenthesis(std::string_view name, std::string& before, std::string& rest) const;
  std::string MakeValidFileName(std::string_view name) const { return orv::MakeValidFileName(name); }
  // Each of : < > / \ | ? " . ; , becomes '_'.
  void UnderscoreInvalidChars(std::string& name) const;
  // Each of : < > / \ | ? " becomes a blank.
  void BlankInvalidChars(std::string& name) const;

  // --- Files and folders ---------------------------------------------------------
  // Deletes every file of `folder` whose extension is .~dt, .~gz, .~tp or
  // .~ft (any case). Every such file is tried; false when one of them could
  // not be deleted (or the folder could not be listed). A missing folder
  // holds nothing to delete: true.
  bool DeleteTempFiles(const std::string& folder) const;
  // Deletes the folder with everything below it, never following a symbolic
  // link. Failures to delete single entries are ignored. Always true.
  bool DeleteFolderTree(const std::string& folder) const;
  // Moves the file into the backup folder. The name there is the file's own
  // when free; a file of that name with the same size and time is replaced;
  // otherwise the first free name base(1).ext, base(2).ext, ... is taken,
  // base being the stem without a previous "(n)" suffix. False when there
  // is no backup folder, the file is missing, the move fails, or no name up
  // to base(9999).ext is free.
  bool MoveToBackUp(const std::string& file) const;
  // Compares two files by existence, name, size and modification time (in
  // whole seconds); see the kCompare... values. Scores 1..3 and 10..13 mean:
  // +10 same name, +2 same size, +1 same time.
  int CompareFiles(const std::string& first, const std::string& second) const;
  // 1 when the first file is the later one, 2 when the second is, 0 when
  // equal, -1 when the times could not both be read. Files carry no version
  // records here, so the comparison is always by last-write time; `flags`
  // (whose bit 0 asks for the times when versions are equal) changes
  // nothing.
  int CompareFileVersions(const std::string& first, const std::string& second, uint32_t flags = 0) const;
  // The last-write time in ns since the epoch; 0, or the failure as an
  // HRESULT.
  uint32_t GetFileTimes(const std::string& path, int64_t& lastWriteNs) const;
  // Files carry no version records on this platform: kResultNoVersionRecord
  // for an existing file, the open failure as an HRESULT otherwise.
  uint32_t GetFileVersion(const std::string& path) const;
  // An errno value as an HRESULT: 0x8007 in the high 16 bits, the code in the
  // low 16 bits; E_FAIL for 0.
  static uint32_t LastErrorToHResult(int error);
  static uint32_t LastErrorToHResult();  // of the current errno
  // Copies `name` from the program folder into the system (or Windows)
  // folder when the copy there is missing or older with another size. A
  // missing source shows "Can't open file !" with error 961 (1302) and ends
  // the program, also when no copy is there yet. Always true when it
  // returns.
  bool CopyToSystemFolder(const std::string& name) const;
  bool CopyToWindowsFolder(const std::string& name) const;
  // Creates parent/name; its path when made or already a folder, else empty.
  std::string CreateShellFolder(const std::string& parent, const std::string& name) const;
  // The space of the drive holding `path`; false when the query fails.
  bool GetDiskFreeSpace(const std::string& path, plat::fs::DiskSpace& out) const;

  // Whether `available` bytes are more than `factor` times `partSize`
  // (a 64-bit product: a part of a few hundred megabytes times 26 does not
  // fit 32 bits).
  static bool HasRoomFor(std::uint64_t available, std::uint32_t partSize, std::uint32_t factor);
  // The room one packet part of `partSize` bytes needs: more than 26 times
  // it on the destination's drive (the installed book and its working
  // space) and more than twice it on the packet's drive. A drive that
  // falls short is told in the error box with its free kilobytes; false.
  // `probe` answers the bytes free to this user on a folder's drive (none:
  // the drive itself is asked); a drive it cannot answer for has no room.
  using SpaceProbe = std::function<bool(const std::string& folder, std::uint64_t& available)>;
  bool CheckSpaceForPart(const std::string& destinationFolder, const std::string& packetFolder,
                         std::uint32_t partSize, const SpaceProbe& probe = {}) const;
  // The bytes free to this user on a folder's drive through `probe` (none:
  // the drive itself); 0 when unknown.
  std::uint64_t AvailableSpace(const std::string& folder, const SpaceProbe& probe = {}) const;

  // --- Special folders and shortcuts ---------------------------------------------
  // The menu folder for .desktop entries, the desktop, and the autostart
  // folder; empty when unknown.
  std::string GetProgramsFolder() const;
  std::string GetDesktopFolder() const;
  std::string GetStartupFolder() const;
  // Writes a menu entry (a Desktop Entry file) at `link`, its parent folders
  // made when missing: it starts `target` with `arguments` (split at blanks)
  // in `workingFolder`, shows the picture file `iconFile` and the
  // description. The entry's name is the link file's stem. A file holds one
  // picture, so `iconIndex` is not written. False for an empty link or
  // target, or when the file could not be written.
  bool CreateShortcut(const std::string& link, const std::string& target, const std::string& workingFolder,
                      const std::string& arguments, const std::string& iconFile, int iconIndex,
                      const std::string& description) const;
  // The book's menu entry in the install-menu folder: file
  // MakeValidFileName(shortcutName) + ".desktop", named `shortcutName`,
  // starting the program with "-tv <CODE>" (the code in upper case), with
  // picture number iconNumber + 6 of the icon library. False when there is
  // no menu folder, the name cannot be a file name, or writing failed.
  bool CreateBookShortcut(const std::string& bookCode, const std::string& shortcutName, int iconNumber) const;
  // Removes that entry; true when one was there (a failure to remove it is
  // ignored).
  bool DeleteBookShortcut(const std::string& bookCode, const std::string& shortcutName) const;

  // --- WAV segment table (segment_chunk.h) -----------------------------------------
  // Appends the segment table of `count` segments to the WAV file at `path`:
  // share i (0 <= i < count - 1) is the part of the sample data that segment
  // i takes; the last segment takes the rest, so the last share is not read
  // (`shares` may be null for one segment). 1 on success, also for count 0
  // (nothing is written); 0 on failure, the file unchanged: a file that
  // cannot be opened or written (reported on standard error as "Can't open
  // file %s, error = %u" with the errno value), that is no well-formed WAV
  // (RIFF form "WAVE", every chunk within it), has no "data" chunk or has
  // bytes after its RIFF form; a count outside 0..65535; a share that is
  // negative, infinite or not a number.
  int AppendSegmentChunk(const std::string& path, int count, const float* shares) const;
};

// The picture file of icon `number` of the icon library: a PNG file named by
// its number in the library's picture folder beside the program.
std::string iconLibraryPicture(const std::string& programFolder, int number);

// The text of a Desktop Entry file (the keys written by CreateShortcut).
// Exported for tests and for callers that write entries elsewhere.
std::string desktopEntryText(const std::string& name, const std::string& target, const std::string& workingFolder,
                             const std::string& arguments, const std::string& iconFile,
                             const std::string& description);

}  // namespace orv
