#pragma once
// Stand-ins for the pieces the book windows are filled with by others: a
// strip that behaves as the index panel's strip must and records the calls
// it gets, plain panes that paint the window pattern and say which pane
// they are, and a factory that makes them (or refuses one of them).

#include <QPainter>
#include <algorithm>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/window.h"
#include "player/shell/child_view_factory.h"
#include "player/shell/main_frame.h"
#include "player/shell/three_way_splitter_frame.h"
#include "player/shell/quote_strip.h"
#include "player/views/view_ex_split_wnd.h"

namespace standin {

class RecordingStrip : public COrv_QuoteStrip {
 public:
  static constexpr const char* kClass = "StandInStrip";
  explicit RecordingStrip(std::vector<std::string>* log) : log_(log) {}
  ~RecordingStrip() override {
    if (plat::win::IsWindow(hwnd_)) plat::win::DestroyWindow(hwnd_);
  }
  bool Create(const plat::win::RECT& r, plat::win::HWND parent, int id) override {
    plat::win::WNDCLASS wc;
    if (!plat::win::GetClassInfo(nullptr, kClass, &wc)) {
      wc = plat::win::WNDCLASS{};
      wc.lpfnWndProc = plat::win::DefWindowProc;
      wc.lpszClassName = kClass;
      plat::win::RegisterClass(&wc);
    }
    rect = r;
    createdId = id;
    hwnd_ = plat::win::CreateWindowEx(0, kClass, "", plat::win::WS_CHILD | plat::win::WS_VISIBLE, r.left, r.top,
                                      r.right - r.left, r.bottom - r.top, parent, nullptr, nullptr, nullptr);
    note("Create");
    return hwnd_ != nullptr;
  }
  plat::win::HWND GetSafeHwnd() const override { return hwnd_; }
  int GetCount() const override { return static_cast<int>(cells.size()) - 1; }
  int GetFirstVisible() const override { return first; }
  void ScrollPrev() override {
    note("ScrollPrev");
    --first;
  }
  void ScrollNext() override {
    note("ScrollNext");
    ++first;
  }
  void PagePrev() override {
    note("PagePrev");
    first = std::max(1, first - page);
  }
  void PageNext() override {
    note("PageNext");
    first = std::min(GetCount(), first + page);
  }
  void SetFirstVisible(int n) override {
    note("SetFirstVisible");
    first = GetCount() > 0 ? std::clamp(n, 1, GetCount()) : GetCount();
  }
  bool SetCurrent(int n) override {
    note("SetCurrent " + std::to_string(n));
    if (GetCount() < 1 || n < 1 || n > GetCount()) return false;
    current = n;
    return true;
  }
  bool SetItems(const std::vector<std::uint32_t>* c, int n) override {
    note("SetItems");
    if (c == nullptr) return false;
    cells = *c;
    SetCurrent(n);
    return true;
  }
  bool UpdateItems(const std::vector<std::uint32_t>* c) override {
    note("UpdateItems " + std::to_string(c ? c->size() - 1 : 0));
    if (c == nullptr) return false;
    cells = *c;
    return true;
  }

  std::vector<std::uint32_t> cells{0};
  int first = 1;
  int current = 0;
  int page = 9;  // cells of a 240-pixel strip
  plat::win::RECT rect{};
  int createdId = -1;

 private:
  void note(const std::string& call) {
    if (log_ != nullptr) log_->push_back(call);
  }
  std::vector<std::string>* log_;
  plat::win::HWND hwnd_ = nullptr;
};

// A pane that paints the window pattern and a label.
class Pane : public QWidget {
 public:
  Pane(const char* name, QWidget* parent) : QWidget(parent) { setObjectName(name); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QBrush brush;
    CViewExSplitWnd::MakePatternBrush(this, &brush);
    p.fillRect(rect(), brush);
    p.setPen(QColor(90, 60, 10));
    p.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, objectName());
  }
};

class Factory : public COrv_ChildViewFactory {
 public:
  QWidget* CreateRichView(QWidget* parent, const CCreateContext& c) override { return make("book text", parent, c); }
  QWidget* CreateSoFarView(QWidget* parent, const CCreateContext& c) override { return make("so far", parent, c); }
  QWidget* CreateScratchPadView(QWidget* parent, const CCreateContext& c) override {
    return make("scratch pad", parent, c);
  }
  std::unique_ptr<COrv_QuoteStrip> CreateQuoteStrip() override {
    auto s = std::make_unique<RecordingStrip>(&log);
    strip = s.get();
    return s;
  }

  std::string refuse;  // the pane this factory cannot make
  std::vector<std::string> log;
  std::vector<std::string> made;
  RecordingStrip* strip = nullptr;
  const CCreateContext* lastContext = nullptr;

 private:
  QWidget* make(const char* name, QWidget* parent, const CCreateContext& c) {
    lastContext = &c;
    if (refuse == name) return nullptr;
    made.push_back(name);
    return new Pane(name, parent);
  }
};

// Book windows of stand-in panes in the main frame's client area. The
// book "MISSING" cannot be opened; every other opens with `cells`
// Echomarks, `current` current.
class BookWindows : public TalvaneDocuments {
 public:
  BookWindows(CMainFrame*& frame, Factory& factory, int cells, int current)
      : frame_(frame), factory_(factory), cells_(cells), current_(current) {}
  bool OpenDocumentFile(const std::string& code) override {
    if (code == "MISSING") return false;
    auto* child = new C3WaySplitterFrame(&factory_, &frame_->FrameState());
    child->setWindowTitle(QString::fromStdString(code));
    if (!child->Create(frame_->Client(), CCreateContext{})) {
      delete child;
      return false;
    }
    std::vector<std::uint32_t> status(static_cast<std::size_t>(cells_) + 1, 1);
    status[0] = 0;
    child->FillQuoteIndex(status, current_);
    return true;
  }
  bool HasActiveDocument() const override { return frame_->GetActiveChildFrame() != nullptr; }
  void CloseActiveDocument() override { delete frame_->GetActiveChildFrame(); }

 private:
  CMainFrame*& frame_;
  Factory& factory_;
  int cells_;
  int current_;
};

}  // namespace standin
