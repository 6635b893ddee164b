#include "player/audio/mci_record.h"

#include "platform/audio/audio.h"
#include "platform/fs/file_io.h"
#include "platform/fs/program_folder.h"
#include "platform/fs/temp_files.h"
#include "platform/ui/message_box.h"
#include "player/env/msg_box.h"
#include "shared/language/orv_language.h"

using namespace plat::audio;

namespace {

// Puts `args` in place of the "%s" of a text, in order; any other '%'
// stays as it is ("%%" gives one). The texts come from language modules,
// so they are never handed to printf.
std::string fillIn(const std::string& text, std::initializer_list<std::string_view> args) {
  std::string out;
  auto next = args.begin();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size()) {
      if (text[i + 1] == 's') {
        if (next != args.end()) out += *next++;
        ++i;
        continue;
      }
      if (text[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

}  // namespace

COrv_MCIRecord::COrv_MCIRecord() = default;

COrv_MCIRecord::~COrv_MCIRecord() {
  if (m_open) Close();
}

bool COrv_MCIRecord::Open(uint32_t flag) {
  if (m_open) Close();
  MCI_OPEN_PARMS parms;
  parms.deviceType = "waveaudio";
  parms.elementName = "";
  if (mciOpen(MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT, parms)) {
    m_openParms = MCI_OPEN_PARMS{};
    return false;
  }
  m_openParms = parms;
  m_open = true;
  if (!SetFormat(flag)) {
    Close();
    return false;
  }
  return true;
}

bool COrv_MCIRecord::SetFormat(uint32_t flag) {
  if (!m_open) return false;
  WaveFormat f;
  if (!formatFromCapsFlag(flag, f)) f = WaveFormat::pcm(11025, 16, 1);
  m_setParms.timeFormat = MCI_FORMAT_MILLISECONDS;
  m_setParms.formatTag = WAVE_FORMAT_PCM;
  m_setParms.channels = f.channels;
  m_setParms.samplesPerSec = f.samplesPerSec;
  m_setParms.bitsPerSample = f.bitsPerSample;
  m_setParms.blockAlign = f.blockAlign;
  m_setParms.avgBytesPerSec = f.avgBytesPerSec;
  return mciSet(m_openParms.deviceId,
                MCI_WAIT | MCI_SET_TIME_FORMAT | MCI_WAVE_SET_FORMATTAG | MCI_WAVE_SET_CHANNELS |
                    MCI_WAVE_SET_SAMPLESPERSEC | MCI_WAVE_SET_AVGBYTESPERSEC | MCI_WAVE_SET_BLOCKALIGN |
                    MCI_WAVE_SET_BITSPERSAMPLE,
                m_setParms) == 0;
}

bool COrv_MCIRecord::Record(MciNotifyTarget* window) {
  if (!m_open) return false;
  // The cue only prepares the input: a failure shows up again in the record
  // that follows. It asks for no notification, which a window would take
  // for the end of the take.
  mciCue(m_openParms.deviceId, MCI_WAVE_INPUT | MCI_WAIT, MCI_GENERIC_PARMS{});
  MCI_RECORD_PARMS parms{window, 0, m_maxLength};
  if (MCIERROR e = mciRecord(m_openParms.deviceId, MCI_FROM | MCI_TO | (window ? MCI_NOTIFY : 0), parms)) {
    ShowMCIError(e, "MCI_RECORD");
    return false;
  }
  return true;
}

bool COrv_MCIRecord::Stop(MciNotifyTarget* window) {
  if (!m_open) return true;
  return mciStop(m_openParms.deviceId, window ? MCI_NOTIFY : 0, MCI_GENERIC_PARMS{window}) == 0;
}

bool COrv_MCIRecord::Pause(MciNotifyTarget* window) {
  if (!m_open) return false;
  return mciPause(m_openParms.deviceId, window ? MCI_NOTIFY : 0, MCI_GENERIC_PARMS{window}) == 0;
}

bool COrv_MCIRecord::Resume(MciNotifyTarget* window) {
  if (!m_open) return false;
  return mciResume(m_openParms.deviceId, window ? MCI_NOTIFY : 0, MCI_GENERIC_PARMS{window}) == 0;
}

std::string COrv_MCIRecord::SaveToTempFile(MciNotifyTarget* window) {
  if (!m_open) return "";
  plat::fs::TempFile temp;
  if (plat::fs::createTempFile(plat::fs::systemTempFolder(), kTempPrefix, temp)) return "";
  MCI_SAVE_PARMS parms{window, temp.path};
  if (mciSave(m_openParms.deviceId, MCI_SAVE_FILE | MCI_WAIT | (window ? MCI_NOTIFY : 0), parms)) {
    plat::fs::removeFile(temp.path);
    return "";
  }
  return temp.path.string();
}

bool COrv_MCIRecord::Finish(MCIERROR closeResult) {
  // The device id is gone whatever the close answered, so the recorder
  // must not stay "open" without one.
  m_openParms = MCI_OPEN_PARMS{};
  m_open = false;
  return closeResult == 0;
}

bool COrv_MCIRecord::Close() {
  if (!m_open) return true;
  return Finish(mciClose(m_openParms.deviceId, MCI_WAIT, MCI_GENERIC_PARMS{}));
}

bool COrv_MCIRecord::CloseAll() {
  return Finish(mciClose(MCI_ALL_DEVICE_ID, MCI_WAIT, MCI_GENERIC_PARMS{}));
}

std::string COrv_MCIRecord::MCIErrorText(MCIERROR code, const std::string& command) {
  const COrv_Language lang;
  std::string text;
  if (mciGetErrorString(code, text)) {
    return command.empty() ? fillIn(lang.LoadString(kStrMciError), {text})
                           : fillIn(lang.LoadString(kStrMciCommandError), {command, text});
  }
  return command.empty() ? lang.LoadString(kStrMciUnknownError)
                         : fillIn(lang.LoadString(kStrMciCommandUnknownError), {command});
}

void COrv_MCIRecord::ShowMCIError(MCIERROR code, const std::string& command) {
  if (code == 0) return;
  plat::ui::MessageBeep(plat::ui::MB_ICONEXCLAMATION);
  plat::ui::MessageBox(MCIErrorText(code, command), COrv_Language().LoadString(orv::kStrErrorCaption),
                       plat::ui::MB_OK | plat::ui::MB_ICONSTOP | plat::ui::MB_TASKMODAL | plat::ui::MB_TOPMOST);
}
