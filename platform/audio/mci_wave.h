#pragma once
// A small "waveaudio" recording device in the manner of the classic media
// control commands, over the wave-in devices of plat::audio. It does what a
// voice recorder needs and no more:
//
//   mciOpen    a new, empty recording on the "waveaudio" type (no file
//              element: an element name must be empty); answers its id.
//   mciSet     the time format (milliseconds, samples or bytes) and the PCM
//              format of the recording; a new format drops the take held.
//   mciCue     opens the wave-in device for the format (MCI_WAVE_INPUT).
//   mciRecord  records a new take from 0 (MCI_FROM, when given, must be 0)
//              up to MCI_TO (required) in the background; the take ends by
//              itself when exactly that many frames have been captured.
//   mciStop    stops recording; the take keeps what was captured.
//   mciPause / mciResume
//              stop and restart the capture; the paused time is not part
//              of the take.
//   mciSave    writes the take as a canonical PCM WAV file (MCI_SAVE_FILE),
//              atomically, through the platform's RIFF/WAV writer. An empty
//              take, or a take still being recorded, is not saved.
//   mciClose   releases the device (MCI_ALL_DEVICE_ID: every device); the
//              id is gone afterwards even when the wave-in device reported
//              a failure (which is answered).
//   mciGetErrorString  the text of an error code.
//
// Every command answers 0 or an MCIERR_* code. All calls belong to the UI
// thread. The device records through currentBackend() and delivers its
// notifications through uiDispatcher(), both taken at open (and both must
// outlive it). Each take records on a wave-in device opened for it, so no
// buffer of an earlier take is ever handed back into a new one.
//
// Notifications: a command given with MCI_NOTIFY and a target reports to
// it later on the UI thread, never inside the call: MCI_NOTIFY_SUCCESSFUL
// once the command has completed (for mciRecord: when the take reached its
// end by itself), MCI_NOTIFY_ABORTED for a take stopped by mciStop or by a
// new take, MCI_NOTIFY_SUPERSEDED for a pending notification replaced by a
// later command's, MCI_NOTIFY_FAILURE when the device failed while
// recording. A failed command sends none. Closing a device drops its
// notifications not yet delivered: nothing reaches a target once its
// device has gone.

#include <cstdint>
#include <filesystem>
#include <string>

namespace plat::audio {

using MCIERROR = uint32_t;
using MCIDEVICEID = uint32_t;

inline constexpr MCIDEVICEID MCI_ALL_DEVICE_ID = 0xFFFFFFFFu;

// Command flags.
inline constexpr uint32_t MCI_NOTIFY = 0x1;
inline constexpr uint32_t MCI_WAIT = 0x2;
inline constexpr uint32_t MCI_FROM = 0x4;
inline constexpr uint32_t MCI_TO = 0x8;
inline constexpr uint32_t MCI_OPEN_SHAREABLE = 0x100;
inline constexpr uint32_t MCI_OPEN_ELEMENT = 0x200;
inline constexpr uint32_t MCI_OPEN_ALIAS = 0x400;
inline constexpr uint32_t MCI_OPEN_TYPE = 0x2000;
inline constexpr uint32_t MCI_SAVE_FILE = 0x100;
inline constexpr uint32_t MCI_SET_TIME_FORMAT = 0x400;
inline constexpr uint32_t MCI_WAVE_INPUT = 0x400000;
inline constexpr uint32_t MCI_WAVE_OUTPUT = 0x800000;
inline constexpr uint32_t MCI_WAVE_SET_FORMATTAG = 0x10000;
inline constexpr uint32_t MCI_WAVE_SET_CHANNELS = 0x20000;
inline constexpr uint32_t MCI_WAVE_SET_SAMPLESPERSEC = 0x40000;
inline constexpr uint32_t MCI_WAVE_SET_AVGBYTESPERSEC = 0x80000;
inline constexpr uint32_t MCI_WAVE_SET_BLOCKALIGN = 0x100000;
inline constexpr uint32_t MCI_WAVE_SET_BITSPERSAMPLE = 0x200000;

// Time formats.
inline constexpr uint32_t MCI_FORMAT_MILLISECONDS = 0;
inline constexpr uint32_t MCI_FORMAT_BYTES = 8;
inline constexpr uint32_t MCI_FORMAT_SAMPLES = 9;

// Notification codes.
inline constexpr uint32_t MCI_NOTIFY_SUCCESSFUL = 0x1;
inline constexpr uint32_t MCI_NOTIFY_SUPERSEDED = 0x2;
inline constexpr uint32_t MCI_NOTIFY_ABORTED = 0x4;
inline constexpr uint32_t MCI_NOTIFY_FAILURE = 0x8;

// Error codes.
inline constexpr MCIERROR MCIERR_BASE = 256;
inline constexpr MCIERROR MCIERR_INVALID_DEVICE_ID = MCIERR_BASE + 1;
inline constexpr MCIERROR MCIERR_HARDWARE = MCIERR_BASE + 6;
inline constexpr MCIERROR MCIERR_INVALID_DEVICE_NAME = MCIERR_BASE + 7;
inline constexpr MCIERROR MCIERR_OUT_OF_MEMORY = MCIERR_BASE + 8;
inline constexpr MCIERROR MCIERR_MISSING_PARAMETER = MCIERR_BASE + 17;
inline constexpr MCIERROR MCIERR_UNSUPPORTED_FUNCTION = MCIERR_BASE + 18;
inline constexpr MCIERROR MCIERR_OUTOFRANGE = MCIERR_BASE + 26;
inline constexpr MCIERROR MCIERR_FLAGS_NOT_COMPATIBLE = MCIERR_BASE + 28;
inline constexpr MCIERROR MCIERR_FILE_NOT_SAVED = MCIERR_BASE + 30;
inline constexpr MCIERROR MCIERR_BAD_TIME_FORMAT = MCIERR_BASE + 37;
inline constexpr MCIERROR MCIERR_NONAPPLICABLE_FUNCTION = MCIERR_BASE + 46;
inline constexpr MCIERROR MCIERR_WAVE_INPUTSINUSE = MCIERR_BASE + 66;
inline constexpr MCIERROR MCIERR_WAVE_INPUTSUNSUITABLE = MCIERR_BASE + 72;

// Receives the notifications of commands given with MCI_NOTIFY.
class MciNotifyTarget {
 public:
  virtual ~MciNotifyTarget() = default;
  virtual void OnMciNotify(MCIDEVICEID device, uint32_t code) = 0;
};

struct MCI_GENERIC_PARMS {
  MciNotifyTarget* callback = nullptr;
};

struct MCI_OPEN_PARMS {
  MciNotifyTarget* callback = nullptr;
  MCIDEVICEID deviceId = 0;  // set by mciOpen
  std::string deviceType;    // "waveaudio" (case ignored)
  std::string elementName;   // "" for a new recording
  std::string alias;         // kept for the shape; not used
};

struct MCI_WAVE_SET_PARMS {
  MciNotifyTarget* callback = nullptr;
  uint32_t timeFormat = MCI_FORMAT_MILLISECONDS;
  uint32_t audio = 0;
  uint32_t input = 0;
  uint32_t output = 0;
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
};

struct MCI_RECORD_PARMS {
  MciNotifyTarget* callback = nullptr;
  uint32_t from = 0;  // in the time format
  uint32_t to = 0;
};

struct MCI_SAVE_PARMS {
  MciNotifyTarget* callback = nullptr;
  std::filesystem::path fileName;
};

MCIERROR mciOpen(uint32_t flags, MCI_OPEN_PARMS& parms);
// The fields of `parms` that the flags name; the format they give with the
// ones left as they were must be PCM of 8 or 16 bits, 1 or 2 channels and
// a byte rate and block align that agree (else MCIERR_OUTOFRANGE).
MCIERROR mciSet(MCIDEVICEID id, uint32_t flags, const MCI_WAVE_SET_PARMS& parms);
MCIERROR mciCue(MCIDEVICEID id, uint32_t flags, const MCI_GENERIC_PARMS& parms);
// Without MCI_WAIT only: the take is recorded in the background.
MCIERROR mciRecord(MCIDEVICEID id, uint32_t flags, const MCI_RECORD_PARMS& parms);
MCIERROR mciStop(MCIDEVICEID id, uint32_t flags, const MCI_GENERIC_PARMS& parms);
MCIERROR mciPause(MCIDEVICEID id, uint32_t flags, const MCI_GENERIC_PARMS& parms);
MCIERROR mciResume(MCIDEVICEID id, uint32_t flags, const MCI_GENERIC_PARMS& parms);
MCIERROR mciSave(MCIDEVICEID id, uint32_t flags, const MCI_SAVE_PARMS& parms);
MCIERROR mciClose(MCIDEVICEID id, uint32_t flags, const MCI_GENERIC_PARMS& parms);

// The text of an error code; false (text cleared) for 0 and for codes it
// does not know.
bool mciGetErrorString(MCIERROR code, std::string& text);

}  // namespace plat::audio
