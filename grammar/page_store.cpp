#include "grammar/page_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

#include "grammar/boxes.h"
#include "platform/fs/file_io.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/folder_listing.h"
#include "platform/text/utf8.h"
#include "shared/gzip/strict_gzip.h"
#include "shared/scrambler/scrambler.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kScrambledHead = 32;
constexpr const char* kFileUrl = "file:///";

void tell(const char* text) { brindle::tell(text); }

// Makes `folder` (mode 0700) when it is missing and checks that it is a
// folder of ours: not a symbolic link, owned by this user, and open to no
// one else (a folder of ours that is wider is narrowed to 0700).
bool ensureOwnFolder(const fs::path& folder) {
  if (folder.empty()) return false;
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
  return (st.st_mode & 077) == 0 || ::chmod(folder.c_str(), 0700) == 0;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && plat::fs::equalNoCase(text.substr(0, prefix.size()), prefix);
}

fs::path withoutTrailingSeparator(fs::path p) {
  p = p.lexically_normal();
  if (!p.has_filename() && p.has_parent_path() && p != p.root_path()) p = p.parent_path();
  return p;
}

}  // namespace

std::optional<std::string> UnpackPageBytes(std::string packed, std::uint64_t limit) {
  if (packed.empty()) return std::nullopt;
  ScrambleBuffer(packed.data(), std::min(packed.size(), kScrambledHead), 0, 0);
  return tvgzip::inflateGzipBytes(packed, limit);
}

CBrindlePageStore::CBrindlePageStore(fs::path workFolder, fs::path programFolder)
    : m_strProgramDir(std::move(programFolder)) {
  if (!workFolder.empty()) {
    m_strWorkDir = withoutTrailingSeparator(std::move(workFolder));
    m_strWorkImagesDir = m_strWorkDir / "Images";
  }
  if (!m_strProgramDir.empty()) {
    m_strSourceDir = withoutTrailingSeparator(m_strProgramDir / "Gramm");
    m_strSourceImagesDir = m_strSourceDir / "Images";
  }
  m_strIndexPage = m_strWorkDir / kIndexName;
  m_strIndexPage += kPageExtension;
}

CBrindlePageStore::~CBrindlePageStore() { Cleanup(); }

std::optional<int> CBrindlePageStore::SetUp() {
  if (!ensureOwnFolder(m_strWorkDir)) {
    tell("Fatal Error !\n\nI can't create the working directory ~tmp");
    return 0;
  }
  if (!ensureOwnFolder(m_strWorkImagesDir)) {
    tell("Fatal Error !\n\nI can't create the target directory Images");
    return 0;
  }
  m_bFoldersOwned = true;
  if (m_strProgramDir.empty()) {
    tell("Fatal Error !\n\nI can't find the path of the source directory");
    return 0;
  }
  if (!Unpack(m_strIndexPage, PackedFile(kIndexName))) {
    tell("An error occured copying the Index");
    return 100;
  }
  m_strCurrentPage = std::string(kNoPage);
  return std::nullopt;
}

bool CBrindlePageStore::Unpack(const fs::path& target, const fs::path& source) {
  std::string packed;
  const auto status = plat::fs::fileStatus(source);
  if (!status || status->folder || status->size > kMaxPackedBytes || plat::fs::readFile(source, packed)) {
    tell("I can't copy the file into Temp dir");
    return false;
  }
  const std::optional<std::string> html = UnpackPageBytes(std::move(packed), kMaxPageBytes);
  if (!html) {
    tell("I can't decompress a file");
    return false;
  }
  if (plat::fs::writeFileAtomic(target, *html)) {
    tell("Errore nell'aprire il file html");
    return false;
  }
  CopyPictures(PageName(target.filename().string()));
  return true;
}

void CBrindlePageStore::CopyPictures(const std::string& pageName) {
  if (pageName.empty() || m_strSourceImagesDir.empty()) return;
  std::vector<plat::fs::FolderEntry> entries;
  if (plat::fs::listFolder(m_strSourceImagesDir, "*", entries, plat::fs::EntryKinds::Files)) return;
  const std::size_t chars = plat::text::countChars(pageName);
  for (const auto& entry : entries) {
    if (!plat::fs::equalNoCase(plat::text::cutChars(entry.name, chars), pageName)) continue;
    // A picture that cannot be copied leaves a hole in the page, not an error.
    plat::fs::copyFile(m_strSourceImagesDir / entry.name, m_strWorkImagesDir / entry.name);
  }
}

std::string CBrindlePageStore::PageName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = file.rfind('.');
  return std::string(dot == std::string_view::npos ? file : file.substr(0, dot));
}

fs::path CBrindlePageStore::PackedFile(const std::string& name) const {
  fs::path file = m_strSourceDir / name;
  file += kPackedExtension;
  return file;
}

bool CBrindlePageStore::IsIndex(const std::string& page) const { return fs::path(page) == m_strIndexPage; }

bool CBrindlePageStore::InWorkFolder(const fs::path& page) const {
  const fs::path parent = page.parent_path();
  if (parent == m_strWorkDir) return true;
  std::error_code ec;
  return fs::equivalent(parent, m_strWorkDir, ec) && !ec;
}

std::optional<fs::path> CBrindlePageStore::BeforeNavigate(std::string_view url) {
  std::string text(url);
  if (startsWithNoCase(text, kFileUrl)) text.erase(0, std::char_traits<char>::length(kFileUrl) - 1);
  if (const std::size_t hash = text.find('#'); hash != std::string::npos) text.resize(hash);

  // Only a page file directly inside the working folder is taken: the
  // request may name any path, and the page's working copy is written and
  // later deleted under the name it gives.
  const fs::path asked = fs::path(text).lexically_normal();
  const std::string fileName = asked.filename().string();
  const std::string name = PageName(fileName);
  const bool isPage = asked.is_absolute() && !name.empty() && text.find('\0') == std::string::npos &&
                      plat::fs::equalNoCase(fileName.substr(name.size()), kPageExtension) && InWorkFolder(asked);
  if (!isPage) {
    tell("Error loading a grammar page");
    return std::nullopt;
  }
  fs::path page = m_strWorkDir / name;
  page += kPageExtension;

  if (plat::fs::equalNoCase(name, kIndexName)) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(page, ec)) &&
        !Unpack(page, PackedFile(kIndexName))) {
      tell("Error loading the Index");
      return std::nullopt;
    }
  } else {
    fs::path source = PackedFile(name);
    std::error_code ec;
    if (!fs::is_regular_file(source, ec)) source = PackedFile(kMissingPage);
    if (!Unpack(page, source)) {
      tell("Error loading a grammar page");
      return std::nullopt;
    }
  }

  if (m_strCurrentPage != kNoPage && !IsIndex(m_strCurrentPage) && fs::path(m_strCurrentPage) != page)
    plat::fs::removeFile(m_strCurrentPage);
  m_strCurrentPage = page.string();
  return page;
}

void CBrindlePageStore::AfterNavigate() {
  if (m_strCurrentPage != kNoPage && !IsIndex(m_strCurrentPage)) plat::fs::removeFile(m_strCurrentPage);
}

void CBrindlePageStore::Cleanup() {
  if (!m_bFoldersOwned) return;  // never a folder that SetUp() did not check
  std::vector<plat::fs::FolderEntry> entries;
  if (!plat::fs::listFolder(m_strWorkDir, "*.htm", entries, plat::fs::EntryKinds::Files))
    for (const auto& entry : entries) plat::fs::removeFile(m_strWorkDir / entry.name);
  entries.clear();
  if (!plat::fs::listFolder(m_strWorkImagesDir, "*", entries, plat::fs::EntryKinds::Files))
    for (const auto& entry : entries) plat::fs::removeFile(m_strWorkImagesDir / entry.name);
}
