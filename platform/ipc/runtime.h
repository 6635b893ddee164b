#pragma once
// Where the suite's per-user sockets live, and the small framed protocol the
// presence and DDE sockets share.
//
// Sockets sit in a folder of their own, one per user and configuration root:
//   $XDG_RUNTIME_DIR/talvane-<hash of the configuration root>/
// or, when XDG_RUNTIME_DIR is unset or that path is too long for a socket
// address, /tmp/talvane-<uid>/<hash of the intended folder>/. Every folder we
// create is 0700 and checked to be ours (owner, mode, not a symbolic link)
// before use. Names inside stay short, so a socket path always fits the
// 108-byte sun_path whatever the depth of the root.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat::ipc {

// The socket folder for this user and configuration root, created when
// missing. Empty when no usable folder can be made.
std::string socketFolder();

// A stable 64-bit hash (FNV-1a) shown as 16 hex digits; used to shorten names.
std::string shortHash(std::string_view text);

// Case-folded (ASCII letters lowered) copy: class and service names match
// without regard to case.
std::string foldCase(std::string_view text);

// True when the peer of the connected Unix socket `fd` runs as our user.
bool peerIsSameUser(int fd);

// A plain blocking client connection to the socket at `path`.
// Returns the descriptor or -1.
int connectTo(const std::string& path);

// Builds and reads the frames: a 32-bit little-endian length, then the body.
// Bodies are sequences of u8/u32/u64 (little-endian) and strings (u32 length
// + bytes). Readers check every length against what is left.
class FrameWriter {
 public:
  FrameWriter& u8(uint8_t v);
  FrameWriter& u32(uint32_t v);
  FrameWriter& u64(uint64_t v);
  FrameWriter& str(std::string_view s);
  // The framed bytes, length prefix included.
  std::string frame() const;

 private:
  std::string body_;
};

class FrameReader {
 public:
  explicit FrameReader(std::string_view body) : p_(body) {}
  bool u8(uint8_t& v);
  bool u32(uint32_t& v);
  bool u64(uint64_t& v);
  bool str(std::string& s);
  bool atEnd() const { return p_.empty(); }

 private:
  std::string_view p_;
};

// Largest body accepted from a peer.
inline constexpr uint32_t kMaxFrame = 64u * 1024u * 1024u;

// Takes every complete frame body off the front of `buffer`. Sets `bad` on a
// length beyond kMaxFrame (the connection is then to be dropped).
std::vector<std::string> takeFrames(std::string& buffer, bool& bad);

// Blocking helpers for plain descriptors, each bounded by a deadline in
// milliseconds from now (negative: no wait at all beyond what is ready).
bool writeAll(int fd, std::string_view bytes, int timeoutMs);
// Reads one frame body; nullopt on time-out, error, close or a bad length.
std::optional<std::string> readFrame(int fd, int timeoutMs);

}  // namespace plat::ipc
