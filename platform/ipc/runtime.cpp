#include "platform/ipc/runtime.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/fs/config_root.h"

namespace plat::ipc {

namespace {

// Longest folder we put sockets in: leaves room for a name of up to 40 bytes.
constexpr size_t kMaxFolder = sizeof(sockaddr_un{}.sun_path) - 42;

// Creates `path` (one level) as 0700 when missing and checks that it is a
// real folder of ours that nobody else can enter.
bool privateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return false;
  if ((st.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) return false;
  return true;
}

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

std::string shortHash(std::string_view text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  static const char* digits = "0123456789abcdef";
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, h >>= 4) out[static_cast<size_t>(i)] = digits[h & 15];
  return out;
}

std::string foldCase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string socketFolder() {
  const std::string rootKey = shortHash(plat::fs::configRoot().lexically_normal().string());
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg != nullptr && *xdg == '/') {
    struct stat st {};
    const std::string base = xdg;
    const std::string folder = base + "/talvane-" + rootKey;
    if (folder.size() <= kMaxFolder && ::stat(base.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == ::getuid() && privateFolder(folder))
      return folder;
    if (folder.size() > kMaxFolder) {
      // Too deep for a socket address: a short folder of our own stands in,
      // named after the one it replaces so that separate runtime folders stay apart.
      const std::string top = "/tmp/talvane-" + std::to_string(::getuid());
      const std::string alt = top + "/" + shortHash(folder);
      if (privateFolder(top) && privateFolder(alt)) return alt;
    }
    return {};
  }
  const std::string top = "/tmp/talvane-" + std::to_string(::getuid());
  const std::string folder = top + "/" + rootKey;
  if (privateFolder(top) && privateFolder(folder)) return folder;
  return {};
}

bool peerIsSameUser(int fd) {
  struct ucred cred {};
  socklen_t len = sizeof cred;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return false;
  return cred.uid == ::getuid();
}

int connectTo(const std::string& path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return -1;
  std::memcpy(addr.sun_path, path.data(), path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || !peerIsSameUser(fd)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

FrameWriter& FrameWriter::u8(uint8_t v) {
  body_.push_back(static_cast<char>(v));
  return *this;
}
FrameWriter& FrameWriter::u32(uint32_t v) {
  for (int i = 0; i < 4; ++i) body_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return *this;
}
FrameWriter& FrameWriter::u64(uint64_t v) {
  u32(static_cast<uint32_t>(v));
  return u32(static_cast<uint32_t>(v >> 32));
}
FrameWriter& FrameWriter::str(std::string_view s) {
  u32(static_cast<uint32_t>(s.size()));
  body_.append(s);
  return *this;
}
std::string FrameWriter::frame() const {
  std::string out;
  const uint32_t n = static_cast<uint32_t>(body_.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
  out += body_;
  return out;
}

bool FrameReader::u8(uint8_t& v) {
  if (p_.empty()) return false;
  v = static_cast<uint8_t>(p_[0]);
  p_.remove_prefix(1);
  return true;
}
bool FrameReader::u32(uint32_t& v) {
  if (p_.size() < 4) return false;
  v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(p_[static_cast<size_t>(i)])) << (8 * i);
  p_.remove_prefix(4);
  return true;
}
bool FrameReader::u64(uint64_t& v) {
  uint32_t lo = 0, hi = 0;
  if (!u32(lo) || !u32(hi)) return false;
  v = (static_cast<uint64_t>(hi) << 32) | lo;
  return true;
}
bool FrameReader::str(std::string& s) {
  uint32_t n = 0;
  if (!u32(n) || n > p_.size()) return false;
  s.assign(p_.substr(0, n));
  p_.remove_prefix(n);
  return true;
}

std::vector<std::string> takeFrames(std::string& buffer, bool& bad) {
  std::vector<std::string> out;
  size_t pos = 0;
  bad = false;
  while (buffer.size() - pos >= 4) {
    FrameReader r(std::string_view(buffer).substr(pos, 4));
    uint32_t n = 0;
    r.u32(n);
    if (n > kMaxFrame) {
      bad = true;
      break;
    }
    if (buffer.size() - pos - 4 < n) break;
    out.emplace_back(buffer.substr(pos + 4, n));
    pos += 4 + n;
  }
  buffer.erase(0, pos);
  return out;
}

bool writeAll(int fd, std::string_view bytes, int timeoutMs) {
  const int64_t deadline = nowMs() + (timeoutMs < 0 ? 0 : timeoutMs);
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    const int64_t left = deadline - nowMs();
    if (left <= 0) return false;
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, static_cast<int>(left));
  }
  return true;
}

std::optional<std::string> readFrame(int fd, int timeoutMs) {
  const int64_t deadline = nowMs() + (timeoutMs < 0 ? 0 : timeoutMs);
  std::string buffer;
  for (;;) {
    bool bad = false;
    auto frames = takeFrames(buffer, bad);
    if (bad) return std::nullopt;
    if (!frames.empty()) return frames.front();
    const int64_t left = deadline - nowMs();
    if (left < 0) return std::nullopt;
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return std::nullopt;
    char chunk[4096];
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return std::nullopt;
    buffer.append(chunk, static_cast<size_t>(n));
  }
}

}  // namespace plat::ipc
