#pragma once
// A book installed from a packet by the real installer, opened by the
// book model and offered to the play commands: the current Echomark's
// waves in its own bundle, the Echomark player over them, and one
// recording slot per Echomark.

#include <filesystem>
#include <string>

#include "player/audio/quote_player.h"
#include "player/audio/recorded_voice.h"
#include "player/book/book_info.h"
#include "player/book/info_bundle.h"
#include "player/book/talvane.h"
#include "player/env/environment.h"
#include "player/install/packet_installer.h"
#include "player/install/tests/installable_packet.h"
#include "player/shell/play_book.h"
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

class InstalledBook : public COrv_PlayBook {
 public:
  bool Open(const std::string& code) {
    if (m_book.Open(code, 0) != 1) return false;
    m_count = orv::COrv_BookInfo(code).GetNumQuotes();
    m_voice.SetSlotCount(m_count);
    m_player.SetBook(&m_bundle);
    return GoToQuote(1);
  }
  bool HasBook() const override { return m_current > 0; }
  int CurrentQuote() const override { return m_current; }
  int QuoteCount() const override { return m_count; }
  uint32_t QuoteStatus() const override { return 0x41; }
  COrv_QuotePlayer& QuotePlayer() override { return m_player; }
  COrv_RecordedVoice& Voice() override { return m_voice; }
  void GetQuoteFragment(float* start, float* end) const override {
    *start = m_player.GetFragmentStart();
    *end = m_player.GetFragmentEnd();
  }
  bool SetQuoteFragment(float start, float end) override {
    m_player.SetFragment(start, end);
    return true;
  }
  bool SetRecordFragment(float start, float end) override { return m_voice.SetFragment(start, end); }
  bool SelectQuoteAudio(int segment) override { return m_player.SetFragmentToSegment(segment); }
  bool LoadQuoteWaves(COrv_InfoBundle& bundle, int n) override {
    return m_book.LoadQuoteInfo(bundle, n, -1, COrv_InfoBundle::kWaves) == 1;
  }
  bool GoToQuote(int n) override {
    if (n < 1 || n > m_count) return false;
    m_bundle.ClearAll();
    if (m_book.LoadQuoteInfo(m_bundle, n, -1, COrv_InfoBundle::kWaves) != 1 || !m_player.LoadWave()) return false;
    m_current = n;
    m_voice.SetCurrentSlot(n);
    m_voice.SelectSlot(n);
    return true;
  }

 private:
  COrv_Talvane m_book;
  COrv_InfoBundle m_bundle;
  COrv_QuotePlayer m_player;
  COrv_RecordedVoice m_voice;
  int m_count = 0;
  int m_current = 0;
};

}  // namespace playtest
