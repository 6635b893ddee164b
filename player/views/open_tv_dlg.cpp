#include "player/views/open_tv_dlg.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "listctl/core/lbx_instance.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "listctl/props/exports.h"
#include "platform/ui/message_box.h"
#include "platform/text/utf8.h"
#include "platform/win/gdi.h"
#include "platform/win/host_widget.h"
#include "platform/win/window.h"
#include "player/book/book_info.h"
#include "player/env/file_util.h"
#include "shared/buttons/button_host.h"
#include "shared/buttons/orv_button.h"
#include "shared/language/orv_language.h"
#include "shared/skin/orv_skin_frame.h"

namespace orv::views {

namespace pw = plat::win;
namespace lx = lindra;

namespace {

constexpr int kStrCaption = 12010, kStrDescription = 12011, kStrQuotes = 12012, kStrCategoryFilter = 12013,
              kStrDifficultyFilter = 12014, kStrLanguageFilter = 12015, kStrTitles = 12016, kStrOpenTip = 12017,
              kStrRemoveTip = 12018, kStrTitleListTip = 12019, kStrSelectTitle = 20021, kStrConfirmRemove = 20023,
              kStrRemoveFailed = 20024, kStrNoCatalogue = 20270;
constexpr int kEnableRemoveBooks = 1;
constexpr int kInterfaceLanguageSetting = 1;

// The picture kinds of the resource lists: the small pictures of lists 1-4.
constexpr int kPictureKindOffset = 12;
constexpr int kSingleItem = 12;     // ListApplyTo: one cell
constexpr int kSelectedRows = 4;    // ListApplyTo: the selected rows
constexpr int kPictureCentre = 2;   // PictureAlignH
constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000;
constexpr pw::DWORD kListStyle = pw::WS_CHILD | pw::WS_VISIBLE | pw::WS_VSCROLL | pw::WS_TABSTOP | lx::LBS_NOTIFY;
constexpr std::uint16_t kPictureBitmap = 1, kPictureHandle = 0;

// The bitmap buttons: up, down, hover up, hover down, disabled.
struct ButtonFaces {
  int command;
  int faces[5];
  int tipId;
};
constexpr ButtonFaces kOpenFaces{249, {366, 365, 367, 378, 383}, kStrOpenTip};
constexpr ButtonFaces kRemoveFaces{250, {369, 368, 370, 381, 382}, kStrRemoveTip};

// Values the filter lists offer: categories 1-21, difficulties 1-5,
// languages 0-7 (row r stands for r + first).
struct FilterRows {
  int kind;
  int list;
  int first;
  int count;
  int labelId;
};
constexpr FilterRows kFilterRows[] = {
    {COrv_CatalogueFilter::kCategory, 1, 1, 21, kStrCategoryFilter},
    {COrv_CatalogueFilter::kDifficulty, 2, 1, 5, kStrDifficultyFilter},
    {COrv_CatalogueFilter::kLanguage, 3, 0, 8, kStrLanguageFilter},
};

const FilterRows* rowsOf(int kind) {
  for (const auto& r : kFilterRows)
    if (r.kind == kind) return &r;
  return nullptr;
}

int interfaceLanguage() { return static_cast<int>(COrv_Environment().GetSettingValue(kInterfaceLanguageSetting)); }

}  // namespace

// --- The installed books ------------------------------------------------------

std::vector<CatalogueBook> InstalledCatalogue::ReadBooks() {
  std::vector<CatalogueBook> books;
  const int language = interfaceLanguage();
  // Each book's information file is read once, however many values the
  // catalogue takes from it.
  COrv_BookInfo().ForEachInstalledBook([&](COrv_BookInfo& info) {
    CatalogueBook b;
    b.code = info.GetSelectedCode();
    b.title = info.GetTitle(language);
    if (b.title.empty()) b.title = info.GetTitle(-1);
    if (b.title.empty()) b.title = b.code;
    b.description = info.GetDescription(language);
    if (b.description.empty()) b.description = info.GetDescription(-1);
    b.category = info.GetCategory();
    b.difficulty = info.GetDifficulty();
    b.language = info.GetOrigLanguage();
    b.sourceType = info.GetSourceType(-1);
    b.quotes = info.GetNumQuotes();
    books.push_back(std::move(b));
  });
  return books;
}

bool InstalledCatalogue::RemoveBook(const std::string& code) {
  COrv_BookInfo info;
  if (!info.SelectBook(code)) return false;
  namespace fs = std::filesystem;
  std::error_code ec;
  const std::string content = info.GetSourceFile(-1, false);
  if (!content.empty()) {
    // Only a copy the installation made is deleted: one in the book's
    // folder or anywhere under the data path.
    const fs::path file = fs::weakly_canonical(content, ec);
    const auto inside = [&](const std::string& folder) {
      if (folder.empty()) return false;
      const fs::path base = fs::weakly_canonical(folder, ec);
      const auto rel = file.lexically_relative(base);
      return !rel.empty() && *rel.begin() != "..";
    };
    if (!ec && (inside(info.GetBookFolder(false)) || inside(info.GetDataPath())) && fs::is_regular_file(file, ec))
      if (!fs::remove(file, ec)) return false;
  }
  // The menu entry was made under the book's own title.
  const std::string title = info.GetTitle(-1);
  if (!info.Unregister()) return false;
  COrv_FileUtil().DeleteBookShortcut(code, title);
  return true;
}

bool InstalledCatalogue::CanRemove() { return COrv_Environment().IsEnabled(kEnableRemoveBooks); }

// --- The dialog ------------------------------------------------------------------

COrv_OpenTvDlg::COrv_OpenTvDlg(QWidget* parent, CatalogueSource* source)
    : QDialog(parent), source_(source), m_skin(std::make_unique<COrv_SkinFrame>()),
      lang_(-1) {
  if (source_ == nullptr) {
    ownSource_ = std::make_unique<InstalledCatalogue>();
    source_ = ownSource_.get();
  }
  setWindowTitle(text(kStrCaption));
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(16, 36, 16, 16);
  auto label = [&](int id, int row, int col) {
    auto* l = new QLabel(text(id), this);
    grid->addWidget(l, row, col);
    return l;
  };
  label(kStrCategoryFilter, 0, 0);
  label(kStrDifficultyFilter, 0, 1);
  label(kStrLanguageFilter, 0, 2);
  label(kStrTitles, 2, 0);
  label(kStrDescription, 2, 2);

  auto addHost = [&](int row, int col, int rowSpan, int colSpan) {
    auto* host = new pw::HostWidget(this);
    host->setHandler([this](pw::UINT m, pw::WPARAM w, pw::LPARAM l, pw::LRESULT* r) { return onHostMessage(m, w, l, r); });
    host->setMinimumSize(180, 120);
    grid->addWidget(host, row, col, rowSpan, colSpan);
    hosts_.push_back(host);
    return host;
  };
  const std::pair<int, int> filterPlaces[] = {{kCategoryList, 0}, {kDifficultyList, 1}, {kLanguageList, 2}};
  const int filterKinds[] = {COrv_CatalogueFilter::kCategory, COrv_CatalogueFilter::kDifficulty,
                             COrv_CatalogueFilter::kLanguage};
  for (int i = 0; i < 3; ++i) {
    auto* host = addHost(1, filterPlaces[i].second, 1, 1);
    filters_[filterKinds[i]].Create(kListStyle, pw::RECT{0, 0, 180, 120}, host->hostWindow(),
                                    static_cast<unsigned>(filterPlaces[i].first));
  }
  auto* titleHost = addHost(3, 0, 3, 2);
  titleHost->setMinimumSize(340, 220);
  titles_.Create(kListStyle, pw::RECT{0, 0, 340, 220}, titleHost->hostWindow(), kTitles);

  description_ = new QPlainTextEdit(this);
  description_->setReadOnly(true);
  grid->addWidget(description_, 3, 2);
  auto* quotesRow = new QHBoxLayout;
  quotesRow->addWidget(new QLabel(text(kStrQuotes), this));
  count_ = new QLabel(this);
  count_->setStyleSheet("background: white; padding: 1px 4px;");
  count_->setMinimumWidth(50);
  quotesRow->addWidget(count_);
  quotesRow->addStretch();
  grid->addLayout(quotesRow, 4, 2);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto makeButton = [&](const ButtonFaces& f, tv::buttons::ButtonHost** host) {
    auto button = std::make_unique<tv::buttons::COrv_ButtonEx>();
    button->SetBitmaps5(f.faces[0], f.faces[1], f.faces[2], f.faces[3], f.faces[4]);
    button->SetToolTipText(lang_.LoadString(f.tipId));
    button->SetHoverEnable(true, true);
    button->SetMode(tv::buttons::COrv_ButtonEx::kDownWhileHeld);
    *host = new tv::buttons::ButtonHost(*button, [this](int id) { onButton(id); }, this);
    (*host)->CreateButton(f.command, QSize(20, 20));
    buttons->addWidget(*host);
    return button;
  };
  open_ = makeButton(kOpenFaces, &openHost_);
  remove_ = makeButton(kRemoveFaces, &removeHost_);
  canRemove_ = source_->CanRemove();
  if (!canRemove_) remove_->Disable();
  grid->addLayout(buttons, 5, 2);

  resize(720, 520);
  m_skin->Attach(this);
  m_skin->SetCaption(text(kStrCaption));

  buildLists();
}

QString COrv_OpenTvDlg::text(int id) const { return QString::fromStdString(lang_.LoadString(id)); }

COrv_OpenTvDlg::~COrv_OpenTvDlg() {
  // What the hosts report from here on (their windows going, hidden with
  // the dialog) finds no dialog to handle it.
  for (pw::HostWidget* host : hosts_) host->setHandler({});
  openHost_->SetClicked({});
  removeHost_->SetClicked({});
  // The list windows go before the hosts they live in.
  for (const CnwListBox* list : {&titles_, &filters_[1], &filters_[2], &filters_[3]})
    if (list->IsControl()) pw::DestroyWindow(list->GetSafeHwnd());
}

tv::buttons::ButtonHost* COrv_OpenTvDlg::ButtonWidget(int command) const {
  return command == kOpenCommand ? openHost_ : command == kRemoveCommand ? removeHost_ : nullptr;
}

void COrv_OpenTvDlg::onButton(int command) {
  if (command == kOpenCommand) OnOpen();
  else if (command == kRemoveCommand) OnRemove();
}

void COrv_OpenTvDlg::keyPressEvent(QKeyEvent* e) {
  // Return opens the selected title wherever the focus is. The lists keep
  // Space and Shift+Delete.
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    OnOpen();
    return;
  }
  QDialog::keyPressEvent(e);
}

pw::HBITMAP COrv_OpenTvDlg::PictureOf(int id) {
  if (id < 0) return nullptr;
  const auto [it, added] = pictures_.try_emplace(id, nullptr);
  if (!added) return it->second;
  // The same forty small pictures serve every opening of the catalogue:
  // they are made once per interface language and kept for the program's
  // life (a bitmap the window layer no longer knows is made again).
  static std::map<std::pair<int, int>, pw::HBITMAP> made;
  pw::HBITMAP& bitmap = made[{lang_.GetLanguage(), id}];
  pw::BITMAP bm;
  if (!bitmap || pw::GetObject(bitmap, sizeof bm, &bm) == 0) bitmap = tv::buttons::LoadResourceBitmap(id, true);
  it->second = bitmap;
  return bitmap;
}

void COrv_OpenTvDlg::setCellPicture(const CnwListBox& list, int row, int column, int id) {
  setRowPictures(list, row, column, {id});
}

void COrv_OpenTvDlg::setRowPictures(const CnwListBox& list, int row, int firstColumn, std::initializer_list<int> ids) {
  // One cell at a time, the row chosen once; the columns centre their
  // pictures (set up with the list).
  list.SetListApplyTo(kSingleItem);
  list.SetRow(row);
  int column = firstColumn;
  for (const int id : ids) {
    const pw::HBITMAP bitmap = PictureOf(id);
    list.SetCol(static_cast<std::int16_t>(column++));
    // No bitmap clears the cell's picture (an empty block means none).
    const auto handle = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(bitmap));
    list.SetPicture(bitmap ? kPictureBitmap : 0, kPictureHandle, handle, 0);
  }
}

pw::HWND COrv_OpenTvDlg::FilterList(int kind) const {
  return kind >= COrv_CatalogueFilter::kCategory && kind <= COrv_CatalogueFilter::kLanguage
             ? filters_[kind].GetSafeHwnd()
             : nullptr;
}

void COrv_OpenTvDlg::setUpList(const CnwListBox& list, int frozen, const std::vector<std::pair<int, int>>& columns) {
  if (!list.IsControl()) return;
  // The catalogue's small dialog font (the font layer stands in for it).
  list.SetFontName("MS Sans Serif");
  list.SetFontBold(0);
  list.SetFontSize(8.0f);
  list.SetTextTip(2);
  list.SetTextTipDelay(500);
  list.SetAllowColResize(0);
  list.SetNoIntegralHeight(1);
  list.SetLineApplyTo(2);
  list.SetLineStyle(1);
  list.SetRowHeight(21);
  list.SetColumnWidthScale(1);
  list.SetColsFrozen(static_cast<std::int16_t>(frozen));
  // Selected rows: black on white with a focus rectangle.
  list.SetListApplyTo(kSelectedRows);
  list.SetSelDrawFocusRect(1);
  list.SetBackColor(kWhite);
  list.SetForeColor(kBlack);
  list.SetEnableKeyEvents(1);
  list.SetEnableMouseEvents(1);
  list.SetColumns(static_cast<std::int16_t>(columns.size()));
  for (size_t c = 0; c < columns.size(); ++c) {
    list.SetCol(static_cast<std::int16_t>(c));
    list.SetColWidth(static_cast<float>(columns[c].first));
    list.SetColAlignH(static_cast<std::int16_t>(columns[c].second));
    list.SetColPictureAlignH(kPictureCentre);
  }
}

void COrv_OpenTvDlg::buildLists() {
  books_ = source_->ReadBooks();
  filtered_ = filter_.Apply(books_);
  setUpList(titles_, 4, {{21, 2}, {21, 2}, {21, 2}, {21, 2}, {kTitleWidth, 1}});
  fillTitles();
  for (int kind : {1, 2, 3}) {
    setUpList(filters_[kind], 2, {{17, 2}, {21, 2}, {180, 1}});
    fillFilterList(kind);
  }
}

void COrv_OpenTvDlg::fillFilterList(int kind) {
  const CnwListBox& list = filters_[kind];
  const FilterRows* rows = rowsOf(kind);
  if (!list.IsControl() || !rows) return;
  pw::SendMessage(list.GetSafeHwnd(), lx::LB_RESETCONTENT, 0, 0);
  for (int r = 0; r < rows->count; ++r) {
    const std::string row = "\t\t" + lang_.LoadTableString(rows->list, r + rows->first);
    const auto at = pw::SendMessage(list.GetSafeHwnd(), lx::LB_ADDSTRING, 0, reinterpret_cast<pw::LPARAM>(row.c_str()));
    if (at < 0) continue;
    const int n = static_cast<int>(at);
    setRowPictures(list, n, 0,
                   {filter_.IsTicked(kind, r) ? kPictureTicked : kPictureUnticked,
                    COrv_Language::GetTableResourceId(rows->list + kPictureKindOffset, r + rows->first)});
  }
}

void COrv_OpenTvDlg::fillTitles() {
  pw::SendMessage(titles_.GetSafeHwnd(), lx::LB_RESETCONTENT, 0, 0);
  if (filtered_.empty()) {
    // Nothing listed: nothing is selected, so no details either.
    showDetails(-1);
    return;
  }
  for (size_t i = 0; i < filtered_.size(); ++i) {
    const CatalogueBook& b = books_[static_cast<size_t>(filtered_[i])];
    const std::string row = "\t\t\t\t" + b.title;
    const auto at = pw::SendMessage(titles_.GetSafeHwnd(), lx::LB_ADDSTRING, 0, reinterpret_cast<pw::LPARAM>(row.c_str()));
    if (at < 0) continue;
    const int n = static_cast<int>(at);
    // Values outside the lists (category 0 or above 21, an unset or
    // unknown language, a source of no known kind) show no picture.
    setRowPictures(titles_, n, 0,
                   {COrv_Language::GetTableResourceId(13, b.category),
                    COrv_Language::GetTableResourceId(14, b.difficulty),
                    COrv_Language::GetTableResourceId(15, b.language == 32 ? 0 : b.language),
                    COrv_Language::GetTableResourceId(16, COrv_CatalogueFilter::SourceKind(b.sourceType))});
    pw::SendMessage(titles_.GetSafeHwnd(), lx::LB_SETITEMDATA, static_cast<pw::WPARAM>(n), static_cast<pw::LPARAM>(i));
  }
  pw::SendMessage(titles_.GetSafeHwnd(), lx::LB_SETCURSEL, 0, 0);
  showDetails(0);
}

void COrv_OpenTvDlg::showDetails(int index) {
  if (index < 0 || index >= static_cast<int>(filtered_.size())) {
    description_->setPlainText(QString());
    count_->setText(QString());
    return;
  }
  const CatalogueBook& b = books_[static_cast<size_t>(filtered_[static_cast<size_t>(index)])];
  description_->setPlainText(QString::fromStdString(b.description));
  count_->setText(QString::number(b.quotes));
}

int COrv_OpenTvDlg::selectedIndex() const {
  const auto row = pw::SendMessage(titles_.GetSafeHwnd(), lx::LB_GETCURSEL, 0, 0);
  if (row < 0) return -1;
  const auto data = pw::SendMessage(titles_.GetSafeHwnd(), lx::LB_GETITEMDATA, static_cast<pw::WPARAM>(row), 0);
  return data >= 0 && data < static_cast<pw::LRESULT>(filtered_.size()) ? static_cast<int>(data) : -1;
}

std::vector<std::string> COrv_OpenTvDlg::ListedCodes() const {
  std::vector<std::string> codes;
  const auto n = pw::SendMessage(titles_.GetSafeHwnd(), lx::LB_GETCOUNT, 0, 0);
  for (pw::LRESULT r = 0; r < n; ++r) {
    const auto data = pw::SendMessage(titles_.GetSafeHwnd(), lx::LB_GETITEMDATA, static_cast<pw::WPARAM>(r), 0);
    if (data >= 0 && data < static_cast<pw::LRESULT>(filtered_.size()))
      codes.push_back(books_[static_cast<size_t>(filtered_[static_cast<size_t>(data)])].code);
  }
  return codes;
}

QString COrv_OpenTvDlg::DescriptionText() const { return description_->toPlainText(); }
QString COrv_OpenTvDlg::QuoteCountText() const { return count_->text(); }

void COrv_OpenTvDlg::OnOpen() {
  const int i = selectedIndex();
  if (i < 0) {
    plat::ui::AppMessageBox(lang_.LoadString(kStrSelectTitle), plat::ui::MB_OK);
    return;
  }
  m_bookCode = books_[static_cast<size_t>(filtered_[static_cast<size_t>(i)])].code;
  accept();
}

void COrv_OpenTvDlg::OnRemove() {
  // A removal the administrator forbids is refused however it is asked.
  if (!canRemove_) return;
  // Open and Remove both act on the selected title.
  const int i = selectedIndex();
  if (i < 0) {
    plat::ui::AppMessageBox(lang_.LoadString(kStrSelectTitle), plat::ui::MB_OK);
    return;
  }
  const CatalogueBook book = books_[static_cast<size_t>(filtered_[static_cast<size_t>(i)])];
  std::string question = lang_.LoadString(kStrConfirmRemove);
  if (const auto at = question.find("%s"); at != std::string::npos) question.replace(at, 2, book.title);
  if (plat::ui::AppMessageBox(question, plat::ui::MB_YESNO | plat::ui::MB_ICONQUESTION) != plat::ui::IDYES) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool removed = source_->RemoveBook(book.code);
  QApplication::restoreOverrideCursor();
  if (!removed) {
    plat::ui::AppMessageBox(lang_.LoadString(kStrRemoveFailed), plat::ui::MB_OK);
    return;
  }
  books_ = source_->ReadBooks();
  filtered_ = filter_.Apply(books_);
  fillTitles();
}

int COrv_OpenTvDlg::kindOfList(int controlId) {
  switch (controlId) {
    case kCategoryList: return COrv_CatalogueFilter::kCategory;
    case kDifficultyList: return COrv_CatalogueFilter::kDifficulty;
    case kLanguageList: return COrv_CatalogueFilter::kLanguage;
    default: return 0;
  }
}

void COrv_OpenTvDlg::toggleRow(int kind) {
  const CnwListBox& list = filters_[kind];
  const auto row = pw::SendMessage(list.GetSafeHwnd(), lx::LB_GETCURSEL, 0, 0);
  if (row < 0) return;
  const bool ticked = filter_.Toggle(kind, static_cast<int>(row));
  setCellPicture(list, static_cast<int>(row), 0, ticked ? kPictureTicked : kPictureUnticked);
  pw::InvalidateRect(list.GetSafeHwnd(), nullptr, pw::FALSE);
  filtered_ = filter_.Apply(books_);
  fillTitles();
}

void COrv_OpenTvDlg::clearFilter(int kind) {
  const CnwListBox& list = filters_[kind];
  const auto n = pw::SendMessage(list.GetSafeHwnd(), lx::LB_GETCOUNT, 0, 0);
  if (n <= 0) return;
  for (int r = 0; r < static_cast<int>(n); ++r)
    if (filter_.IsTicked(kind, r)) setCellPicture(list, r, 0, kPictureUnticked);
  filter_.Clear(kind);
  pw::InvalidateRect(list.GetSafeHwnd(), nullptr, pw::FALSE);
  pw::SendMessage(list.GetSafeHwnd(), lx::LB_SETCURSEL, 0, 0);
  filtered_ = filter_.Apply(books_);
  fillTitles();
}

void COrv_OpenTvDlg::answerTip(int controlId, void* record) {
  auto* req = static_cast<lx::LbxTipRequest*>(record);
  std::string tip;
  bool known = false;
  if (const int kind = kindOfList(controlId)) {
    tip = lang_.LoadString(rowsOf(kind)->labelId);
    known = true;
  } else if (controlId == kTitles) {
    if (req->row < 0 || req->column < 0) return;
    const auto data = pw::SendMessage(titles_.GetSafeHwnd(), lx::LB_GETITEMDATA, static_cast<pw::WPARAM>(req->row), 0);
    if (data < 0 || data >= static_cast<pw::LRESULT>(filtered_.size())) return;
    const CatalogueBook& b = books_[static_cast<size_t>(filtered_[static_cast<size_t>(data)])];
    known = true;
    switch (req->column) {
      case 0: tip = b.category >= 1 ? lang_.LoadTableString(1, b.category) : std::string(); break;
      case 1: tip = b.difficulty >= 1 ? lang_.LoadTableString(2, b.difficulty) : std::string(); break;
      case 2: tip = b.language >= 0 ? lang_.LoadTableString(3, b.language == 32 ? 0 : b.language) : std::string(); break;
      case 3: {
        const int k = COrv_CatalogueFilter::SourceKind(b.sourceType);
        tip = k <= 3 ? lang_.LoadTableString(4, k) : std::string();
        break;
      }
      case 4: tip = lang_.LoadString(kStrTitleListTip); break;
      default: return;  // the record stays as the list made it
    }
  }
  if (!known) return;
  if (tip.empty()) {
    req->result = 0;
    return;
  }
  WriteTipText(record, tip);
}

void COrv_OpenTvDlg::WriteTipText(void* record, std::string_view tip) {
  auto* req = static_cast<lx::LbxTipRequest*>(record);
  // The record's buffer is fixed: a longer text is cut at a character
  // boundary, never overrun.
  const std::string_view cut = plat::text::cutToBytes(tip, lx::kTipTextSize - 1);
  std::memcpy(req->text, cut.data(), cut.size());
  req->text[cut.size()] = '\0';
  req->result = 1;
}

bool COrv_OpenTvDlg::onHostMessage(unsigned msg, pw::WPARAM wParam, pw::LPARAM lParam, pw::LRESULT* result) {
  *result = 0;
  const int id = static_cast<int>(pw::LOWORD(static_cast<pw::ULONG_PTR>(wParam)));
  switch (msg) {
    case pw::WM_COMMAND: {
      if (id != kTitles) return false;
      const unsigned code = pw::HIWORD(static_cast<pw::ULONG_PTR>(wParam));
      if (code == lx::LBN_SELCHANGE) {
        showDetails(selectedIndex());
      } else if (code == lx::LBN_DBLCLK) {
        OnOpen();
      }
      return true;
    }
    case lx::kNotifyLButtonDown:
      if (const int kind = kindOfList(id)) toggleRow(kind);
      return true;
    case lx::kNotifyKeyDown: {
      const int kind = kindOfList(id);
      auto* key = reinterpret_cast<lx::LbxKeyNotify*>(lParam);
      if (key == nullptr) return true;
      if (!kind) return true;
      if (key->key == 32) {
        toggleRow(kind);
      } else if (key->key == 46 && (key->shifts & 1)) {
        clearFilter(kind);
      }
      return true;
    }
    case lx::kNotifyTipText:
      if (lParam) answerTip(id, reinterpret_cast<void*>(lParam));
      return true;
    default:
      return false;
  }
}

std::string RunOpenTvDlg(QWidget* parent) {
  // The list controls' window classes: those of the loaded list library
  // when it registered them in this program's window layer, else the
  // library's code linked into the program registers them once.
  static int module;
  pw::WNDCLASS wc{};
  static const bool registered =
      pw::GetClassInfo(nullptr, lx::kListClass, &wc) ||
      lx::LibraryEntry(reinterpret_cast<pw::HINSTANCE>(&module), lx::DLL_PROCESS_ATTACH) == 1;
  if (!registered) {
    plat::ui::AppMessageBox(COrv_Language().LoadString(kStrNoCatalogue), plat::ui::MB_ICONEXCLAMATION);
    return {};
  }
  COrv_OpenTvDlg dlg(parent);
  // The command that opens the catalogue waits with a busy cursor; the
  // learner picks the title with the normal one.
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int answer = dlg.exec();
  QApplication::restoreOverrideCursor();
  if (answer != QDialog::Accepted) return {};
  return dlg.GetBookCode();
}

}  // namespace orv::views
