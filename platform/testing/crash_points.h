#pragma once
// Kill tests without random timing: the work runs in a forked child that
// dies (_exit) at one chosen file operation, through the fault-injection
// hook of plat::fs. forEachCrashPoint walks every point in turn: for each
// kind of operation the first, second, third ... one that touches a path
// holding `pathPart`, until the work finishes before reaching it. After
// each death the parent checks what is on disk.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "platform/fs/fault.h"

namespace tvtest {

struct CrashPoint {
  plat::fs::FaultOp op;
  int skip;  // how many such operations pass first
};

inline const char* faultOpName(plat::fs::FaultOp op) {
  switch (op) {
    case plat::fs::FaultOp::Open: return "open";
    case plat::fs::FaultOp::Read: return "read";
    case plat::fs::FaultOp::Write: return "write";
    case plat::fs::FaultOp::Rename: return "rename";
    case plat::fs::FaultOp::Remove: return "remove";
    case plat::fs::FaultOp::MakeFolder: return "make folder";
  }
  return "?";
}

// Runs `work` in a child that dies at `point`; true when it died there,
// false when the work finished first.
inline bool runUntilCrash(const std::string& pathPart, CrashPoint point, const std::function<void()>& work) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    plat::fs::injectCrash(point.op, pathPart, point.skip);
    work();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status)) << "the child ended by a signal";
  return WIFEXITED(status) && WEXITSTATUS(status) == plat::fs::kCrashExitCode;
}

// For every crash point of `work`: `setup` builds the old state, the
// work dies at the point, `check` looks at the result (told where it
// died). Answers how many points were tried.
inline int forEachCrashPoint(const std::string& pathPart, const std::function<void()>& setup,
                             const std::function<void()>& work, const std::function<void(const std::string&)>& check) {
  int points = 0;
  for (plat::fs::FaultOp op : {plat::fs::FaultOp::Open, plat::fs::FaultOp::Read, plat::fs::FaultOp::Write,
                               plat::fs::FaultOp::Rename, plat::fs::FaultOp::Remove, plat::fs::FaultOp::MakeFolder}) {
    for (int skip = 0; skip < 200; ++skip) {
      setup();
      if (!runUntilCrash(pathPart, {op, skip}, work)) break;
      ++points;
      check(std::string(faultOpName(op)) + " #" + std::to_string(skip + 1));
      if (::testing::Test::HasFatalFailure()) return points;
    }
  }
  return points;
}

}  // namespace tvtest
