// A main window with one book window of stand-in panes, for looking at the
// window on a real display: the panels, the book window with its index
// panel, and the status bar. Runs until closed, or for the seconds given as
// its first argument.

#include <QApplication>
#include <QTimer>
#include <cstdlib>

#include "player/shell/main_frame.h"
#include "player/shell/tests/stand_ins.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  standin::Factory factory;
  CMainFrame* frame = nullptr;
  standin::BookWindows books(frame, factory, 40, 3);
  bool book = false, playing = false;
  FrameServices services;
  services.createDdeServer = [] { return true; };
  services.documents = &books;
  services.statusFacts = [&]() -> std::optional<COrv_StatusFacts> {
    if (!book) return std::nullopt;
    return COrv_StatusFacts{"The Lighthouse", 0, 2, 9, 40, 3};
  };
  frame = new CMainFrame(services);
  const int32_t on = 1;
  for (int setting : {22, 23, 24, 25}) frame->FrameState().SetValue(setting, &on);
  frame->FrameState().SetUserName("Ada");
  frame->FrameState().SetLoggedIn(1);
  // Listening commands with a book; Play drawn down while it plays.
  for (int id : {115, 118, 120, 119, 225, 125, 124, 140, 158, 159, 126, 193}) {
    frame->Commands().Add(
        id, [&, id] { playing = playing || id == 115; },
        [&, id] { return COrv_CommandTable::State{book, id == 115 && playing}; });
  }
  frame->Commands().Add(152, [&] { playing = false; }, [&] { return COrv_CommandTable::State{book && playing, false}; });
  if (!frame->OnCreate()) return 1;
  frame->show();
  book = true;
  frame->OpenTalvane("LIGHTHOUSE");
  frame->Commands().Execute(115);
  if (argc > 1) QTimer::singleShot(std::atoi(argv[1]) * 1000, &app, &QApplication::quit);
  const int rc = app.exec();
  delete frame;
  return rc;
}
