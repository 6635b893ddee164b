// A second process for the DDE tests: serves the service named on its
// command line until an execute "quit" (or 20 s).
//   topic "Pages": executes are printed; "refuse" is refused; "sleep <ms>"
//     blocks that long first; "callback <service>" opens a conversation back
//     to <service> topic "Back" and executes "hello" there before answering;
//     "sendback <service>" connects back to <service> topic "Back", answers,
//     and 50 ms later, from the event loop, says "sendback sending", executes
//     "hello" there and says "sendback ok" when done.
//     Item "Value" is a string item (pokes are printed).
//   topic "Quiet": acknowledges every execute without a word (benchmarks).
//   topic "Other": nothing of its own.
#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "shared/dde/dde_server.h"

namespace {

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

class ValueItem : public CDDEStringItem {
  void OnPoke() override { say(std::string("poke ") + GetData()); }
};

// A conversation to `service` topic "Back", or null.
CDDEConv* connectBack(CDDEServer* server, const std::string& service) {
  auto* conv = new CDDEConv(server);
  conv->AddRef();
  if (conv->ConnectTo(service.c_str(), "Back")) return conv;
  conv->Release();
  return nullptr;
}

// Executes "hello" on the conversation and ends it.
bool helloAndEnd(CDDEConv* conv) {
  if (conv == nullptr) return false;
  const bool ok = conv->Exec("hello");
  conv->Terminate();
  conv->Release();
  return ok;
}

class QuietTopic : public CDDETopic {
 public:
  bool Exec(const void*, uint32_t) override { return true; }
};

class PagesTopic : public CDDETopic {
 public:
  bool Exec(const void* data, uint32_t size) override {
    const std::string text(static_cast<const char*>(data), strnlen(static_cast<const char*>(data), size));
    say("exec " + std::to_string(size) + " " + text);
    if (text == "refuse") return false;
    if (text == "quit") {
      QTimer::singleShot(0, qApp, &QCoreApplication::quit);
      return true;
    }
    if (text.rfind("sleep ", 0) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(text.c_str() + 6)));
    if (text.rfind("callback ", 0) == 0)
      say(helloAndEnd(connectBack(GetServer(), text.substr(9))) ? "callback ok" : "callback failed");
    if (text.rfind("sendback ", 0) == 0) {
      CDDEConv* conv = connectBack(GetServer(), text.substr(9));
      QTimer::singleShot(50, qApp, [conv] {
        say("sendback sending");
        say(helloAndEnd(conv) ? "sendback ok" : "sendback failed");
      });
    }
    return true;
  }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) return 2;
  CDDEServer server;
  PagesTopic pages;
  QuietTopic quiet;
  CDDETopic other;
  ValueItem value;
  if (!server.Create(argv[1])) {
    say("create failed " + std::to_string(server.GetLastDdeError()));
    return 1;
  }
  pages.Create("Pages");
  quiet.Create("Quiet");
  other.Create("Other");
  server.AddTopic(&pages);
  server.AddTopic(&quiet);
  server.AddTopic(&other);
  value.Create("Value");
  pages.AddItem(&value);
  say("ready");
  QTimer::singleShot(20000, &app, &QCoreApplication::quit);
  return app.exec();
}
