#pragma once
// Three toolbars with the audio, Echomark and recording commands:
// COrv_AudioToolBar, COrv_QuoteToolBar and COrv_RecordToolBar. Each places
// its buttons from a fixed table of (command, picture), sends a button's
// command to its sink and explains every button in a fixed English
// tooltip. The shown window uses the panels instead; nothing creates these.

#include <QToolBar>
#include <functional>
#include <string>
#include <vector>

class COrv_CommandToolBar : public QToolBar {
 public:
  struct Entry {
    int command;
    int picture;  // the up face of the panel button of the same command
    const char* tooltip;
  };
  using CommandSink = std::function<void(int id)>;

  // Places the buttons, with their pictures at the button size; false when
  // it has been done already.
  bool OnCreate();
  void SetCommandSink(CommandSink sink) { sink_ = std::move(sink); }
  QSize ButtonSize() const { return buttonSize_; }
  // The tooltip of a command; empty for a command not on this bar.
  std::string ToolTipFor(int command) const;
  QAction* ActionFor(int command) const;
  const std::vector<Entry>& Entries() const { return entries_; }

 protected:
  COrv_CommandToolBar(std::vector<Entry> entries, QSize buttonSize, QWidget* parent);

 private:
  std::vector<Entry> entries_;
  QSize buttonSize_;
  CommandSink sink_;
  bool created_ = false;
};

class COrv_AudioToolBar : public COrv_CommandToolBar {
 public:
  explicit COrv_AudioToolBar(QWidget* parent = nullptr) : COrv_AudioToolBar(QSize(16, 16), parent) {}
  COrv_AudioToolBar(QSize buttonSize, QWidget* parent);
};

class COrv_QuoteToolBar : public COrv_CommandToolBar {
 public:
  explicit COrv_QuoteToolBar(QWidget* parent = nullptr) : COrv_QuoteToolBar(QSize(16, 16), parent) {}
  COrv_QuoteToolBar(QSize buttonSize, QWidget* parent);
};

class COrv_RecordToolBar : public COrv_CommandToolBar {
 public:
  explicit COrv_RecordToolBar(QWidget* parent = nullptr) : COrv_RecordToolBar(QSize(16, 16), parent) {}
  COrv_RecordToolBar(QSize buttonSize, QWidget* parent);
};
