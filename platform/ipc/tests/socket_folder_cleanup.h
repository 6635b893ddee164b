#pragma once
// Test sandboxes sit too deep for socket addresses, so their sockets go to a
// stand-in folder under /tmp; this removes it after every test, so that runs
// leave nothing behind there.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/ipc/runtime.h"

namespace tvtest {

class SocketFolderCleanup : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override {
    const std::string folder = plat::ipc::socketFolder();
    if (folder.rfind("/tmp/talvane-", 0) != 0) return;  // inside the sandbox: removed with it
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

inline const bool kSocketFolderCleanup =
    (::testing::UnitTest::GetInstance()->listeners().Append(new SocketFolderCleanup), true);

}  // namespace tvtest
