#pragma once
// COrv_QuoteStrip: what the Echomark index panel needs of the strip of
// Echomark cells it holds (the text views' COrv_QuoteScroll). The panel
// creates the strip's window in itself, places it, hands it the Echomarks'
// status words and forwards the scroll commands; the strip paints the
// cells and bounds its own scrolling.
//
// QuoteStripOf<T> lends this interface to any strip class that has these
// operations under the same names, so the strip itself needs to know
// nothing of the panel.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/win/win_types.h"

class COrv_QuoteStrip {
 public:
  virtual ~COrv_QuoteStrip() = default;
  // The strip window (child and visible, empty caption) in `parent`.
  virtual bool Create(const plat::win::RECT& rect, plat::win::HWND parent, int id) = 0;
  virtual plat::win::HWND GetSafeHwnd() const = 0;
  // The number of cells: the status array's last index.
  virtual int GetCount() const = 0;
  virtual int GetFirstVisible() const = 0;
  // One cell earlier or later, one strip width earlier or later.
  virtual void ScrollPrev() = 0;
  virtual void ScrollNext() = 0;
  virtual void PagePrev() = 0;
  virtual void PageNext() = 0;
  virtual void SetFirstVisible(int n) = 0;
  // False, changing nothing, unless 1 <= n <= the number of cells.
  virtual bool SetCurrent(int n) = 0;
  // A copy of the status words (entry 0 belongs to no Echomark) with n made
  // current / without; false for a missing array.
  virtual bool SetItems(const std::vector<std::uint32_t>* cells, int n) = 0;
  virtual bool UpdateItems(const std::vector<std::uint32_t>* cells) = 0;
};

template <typename Strip>
class QuoteStripOf : public COrv_QuoteStrip {
 public:
  template <typename... Args>
  explicit QuoteStripOf(Args&&... args) : strip_(std::forward<Args>(args)...) {}
  Strip& strip() { return strip_; }

  bool Create(const plat::win::RECT& rect, plat::win::HWND parent, int id) override {
    return strip_.Create(rect, parent, id);
  }
  plat::win::HWND GetSafeHwnd() const override { return strip_.GetSafeHwnd(); }
  int GetCount() const override { return strip_.GetCount(); }
  int GetFirstVisible() const override { return strip_.GetFirstVisible(); }
  void ScrollPrev() override { strip_.ScrollPrev(); }
  void ScrollNext() override { strip_.ScrollNext(); }
  void PagePrev() override { strip_.PagePrev(); }
  void PageNext() override { strip_.PageNext(); }
  void SetFirstVisible(int n) override { strip_.SetFirstVisible(n); }
  bool SetCurrent(int n) override { return strip_.SetCurrent(n); }
  bool SetItems(const std::vector<std::uint32_t>* cells, int n) override { return strip_.SetItems(cells, n); }
  bool UpdateItems(const std::vector<std::uint32_t>* cells) override { return strip_.UpdateItems(cells); }

 private:
  Strip strip_;
};
