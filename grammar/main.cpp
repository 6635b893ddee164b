// brindle: the grammar browser. Started by the player, it shows the grammar
// pages the player asks for over DDE until the player closes it.

#include <QApplication>
#include <cstdio>

#include "grammar/brindle_app.h"
#include "platform/ui/message_box.h"
#include "platform/ui/quit_on_signal.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  QApplication::setApplicationName("Brindle");
  QApplication::setOrganizationName("Quillon");
  plat::ui::setApplicationCaption("Brindle");
  // A terminated browser still cleans up its working copies.
  plat::ui::quitOnTerminationSignals(qt);

  int code = 0;
  {
    CBrindleApp app;
    if (app.InitInstance()) QApplication::exec();
    code = app.ExitInstance();
  }
  if (code > 255 || code < 0) {
    std::fprintf(stderr, "%d\n", code);
    return 1;
  }
  return code;
}
