#pragma once
// COrv_LabelPanel: a second Echomark bar with a painted strip of numbered
// cells (COrv_RoundLabel) between two scroll buttons on each side. It keeps
// its own copy of the Echomarks' status words; a click on a cell moves the
// main window to that Echomark. The shown window uses the Echomark index
// panel instead; this bar is complete but nothing creates it.

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "player/shell/round_label.h"

class QPushButton;

class COrv_LabelPanel : public QWidget {
 public:
  static constexpr QRgb kBackground = 0xFFFCCC24;
  // The buttons, left to right: a strip width back, one cell back, one cell
  // forward, a strip width forward.
  static constexpr int kButtonIds[4] = {1013, 1015, 1014, 1016};

  // `goToQuote` is the main window's move to Echomark n.
  explicit COrv_LabelPanel(std::function<void(int)> goToQuote = {}, QWidget* parent = nullptr);

  // Creates the strip (disabled until it has cells) and lays the controls
  // out once from the client size; a later resize keeps that layout.
  bool OnInitDialog();

  // Empties the cells and disables the strip; with an array, takes a copy
  // and enables it. Then the strip starts at cell 1.
  void SetItems(const std::vector<std::uint32_t>* status);
  void ClearItems();
  // Only while the strip has cells and `status` holds some: takes a copy
  // and repaints.
  void UpdateItems(const std::vector<std::uint32_t>* status);

  void ScrollNext();
  void PageNext();
  void ScrollPrev();
  void PagePrev();
  void SetFirstVisible(int n);
  int GetCount() const;

  COrv_RoundLabel* Strip() const { return strip_; }
  QPushButton* Button(int id) const;
  const std::vector<std::uint32_t>& Items() const { return items_; }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  std::function<void(int)> goToQuote_;
  std::vector<std::uint32_t> items_;
  COrv_RoundLabel* strip_ = nullptr;
  std::array<QPushButton*, 4> buttons_{};
};
