// A second process for the presence tests.
//   ipc_peer hold <class> <ready-delay-ms> [<life-ms>]
//       takes the class and prints "first" or "exists"; announces "ready"
//       after the delay; prints every request it gets; ends on a close
//       request or after life-ms (default 20000).
//   ipc_peer post <class> <message-name> <wParam> <atom-text>
//       posts a registered message with an atom; prints "posted" or "failed".
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ipc/presence.h"

using namespace plat::ipc;

namespace {

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

class Recorder : public PresenceHandler {
 public:
  void onActivate() override { say("activate"); }
  void onClose() override {
    say("close");
    QCoreApplication::quit();
  }
  void onMessage(UINT message, uint64_t wParam, ATOM atom) override {
    char text[300] = {0};
    GlobalGetAtomName(atom, text, sizeof text);
    GlobalDeleteAtom(atom);
    say("message " + std::to_string(message) + " " + std::to_string(wParam) + " " + text);
  }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "hold" && argc >= 4) {
    Recorder recorder;
    ClassPresence presence(argv[2], &recorder);
    const auto r = presence.registerClass();
    if (r != ClassPresence::Result::First) {
      say(r == ClassPresence::Result::Exists ? "exists" : "failed");
      return 0;
    }
    say("first");
    QTimer::singleShot(std::atoi(argv[3]), [&] {
      say("ready");
      presence.announceReady();
    });
    QTimer::singleShot(argc >= 5 ? std::atoi(argv[4]) : 20000, &app, &QCoreApplication::quit);
    return app.exec();
  }
  if (mode == "post" && argc >= 6) {
    const ATOM atom = GlobalAddAtom(argv[5]);
    const bool ok = postRegisteredMessage(argv[2], RegisterWindowMessage(argv[3]),
                                          std::strtoull(argv[4], nullptr, 10), atom);
    say(ok ? "posted" : "failed");
    return ok ? 0 : 1;
  }
  return 2;
}
