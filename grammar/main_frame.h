#pragma once
// The grammar browser's main frame: the HTML view in the middle, the button
// bar on top, and the DDE server through which the player asks for pages
// ("GrammarPage") and for the interface language ("ChangeGUILang").

#include <QBrush>
#include <QMainWindow>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "shared/buttons/button_host.h"
#include "shared/buttons/orv_button.h"
#include "shared/dde/dde_server.h"

class CBrindleBrowse;
class CMainFrame;

// Exec data: a page path or URL, shown by the view.
class CGrammarPageTopic : public CDDETopic {
 public:
  bool Exec(const void* data, uint32_t size) override;
  CMainFrame* m_pFrame = nullptr;
};

// Exec data: the interface language index as decimal text.
class CChangeGUILangTopic : public CDDETopic {
 public:
  bool Exec(const void* data, uint32_t size) override;
  CMainFrame* m_pFrame = nullptr;
};

class CBrindleDDEServer : public CDDEServer {
 public:
  static constexpr const char* kGrammarPageTopic = "GrammarPage";
  static constexpr const char* kChangeGUILangTopic = "ChangeGUILang";
  bool OnCreated() override;
  CGrammarPageTopic m_GrammarPageTopic;
  CChangeGUILangTopic m_ChangeGUILangTopic;
};

// The row of buttons above the view, laid out from a fixed table: spacers
// and 30 x 30 bitmap buttons (COrv_ButtonEx, pictures 146 to 158) side by
// side, each with a language tooltip. Push buttons show down while held;
// the always-on-top button toggles.
class CBrindleButtonBar : public QWidget {
 public:
  static constexpr int kRows = 10;
  struct Row {
    int kind;  // 0 spacer, 1 button
    int command;
    int style;  // 4 push, 2 two-state toggle
    int tooltip;
    int width;
    int height;
    int bitmaps[4];  // up, down, hover up, hover down
  };
  static const std::array<Row, kRows> kTable;
  static constexpr int kDefaultColour = 0xC0C0C0;

  explicit CBrindleButtonBar(QWidget* parent = nullptr);
  ~CBrindleButtonBar() override;

  // Creates the buttons (they send their command to `onCommand`) and sets
  // their tooltips in `language`.
  void Create(const std::function<void(int)>& onCommand, unsigned language);
  // Mode 0: a solid colour (0xRRGGBB); mode 1: a pattern of the picture whose
  // id is the low 16 bits of `value`, or the default colour when it cannot
  // be loaded.
  void SetBackground(int mode, uint32_t value);
  int BackgroundMode() const { return m_nBackgroundMode; }
  uint32_t BackgroundValue() const { return m_nBackgroundValue; }
  void LoadTooltips(unsigned language);
  // Draws every button of `command` down (checked) or up; 0 when there is
  // none.
  int SetCheck(int command, bool checked);
  // 1 when the button of `command` is down, 0 when up, -1 when there is none.
  int GetCheck(int command) const;
  tv::buttons::COrv_ButtonEx* Button(int command) const;
  // The widget that holds the button of `command` (null when none).
  tv::buttons::ButtonHost* ButtonWidget(int command) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::array<std::unique_ptr<tv::buttons::COrv_ButtonEx>, kRows> m_buttons{};
  std::array<tv::buttons::ButtonHost*, kRows> m_hosts{};
  int m_nBackgroundMode = 0;
  uint32_t m_nBackgroundValue = kDefaultColour;
  QBrush m_brush;
};

class CMainFrame : public QMainWindow {
 public:
  static constexpr int ID_ALWAYS_ON_TOP = 111;
  static constexpr int IDS_TITLE = 20106;
  static constexpr const char* kServiceName = "Brindle";

  // The frame takes the view.
  explicit CMainFrame(CBrindleBrowse* view, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // Builds the bar, starts on top with the toggle pressed, starts the DDE
  // server under `service` (a failure is told and the browser goes on
  // without). Placed at 40 % x 70 % of the screen.
  bool OnCreate(const char* service = kServiceName);

  // A page path or URL for the view; shown from the event loop, so that the
  // request's answer does not wait for the page (or its message boxes).
  // While a box of the browser waits for the learner, requests are refused
  // (false): the page under the box does not change behind the learner's
  // back, and a request that fails cannot stack another box.
  bool ShowPage(const std::string& page);
  // Stores the language, sets the title and the bar's tooltips in it.
  void SetLanguage(unsigned index);
  unsigned Language() const { return m_nLanguage; }
  void OnCommand(int id);
  void SetTopmost(bool on);
  bool IsTopmost() const;


  CBrindleBrowse* View() const { return m_pView; }
  CBrindleButtonBar* Bar() const { return m_pBar; }
  CBrindleDDEServer& Server() { return m_server; }

 protected:
  // Taking the focus back repaints the page at once.
  void focusInEvent(QFocusEvent* e) override;
  bool event(QEvent* e) override;

 private:
  CBrindleDDEServer m_server;
  CBrindleButtonBar* m_pBar = nullptr;
  unsigned m_nLanguage = 0;
  CBrindleBrowse* m_pView = nullptr;
};
