// A second process for the browser's tests, as the player would talk to it:
//   brindle_dde_client <service> <topic> <command>...
// opens one conversation per command, executes it, ends the conversation and
// prints "exec ok", "exec refused" or "connect failed" for each.
#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "shared/dde/dde_server.h"

namespace {

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 4) return 2;
  CDDEServer server;
  if (!server.Create("BrindleTestClient")) {
    say("create failed");
    return 1;
  }
  for (int i = 3; i < argc; ++i) {
    auto* conv = new CDDEConv(&server);
    conv->AddRef();
    if (!conv->ConnectTo(argv[1], argv[2])) {
      say("connect failed");
    } else {
      say(conv->Exec(argv[i]) ? "exec ok" : "exec refused");
      conv->Terminate();
    }
    conv->Release();
  }
  server.Shutdown();
  return 0;
}
