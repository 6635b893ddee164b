#include "player/install/packet_installer.h"

#include <QApplication>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "player/book/packet_file.h"
#include "player/book/talvane.h"
#include "player/env/environment.h"
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

}  // namespace

PacketInstaller::PacketInstaller(ProgressFactory progress) : m_progress(std::move(progress)) {
  if (!m_progress) m_progress = defaultProgress;
}

int PacketInstaller::InstallSlot(const fs::path& path, int slot, std::string& contentPath) {
  const std::string destination =
      m_destination.empty() ? COrv_Environment().GetTalvanesPath(false) : m_destination.string();
  std::unique_ptr<InstallProgress> progress = m_progress();
  if (!m_installer.Install(path.string(), "", destination, contentPath, slot, *progress)) return 0;

  // The directory slot names the book; the content file gives the rest of
  // its information (language, category, numbers, title).
  COrv_PacketFile packet;
  std::uint8_t raw[COrv_PacketFile::kSlotSize];
  if (!packet.ReadSlot(path.string(), "", raw, slot)) return 0;
  COrv_Talvane book;
  book.SetSourceFile(contentPath, -1);
  std::string code = packet.GetSlotCode();
  std::transform(code.begin(), code.end(), code.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (book.Open(code, COrv_Talvane::kOpenFilled) != 1) return 0;
  if (book.GetTitle(-1).empty()) book.SetTitle(packet.GetSlotTitle(), -1);
  if (book.GetDescription(-1).empty()) book.SetDescription(packet.GetSlotDescription(), -1);
  const int written = book.WriteBookInfo();
  book.Close();
  return written == 1 ? 1 : 0;
}

int PacketInstaller::InstallFile(const fs::path& path) {
  if (lowerExtension(path) != ".tpk") {
    std::fprintf(stderr, "orvex: %s is not installed: only packet files (.tpk) are installed here\n",
                 path.c_str());
    return 0;
  }
  // A file that cannot be read has no slots: slot 1 then reports why.
  const int slotCount = std::max(1, COrv_PacketFile().GetSlotCount(path.string(), ""));
  bool all = true;
  for (int slot = 1; slot <= slotCount; ++slot) {
    std::string content;
    all = InstallSlot(path, slot, content) == 1 && all;
  }
  return all ? 1 : 0;
}

}  // namespace orv::install
