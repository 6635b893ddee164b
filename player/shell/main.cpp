// orvex: the player. The application object runs the start-up (audio
// device, data path, switches, single instance, log-in, main frame) and the
// shut-down around Qt's event loop. SIGTERM and SIGINT end the loop like a
// closed window, so that the shut-down still runs.

#include <csignal>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QSocketNotifier>

#include "iconlib/client/glyphary_library.h"
#include "player/shell/app.h"
#include "shared/language/orv_language.h"

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  QApplication::setApplicationName("Orvex");
  QApplication::setOrganizationName("Quillon");

  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &qt);
    QObject::connect(notifier, &QSocketNotifier::activated, &qt, [] {
      char byte;
      [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
      QApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
  }

  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);

  // Book levels, categories, languages and sources take their pictures
  // from the icon library beside the program.
  tv::language::setIconLibraryLoader([] { return glyphary::openIconLibrary(); });

  orv::shell::COrv_App app;
  const int code = app.InitInstance(args) ? QApplication::exec() : 0;
  const int exitCode = app.ExitInstance();
  return code != 0 ? code : exitCode;
}
