#pragma once
// CBrindlePageStore: the grammar pages behind the browser's view.
//
// Pages are packed files ("<name>.cht": a gzip stream whose first 32 bytes
// are scrambled) in the program folder's "Gramm" folder, their pictures in
// "Gramm/Images" under names that begin with the page name. Before a page
// is shown it is unpacked into a working folder (its pictures into
// "Images" inside it); once shown, the working copy of every page but the
// index ("0000") is deleted again. The working folder is the user's private
// one (tv::pages::WorkFolder()), where the player names the pages it asks
// for; it and its images folder are used only when they are the user's own
// and kept at mode 0700, since the pages a learner views are theirs alone.
//
// Page requests come from outside (the player, over DDE) and from the
// pages' links: a page path is only ever taken inside the working folder,
// so nothing outside it is written or deleted.
//
// Failures are told in a plain message box of the application.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

class CBrindlePageStore {
 public:
  static constexpr const char* kIndexName = "0000";
  static constexpr const char* kPageExtension = ".htm";
  static constexpr const char* kPackedExtension = ".cht";
  static constexpr const char* kMissingPage = "~NoIt";
  // Nothing is shown yet.
  static constexpr const char* kNoPage = "#";
  // Largest packed page read and largest page unpacked.
  static constexpr std::uint64_t kMaxPackedBytes = 16u * 1024u * 1024u;
  static constexpr std::uint64_t kMaxPageBytes = 64u * 1024u * 1024u;

  // `workFolder` is the working folder (empty when none could be had),
  // `programFolder` the program's own folder (empty when unknown).
  CBrindlePageStore(std::filesystem::path workFolder, std::filesystem::path programFolder);
  // Deletes the working copies (Cleanup()).
  ~CBrindlePageStore();
  CBrindlePageStore(const CBrindlePageStore&) = delete;
  CBrindlePageStore& operator=(const CBrindlePageStore&) = delete;

  // Makes the working folders and unpacks the index. Nothing on success;
  // else the program's exit code after the fatal message was shown (0 for
  // a folder that cannot be made or found, 100 when the index fails).
  std::optional<int> SetUp();

  // Unpacks the page file `source` to `target` and copies the pictures of
  // the target's page into the working images folder. False, after a
  // message, on failure; `target` is then left as it was.
  bool Unpack(const std::filesystem::path& target, const std::filesystem::path& source);

  // Before a page is shown: `url` is a page path or a "file:///" URL,
  // perhaps with an anchor. Unpacks the page when needed, deletes the
  // previous working copy and answers the page path to load; nothing when
  // the navigation is to be cancelled (a message was shown).
  std::optional<std::filesystem::path> BeforeNavigate(std::string_view url);
  // After a page was shown: deletes its working copy unless it is the index.
  void AfterNavigate();
  // Deletes every page and picture of the working folders.
  void Cleanup();

  const std::filesystem::path& WorkFolder() const { return m_strWorkDir; }
  const std::filesystem::path& WorkImagesFolder() const { return m_strWorkImagesDir; }
  const std::filesystem::path& SourceFolder() const { return m_strSourceDir; }
  const std::filesystem::path& SourceImagesFolder() const { return m_strSourceImagesDir; }
  const std::filesystem::path& IndexPage() const { return m_strIndexPage; }
  // The page shown last, or "#".
  const std::string& CurrentPage() const { return m_strCurrentPage; }

  // The page name of a path: the text between its last separator and its
  // last '.'.
  static std::string PageName(std::string_view path);

 private:
  bool IsIndex(const std::string& page) const;
  // The packed file of a page in the source folder.
  std::filesystem::path PackedFile(const std::string& name) const;
  // Whether `page` (a normalised path) names a page file directly inside
  // the working folder.
  bool InWorkFolder(const std::filesystem::path& page) const;
  void CopyPictures(const std::string& pageName);

  std::filesystem::path m_strWorkDir;
  std::filesystem::path m_strWorkImagesDir;
  std::filesystem::path m_strSourceDir;
  std::filesystem::path m_strSourceImagesDir;
  std::filesystem::path m_strProgramDir;
  std::filesystem::path m_strIndexPage;
  std::string m_strCurrentPage = kNoPage;
  // The working folders were made or found, and are ours.
  bool m_bFoldersOwned = false;
};

// Unscrambles the head of a packed page and inflates it: one or more
// concatenated gzip members, checked strictly (magic, CRC, length; no
// trailing bytes; at most `limit` bytes out). Nothing for a bad stream.
std::optional<std::string> UnpackPageBytes(std::string packed, std::uint64_t limit);
