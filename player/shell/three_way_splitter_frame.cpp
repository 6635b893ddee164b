#include "player/shell/three_way_splitter_frame.h"

#include <QIcon>
#include <QMdiArea>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include "player/shell/frame_state.h"
#include "player/shell/panels.h"

namespace {

// The book window's icon: an open book in the window's colours.
QIcon bookIcon() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(120, 70, 10), 1.2));
  p.setBrush(QColor(255, 244, 214));
  p.drawRoundedRect(QRectF(1.5, 3.5, 6, 10), 1.5, 1.5);
  p.drawRoundedRect(QRectF(8.5, 3.5, 6, 10), 1.5, 1.5);
  p.setPen(QPen(QColor(180, 40, 20), 1));
  for (int y : {6, 8, 10}) {
    p.drawLine(3, y, 6, y);
    p.drawLine(10, y, 13, y);
  }
  return QIcon(pixmap);
}

COrv_QuoteIndexPanel::StripFactory stripFactoryOf(COrv_ChildViewFactory* factory) {
  if (factory == nullptr) return {};
  return [factory] { return factory->CreateQuoteStrip(); };
}
}  // namespace

C3WaySplitterFrame::C3WaySplitterFrame(COrv_ChildViewFactory* factory, const COrv_FrameState* state,
                                       QWidget* parent)
    : QMdiSubWindow(parent), factory_(factory), state_(state), indexPanel_(stripFactoryOf(factory)) {
  // A caption with the maximise box only: no system menu, no sizing border,
  // no minimise box.
  setWindowFlags(kWindowFlags);
  setSystemMenu(nullptr);
  setWindowIcon(bookIcon());
  setAttribute(Qt::WA_DeleteOnClose, false);
  registerCommands();
}

C3WaySplitterFrame::~C3WaySplitterFrame() {
  // The host holds the panel's window: it goes before the panel does.
  delete indexHost_;
  indexHost_ = nullptr;
}

void C3WaySplitterFrame::registerCommands() {
  using P = COrv_QuoteIndexPanel;
  const struct {
    int id;
    void (P::*scroll)();
  } commands[] = {
      {P::kScrollFastBack, &P::ScrollFastBack},
      {P::kScrollBack, &P::ScrollBack},
      {P::kScrollForward, &P::ScrollForward},
      {P::kScrollFastForward, &P::ScrollFastForward},
  };
  for (const auto& c : commands) {
    const int id = c.id;
    const auto scroll = c.scroll;
    commands_.Add(
        id, [this, scroll] { (indexPanel_.*scroll)(); },
        [this, id] { return COrv_CommandTable::State{indexPanel_.ScrollEnabled(id), false}; });
  }
  commands_.AddStateListener([this] { indexPanel_.UpdateFromCommands(commands_); });
}

bool C3WaySplitterFrame::OnCreate() {
  if (client_ != nullptr) return false;
  client_ = new QWidget(this);
  auto* layout = new QVBoxLayout(client_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  setWidget(client_);

  indexPanel_.SetBackgroundColor(plat::win::RGB(252, 204, 36));
  indexHost_ = new PanelHost(indexPanel_, client_, true);
  indexHost_->setFixedHeight(COrv_QuoteIndexPanel::kHeight);
  if (!indexPanel_.Create(indexHost_->hostWindow(), COrv_QuoteIndexPanel::kBarId)) return false;
  // A click runs the frame's command; a refused one puts the buttons back.
  indexPanel_.SetCommandSink([this](int id) {
    if (!commands_.Execute(id)) indexPanel_.UpdateFromCommands(commands_);
  });
  layout->addWidget(indexHost_);
  indexHost_->setVisible(state_ != nullptr && state_->GetInt(kSettingShowIndex) != 0);
  indexPanel_.UpdateFromCommands(commands_);
  return true;
}

bool C3WaySplitterFrame::OnCreateClient(const CCreateContext& context) {
  if (client_ == nullptr || factory_ == nullptr || outer_ != nullptr) return false;
  auto* layout = static_cast<QVBoxLayout*>(client_->layout());
  outer_ = new CViewExSplitWnd(Qt::Vertical, client_);
  layout->insertWidget(0, outer_, 1);
  inner_ = new CViewExSplitWnd(Qt::Horizontal, outer_);
  outer_->addWidget(inner_);
  scratch_ = factory_->CreateScratchPadView(outer_, context);
  if (scratch_ == nullptr) return false;
  outer_->addWidget(scratch_);
  rich_ = factory_->CreateRichView(inner_, context);
  if (rich_ == nullptr) return false;
  inner_->addWidget(rich_);
  soFar_ = factory_->CreateSoFarView(inner_, context);
  if (soFar_ == nullptr) return false;
  inner_->addWidget(soFar_);

  inner_->setMinimumHeight(kRowMinimum);
  scratch_->setMinimumHeight(kRowMinimum);
  rich_->setMinimumWidth(kLeftMinimum);
  soFar_->setMinimumWidth(kRightMinimum);
  outer_->SetResizeHandler([this](QSize size) { layoutPanes(size); });
  initialised_ = true;
  return true;
}

bool C3WaySplitterFrame::Create(QMdiArea* area, const CCreateContext& context) {
  if (!OnCreate() || !OnCreateClient(context)) return false;
  if (area != nullptr) area->addSubWindow(this, kWindowFlags);
  // A new book window always opens maximised.
  showMaximized();
  return true;
}

C3WaySplitterFrame::PaneSizes C3WaySplitterFrame::SizesFor(int w, int h) {
  PaneSizes s;
  s.width = w;
  s.lower = h / 2;
  s.upper = h - h / 2;
  s.left = w / 2;
  s.right = w - w / 2;
  return s;
}

void C3WaySplitterFrame::layoutPanes(QSize client) {
  if (!initialised_) return;
  // The halves of the area the panes have (the client area less the index
  // panel), not of the window with its caption and borders, so that the
  // rows fit.
  sizes_ = SizesFor(client.width(), client.height());
  const int bar = outer_->handleWidth();
  outer_->setSizes({sizes_.upper, std::max(0, client.height() - bar - sizes_.upper)});
  inner_->setSizes({sizes_.left, std::max(0, client.width() - inner_->handleWidth() - sizes_.left)});
}

plat::win::BOOL C3WaySplitterFrame::FillQuoteIndex(const std::vector<std::uint32_t>& status, int n) {
  indexPanel_.UpdateItems(status);
  const plat::win::BOOL selected = indexPanel_.SelectQuote(n, false);
  commands_.NotifyStateChanged();
  return selected;
}

plat::win::BOOL C3WaySplitterFrame::RefillQuoteIndex(const std::vector<std::uint32_t>& status, int n) {
  return FillQuoteIndex(status, n);
}

plat::win::BOOL C3WaySplitterFrame::ShowQuoteInIndex(int n) {
  const plat::win::BOOL selected = indexPanel_.SelectQuote(n, true);
  commands_.NotifyStateChanged();
  return selected;
}

void C3WaySplitterFrame::ShowIndexPanel(bool show) {
  if (indexHost_ != nullptr) indexHost_->setVisible(show);
  update();
}

bool C3WaySplitterFrame::IsIndexPanelShown() const { return indexHost_ != nullptr && !indexHost_->isHidden(); }
