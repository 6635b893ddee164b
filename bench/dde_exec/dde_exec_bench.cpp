// Round trip of one execute between two processes: this one and the DDE test
// peer, started as a child.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QProcess>
#include <string>
#include <unistd.h>

#include "shared/dde/dde_server.h"

namespace {

void BM_ExecRoundTrip(benchmark::State& state) {
  static int argc = 1;
  static char name[] = "bench_dde";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  const std::string service = "TvBench" + std::to_string(::getpid());
  QProcess peer;
  peer.start(TV_DDE_PEER, {QString::fromStdString(service)});
  if (!peer.waitForReadyRead(5000)) {
    state.SkipWithError("peer did not start");
    return;
  }
  peer.readAll();
  CDDEServer server;
  server.Create(("TvBenchClient" + std::to_string(::getpid())).c_str());
  auto* conv = new CDDEConv(&server);
  conv->AddRef();
  if (!conv->ConnectTo(service.c_str(), "Quiet")) {  // "Quiet" acknowledges at once, printing nothing
    state.SkipWithError("no conversation");
    conv->Release();
    return;
  }
  for (auto _ : state) {
    if (!conv->Exec("page")) {
      state.SkipWithError("execute refused");
      break;
    }
  }
  conv->Terminate();
  conv->Release();
  peer.kill();
  peer.waitForFinished(5000);
}
BENCHMARK(BM_ExecRoundTrip)->Unit(benchmark::kMicrosecond);

}  // namespace
