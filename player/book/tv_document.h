#pragma once
// COrv_TvDocument: one open Talvane. It owns everything of the open book:
// the loaded book, the information bundle of the current Echomark, the
// Echomark as words (COrv_QuoteInfo), the per-Echomark state (learner's
// text, status word, saved word flags), the Echomark player, the recorded
// voice slots, the whole book text shown by the text panes and six text
// formats. It opens the book, restores and saves the learner's progress,
// makes an Echomark current, checks the learner's text and gives the
// success jingle, and refreshes its panes by refresh flag.
//
// The document draws nothing and owns no window: its panes, child frame,
// main window, sounds and text dialog come in through the interfaces of
// tv_document_views.h and tv_document_host.h; message boxes go through
// plat::ui::MessageBox. All of it runs headless.
//
// Echomarks are numbered 1..N; n = 0 in the status accessors means the
// current Echomark. From a successful open on there is always exactly one
// current Echomark; a refused call changes nothing.

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "player/audio/quote_player.h"
#include "player/audio/quote_state_list.h"
#include "player/audio/recorded_voice.h"
#include "player/book/info_bundle.h"
#include "player/book/quote_info.h"
#include "player/book/talvane.h"
#include "player/book/text_format.h"
#include "player/book/tv_document_host.h"
#include "player/book/tv_document_views.h"
#include "player/env/error_info.h"

struct TvDocumentServices {
  // Not owned; each must outlive the document. The host is required for
  // an open; without sound the platform's sounds play; without a text
  // dialog the Show... calls answer false.
  TvDocumentHost* host = nullptr;
  TvDocumentSound* sound = nullptr;
  TvTextDialog* textDialog = nullptr;
  // The language the book's texts are shown in when it has them (-1: the
  // interface language when the document is made).
  int displayLanguage = -1;
};

class COrv_TvDocument {
 public:
  // Bits of an Echomark's status word.
  enum StatusBit : std::uint32_t {
    kVisited = 0x1,           // made current at least once; the first-visit bits are valid
    kSolved = 0x2,            // the last check found no edit in any reference word
    kSomeWordCorrect = 0x4,   // at least one typed word entirely correct
    kHasSpeeds = 0x40,        // more than one speed rendering
    kWordsWithoutLinks = 0x80,
    kHasComment = 0x100,
    kHasIntroduction = 0x200,
    kHasNonKeywords = 0x400,
    kHasFixedWords = 0x800,
    kNonKeywordsShown = 0x1000,
    kFixedWordsShown = 0x2000,
  };
  // Refresh flags of RefreshViews (see tv_document_views.h).
  enum RefreshFlag : unsigned {
    kRefreshSoFar = 0x2,
    kRefreshScratchPad = 0x4,
    kRefreshBookText = 0x8,
    kRefreshScroll = 0x10,
    kRefreshQuoteIndex = 0x20,
    kRefreshAll = 0x3F,
  };
  // Text formats 1..6.
  enum FormatRecord : int {
    kFormatIntroduction = 1,  // blue; the introduction dialog
    kFormatItalic = 2,        // italic, wide indents; the text panes
    kFormatComment = 3,       // red; the comment dialog
    kFormatPlain = 4,         // black; the text panes
    kFormatPlainSecond = 5,   // black; the text panes
    kFormatDictionary = 6,    // black, relative indent; the dictionary dialog
  };
  static constexpr int kFormatCount = 6;
  // Marks of SetWordMark.
  static constexpr std::uint32_t kMarkLazy = 0x10000;
  static constexpr std::uint32_t kMarkTyped = 0x20000;
  static constexpr std::uint32_t kMarkCorrect = 0x40000;
  // Refresh flags of SetWordMark: 4 refreshes the scratch pad, 2 rechecks.
  static constexpr unsigned kWordMarkRefreshPad = 0x4;
  static constexpr unsigned kWordMarkRecheck = 0x2;
  // The stored progress of a solved Echomark.
  static constexpr int kStoredSolved = 3;

  // Settings the document reads.
  enum Setting : int {
    kSetShowProlog = 3,
    kSetAltJingle = 4,
    kSetAltJingleName = 5,
    kSetShowComment = 6,
    kSetInitEMPlay = 7,
    kSetInitSpeed = 8,
    kSetLoadTvStatusQuery = 10,
    kSetSaveTvStatus = 11,
    kSetShowNonKey = 12,
    kSetShowFixed = 13,
    kSetShowSpvu = 19,
    kSetShowVolume = 20,
    kSetShowFrgmtSelector = 21,
  };

  explicit COrv_TvDocument(TvDocumentServices services = {});
  virtual ~COrv_TvDocument();
  COrv_TvDocument(const COrv_TvDocument&) = delete;
  COrv_TvDocument& operator=(const COrv_TvDocument&) = delete;

  // --- Open and close ---------------------------------------------------------
  // Opens the book named by `path`: a bare book code ("demo"), or a path
  // whose file name without extension is the code. Restores the learner's
  // session, builds the book text and makes the start Echomark current.
  // False, with the reason shown, when the book cannot be opened; a bare
  // code that is not installed fails silently.
  bool OnOpenDocument(const std::string& path);
  // Stops the audio, hides the audio windows, deletes the recordings and,
  // with setting 11, writes the learner's progress. Closes the book.
  void OnCloseDocument();
  bool IsOpen() const { return m_open; }
  // The document is never saved as a file: the flag is only kept.
  bool IsModified() const { return m_modified; }
  void SetModifiedFlag(bool modified = true) { m_modified = modified; }
  // The menu the main window shows while this book's window is active:
  // the window's own copy of the book menu (null without a host).
  const plat::ui::Menu* GetDefaultMenu() const;
  // Loads the book menu (130) in the display language as the document's
  // own menu, in place of the one before; false when the language object
  // holds no such menu (the old one is then gone too).
  bool LoadDocumentMenu();
  const plat::ui::Menu& DocumentMenu() const { return m_documentMenu; }

  // --- Echomarks ----------------------------------------------------------------
  // Makes Echomark n current: loads its information, words, wave and
  // recording, sets its first-visit bits, shows or hides the non-keywords
  // and fixed words, checks the stored text and shows the audio windows.
  // With `full` the learner's text of the Echomark left is kept, the panes
  // are refreshed and the start-up play settings apply; with
  // `showIntroduction` its introduction is shown when setting 3 asks.
  // False, changing nothing, for n outside 1..N or when the Echomark's
  // information cannot be loaded.
  bool GoToQuote(unsigned n, bool showIntroduction, bool full);
  unsigned GetCurrentQuote() const { return m_current; }
  unsigned GetQuoteCount() const { return m_count; }
  // Echomarks whose information could not be read when the book opened
  // (their parts of the book text are empty); in order.
  const std::vector<unsigned>& GetDamagedQuotes() const { return m_damaged; }
  // Whether a move to Echomark n failed because it could not be loaded.
  bool IsQuoteUnloadable(unsigned n) const { return m_unloadable.count(n) != 0; }

  // Status word of Echomark n (0: the current one); n > N: set refused,
  // get answers 0.
  bool SetQuoteStatus(std::uint32_t status, unsigned n);
  std::uint32_t GetQuoteStatus(unsigned n) const;
  // Every status word, element 0 belonging to no Echomark.
  std::vector<std::uint32_t> GetStatusArray() const;
  // Sets or clears bits on every Echomark (all) or the current one; 0x1000
  // or 0x2000 alone also shows or hides the non-keywords or fixed words of
  // the current Echomark and rechecks. True.
  bool SetQuoteStatusBits(std::uint32_t bits, bool all);
  bool ClearQuoteStatusBits(std::uint32_t bits, bool all);
  // Forgets what the learner did with the current Echomark (all: with
  // every Echomark, then goes to Echomark 1). True.
  bool ResetQuote(bool all);
  // Checks the stored text of every Echomark again, recomputing bits 0x2
  // and 0x4. False at the first Echomark that cannot be loaded.
  bool CheckAllQuotes();
  // True when the current user's stored last Echomark of `code` is 0.
  bool HasNoSavedSession(const std::string& code) const;

  // --- The learner's text -----------------------------------------------------
  // Stores `text` as the current Echomark's text and checks it; with
  // `feedback` the panes are refreshed and the jingle or the beep sounds
  // on a change of the solved state.
  bool CheckUserText(const std::string& text, bool feedback);
  bool RecheckUserText(bool feedback);
  std::string GetUserText() const;  // the current Echomark's stored text

  // Word actions on the current Echomark, for the text controls.
  bool CorrectWord(int n);
  bool AppendWord(int n);
  // kMarkLazy or kMarkTyped: removes the learner's word matched to n and
  // marks n; kMarkCorrect: puts the correct word in; any other mark: 0.
  // Then refresh flag 4 refreshes the scratch pad and 2 rechecks.
  int SetWordMark(int n, std::uint32_t mark, unsigned flags);
  // Corrects every wrong word; false when none is wrong.
  bool CorrectWrongWords();

  // --- Texts shown in the dialog ----------------------------------------------
  // The current Echomark's introduction, comment or definition of word n
  // in the display language, else the original one; false when empty.
  bool ShowIntroduction();
  bool ShowQuoteComment();
  bool ShowComment() { return ShowQuoteComment(); }
  bool ShowDictionaryDefinition(int n);

  // --- Fragments ----------------------------------------------------------------
  // Refused, keeping the old one, unless 0 <= start <= end <= 100.
  bool SetQuoteFragment(float start, float end);
  bool SetRecordFragment(float start, float end);
  void GetQuoteFragment(float& start, float& end) const;
  void GetRecordFragment(float& start, float& end) const;
  // Selects the Echomark player's speed (-4..4) and loads its wave.
  bool SelectQuoteAudio(int speed);

  // --- Views ----------------------------------------------------------------------
  void AddView(TvDocumentView* view);
  void RemoveView(TvDocumentView* view);
  void SetSplitterFrame(TvDocumentFrame* frame) { m_frame = frame; }
  TvDocumentFrame* GetSplitterFrame() const { return m_frame; }
  // The first pane whose kind is among `flags` (8, 4, 2); null when none.
  TvDocumentView* GetTextView(unsigned flags) const;
  // Refreshes the panes by flag (see tv_document_views.h). True.
  bool RefreshViews(unsigned flags);
  // Hands the status words and the current Echomark to the child frame's
  // index (fill: anew), then selects n when it is not 0. False for n > N or
  // without a child frame.
  bool UpdateQuoteIndex(unsigned n, bool fill);

  // --- Book text ------------------------------------------------------------------
  // The whole book text: per Echomark its introduction, text and comment
  // parts, joined as the panes show them. With `storeLengths` the parts'
  // lengths (in code points) are kept. False when no Echomark could be
  // read; an Echomark that cannot be read has empty parts and is listed in
  // `failed` (when given).
  bool BuildViewTexts(unsigned count, int language, bool storeLengths, std::string& text,
                      std::vector<unsigned>* failed = nullptr);
  // Appends to an Echomark text what joins it to the next one: a line
  // break after a sentence ("." "!" "?", also before a closing double
  // quote; ".." counts as no sentence end), else a blank. `last` becomes
  // the character appended.
  static void AppendTextJoin(std::string& text, char32_t& last);
  // Trims line breaks at the end (start) and, when something is left and
  // `add` is set, puts one back.
  static void AddTrailingBreak(std::string& text, bool add);
  static void AddLeadingBreak(std::string& text, bool add);

  const std::string& GetBookText() const { return m_bookText; }
  // Per Echomark (index 1..N) the lengths in code points of its
  // introduction, text and comment parts in the book text.
  const std::vector<std::int32_t>& GetIntroductionLengths() const { return m_introLengths; }
  const std::vector<std::int32_t>& GetTextLengths() const { return m_textLengths; }
  const std::vector<std::int32_t>& GetCommentLengths() const { return m_commentLengths; }

  // --- Formats and identity -----------------------------------------------------
  bool InitTextFormats();
  // Record 1..6; record 1 for any other number.
  const COrv_TextFormat& GetTextFormat(int record) const;
  char32_t GetMaskChar() const;
  const std::string& GetTitle() const { return m_title; }
  const std::string& GetBookCode() const { return m_code; }
  int GetDisplayLanguage() const { return m_displayLanguage; }
  int GetOrigLanguage() const { return m_origLanguage; }
  int GetDifficulty() const { return m_difficulty; }
  int GetCategory() const { return m_category; }
  // The source file of the installed book named by the last component of
  // `path` (its file name without extension); empty when not installed.
  static std::string GetBookSourceFile(const std::string& path);

  // --- What the document owns ---------------------------------------------------
  COrv_Talvane& GetTalvane() { return m_book; }
  COrv_InfoBundle& GetBundle() { return *m_bundle; }
  COrv_QuoteInfo& GetQuoteInfo() { return m_quoteInfo; }
  const COrv_QuoteInfo& GetQuoteInfo() const { return m_quoteInfo; }
  COrv_QuoteStateList& GetStateList() { return m_states; }
  COrv_QuotePlayer& GetQuotePlayer() { return m_player; }
  COrv_RecordedVoice& GetRecordedVoice() { return m_voice; }
  COrv_ErrorInfo& GetErrorInfo() { return m_error; }
  TvDocumentHost* GetHost() const { return m_services.host; }

 private:
  bool openBook(const std::string& code);
  bool restoreSession(unsigned& start);
  void keepStoredSolved();
  bool keptSolved(unsigned n) const;
  // Writes the learner's progress for the current user; a failure is told
  // in a box naming the file and the reason.
  void saveProgress();
  unsigned firstLoadableQuote(unsigned from);
  bool loadInto(COrv_InfoBundle& bundle, unsigned n, int kinds);
  void applyWordDisplay(COrv_QuoteInfo& info, std::uint32_t status) const;
  std::uint32_t firstVisitBits(const COrv_QuoteInfo& info, const COrv_InfoBundle& bundle) const;
  std::string textIn(const COrv_TextInfo& texts) const;
  bool showText(const std::string& text, int record, int captionId, int dialogNumber, bool markup);
  void playJingle();
  bool setStatusBits(std::uint32_t bits, bool all, bool set);
  void saveCurrentQuote();
  int setting(int n) const;
  bool validQuote(unsigned n) const { return n >= 1 && n <= m_count; }
  void clearBook();

  TvDocumentServices m_services;
  PlatformDocumentSound m_platformSound;

  COrv_ErrorInfo m_error;
  COrv_QuoteInfo m_quoteInfo;
  COrv_QuoteStateList m_states;
  COrv_QuotePlayer m_player;
  std::vector<std::int32_t> m_introLengths;
  std::vector<std::int32_t> m_textLengths;
  std::vector<std::int32_t> m_commentLengths;
  COrv_RecordedVoice m_voice;
  std::string m_bookText;
  COrv_Talvane m_book;
  // The current Echomark's information, and a second bundle that the next
  // Echomark is loaded into first, so that a failed load leaves the
  // current one as it was.
  std::unique_ptr<COrv_InfoBundle> m_bundle;
  std::unique_ptr<COrv_InfoBundle> m_spare;
  std::string m_title;
  std::string m_code;
  int m_displayLanguage = 0;
  int m_origLanguage = 0;
  int m_difficulty = 0;
  int m_category = 0;
  unsigned m_count = 0;
  unsigned m_current = 0;
  COrv_TextFormat m_formats[kFormatCount];
  std::vector<unsigned> m_damaged;
  // Echomarks 1..N whose stored "solved" this session did not take over (a
  // declined restore, a text that could not be read): kept at close unless
  // the learner resets them.
  std::vector<bool> m_keptSolved;
  std::set<unsigned> m_unloadable;

  std::vector<TvDocumentView*> m_views;
  TvDocumentFrame* m_frame = nullptr;
  bool m_open = false;
  bool m_modified = false;
  plat::ui::Menu m_documentMenu;  // the document's own menu (empty when none)
};
