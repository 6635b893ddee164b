#pragma once
// COrv_MCIRecord: the voice recorder of the main frame, over the
// "waveaudio" recording device of plat::audio (mci_wave.h).
//
// One take at a time: Open sets the format from a capability flag, Record
// records from 0 up to the maximum length in the background (the device
// stops by itself there), Stop ends it early, Pause and Resume leave the
// paused time out, SaveToTempFile writes the take to a new "~ov" file in the
// system's temporary folder, Close releases the device.
//
// Every operation that takes a window accepts nullptr for none; with one,
// the command asks for a notification (MCI_NOTIFY) to that target. Only a
// failing record is shown to the learner (ShowMCIError); every other
// command answers failure silently.

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/audio/mci_wave.h"

inline constexpr int kStrMciError = 20054;
inline constexpr int kStrMciCommandError = 20055;
inline constexpr int kStrMciUnknownError = 20056;
inline constexpr int kStrMciCommandUnknownError = 20057;

class COrv_MCIRecord {
 public:
  static constexpr uint32_t kDefaultMaxLengthMs = 10000;
  // The prefix of the files SaveToTempFile makes.
  static constexpr const char* kTempPrefix = "~ov";

  COrv_MCIRecord();
  // Closes the device when it is open.
  virtual ~COrv_MCIRecord();
  COrv_MCIRecord(const COrv_MCIRecord&) = delete;
  COrv_MCIRecord& operator=(const COrv_MCIRecord&) = delete;

  void SetMaxLength(uint32_t ms) { m_maxLength = ms; }
  uint32_t GetMaxLength() const { return m_maxLength; }

  // Closes an open device first, opens a new recording and sets the format
  // of `flag` (SetFormat); when that fails the device is closed again.
  bool Open(uint32_t flag);
  // Fills the set parameters from a WAVE_FORMAT_* capability flag (any other
  // value: 11025 Hz, 16 bits, mono) in milliseconds and sends them. False
  // when closed or refused.
  bool SetFormat(uint32_t flag);
  // Cues the input, then records from 0 to the maximum in the background.
  // A failing record is shown with ShowMCIError. False when closed.
  bool Record(plat::audio::MciNotifyTarget* window = nullptr);
  // True when closed.
  bool Stop(plat::audio::MciNotifyTarget* window = nullptr);
  bool Pause(plat::audio::MciNotifyTarget* window = nullptr);
  bool Resume(plat::audio::MciNotifyTarget* window = nullptr);
  // Saves the take into a new unique file "~ov<hex>.tmp" of the system's
  // temporary folder and answers its full path; "" when closed or when the
  // file cannot be made or written (no file is then left behind), and for
  // a take that holds nothing.
  std::string SaveToTempFile(plat::audio::MciNotifyTarget* window = nullptr);
  // Closes the device. The recorder is closed afterwards in every case (a
  // device that refused is dropped all the same); false when it refused.
  // True when already closed.
  bool Close();
  // The same for every device of the process.
  bool CloseAll();
  bool IsOpen() const { return m_open; }

  // Shows a device error: nothing for 0; otherwise a warning beep and a
  // stop box, task-modal and top-most, with the device's text for the code
  // and, when given, the command's name.
  void ShowMCIError(plat::audio::MCIERROR code, const std::string& command = "");
  // The text ShowMCIError shows.
  static std::string MCIErrorText(plat::audio::MCIERROR code, const std::string& command);

  const plat::audio::MCI_WAVE_SET_PARMS& GetSetParms() const { return m_setParms; }
  plat::audio::MCIDEVICEID GetDeviceId() const { return m_openParms.deviceId; }

 private:
  bool Finish(plat::audio::MCIERROR closeResult);

  uint32_t m_maxLength = kDefaultMaxLengthMs;
  bool m_open = false;
  plat::audio::MCI_WAVE_SET_PARMS m_setParms;
  plat::audio::MCI_OPEN_PARMS m_openParms;
};
