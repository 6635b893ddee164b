#pragma once
// COrv_ViewDialog: what the floating audio view windows share. Each is a
// tool window above the main frame, drawn in the program's skinned frame
// with a caption from the interface language; it tells its host when the
// learner closes it (it is then only hidden), shows its help page on F1 and
// offers every other key to the player's shortcuts first.

#include <QRect>
#include <QWidget>
#include <string>

#include "player/audio/audio_view_host.h"
#include "shared/skin/orv_skin_frame.h"

class COrv_ViewDialog : public QWidget {
 public:
  // Dialog units of the window templates in pixels (a 6 x 16 base unit).
  static int DialogUnitsX(int du) { return du * 6 / 4; }
  static int DialogUnitsY(int du) { return du * 16 / 8; }

  // `captionId` is the string the caption shows unless the main frame
  // gives a title; `helpPage` the page of the help folder that F1 opens.
  COrv_ViewDialog(COrv_AudioViewHost* host, int captionId, std::string helpPage, QWidget* parent);

  virtual void SetHost(COrv_AudioViewHost* host) { host_ = host; }
  COrv_AudioViewHost* Host() const { return host_; }
  // The control id carried by every report to the host; 0 sends nothing.
  void SetCtrlId(int id) { ctrlId_ = id; }
  int CtrlId() const { return ctrlId_; }
  // The string of the window's title and caption, by which the main frame
  // names its audio and recording windows apart; 0 shows the caption
  // string.
  void SetTitleId(int id);
  // Reloads the caption in the current interface language.
  void UpdateCaption();
  // The part of the window inside its frame.
  QRect InnerRect() const { return skin_.GetInnerRect(); }
  COrv_SkinFrame& Skin() { return skin_; }

 protected:
  // Puts the frame around the window at its present size, which becomes
  // its minimum size.
  void AttachSkin(bool resizable);
  void closeEvent(QCloseEvent* event) override;
  // The first showing centres the window over the main frame (over the
  // screen without one); later ones keep where the learner put it.
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  COrv_SkinFrame skin_;
  COrv_AudioViewHost* host_;
  int captionId_;
  int titleId_ = 0;
  int ctrlId_ = 0;
  bool placed_ = false;
  std::string helpPage_;
};
