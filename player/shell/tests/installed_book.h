#pragma once
// A book installed from a packet by the real installer, opened by the
// book model and offered to the play commands.

#include <filesystem>
#include <string>

#include "player/book/book_info.h"
#include "player/book/info_bundle.h"
#include "player/book/talvane.h"
#include "player/env/environment.h"
#include "player/install/packet_installer.h"
#include "player/install/tests/installable_packet.h"
#include "player/shell/tests/player_book.h"
#include "tools/packet/packet_writer.h"

namespace playtest {

// Installs the two-Echomark packet "HAMLET" into a fresh data path; false
// when any step fails.
inline bool installHamlet(const std::filesystem::path& folder) {
  if (!orv::COrv_Environment().CreateDataPath()) return false;
  const auto packet = folder / "hamlet.tpk";
  if (!tvtools::writePacket(packet, installtest::packetSpec("HAMLET"))) return false;
  orv::install::PacketInstaller installer;
  return installer.InstallFile(packet) == 1;
}

class InstalledBook : public PlayerBook {
 public:
  bool Open(const std::string& code) {
    if (m_book.Open(code, 0) != 1) return false;
    setCount(orv::COrv_BookInfo(code).GetNumQuotes());
    return GoToQuote(1);
  }
  bool LoadQuoteWaves(COrv_InfoBundle& bundle, int n) override {
    return m_book.LoadQuoteInfo(bundle, n, -1, COrv_InfoBundle::kWaves) == 1;
  }
  bool GoToQuote(int n) override {
    if (n < 1 || n > QuoteCount()) return false;
    m_bundle.ClearAll();
    return m_book.LoadQuoteInfo(m_bundle, n, -1, COrv_InfoBundle::kWaves) == 1 && becomeCurrent(n);
  }

 private:
  COrv_Talvane m_book;
};

}  // namespace playtest
