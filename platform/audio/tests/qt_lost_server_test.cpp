// The Qt audio backend when the sound server goes away under it and comes
// back: a server of this test's own (its own runtime folder), killed by its
// pid file and started again, never anyone else's.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <QMediaDevices>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/audio.h"
#include "platform/audio/dispatcher.h"
#include "platform/audio/qt_audio.h"
#include "platform/audio/tests/qt_null_sink.h"
#include "platform/testing/test_env.h"

namespace plat::audio {
namespace {

using tvaudio::kRate;

// Runs scripts/null_sink.sh with `args`; its output, or nothing on failure.
bool nullSink(const std::string& args, std::string& out) {
  const std::string cmd = std::string("bash '") + TV_SOURCE_DIR + "/scripts/null_sink.sh' " + args + " 2>&1";
  FILE* p = ::popen(cmd.c_str(), "r");
  if (p == nullptr) return false;
  char buf[256];
  out.clear();
  while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
  return ::pclose(p) == 0;
}

class LostServer : public ::testing::Test {
 protected:
  void SetUp() override {
    // Under /tmp: the sandbox's folders are too deep for a socket's path.
    dir = std::filesystem::path("/tmp") / ("tv-lost-" + std::to_string(::getpid()));
    std::string out;
    if (!nullSink("start '" + dir.string() + "'", out)) GTEST_SKIP() << "no sound server: " << out;
    ::setenv("PULSE_SERVER", out.substr(out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1).c_str(), 1);
    // The backend first, as in the program: it then sees every object of
    // the sound system from its start (the one that lists the devices and
    // the one the streams go through each lose the server on their own).
    // One backend for every test, as the program has one: the sound
    // system's streaming object lives on the worker thread of the backend
    // that first streamed, and reconnects only while that thread runs.
    if (!shared) shared = std::make_unique<QtAudioBackend>(uiDispatcher());
    backend = shared.get();
    if (QMediaDevices::audioOutputs().isEmpty() || QMediaDevices::audioInputs().isEmpty())
      GTEST_SKIP() << "the server lists no output or input";
    // A server lost by an earlier test of this process is found again by
    // the sound system's own retry (3 s after the loss) or by the backend's
    // reconnection after it.
    ASSERT_TRUE(tvaudio::pumpUntil([&] { return reachable(); }, 15000)) << "the backend never reaches the server";
  }
  static void TearDownTestSuite() { shared.reset(); }
  void TearDown() override {
    std::string out;
    nullSink("stop '" + dir.string() + "'", out);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // Whether a play can be started on the server now.
  bool reachable() {
    std::unique_ptr<WaveOutDevice> out;
    if (backend->openWaveOut(WAVE_MAPPER, WaveFormat::pcm(kRate, 16, 1), nullptr, out) != MMSYSERR_NOERROR) return false;
    std::string silence(kRate / 50 * 2, '\0');
    WaveHeader h;
    h.data = silence.data();
    h.bufferLength = static_cast<uint32_t>(silence.size());
    out->prepare(&h);
    const bool ok = out->write(&h) == MMSYSERR_NOERROR;
    out->reset();
    out->close();
    return ok;
  }

  // Kills this test's server by its pid file and waits until it is gone.
  void killServer() {
    const std::string pid = tvtest::readFile(dir / "pulse" / "pid");
    ASSERT_FALSE(pid.empty());
    ASSERT_EQ(::kill(std::stoi(pid), SIGKILL), 0);
    std::string out;
    nullSink("stop '" + dir.string() + "'", out);  // the monitor reader
    tvaudio::pumpFor(300);
  }
  void startServer() {
    std::string out;
    ASSERT_TRUE(nullSink("start '" + dir.string() + "'", out)) << out;
  }

  std::filesystem::path dir;
  static inline std::unique_ptr<QtAudioBackend> shared;
  QtAudioBackend* backend = nullptr;
};

TEST_F(LostServer, ATakeCutByALostServerKeepsWhatWasCapturedAndTellsTheLoss) {
  std::vector<WaveHeader*> dones;
  std::unique_ptr<WaveInDevice> in;
  ASSERT_EQ(backend->openWaveIn(WAVE_MAPPER, WaveFormat::pcm(kRate, 16, 1), [&](WaveHeader* h) { dones.push_back(h); },
                                in),
            MMSYSERR_NOERROR);
  std::vector<std::string> data(4, std::string(kRate * 2, '\0'));  // 4 x 1 s
  std::vector<WaveHeader> headers(4);
  for (size_t i = 0; i < headers.size(); ++i) {
    headers[i].data = data[i].data();
    headers[i].bufferLength = static_cast<uint32_t>(data[i].size());
    ASSERT_EQ(in->prepare(&headers[i]), MMSYSERR_NOERROR);
    ASSERT_EQ(in->addBuffer(&headers[i]), MMSYSERR_NOERROR);
  }
  ASSERT_EQ(in->start(), MMSYSERR_NOERROR);
  tvaudio::pumpFor(400);
  killServer();
  // The stop after the loss answers that the device is gone; what was
  // captured before stays in the buffer handed back.
  EXPECT_EQ(in->stop(), MMSYSERR_NODRIVER);
  tvaudio::pumpUntil([&] { return !dones.empty(); }, 1000);
  ASSERT_EQ(dones.size(), 1u);
  EXPECT_GT(dones[0]->bytesRecorded, 0u);
  EXPECT_EQ(in->start(), MMSYSERR_NODRIVER);
  in->reset();
  EXPECT_EQ(in->close(), MMSYSERR_NOERROR);
}

TEST_F(LostServer, PlayingAgainAfterTheServerCameBackIsHeard) {
  const std::string tone = tvaudio::tone(1000);
  WaveHeader h;
  h.data = const_cast<char*>(tone.data());
  h.bufferLength = static_cast<uint32_t>(tone.size());
  std::vector<WaveHeader*> dones;
  auto play = [&](std::unique_ptr<WaveOutDevice>& out) {
    dones.clear();
    const MMRESULT r =
        backend->openWaveOut(WAVE_MAPPER, WaveFormat::pcm(kRate, 16, 1), [&](WaveHeader* d) { dones.push_back(d); }, out);
    if (r != MMSYSERR_NOERROR) return r;
    h.flags = 0;
    out->prepare(&h);
    return out->write(&h);
  };
  {
    std::unique_ptr<WaveOutDevice> out;
    ASSERT_EQ(play(out), MMSYSERR_NOERROR);
    tvaudio::pumpFor(100);
    killServer();
    out->reset();
    out->close();
  }
  // While the server is away a play is refused as a lost device.
  {
    std::unique_ptr<WaveOutDevice> out;
    EXPECT_EQ(play(out), MMSYSERR_NODRIVER);
    if (out) {
      out->reset();
      out->close();
    }
  }
  // Long enough away that Qt's own single retry, 3 s after the loss, has
  // found no server: only the backend's reconnection can bring it back.
  tvaudio::pumpFor(4000);
  startServer();
  tvaudio::MonitorCapture monitor;
  std::unique_ptr<WaveOutDevice> out;
  // The next play after the server is back reconnects.
  ASSERT_EQ(play(out), MMSYSERR_NOERROR);
  ASSERT_TRUE(monitor.start());
  ASSERT_TRUE(tvaudio::pumpUntil([&] { return !dones.empty(); }, 5000));
  tvaudio::pumpFor(100);
  monitor.stop();
  out->reset();
  out->close();
  EXPECT_NE(monitor.firstLoud(0), tvaudio::MonitorCapture::npos) << "nothing was heard on the monitor";
}

}  // namespace
}  // namespace plat::audio
