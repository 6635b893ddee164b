#pragma once
// A view host that records what the audio view windows ask of it, one line
// per call ("fragment 189 25.0 75.0"), and answers the playing state a test
// sets.

#include <QApplication>
#include <QKeySequence>
#include <QMouseEvent>
#include <QWidget>
#include <functional>
#include <cstdio>
#include <string>
#include <vector>

#include "player/audio/audio_view_host.h"

class RecordingViewHost : public COrv_AudioViewHost {
 public:
  void SetFragmentFromView(float start, float end, int id) override {
    char line[64];
    std::snprintf(line, sizeof line, "fragment %d %.1f %.1f", id, start, end);
    calls.push_back(line);
    lastStart = start;
    lastEnd = end;
  }
  void SetPositionFromView(int segment, int id) override { add("position", id, segment); }
  void RequestPlay(int id) override { add("play", id); }
  void RequestPlayFragment(int id) override { add("playFragment", id); }
  void RequestPlayFrom(int segment, int id) override { add("playFrom", id, segment); }
  void OnViewClosed(int id) override { add("closed", id); }
  void SetVolume(double left, double right) override {
    char line[64];
    std::snprintf(line, sizeof line, "volume %.2f %.2f", left, right);
    calls.push_back(line);
    volumes.push_back(left);
    if (forwardVolume) forwardVolume(left, right);
  }
  void GetVolume(double* left, double* right) const override {
    *left = volumeLeft;
    *right = volumeRight;
  }
  bool IsAudioPlaying() const override { return playing; }
  void ShowHelp(const std::string& page) override { calls.push_back("help " + page); }
  bool TranslateAccelerator(QKeyCombination key) override {
    calls.push_back("key " + QKeySequence(key).toString().toStdString());
    return true;
  }

  std::string last() const { return calls.empty() ? std::string() : calls.back(); }

  std::vector<std::string> calls;
  std::vector<double> volumes;
  float lastStart = -1, lastEnd = -1;
  bool playing = false;
  double volumeLeft = 1.0, volumeRight = 1.0;
  std::function<void(double, double)> forwardVolume;

 private:
  void add(const char* what, int id, int n = -1) {
    calls.push_back(std::string(what) + " " + std::to_string(id) + (n >= 0 ? " " + std::to_string(n) : ""));
  }
};

// Mouse events sent straight to a widget, as the window system would.

namespace viewtest {

inline void send(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButtons held) {
  QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                held, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}
inline void press(QWidget* w, QPoint p) { send(w, QEvent::MouseButtonPress, p, Qt::LeftButton); }
inline void move(QWidget* w, QPoint p) { send(w, QEvent::MouseMove, p, Qt::LeftButton); }
inline void release(QWidget* w, QPoint p) { send(w, QEvent::MouseButtonRelease, p, Qt::NoButton); }
inline void click(QWidget* w, QPoint p) {
  press(w, p);
  release(w, p);
}
inline void doubleClick(QWidget* w, QPoint p) {
  click(w, p);
  send(w, QEvent::MouseButtonDblClick, p, Qt::LeftButton);
  release(w, p);
}
inline void drag(QWidget* w, QPoint from, QPoint to) {
  press(w, from);
  move(w, (from + to) / 2);
  move(w, to);
  release(w, to);
}

}  // namespace viewtest
