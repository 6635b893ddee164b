#pragma once
// COrv_BookInstaller: installs one Talvane out of a packet (.tpk). It reads
// the Talvane's directory slot, unpacks the packet's tail, copies its
// members into a new book content file (COrv_BookFileWriter), turns each
// normal-speed recording "0nn" into up to three WAV members (0nn normal,
// 6nn faster, 2nn slower), each with its segment table, and reports the
// steps to an InstallProgress. Registering the book in the installed-book
// information is the caller's step (see PacketInstaller).
//
// Packets are hostile input: every count, size, offset and record number
// read from them is checked before use; a packet that does not hold what
// its tables claim is refused with "This file has an incorrect format !".
// The content file is written atomically (a temporary beside the target,
// renamed over it at the end), so a failure at any step leaves no half
// written content file, and an installation of the same book stays as it
// was until the new one is complete. The unpacked tail and every scratch
// WAV file are removed on every path.
//
// Member treatment (names compared without regard to case, stored upper
// case): "ID ", "INI", "S01", "DCI", "Gnn" copied; "MF1" copied unless the
// packet has an "MF1ADDON" entry, which is stored as "MF1" instead; "DCT"
// copied piece by piece {u16 L; 32 bytes; L bytes}, the 32 bytes and the L
// bytes each enciphered with the modulo-255 walk (L at most 2048); "VFT"
// (the segment shares of every recording, in member order) read, not
// stored; "0nn" recordings converted by the packet's audio kind (0 or '+':
// already WAV). Other members are left out.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace orv::install {

// Where an installation shows its steps: two lines of text and a bar from 0
// to 100. A window behind it keeps the user interface alive between steps.
class InstallProgress {
 public:
  virtual ~InstallProgress() = default;
  virtual void SetLine1(const std::string& text) = 0;
  virtual void SetLine2(const std::string& text) = 0;
  virtual void SetPosition(int percent) = 0;
  // Called now and then while a step takes long (the window repaints).
  virtual void KeepAlive() {}
};

// Shows nothing (silent installations).
class NoProgress : public InstallProgress {
 public:
  void SetLine1(const std::string&) override {}
  void SetLine2(const std::string&) override {}
  void SetPosition(int) override {}
};

// Turns a recording stored in another audio kind into a WAV file.
class AudioConverter {
 public:
  virtual ~AudioConverter() = default;
  // `kind` is the packet's audio byte (never 0 or '+'). False when the data
  // cannot be converted. Called on worker threads, several at a time.
  virtual bool Convert(std::string_view source, std::uint8_t kind, std::string& wav) = 0;
  // False when the converter itself is missing (its library not found).
  virtual bool Available() { return true; }
};

// Shows an installation error through the player's error box: message
// `message`, the source line as the error number, `detail` (a path) below.
void ReportInstallError(int message, int line, const std::string& detail = {});

class COrv_BookInstaller {
 public:
  // Message ids of the installation's own reports.
  enum : int {
    kStrProgressTitle = 9005,
    kMsgCantOpen = 9101,
    kMsgBadFormat = 9103,
    kMsgCompression = 9106,
    kMsgDictionary = 9109,
    kMsgFragmentTable = 9110,
    kMsgTooManyMembers = 20348,
    kMsgDamagedSpots = 20350,
    kMsgConversion = 20460,
    kStrSpeechKind = 20461,
    kStrSampleFormat = 20468,
    kStrInstalling = 9300,
    kStrDecompressing = 9301,
    kStrConverting = 9302,
    kStrUpdating = 9303,
    kStrInstalled = 9304,
  };
  // Ceiling on one member held in memory while it is copied or converted.
  static constexpr std::uint32_t kMaxMemberBytes = 256u << 20;
  static constexpr std::uint32_t kMaxPiece = 2048;  // a dictionary piece

  // Installs the Talvane of 1-based directory slot `slot` of the packet
  // `packetName` in `packetFolder` (empty: the name is a full path) as a
  // content file named by the slot's title with ".tvl" in
  // `destinationFolder`. On success `contentPath` receives the content
  // file's full path and 1 is returned; on failure 0, after a message
  // (except where a step below reported already), and `contentPath` is
  // left empty.
  int Install(const std::string& packetName, const std::string& packetFolder, const std::string& destinationFolder,
              std::string& contentPath, int slot, InstallProgress& progress);

  // The converter for audio kinds other than 0 and '+' (not owned; by
  // default the decoder library; none: such packets are refused with
  // "Compression format not supported !").
  void SetAudioConverter(AudioConverter* converter) { m_converter = converter; }
  // Where the packet's tail is unpacked and its ceiling (defaults: those of
  // COrv_PacketFile).
  void SetWorkFolder(const std::filesystem::path& folder) { m_workFolder = folder; }
  void SetTailLimit(std::uint64_t bytes) { m_tailLimit = bytes; }
  // How many threads render the speeds (0, the default: one per core; 1:
  // all on the calling thread). The content file is the same either way.
  void SetRenderThreads(unsigned threads) { m_threads = threads; }

  // The content file name for a slot title: the title with ".tvl", or the
  // code when the title is empty.
  static std::string ContentFileName(const std::string& title, const std::string& code);
  // Why the last Install was refused, in words, when its message gave a
  // reason ("" otherwise): a recording in a sample format the player does
  // not play is named.
  const std::string& FailureReason() const { return m_reason; }

  COrv_BookInstaller();

 private:
  AudioConverter* m_converter;
  std::filesystem::path m_workFolder;
  std::uint64_t m_tailLimit = 0;
  unsigned m_threads = 0;
  std::string m_reason;
};

}  // namespace orv::install
