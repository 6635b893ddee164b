#pragma once
// COrv_AudioViewHost: what the audio view windows (the fragment selectors,
// the speech views and the Volume window) ask of the main frame. Every
// report carries the control id of the window it comes from (189 and 202
// for the fragment selectors, 208 and 207 for the speech views), so that
// one host serves the views of the Echomark audio and of the recording.

#include <QKeyCombination>
#include <string>

class COrv_AudioViewHost {
 public:
  virtual ~COrv_AudioViewHost() = default;

  // The learner chose a fragment (per cent of the wave) in window `id`.
  virtual void SetFragmentFromView(float start, float end, int id) = 0;
  // The learner clicked segment `segment` (1-based; one past the last when
  // the click fell right of every cell) in the segment bar of window `id`.
  virtual void SetPositionFromView(int segment, int id) = 0;
  // Play requests of a speech view: the whole wave, the fragment, one
  // segment (1-based).
  virtual void RequestPlay(int id) = 0;
  virtual void RequestPlayFragment(int id) = 0;
  virtual void RequestPlayFrom(int segment, int id) = 0;
  // Window `id` was closed by the learner (it is hidden, never destroyed).
  virtual void OnViewClosed(int id) = 0;
  // The volume the learner set in the Volume window, 0..1 per channel.
  virtual void SetVolume(double left, double right) = 0;
  // The volume the player plays at now (the Volume window starts with it).
  virtual void GetVolume(double* left, double* right) const = 0;
  // Whether the Echomark audio or a recording is playing now; the
  // fragment selectors show the play position only then.
  virtual bool IsAudioPlaying() const = 0;
  // Shows a page of the help folder ("fragment.htm").
  virtual void ShowHelp(const std::string& page) = 0;
  // Offers a key pressed in a view window to the player's shortcuts; true
  // when it ran a command.
  virtual bool TranslateAccelerator(QKeyCombination key) = 0;
};
