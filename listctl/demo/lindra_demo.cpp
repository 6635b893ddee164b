// Shows a Lindra list (three columns in two groups, a header, 2,000 rows
// and a back colour) and a Lindra combo in a Qt dialog through the host
// widget, so that both can be looked at and tried with the mouse and keys.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

#include <cstdio>
#include <string>

#include "listctl/combo/combo.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "platform/win/host_widget.h"
#include "platform/win/window.h"

namespace lx = lindra;
namespace pw = plat::win;

namespace {

int g_anchor;

void prop(pw::HWND h, int id, pw::LPARAM v) { pw::SendMessage(h, lx::kMsgSetProperty, static_cast<pw::WPARAM>(id), v); }
void propText(pw::HWND h, int id, const char* t) { prop(h, id, reinterpret_cast<pw::LPARAM>(t)); }
void propFloat(pw::HWND h, int id, float f) { prop(h, id, reinterpret_cast<pw::LPARAM>(&f)); }

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const auto module = reinterpret_cast<pw::HINSTANCE>(&g_anchor);
  lx::LibraryEntry(module, lx::DLL_PROCESS_ATTACH);
  QDialog dlg;
  dlg.setWindowTitle("Lindra");
  auto* layout = new QVBoxLayout(&dlg);
  auto* status = new QLabel("ready", &dlg);
  auto* comboHost = new plat::win::HostWidget(&dlg);
  comboHost->setFillWithFirstChild(false);
  comboHost->setFixedHeight(34);
  auto* listHost = new plat::win::HostWidget(&dlg);
  layout->addWidget(comboHost);
  layout->addWidget(listHost, 1);
  layout->addWidget(status);

  pw::HWND combo = pw::CreateWindow(lx::kComboClass, "", pw::WS_CHILD | pw::WS_VISIBLE | pw::WS_TABSTOP | lx::CBS_DROPDOWNLIST,
                                    4, 4, 220, 24, comboHost->hostWindow(), reinterpret_cast<pw::HMENU>(2), nullptr,
                                    nullptr);
  for (const char* s : {"Deutsch", "English", "Español", "Français", "Italiano", "Nederlands", "Polski", "Português",
                        "Svenska", "Türkçe"})
    pw::SendMessage(combo, lx::CB_ADDSTRING, 0, reinterpret_cast<pw::LPARAM>(s));
  pw::SendMessage(combo, lx::CB_SETCURSEL, 1, 0);

  pw::HWND list = pw::CreateWindow(lx::kListClass, "",
                                   pw::WS_CHILD | pw::WS_VISIBLE | pw::WS_VSCROLL | pw::WS_TABSTOP | lx::LBS_NOTIFY |
                                       lx::LBS_EXTENDEDSEL,
                                   0, 0, 10, 10, listHost->hostWindow(), reinterpret_cast<pw::HMENU>(5), nullptr,
                                   nullptr);
  prop(list, 71, 1);
  prop(list, 32, 3);
  prop(list, 206, 2);
  const char* heads[] = {"Title", "Language", "Level"};
  const float widths[] = {220, 90, 80};
  const int parents[] = {0, 0, 1};
  for (int c = 0; c < 3; ++c) {
    prop(list, 28, c);
    propText(list, 65, heads[c]);
    propFloat(list, 73, widths[c]);
    prop(list, 203, parents[c]);
  }
  prop(list, 197, 0);
  propText(list, 199, "Book");
  prop(list, 197, 1);
  propText(list, 199, "Course");
  prop(list, 58, 1);
  prop(list, 2, 0x00E8F4EC);
  prop(list, 263, 2);  // floating text tips
  const char* langs[] = {"fr", "de", "es", "it", "pl"};
  const char* names[] = {"Le Petit Prince", "Die Verwandlung", "Don Quijote", "Il Gattopardo", "Pan Tadeusz"};
  for (int i = 0; i < 2000; ++i) {
    const std::string row = std::string(names[i % 5]) + " " + std::to_string(i / 5 + 1) + "\t" + langs[i % 5] +
                            "\tLevel " + std::to_string(i % 4 + 1);
    pw::SendMessage(list, lx::LB_ADDSTRING, 0, reinterpret_cast<pw::LPARAM>(row.c_str()));
  }
  listHost->setHandler([&](pw::UINT m, pw::WPARAM w, pw::LPARAM l, pw::LRESULT* r) {
    if (m == lx::kNotifyTipText) {
      // Every cell gets a tip: its text with the row number.
      auto* req = reinterpret_cast<lx::LbxTipRequest*>(l);
      const std::string tip = "Row " + std::to_string(req->row + 1) + ": " + req->text;
      std::snprintf(req->text, sizeof req->text, "%s", tip.c_str());
      req->result = 1;
      *r = 0;
      return true;
    }
    if (m != pw::WM_COMMAND) return false;
    const int sel = static_cast<int>(pw::SendMessage(list, lx::LB_GETCARETINDEX, 0, 0));
    const int count = static_cast<int>(pw::SendMessage(list, lx::LB_GETSELCOUNT, 0, 0));
    status->setText(QString("notification %1, caret %2, %3 selected").arg(pw::HIWORD(w)).arg(sel).arg(count));
    *r = 0;
    return true;
  });
  dlg.resize(460, 420);
  dlg.show();
  const int rc = app.exec();
  lx::LibraryEntry(module, lx::DLL_PROCESS_DETACH);
  return rc;
}
