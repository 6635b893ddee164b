// A Talvane window's panes on a real display, for looking at them and for
// typing into them with real key events: a small installed book opens in a
// document, its book text, so-far pane, scratch pad and strip of Echomarks
// are laid out as the child frame lays them out, the scratch pad holds the
// words heard so far and the so-far pane waits in letter-by-letter mode.
//
//   orv_panes_demo [seconds]
//
// The program runs in a private sandbox (its own data path) on the display
// of DISPLAY, ends after `seconds` (default 60) or when its window closes,
// and prints what the so-far pane and the scratch pad hold on standard
// output.

#include <QApplication>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "platform/testing/sandbox.h"
#include "platform/win/host_widget.h"
#include "player/book/talvane.h"
#include "player/book/tests/document_fixture.h"
#include "player/env/environment.h"
#include "player/shell/tests/panes_book_fixture.h"
#include "player/shell/text_pane_factory.h"
#include "player/views/dlg_show_text.h"
#include "player/views/frm_rich_view.h"
#include "player/views/frm_sc_pad.h"
#include "player/views/frm_so_far.h"
#include "player/views/quote_scroll.h"
#include "player/views/typed_char_router.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const char* display = std::getenv("DISPLAY");
  const std::string keepDisplay = display ? display : "";
  const fs::path base = fs::temp_directory_path() / ("orv_panes_demo_" + std::to_string(::getpid()));
  tvtest::enterSandbox(base);
  if (!keepDisplay.empty()) ::setenv("DISPLAY", keepDisplay.c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", keepDisplay.empty() ? "offscreen" : "xcb", 1);
  QApplication app(argc, argv);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;

  if (!orv::COrv_Environment().CreateDataPath()) return 2;
  const tvtools::book::Book book = panestest::twoEchomarkBook();
  const fs::path content = base / "panes.tvb";
  std::string error;
  if (!tvtools::book::writeBookFile(content, book, error)) {
    std::cerr << error << "\n";
    return 3;
  }
  COrv_Talvane filled;
  filled.SetSourceFile(content.string(), -1);
  if (filled.Open(book.code, COrv_Talvane::kOpenFilled) != 1 || filled.WriteBookInfo() != 1) return 4;

  doctest::Log log;
  doctest::RecordingHost host(log);
  doctest::RecordingSound sound(log);
  orv::views::ModalTextDialog dialog;
  COrv_TvDocument doc(TvDocumentServices{&host, &sound, &dialog, 0});
  if (!doc.OnOpenDocument(book.code)) return 5;

  QWidget window;
  window.setWindowTitle(QStringLiteral("Panes"));
  window.resize(1000, 640);
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* rows = new QSplitter(Qt::Vertical, &window);
  auto* top = new QSplitter(Qt::Horizontal, rows);
  COrv_TextPaneFactory factory([&](int n, int) { doc.GoToQuote(static_cast<unsigned>(n), true, true); });
  const CCreateContext context{&doc};
  auto* rich = static_cast<COrv_FrmRichView*>(factory.CreateRichView(top, context));
  auto* soFar = static_cast<COrv_Frm_SoFar*>(factory.CreateSoFarView(top, context));
  auto* pad = static_cast<COrv_Frm_ScPad*>(factory.CreateScratchPadView(rows, context));
  top->addWidget(rich);
  top->addWidget(soFar);
  rows->addWidget(top);
  rows->addWidget(pad);
  rows->setSizes({400, 200});
  layout->addWidget(rows, 1);
  auto* stripHost = new plat::win::HostWidget(&window);
  stripHost->setFixedHeight(26);
  layout->addWidget(stripHost);
  window.show();

  auto strip = factory.CreateQuoteStrip();
  strip->Create(plat::win::RECT{0, 0, 980, 24}, stripHost->hostWindow(), 222);
  const auto status = doc.GetStatusArray();
  strip->SetItems(&status, static_cast<int>(doc.GetCurrentQuote()));

  orv::views::TypedCharRouter router;
  router.SetPaneFinder([&] { return orv::views::TypedCharRouter::Panes{soFar->Edit(), pad->Edit()}; });
  app.installEventFilter(&router);

  // The learner has typed five words in the scratch pad and is now typing
  // the last one letter by letter.
  pad->Edit()->setPlainText(QStringLiteral("the cat sat in the "));
  pad->Edit()->moveCursor(QTextCursor::End);
  pad->Edit()->Reformat();
  soFar->OnCommand(COrv_Frm_SoFar::kLetterMode);

  QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
  QApplication::exec();
  std::cout << "sofar: " << soFar->Edit()->toPlainText().toStdString() << "\n";
  std::cout << "pad: " << pad->Edit()->toPlainText().toStdString() << "\n";
  std::cout << "status: " << doc.GetQuoteStatus(0) << "\n";
  app.removeEventFilter(&router);
  strip.reset();
  delete rich;
  delete soFar;
  delete pad;
  doc.OnCloseDocument();
  std::error_code ec;
  fs::remove_all(base, ec);
  return 0;
}
