#include "player/book/tv_document.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include <QString>

#include "platform/audio/audio.h"
#include "platform/ui/message_box.h"
#include "player/book/book_info.h"
#include "player/env/msg_box.h"
#include "player/env/users.h"
#include "shared/language/english_module.h"
#include "shared/language/orv_language.h"

namespace fs = std::filesystem;

namespace {

constexpr int kStrIntroduction = 44;
constexpr int kStrComment = 45;
constexpr int kStrDictionary = 46;
constexpr int kStrRestoreSession = 55;
constexpr int kStrSelectError = 20027;
constexpr int kStrProlog = 20041;
constexpr int kStrFormatError = 20045;
constexpr int kStrQuoteError = 20047;
constexpr int kStrInsertMedium = 20068;
constexpr int kStrNotFoundInPath = 20261;
constexpr int kStrAddAlternativePath = 20262;
constexpr int kStrBookUnreadable = 20290;
constexpr int kStrTextUnreadable = 20291;
constexpr int kStrDamagedQuotes = 20292;
constexpr int kStrProgressNotSaved = 20571;

constexpr int kDialogIntroduction = 133;
constexpr int kDialogComment = 132;
constexpr int kDialogDictionary = 147;

constexpr std::size_t kMaxJingleNameChars = 260;
constexpr char32_t kDefaultMaskChar = U'\u2022';
constexpr const char* kJingleResource = "WAVE_TADA";

// Kinds that a check needs: everything but the audio, whose files need not
// be unpacked to compare texts.
constexpr int kCheckKinds = COrv_Talvane::kAllKinds & ~COrv_InfoBundle::kWaves;
constexpr int kBookTextKinds = COrv_InfoBundle::kWordText | COrv_InfoBundle::kComment | COrv_InfoBundle::kIntroduction;

std::string loadString(int id) { return COrv_Language().LoadString(id); }

int messageBox(const std::string& text, int captionId, std::uint32_t flags) {
  return plat::ui::MessageBox(text, loadString(captionId), flags);
}

std::string asciiUpper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

std::string asciiLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// The number of code points of UTF-8 text.
std::int32_t codePoints(const std::string& s) {
  std::int32_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

void trimLeft(std::string& s, const char* set) { s.erase(0, s.find_first_not_of(set)); }

// Replaces the first "%s" of a text.
std::string replaceFirst(std::string text, const std::string& what, const std::string& with) {
  const std::size_t at = text.find(what);
  if (at != std::string::npos) text.replace(at, what.size(), with);
  return text;
}

class WaitCursor {
 public:
  explicit WaitCursor(TvDocumentHost* host) : host_(host) {
    if (host_) host_->BeginWaitCursor();
  }
  ~WaitCursor() {
    if (host_) host_->EndWaitCursor();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  TvDocumentHost* host_;
};

}  // namespace

bool PlatformDocumentSound::PlayFile(const std::string& path) {
  return plat::audio::PlaySound(path, plat::audio::SND_FILENAME | plat::audio::SND_ASYNC);
}

bool PlatformDocumentSound::PlayResource(const std::string& name) {
  return plat::audio::PlaySound(name, plat::audio::SND_RESOURCE | plat::audio::SND_ASYNC);
}

void PlatformDocumentSound::Beep() { plat::ui::MessageBeep(plat::ui::MB_ICONEXCLAMATION); }

COrv_TvDocument::COrv_TvDocument(TvDocumentServices services)
    : m_services(services),
      m_bundle(std::make_unique<COrv_InfoBundle>()),
      m_spare(std::make_unique<COrv_InfoBundle>()) {
  m_displayLanguage = services.displayLanguage >= 0 ? services.displayLanguage : COrv_Language().GetLanguage();
  if (m_services.sound == nullptr) m_services.sound = &m_platformSound;
  m_quoteInfo.SetErrorSink(&m_error);
  m_bundle->SetErrorSink(&m_error);
  m_spare->SetErrorSink(&m_error);
  InitTextFormats();
}

COrv_TvDocument::~COrv_TvDocument() {
  // The player's wave and the recordings go before the bundles whose files
  // they came from.
  m_player.DetachNotify();
  m_player.Stop();
  m_voice.DeleteAllSlotFiles();
}

int COrv_TvDocument::setting(int n) const { return m_services.host ? m_services.host->GetSetting(n) : 0; }

// --- Formats -------------------------------------------------------------------

bool COrv_TvDocument::InitTextFormats() {
  const COrv_CharFormat base = m_services.host ? m_services.host->GetDefaultCharFormat() : DefaultCharFormat();
  const std::uint32_t paraMask =
      COrv_ParaFormat::kAlignment | COrv_ParaFormat::kOffset | COrv_ParaFormat::kStartIndent | COrv_ParaFormat::kRightIndent;
  for (int i = 0; i < kFormatCount; ++i) {
    COrv_TextFormat& f = m_formats[i];
    const int record = i + 1;
    f.para = COrv_ParaFormat{};
    f.para.mask = paraMask;
    f.para.alignment = COrv_ParaFormat::kAlignLeft;
    f.para.startIndent = record == kFormatItalic ? 256 : 64;
    f.para.rightIndent = record == kFormatItalic ? 256 : 64;
    f.para.offset = 0;
    f.chars = base;
    f.chars.effects = 0;
    f.chars.colour = COrv_CharFormat::Rgb(0, 0, 0);
    switch (record) {
      case kFormatIntroduction:
        f.chars.colour = COrv_CharFormat::Rgb(0, 0, 255);
        break;
      case kFormatItalic:
        f.chars.mask |= COrv_CharFormat::kItalic;
        f.chars.effects |= COrv_CharFormat::kEffectItalic;
        break;
      case kFormatComment:
        f.chars.colour = COrv_CharFormat::Rgb(255, 0, 0);
        break;
      case kFormatDictionary:
        f.para.mask = COrv_ParaFormat::kAlignment | COrv_ParaFormat::kOffset | COrv_ParaFormat::kRightIndent |
                      COrv_ParaFormat::kOffsetIndent;
        break;
      default:
        break;
    }
  }
  return true;
}

const COrv_TextFormat& COrv_TvDocument::GetTextFormat(int record) const {
  if (record < 1 || record > kFormatCount) record = 1;
  return m_formats[record - 1];
}

char32_t COrv_TvDocument::GetMaskChar() const {
  return m_services.host ? m_services.host->GetMaskChar() : kDefaultMaskChar;
}

// --- Open and close ------------------------------------------------------------

void COrv_TvDocument::clearBook() {
  m_player.DetachNotify();
  m_player.Stop();
  m_voice.DeleteAllSlotFiles();
  m_voice.SetSlotCount(0);
  m_quoteInfo.Attach(nullptr, 0);
  m_player.SetBook(nullptr);
  m_bundle->ClearAll();
  m_spare->ClearAll();
  m_book.Close();
  m_states.Init(0);
  m_bookText.clear();
  m_introLengths.clear();
  m_textLengths.clear();
  m_commentLengths.clear();
  m_damaged.clear();
  m_keptSolved.clear();
  m_unloadable.clear();
  m_count = 0;
  m_current = 0;
  m_open = false;
}

bool COrv_TvDocument::openBook(const std::string& code) {
  for (;;) {
    m_error = COrv_ErrorInfo();
    m_book.SetErrorSink(&m_error);
    if (m_book.Open(code, 0) == 1) return true;

    orv::COrv_BookInfo info;
    if (!info.SelectBook(code)) {
      messageBox(loadString(kStrSelectError), orv::kStrErrorCaption, plat::ui::MB_ICONEXCLAMATION);
      return false;
    }
    const std::string medium = info.GetCDROMTitle();
    if (medium.empty()) {
      const std::string source = info.GetSourceFile(-1, false);
      std::string text;
      if (info.GetSourceFile(-1, true).empty()) {
        // The file is in none of the places searched.
        text = loadString(kStrNotFoundInPath) + "\n           " + source + "\n" + loadString(kStrAddAlternativePath);
      } else {
        // The file is there but its content cannot be read: say so, with
        // what the reader recorded.
        text = loadString(kStrBookUnreadable) + "\n           " + source + "\n\n" + m_error.FormatText();
      }
      messageBox(text, orv::kStrErrorCaption, plat::ui::MB_ICONEXCLAMATION);
      return false;
    }
    const std::string ask = loadString(kStrInsertMedium) + ":\n\n" + medium;
    if (messageBox(ask, orv::kStrWarningCaption, plat::ui::MB_RETRYCANCEL | plat::ui::MB_ICONEXCLAMATION) !=
        plat::ui::IDRETRY)
      return false;
    m_book.Close();
  }
}

bool COrv_TvDocument::OnOpenDocument(const std::string& path) {
  if (m_open || m_services.host == nullptr) return false;
  WaitCursor wait(m_services.host);

  if (!InitTextFormats()) {
    messageBox(loadString(kStrFormatError), orv::kStrErrorCaption, plat::ui::MB_ICONEXCLAMATION);
    return false;
  }
  m_book.SetErrorSink(&m_error);
  const fs::path name = fs::path(asciiLower(path)).filename();
  const std::string base = name.stem().string();
  if (base.empty()) return false;
  if (!name.has_extension() && !orv::COrv_BookInfo().IsInstalled(base)) return false;
  const std::string code = asciiUpper(base);
  if (!openBook(code)) {
    clearBook();
    return false;
  }

  m_code = code;
  m_title = m_book.GetTitle(-1);
  m_count = static_cast<unsigned>(std::max(0, m_book.GetNumQuotes()));
  m_origLanguage = m_book.GetOrigLanguage();
  m_difficulty = m_book.GetDifficulty();
  m_category = m_book.GetCategory();
  m_current = 0;

  m_book.Spots().StartByTrigger(0);
  m_quoteInfo.Attach(m_bundle.get(), static_cast<std::uint32_t>(m_origLanguage));
  m_states.Init(static_cast<int>(m_count));
  m_player.SetBook(m_bundle.get());
  m_voice.SetSlotCount(static_cast<int>(m_count));

  std::vector<unsigned> unreadable;
  if (!BuildViewTexts(m_count, m_origLanguage, true, m_bookText, &unreadable)) {
    messageBox(loadString(kStrTextUnreadable) + "\n\n" + m_error.FormatText(), orv::kStrErrorCaption,
               plat::ui::MB_ICONEXCLAMATION);
    clearBook();
    return false;
  }
  m_damaged = unreadable;

  for (unsigned i = 1; i <= m_count; ++i) {
    m_states.SetFlags(static_cast<int>(i), 0);
    m_states.SetText(static_cast<int>(i), {});
  }

  unsigned start = 1;
  m_keptSolved.assign(m_count + 1, false);
  bool restored = false;
  if (!HasNoSavedSession(code)) {
    restored = setting(kSetLoadTvStatusQuery) != 0 ||
               messageBox(loadString(kStrRestoreSession), orv::kStrQuestionCaption,
                          plat::ui::MB_YESNO | plat::ui::MB_ICONQUESTION) == plat::ui::IDYES;
    if (restored) restoreSession(start);
  }
  if (!restored) keepStoredSolved();

  for (unsigned i = 1; i <= m_count; ++i)
    m_states.SetFlags(static_cast<int>(i), m_states.GetFlags(static_cast<int>(i)) | kFixedWordsShown);

  start = firstLoadableQuote(start);
  if (start == 0) {
    messageBox(loadString(kStrQuoteError), orv::kStrErrorCaption, plat::ui::MB_ICONEXCLAMATION);
    clearBook();
    return false;
  }
  std::sort(m_damaged.begin(), m_damaged.end());
  m_damaged.erase(std::unique(m_damaged.begin(), m_damaged.end()), m_damaged.end());
  if (!m_damaged.empty()) {
    std::string list;
    for (unsigned n : m_damaged) list += (list.empty() ? "" : ", ") + std::to_string(n);
    std::string text = replaceFirst(loadString(kStrDamagedQuotes), "%s", list);
    text = replaceFirst(text, "%d", std::to_string(start));
    messageBox(text, orv::kStrWarningCaption, plat::ui::MB_ICONEXCLAMATION);
  }
  m_open = true;
  LoadDocumentMenu();

  if (setting(kSetShowProlog) == 1) ShowIntroduction();
  UpdateQuoteIndex(start, true);
  return true;
}

const plat::ui::Menu* COrv_TvDocument::GetDefaultMenu() const {
  return m_services.host != nullptr ? m_services.host->GetDefaultMenu() : nullptr;
}

bool COrv_TvDocument::LoadDocumentMenu() {
  m_documentMenu = {};
  return COrv_Language(m_displayLanguage).LoadMenu(tv::language::kMenuBook, m_documentMenu, m_displayLanguage);
}

bool COrv_TvDocument::restoreSession(unsigned& start) {
  orv::COrv_Users users;
  users.SetCurrentUser(m_services.host->GetUserName());
  std::vector<int> stored;
  users.ReadQuoteStatusList(m_code, stored);
  unsigned lo = m_count;
  COrv_InfoBundle texts;
  texts.SetErrorSink(&m_error);
  for (unsigned i = 1; i <= m_count; ++i) {
    const int value = i - 1 < stored.size() ? stored[i - 1] : 0;
    const int n = static_cast<int>(i);
    bool solved = false;
    if (value == kStoredSolved) {
      texts.ClearAll();
      if (loadInto(texts, i, COrv_InfoBundle::kWordText)) {
        m_states.SetFlags(n, kSolved | kSomeWordCorrect);
        m_states.SetText(n, texts.Words().GetText(static_cast<std::uint32_t>(m_origLanguage)));
        solved = true;
      } else {
        // Its text cannot be read: it starts again unsolved rather than
        // keeping the whole book from opening, and its stored value stays.
        m_damaged.push_back(i);
        m_keptSolved[i] = true;
      }
    }
    if (!solved) {
      m_states.SetFlags(n, 0);
      lo = std::min(lo, i);
    }
  }
  texts.ClearAll();
  // A last Echomark beyond the book (a shorter book installed under the
  // same code since) starts at the first unsolved one.
  const int last = users.ReadLastQuote(m_code);
  start = last > 0 && static_cast<unsigned>(last) <= m_count ? static_cast<unsigned>(last) : lo;
  if (start == 0) start = 1;
  return true;
}

void COrv_TvDocument::keepStoredSolved() {
  // The session starts with nothing solved, but what the learner solved
  // before is theirs: it is written back at close unless this session
  // resets it.
  orv::COrv_Users users;
  users.SetCurrentUser(m_services.host ? m_services.host->GetUserName() : std::string());
  std::vector<int> stored;
  if (!users.ReadQuoteStatusList(m_code, stored)) return;
  for (unsigned i = 1; i <= m_count && i - 1 < stored.size(); ++i)
    if (stored[i - 1] == kStoredSolved) m_keptSolved[i] = true;
}

unsigned COrv_TvDocument::firstLoadableQuote(unsigned from) {
  if (m_count == 0) return 0;
  if (!validQuote(from)) from = 1;
  // From the wanted Echomark to the end, then from the first one up to it.
  for (unsigned k = 0; k < m_count; ++k) {
    const unsigned n = (from - 1 + k) % m_count + 1;
    if (GoToQuote(n, false, false)) return n;
    m_damaged.push_back(n);
  }
  return 0;
}

bool COrv_TvDocument::HasNoSavedSession(const std::string& code) const {
  orv::COrv_Users users;
  users.SetCurrentUser(m_services.host ? m_services.host->GetUserName() : std::string());
  return users.ReadLastQuote(asciiUpper(code)) <= 0;
}

void COrv_TvDocument::OnCloseDocument() {
  if (!m_open) return;
  if (TvDocumentHost* host = m_services.host) {
    host->StopAll();
    host->HideViewWindows();
    host->ResetSpeedButton();
  }
  m_player.DetachNotify();
  m_player.Stop();
  m_voice.DeleteAllSlotFiles();
  if (setting(kSetSaveTvStatus) == 1) saveProgress();
  clearBook();
}

void COrv_TvDocument::saveProgress() {
  orv::COrv_Users users;
  users.SetCurrentUser(m_services.host ? m_services.host->GetUserName() : std::string());
  std::vector<int> values(m_count, 0);
  for (unsigned i = 1; i <= m_count; ++i)
    if ((m_states.GetFlags(static_cast<int>(i)) & kSolved) || keptSolved(i)) values[i - 1] = kStoredSolved;
  std::error_code error;
  if (!users.WriteQuoteStatusList(m_code, values)) error = users.LastWriteError();
  // The last Echomark is written even when the list was not: it may live
  // elsewhere than the cause of the first failure.
  if (!users.WriteLastQuote(m_code, static_cast<int>(m_current)) && !error) error = users.LastWriteError();
  if (!error) return;
  // The document still closes; the learner is told what was not kept.
  const std::string file = users.GetUserFilePath(m_code, 3);
  messageBox(loadString(kStrProgressNotSaved) + "\n\n" + file + "\n\n" + error.message(), orv::kStrErrorCaption,
             plat::ui::MB_ICONEXCLAMATION);
}

bool COrv_TvDocument::keptSolved(unsigned n) const { return n < m_keptSolved.size() && m_keptSolved[n]; }

std::string COrv_TvDocument::GetBookSourceFile(const std::string& path) {
  const std::string code = asciiUpper(fs::path(path).filename().stem().string());
  orv::COrv_BookInfo info;
  if (code.empty() || !info.SelectBook(code)) return {};
  return info.GetSourceFile(-1, false);
}

// --- Echomarks ---------------------------------------------------------------------

bool COrv_TvDocument::loadInto(COrv_InfoBundle& bundle, unsigned n, int kinds) {
  return m_book.LoadQuoteInfo(bundle, static_cast<int>(n), m_origLanguage, kinds) == 1;
}

void COrv_TvDocument::saveCurrentQuote() {
  if (!validQuote(m_current)) return;
  const int n = static_cast<int>(m_current);
  m_states.SetText(n, m_quoteInfo.GetUserText());
  if (m_quoteInfo.GetWordCount() > 0) m_states.SetWordFlags(n, m_quoteInfo.GetWordFlags());
}

std::string COrv_TvDocument::textIn(const COrv_TextInfo& texts) const {
  std::string s = texts.GetText(static_cast<std::uint32_t>(m_displayLanguage));
  if (s.empty()) s = texts.GetText(static_cast<std::uint32_t>(m_origLanguage));
  return s;
}

std::uint32_t COrv_TvDocument::firstVisitBits(const COrv_QuoteInfo& info, const COrv_InfoBundle& bundle) const {
  std::uint32_t bits = kVisited;
  if (info.HasFixedWords()) bits |= kHasFixedWords;
  if (info.HasNonKeywords()) bits |= kHasNonKeywords;
  if (info.HasWordsWithoutLinks()) bits |= kWordsWithoutLinks;
  if (m_player.HasSpeeds()) bits |= kHasSpeeds;
  if (!textIn(bundle.Comments()).empty()) bits |= kHasComment;
  if (!textIn(bundle.Introductions()).empty()) bits |= kHasIntroduction;
  return bits;
}

bool COrv_TvDocument::GoToQuote(unsigned n, bool showIntroduction, bool full) {
  if (!validQuote(n)) return false;
  WaitCursor wait(m_services.host);

  // The Echomark is read into the spare bundle first: when that fails the
  // current Echomark, its information and its words stay as they were.
  m_spare->ClearAll();
  if (!loadInto(*m_spare, n, COrv_Talvane::kAllKinds)) {
    m_spare->ClearAll();
    m_unloadable.insert(n);
    return false;
  }

  if (full) {
    saveCurrentQuote();
    if (!m_book.Spots().StartByTrigger(2)) m_book.Spots().StartByTrigger(1);
  } else {
    m_book.Spots().StartByTrigger(1);
  }

  std::swap(m_bundle, m_spare);
  m_current = n;
  const int q = static_cast<int>(n);
  m_quoteInfo.Attach(m_bundle.get(), static_cast<std::uint32_t>(m_origLanguage));
  m_quoteInfo.SetQuoteText();
  m_player.SetBook(m_bundle.get());
  m_player.LoadWave();
  // The files of the Echomark left go once nothing reads them any more.
  m_spare->ClearAll();
  const bool recorded = m_voice.SelectSlot(q);
  if (m_services.host) m_services.host->SetRecordingAvailable(recorded);

  const std::uint32_t old = GetQuoteStatus(n);
  std::uint32_t status = old;
  if (!(status & kVisited)) {
    status |= firstVisitBits(m_quoteInfo, *m_bundle);
    m_states.SetWordFlags(q, m_quoteInfo.GetWordFlags());
  } else {
    std::vector<std::uint32_t> flags;
    if (m_states.GetWordFlags(q, flags)) {
      m_quoteInfo.SetWordFlags(flags);
      m_quoteInfo.ApplyLazyMarks(true);
      m_quoteInfo.ApplyTypedMarks(true);
    }
  }

  const bool nonKeywords = (status & kHasNonKeywords) && setting(kSetShowNonKey) == 1;
  m_quoteInfo.ShowNonKeywords(nonKeywords);
  status = nonKeywords ? status | kNonKeywordsShown : status & ~std::uint32_t{kNonKeywordsShown};
  const bool fixedWords = (status & kHasFixedWords) && setting(kSetShowFixed) == 1;
  m_quoteInfo.ShowFixedWords(fixedWords);
  status = fixedWords ? status | kFixedWordsShown : status & ~std::uint32_t{kFixedWordsShown};

  m_quoteInfo.CompareUserText(m_states.GetText(q), true);
  status &= ~std::uint32_t{kSolved | kSomeWordCorrect};
  if (m_quoteInfo.IsSolved()) status |= kSolved;
  if (m_quoteInfo.HasCorrectWords()) status |= kSomeWordCorrect;
  m_states.SetFlags(q, status);

  SetQuoteFragment(0.0f, 100.0f);
  if (TvDocumentHost* host = m_services.host) {
    host->ShowFragmentSelector(setting(kSetShowFrgmtSelector) == 1, 0.0f, 100.0f);
    host->ShowSpeechView(setting(kSetShowSpvu) == 1, m_player.GetWaveFileName(), m_bundle->Waves().GetSegmentShares(),
                         0.0f, 100.0f);
    host->ShowVolumeWindow(setting(kSetShowVolume) == 1);
  }

  if (!full) return true;
  const std::uint32_t changed = old ^ status;
  if (changed & kSolved)
    RefreshViews(0x3F);
  else if (changed & kSomeWordCorrect)
    RefreshViews(0x36);
  else
    RefreshViews(0x16);
  if (showIntroduction && (status & kHasIntroduction)) {
    RefreshViews(0x18);
    if (setting(kSetShowProlog) == 1) ShowIntroduction();
  }
  if (TvDocumentHost* host = m_services.host) {
    const int speed = setting(kSetInitSpeed);
    host->SelectPlaySpeed(speed == -1 || speed == 1 ? speed : 0);
    if (setting(kSetInitEMPlay) == 1) host->PlayCurrentQuote();
  }
  return true;
}

bool COrv_TvDocument::SetQuoteStatus(std::uint32_t status, unsigned n) {
  if (n == 0) n = m_current;
  if (!validQuote(n)) return false;
  m_states.SetFlags(static_cast<int>(n), status);
  return true;
}

std::uint32_t COrv_TvDocument::GetQuoteStatus(unsigned n) const {
  if (n == 0) n = m_current;
  if (!validQuote(n)) return 0;
  return m_states.GetFlags(static_cast<int>(n));
}

std::vector<std::uint32_t> COrv_TvDocument::GetStatusArray() const {
  std::vector<std::uint32_t> status(m_count + 1, 0);
  for (unsigned i = 1; i <= m_count; ++i) status[i] = m_states.GetFlags(static_cast<int>(i));
  return status;
}

bool COrv_TvDocument::setStatusBits(std::uint32_t bits, bool all, bool set) {
  auto apply = [&](unsigned n) {
    const std::uint32_t f = m_states.GetFlags(static_cast<int>(n));
    m_states.SetFlags(static_cast<int>(n), set ? f | bits : f & ~bits);
  };
  if (all) {
    for (unsigned i = 1; i <= m_count; ++i) apply(i);
  } else if (validQuote(m_current)) {
    apply(m_current);
  }
  // The display follows the current Echomark's own words, also when every
  // Echomark was changed.
  const std::uint32_t word = GetQuoteStatus(0);
  if (bits == kNonKeywordsShown && (word & kHasNonKeywords)) {
    m_quoteInfo.ShowNonKeywords(set);
    RecheckUserText(true);
  } else if (bits == kFixedWordsShown && (word & kHasFixedWords)) {
    m_quoteInfo.ShowFixedWords(set);
    RecheckUserText(true);
  }
  return true;
}

bool COrv_TvDocument::SetQuoteStatusBits(std::uint32_t bits, bool all) { return setStatusBits(bits, all, true); }

bool COrv_TvDocument::ClearQuoteStatusBits(std::uint32_t bits, bool all) { return setStatusBits(bits, all, false); }

bool COrv_TvDocument::ResetQuote(bool all) {
  if (!validQuote(m_current)) return false;
  const std::uint32_t old = GetQuoteStatus(0);
  m_states.ResetQuote(static_cast<int>(m_current));
  if (m_current < m_keptSolved.size()) m_keptSolved[m_current] = false;
  if (old & kHasFixedWords) m_quoteInfo.ShowFixedWords(false);
  m_quoteInfo.ShowFixedWords(true);
  if (old & kHasNonKeywords) m_quoteInfo.ShowNonKeywords(false);
  m_quoteInfo.ApplyLazyMarks(false);
  m_quoteInfo.ApplyTypedMarks(false);
  m_quoteInfo.CompareUserText({}, true);
  if (all) {
    m_states.ResetAll();
    m_keptSolved.assign(m_keptSolved.size(), false);
    UpdateQuoteIndex(0, false);
    GoToQuote(1, true, true);
    UpdateQuoteIndex(1, false);
  } else {
    RefreshViews(0x0F);
    RefreshViews(0x30);
  }
  return true;
}

void COrv_TvDocument::applyWordDisplay(COrv_QuoteInfo& info, std::uint32_t status) const {
  info.ShowNonKeywords((status & kNonKeywordsShown) != 0);
  info.ShowFixedWords((status & kFixedWordsShown) != 0);
}

bool COrv_TvDocument::CheckAllQuotes() {
  COrv_InfoBundle bundle;
  bundle.SetErrorSink(&m_error);
  COrv_QuoteInfo info;
  info.SetErrorSink(&m_error);
  const auto language = static_cast<std::uint32_t>(m_origLanguage);
  for (unsigned i = 1; i <= m_count; ++i) {
    const int n = static_cast<int>(i);
    bundle.ClearAll();
    if (!loadInto(bundle, i, kCheckKinds)) return false;
    info.Attach(&bundle, language);
    info.SetQuoteText();
    std::uint32_t status = m_states.GetFlags(n);
    // The current Echomark's text lives in its information object until it
    // is left.
    const std::string text = i == m_current ? m_quoteInfo.GetUserText() : m_states.GetText(n);
    std::uint32_t shown = status;
    if (!(status & kVisited)) {
      // Not visited yet: what it has is worked out here and not stored.
      if (!info.HasFixedWords()) shown &= ~std::uint32_t{kFixedWordsShown};
      if (!info.HasNonKeywords()) shown &= ~std::uint32_t{kNonKeywordsShown};
    } else {
      std::vector<std::uint32_t> flags;
      if (m_states.GetWordFlags(n, flags)) {
        info.SetWordFlags(flags);
        info.ApplyLazyMarks(true);
        info.ApplyTypedMarks(true);
      }
    }
    applyWordDisplay(info, shown);
    info.CompareUserText(text, true);
    status &= ~std::uint32_t{kSolved | kSomeWordCorrect};
    if (info.IsSolved()) status |= kSolved;
    if (info.HasCorrectWords()) status |= kSomeWordCorrect;
    m_states.SetFlags(n, status);
  }
  info.Attach(nullptr, 0);
  return true;
}

// --- The learner's text ----------------------------------------------------------

std::string COrv_TvDocument::GetUserText() const { return m_quoteInfo.GetUserText(); }

void COrv_TvDocument::playJingle() {
  TvDocumentSound& sound = *m_services.sound;
  if (setting(kSetAltJingle) == 1 && m_services.host) {
    const std::string name = m_services.host->GetSettingText(kSetAltJingleName);
    std::error_code ec;
    if (!name.empty() && static_cast<std::size_t>(codePoints(name)) <= kMaxJingleNameChars &&
        fs::is_regular_file(fs::path(name), ec)) {
      if (!sound.PlayFile(name)) sound.Beep();
      return;
    }
  }
  if (!sound.PlayResource(kJingleResource)) sound.Beep();
}

bool COrv_TvDocument::CheckUserText(const std::string& text, bool feedback) {
  if (!validQuote(m_current)) return false;
  const int q = static_cast<int>(m_current);
  m_states.SetText(q, text);
  m_quoteInfo.CompareUserText(text, true);
  const std::uint32_t old = m_states.GetFlags(q);
  std::uint32_t status = old & ~std::uint32_t{kSolved | kSomeWordCorrect};
  if (m_quoteInfo.IsSolved()) status |= kSolved;
  if (m_quoteInfo.HasCorrectWords()) status |= kSomeWordCorrect;
  m_states.SetFlags(q, status);
  if (!feedback) return true;

  const bool solved = (status & kSolved) != 0;
  const bool wasSolved = (old & kSolved) != 0;
  if (!solved) {
    if (wasSolved) {
      RefreshViews(0x3A);
      m_services.sound->Beep();
    } else {
      RefreshViews(0x22);
    }
  } else if (!wasSolved) {
    RefreshViews(0x3A);
    if (m_services.host) m_services.host->StopAll();
    playJingle();
    if (setting(kSetShowComment) == 1) ShowComment();
  }
  return true;
}

bool COrv_TvDocument::RecheckUserText(bool feedback) {
  // A copy: the check replaces the text it is given.
  const std::string text = m_quoteInfo.GetUserText();
  return CheckUserText(text, feedback);
}

bool COrv_TvDocument::CorrectWord(int n) {
  const bool done = m_quoteInfo.CorrectWord(n);
  RefreshViews(kRefreshScratchPad);
  RecheckUserText(true);
  return done;
}

bool COrv_TvDocument::AppendWord(int n) {
  const bool done = m_quoteInfo.AppendWord(n);
  RefreshViews(kRefreshScratchPad);
  RecheckUserText(true);
  return done;
}

int COrv_TvDocument::SetWordMark(int n, std::uint32_t mark, unsigned flags) {
  if (n < 1 || n > m_quoteInfo.GetWordCount()) return 0;
  if (mark == kMarkLazy || mark == kMarkTyped) {
    m_quoteInfo.RemoveUserWord(n);
    m_quoteInfo.SetWordFlag(n, mark, true);
  } else if (mark == kMarkCorrect) {
    m_quoteInfo.CorrectWord(n);
  } else {
    return 0;
  }
  if (flags & kWordMarkRefreshPad) RefreshViews(kRefreshScratchPad);
  if (flags & kWordMarkRecheck) RecheckUserText(true);
  return 1;
}

bool COrv_TvDocument::CorrectWrongWords() {
  if (!m_quoteInfo.HasWrongWords()) return false;
  std::vector<int> wrong;
  for (int i = 1; i <= m_quoteInfo.GetWordCount(); ++i)
    if (m_quoteInfo.IsWordWrong(i)) wrong.push_back(i);
  for (int i : wrong) SetWordMark(i, kMarkCorrect, kWordMarkRefreshPad | kWordMarkRecheck);
  RecheckUserText(true);
  return true;
}

// --- Texts in the dialog -----------------------------------------------------------

bool COrv_TvDocument::showText(const std::string& text, int record, int captionId, int dialogNumber, bool markup) {
  if (text.empty() || m_services.textDialog == nullptr) return false;
  TvTextDialogRequest request;
  request.format = GetTextFormat(record);
  request.markup = markup;
  request.caption = loadString(captionId);
  request.text = text;
  request.dialogNumber = dialogNumber;
  m_services.textDialog->ShowText(request);
  return true;
}

bool COrv_TvDocument::ShowIntroduction() {
  if (!validQuote(m_current)) return false;
  return showText(textIn(m_bundle->Introductions()), kFormatIntroduction, kStrIntroduction, kDialogIntroduction, false);
}

bool COrv_TvDocument::ShowQuoteComment() {
  if (!validQuote(m_current)) return false;
  return showText(textIn(m_bundle->Comments()), kFormatComment, kStrComment, kDialogComment, false);
}

bool COrv_TvDocument::ShowDictionaryDefinition(int n) {
  if (!validQuote(m_current) || n < 1) return false;
  const COrv_DictionaryInfo& dictionary = m_bundle->Dictionary();
  const auto word = static_cast<std::uint32_t>(n);
  std::string text = dictionary.GetDefinition(word, static_cast<std::uint32_t>(m_displayLanguage));
  if (text.empty()) text = dictionary.GetDefinition(word, static_cast<std::uint32_t>(m_origLanguage));
  return showText(text, kFormatDictionary, kStrDictionary, kDialogDictionary, true);
}

// --- Fragments ---------------------------------------------------------------------

namespace {
bool validFragment(float start, float end) { return start >= 0.0f && start <= end && end <= 100.0f; }
}  // namespace

bool COrv_TvDocument::SetQuoteFragment(float start, float end) {
  if (!validFragment(start, end)) return false;
  m_player.SetFragment(start, end);
  return true;
}

bool COrv_TvDocument::SetRecordFragment(float start, float end) {
  return validFragment(start, end) && m_voice.SetFragment(start, end);
}

void COrv_TvDocument::GetQuoteFragment(float& start, float& end) const {
  start = m_player.GetFragmentStart();
  end = m_player.GetFragmentEnd();
}

void COrv_TvDocument::GetRecordFragment(float& start, float& end) const {
  start = m_voice.GetFragmentStart();
  end = m_voice.GetFragmentEnd();
}

bool COrv_TvDocument::SelectQuoteAudio(int speed) { return m_player.SelectSpeed(speed); }

// --- Views -------------------------------------------------------------------------

void COrv_TvDocument::AddView(TvDocumentView* view) {
  if (view != nullptr && std::find(m_views.begin(), m_views.end(), view) == m_views.end()) m_views.push_back(view);
}

void COrv_TvDocument::RemoveView(TvDocumentView* view) {
  m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

TvDocumentView* COrv_TvDocument::GetTextView(unsigned flags) const {
  for (TvDocumentView* view : m_views)
    if (view->ViewKind() & flags) return view;
  return nullptr;
}

bool COrv_TvDocument::RefreshViews(unsigned flags) {
  // A copy: a pane may detach itself while it refreshes.
  const std::vector<TvDocumentView*> views = m_views;
  for (TvDocumentView* view : views) {
    if (std::find(m_views.begin(), m_views.end(), view) == m_views.end()) continue;
    switch (view->ViewKind()) {
      case TvDocumentView::kRichText: {
        auto* rich = static_cast<TvRichTextView*>(view);
        if (flags & kRefreshBookText) {
          rich->BuildText();
          rich->LoadButtonTexts();
        }
        if (flags & kRefreshScroll) rich->ScrollToQuote(m_current);
        break;
      }
      case TvDocumentView::kScratchPad: {
        auto* pad = static_cast<TvScratchPadView*>(view);
        if (flags & kRefreshScratchPad) {
          pad->LoadButtonTexts();
          pad->ApplyFormat(true);
        }
        break;
      }
      case TvDocumentView::kSoFar: {
        auto* soFar = static_cast<TvSoFarView*>(view);
        if (flags & kRefreshSoFar) {
          soFar->UpdateButtonStates();
          soFar->Refresh();
          soFar->LoadButtonTexts();
        }
        break;
      }
      default:
        break;
    }
  }
  if (flags & kRefreshQuoteIndex) UpdateQuoteIndex(0, false);
  return true;
}

bool COrv_TvDocument::UpdateQuoteIndex(unsigned n, bool fill) {
  if (n > m_count || m_frame == nullptr) return false;
  m_frame->SetQuoteIndex(GetStatusArray(), m_current, fill);
  if (n != 0) m_frame->SelectQuote(n);
  return true;
}

// --- Book text ---------------------------------------------------------------------

void COrv_TvDocument::AddTrailingBreak(std::string& text, bool add) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (!text.empty() && add) text += '\n';
}

void COrv_TvDocument::AddLeadingBreak(std::string& text, bool add) {
  trimLeft(text, "\r\n");
  if (!text.empty() && add) text.insert(text.begin(), '\n');
}

void COrv_TvDocument::AppendTextJoin(std::string& text, char32_t& last) {
  if (text.empty()) return;  // nothing to join
  const std::u32string chars = QString::fromStdString(text).toStdU32String();
  auto fromEnd = [&](std::size_t k) -> char32_t { return k < chars.size() ? chars[chars.size() - 1 - k] : 0; };
  char32_t c1 = fromEnd(0);
  char32_t c2 = fromEnd(1);
  // A closing double quote after the sentence's end counts as that end.
  if (c1 == U'"') {
    c1 = c2;
    c2 = fromEnd(2);
  }
  if (c1 == U'!' || c1 == U'?') {
    text += '\n';
    last = U'\n';
  } else if (c1 != U'.' || c2 == U'.') {
    text += ' ';
    last = U' ';
  } else {
    text += '\n';
    last = U'\n';
  }
}

bool COrv_TvDocument::BuildViewTexts(unsigned count, int language, bool storeLengths, std::string& text,
                                     std::vector<unsigned>* failed) {
  text.clear();
  char32_t last = U'\n';
  if (storeLengths) {
    m_introLengths.assign(count + 1, 0);
    m_textLengths.assign(count + 1, 0);
    m_commentLengths.assign(count + 1, 0);
  }
  const auto key = static_cast<std::uint32_t>(language);
  const std::string prolog = loadString(kStrProlog);
  COrv_InfoBundle bundle;
  bundle.SetErrorSink(&m_error);
  bool any = count == 0;
  for (unsigned i = 1; i <= count; ++i) {
    bundle.ClearAll();
    if (m_book.LoadQuoteInfo(bundle, static_cast<int>(i), language, kBookTextKinds) != 1) {
      if (failed) failed->push_back(i);
      continue;
    }
    any = true;

    std::string introduction = bundle.Introductions().GetText(key);
    trimLeft(introduction, "\t \r\n");
    if (!introduction.empty()) introduction = prolog + introduction;
    AddLeadingBreak(introduction, last != U'\n');
    AddTrailingBreak(introduction, true);
    if (storeLengths) m_introLengths[i] = codePoints(introduction);
    text += introduction;
    if (!introduction.empty()) last = U'\n';

    std::string quote = bundle.Words().GetText(key);
    AppendTextJoin(quote, last);
    if (storeLengths) m_textLengths[i] = codePoints(quote);
    text += quote;

    std::string comment = bundle.Comments().GetText(key);
    trimLeft(comment, "\t ");
    AddLeadingBreak(comment, last != U'\n');
    AddTrailingBreak(comment, true);
    if (storeLengths) m_commentLengths[i] = codePoints(comment);
    text += comment;
    if (!comment.empty()) last = U'\n';
  }
  bundle.ClearAll();
  return any;
}
