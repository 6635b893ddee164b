#include "platform/fs/fault.h"

#include <unistd.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace plat::fs {

namespace {
struct Fault {
  FaultOp op;
  std::string pathPart;
  int error;
  int count;
  int skip;
};

std::mutex& faultMutex() {
  static std::mutex m;
  return m;
}
std::vector<Fault>& faults() {
  static std::vector<Fault> f;
  return f;
}
// Lets takeFault() skip the lock in the common case of no faults at all.
std::atomic<int> pendingFaults{0};
}  // namespace

void injectFault(FaultOp op, std::string pathPart, int error, int count, int skip) {
  if (count <= 0) return;
  std::lock_guard lock(faultMutex());
  faults().push_back({op, std::move(pathPart), error, count, skip});
  pendingFaults.store(static_cast<int>(faults().size()));
}

void clearFaults() {
  std::lock_guard lock(faultMutex());
  faults().clear();
  pendingFaults.store(0);
}

int takeFault(FaultOp op, const std::string& path) {
  if (pendingFaults.load() == 0) return 0;
  std::lock_guard lock(faultMutex());
  auto& list = faults();
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->op != op) continue;
    if (!it->pathPart.empty() && path.find(it->pathPart) == std::string::npos) continue;
    if (it->skip > 0) {
      --it->skip;
      return 0;
    }
    const int error = it->error;
    if (error == kCrashFault) ::_exit(kCrashExitCode);
    if (--it->count == 0) list.erase(it);
    pendingFaults.store(static_cast<int>(list.size()));
    return error;
  }
  return 0;
}

}  // namespace plat::fs
