#include "player/install/packet_installer.h"

#include <QApplication>

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/fs/file_io.h"
#include "platform/fs/file_ops.h"
#include "player/book/catalogue.h"
#include "player/book/info_bundle.h"
#include "player/env/error_info.h"
#include "player/book/packet_file.h"
#include "player/book/talvane.h"
#include "player/env/environment.h"
#include "player/install/install_journal.h"
#include "player/install/progress_window.h"

namespace orv::install {
namespace fs = std::filesystem;

namespace {

std::string lowerExtension(const fs::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

std::unique_ptr<InstallProgress> defaultProgress() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) return std::make_unique<COrv_InstallProgressDlg>();
  return std::make_unique<NoProgress>();
}

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

// Registers book `code` of a content file; the slot's title and
// description stand in where the file gives none.
bool registerBook(const std::string& contentPath, const std::string& code, const std::string& title,
                  const std::string& description) {
  COrv_Talvane book;
  book.SetSourceFile(contentPath, -1);
  if (book.Open(upper(code), COrv_Talvane::kOpenFilled) != 1) return false;
  if (book.GetTitle(-1).empty()) book.SetTitle(title, -1);
  if (book.GetDescription(-1).empty()) book.SetDescription(description, -1);
  const int written = book.WriteBookInfo();
  book.Close();
  return written == 1;
}

constexpr int kMsgDamagedLibrary = 20349;
constexpr int kSpeech = 128;  // the wave list: the speech at every speed
constexpr int kMissingMember = 18;  // the content reader's code for a member the part does not hold

bool sameBytes(const fs::path& a, const fs::path& b) {
  std::string x, y;
  return !plat::fs::readFile(a, x) && !plat::fs::readFile(b, y) && x == y;
}

}  // namespace

bool BookReadsBackWhole(const std::string& contentPath, const std::string& code, std::string* why) {
  COrv_Talvane book;
  COrv_ErrorInfo errors;
  book.SetErrorSink(&errors);
  book.SetSourceFile(contentPath, -1);
  auto fail = [&](const std::string& fallback) {
    if (why) *why = "Talvane " + upper(code) + ": " + (errors.m_strText.empty() ? fallback : errors.m_strText);
    book.Close();
    return false;
  };
  if (book.Open(upper(code), COrv_Talvane::kOpenFilled) != 1) return fail("it cannot be opened");
  // A book opens without its media spots; one that carries spots that do
  // not read would lose them without a word.
  if (!book.Spots().GetFilePath().empty() && !book.Spots().IsLoaded()) return fail("its media spots are damaged");
  const int n = book.GetNumQuotes();
  if (n < 1) return fail("it has no Echomark");
  for (int i = 1; i <= n; ++i) {
    COrv_InfoBundle bundle;
    errors = COrv_ErrorInfo();
    if (book.LoadQuoteInfo(bundle, i, -1, COrv_Talvane::kAllKinds & ~kSpeech) != 1)
      return fail("Echomark " + std::to_string(i) + " cannot be read");
    // Speech may be missing (a packet may carry none); speech that the
    // file names but does not hold whole and valid is damage.
    errors = COrv_ErrorInfo();
    if (book.LoadQuoteInfo(bundle, i, -1, kSpeech) != 1 && errors.m_nCode != kMissingMember)
      return fail("the speech of Echomark " + std::to_string(i) + " cannot be read");
  }
  book.Close();
  return true;
}

PacketInstaller::PacketInstaller(ProgressFactory progress) : m_progress(std::move(progress)) {
  if (!m_progress) m_progress = defaultProgress;
}

int PacketInstaller::InstallSlot(const fs::path& path, int slot, std::string& contentPath) {
  const std::string destination =
      m_destination.empty() ? COrv_Environment().GetTalvanesPath(false) : m_destination.string();
  std::unique_ptr<InstallProgress> progress = m_progress();
  if (!m_installer.Install(path.string(), "", destination, contentPath, slot, *progress)) {
    m_reason = m_installer.FailureReason();
    return 0;
  }
  // Until the book is registered its content file is a leftover for the
  // next start, should this process be killed.
  COrv_InstallJournal journal(fs::path(contentPath).parent_path());
  journal.Add(contentPath);

  // The directory slot names the book; the content file gives the rest of
  // its information (language, category, numbers, title).
  COrv_PacketFile packet;
  std::uint8_t raw[COrv_PacketFile::kSlotSize];
  // A content file that does not read back whole (a packet whose part has
  // no members, a member too short to read) is removed again with a
  // message: no book file is left that nothing lists.
  std::string why;
  if (!packet.ReadSlot(path.string(), "", raw, slot) || !BookReadsBackWhole(contentPath, packet.GetSlotCode(), &why) ||
      !registerBook(contentPath, packet.GetSlotCode(), packet.GetSlotTitle(), packet.GetSlotDescription())) {
    plat::fs::removeFile(contentPath);
    ReportInstallError(COrv_BookInstaller::kMsgBadFormat, __LINE__, why.empty() ? path.string() : path.string() + "\n" + why);
    m_reason = why;
    contentPath.clear();
    return 0;
  }
  return 1;
}

int PacketInstaller::InstallLibrary(const fs::path& path) {
  COrv_PacketFile packet;
  if (!packet.Validate(path.string(), "", true)) return 0;
  COrv_CatalogueRecord catalogue;
  const int count = catalogue.Load(path.string());
  if (!packet.GetBookFileFlag() || count < 1) {
    ReportInstallError(COrv_BookInstaller::kMsgBadFormat, __LINE__, path.string());
    return 0;
  }
  const std::vector<std::string>& names = catalogue.GetNames();
  for (const std::string& name : names) {
    std::string why;
    if (!BookReadsBackWhole(path.string(), name, &why)) {
      ReportInstallError(kMsgDamagedLibrary, __LINE__, path.string() + "\n" + why);
      m_reason = why;
      return 0;
    }
  }

  const fs::path backup = m_backup.empty() ? fs::path(COrv_Environment().GetBackUpPath(false)) : m_backup;
  fs::path target = backup / path.filename();
  std::error_code ec;
  if (!fs::equivalent(path.parent_path(), backup, ec)) {
    // A different file of that name keeps its place (a book may read it);
    // the same file there already is simply taken.
    for (int n = 2; fs::exists(fs::symlink_status(target, ec)) && !sameBytes(path, target); ++n)
      target = backup / (path.stem().string() + " (" + std::to_string(n) + ")" + path.extension().string());
    if (fs::exists(fs::symlink_status(target, ec))) {
      // The copy there serves; a source that cannot go (a read-only
      // medium) stays where it is.
      plat::fs::removeFile(path);
    } else if (plat::fs::moveFile(path, target, plat::fs::Existing::Fail)) {
      ReportInstallError(COrv_BookInstaller::kMsgCantOpen, __LINE__, target.string());
      return 0;
    }
  } else {
    target = path;
  }
  bool all = true;
  for (const std::string& name : names) all = registerBook(target.string(), name, "", "") && all;
  return all ? 1 : 0;
}

int PacketInstaller::InstallFile(const fs::path& path) {
  m_reason.clear();
  const std::string ext = lowerExtension(path);
  if (ext == ".tvl") return InstallLibrary(path);
  if (ext != ".tpk") return 0;
  // A damaged packet is told once, not once per slot it claims.
  if (!COrv_PacketFile().Validate(path.string(), "", true)) return 0;
  const int slotCount = std::max(1, COrv_PacketFile().GetSlotCount(path.string(), ""));
  bool all = true;
  for (int slot = 1; slot <= slotCount; ++slot) {
    std::string content;
    all = InstallSlot(path, slot, content) == 1 && all;
  }
  return all ? 1 : 0;
}

}  // namespace orv::install
