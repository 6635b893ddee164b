#pragma once
// Fault injection for the layer's file operations. Tests make a chosen
// open, read, write, rename or delete fail with an errno value, so that every
// failure path can be exercised (CI runs as root, where permission tricks
// fail nothing). Every file operation of the layer asks takeFault() first.
// Open also covers opening a folder for listing; Remove covers files, links
// and folders; MakeFolder covers creating a folder.

#include <string>

namespace plat::fs {

enum class FaultOp { Open, Read, Write, Rename, Remove, MakeFolder };

// The next `count` operations of kind `op` on a path that contains
// `pathPart` (empty: any path), after `skip` such operations have passed,
// fail with `error`.
void injectFault(FaultOp op, std::string pathPart, int error, int count = 1, int skip = 0);

// The error value that makes the operation end the process on the spot
// (_exit with kCrashExitCode), as a kill at that moment would: crash tests
// run the writer in a child process and pick the point to die at.
inline constexpr int kCrashFault = -1;
inline constexpr int kCrashExitCode = 86;

// The next operation of kind `op` on a path containing `pathPart`, after
// `skip` such operations have passed, ends the process.
inline void injectCrash(FaultOp op, std::string pathPart, int skip = 0) {
  injectFault(op, std::move(pathPart), kCrashFault, 1, skip);
}

// Removes every pending fault.
void clearFaults();

// The errno that the operation must fail with, or 0. Consumes the fault.
int takeFault(FaultOp op, const std::string& path);

// Clears the pending faults when it goes out of scope.
class FaultScope {
 public:
  FaultScope() = default;
  FaultScope(const FaultScope&) = delete;
  FaultScope& operator=(const FaultScope&) = delete;
  ~FaultScope() { clearFaults(); }
};

}  // namespace plat::fs
