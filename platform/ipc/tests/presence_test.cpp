#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/ipc/activate_window.h"
#include "platform/ipc/presence.h"
#include "platform/ipc/runtime.h"
#include "platform/ipc/tests/socket_folder_cleanup.h"
#include "platform/testing/child_process.h"
#include "platform/testing/test_env.h"

using namespace plat::ipc;
namespace fs = std::filesystem;

namespace {

// One run of the helper program, read line by line.
struct Peer : tvtest::ChildProcess {
  explicit Peer(const QStringList& args) : ChildProcess(TV_IPC_PEER, args) {}
};

struct Recorder : PresenceHandler {
  std::vector<std::string> events;
  void onActivate() override { events.push_back("activate"); }
  void onClose() override { events.push_back("close"); }
  void onMessage(UINT message, uint64_t wParam, ATOM atom) override {
    events.push_back("message " + std::to_string(message) + " " + std::to_string(wParam) + " " +
                     globalAtomText(atom));
    GlobalDeleteAtom(atom);
  }
};

TEST(Presence, SecondProcessFindsActivatesPostsAndCloses) {
  Peer first({"hold", "Kestrelle", "0"});
  ASSERT_EQ(first.line(), "first");
  ASSERT_EQ(first.line(), "ready");
  EXPECT_TRUE(findClass("Kestrelle"));
  EXPECT_TRUE(findClass("KESTRELLE"));  // class names ignore case
  EXPECT_FALSE(findClass("ClsBrindle"));
  EXPECT_EQ(waitForReady("Kestrelle", 10000), WAIT_OBJECT_0);
  EXPECT_EQ(waitForReady("ClsBrindle", 100), WAIT_FAILED);

  ASSERT_TRUE(requestActivate("Kestrelle"));
  EXPECT_EQ(first.line(), "activate");

  std::string text;
  for (int i = 0; i < 100; ++i) text.push_back(static_cast<char>('a' + i % 26));
  const ATOM atom = GlobalAddAtom(text.c_str());
  const UINT msg = RegisterWindowMessage("Orvex_PRIVATEMSG_INTERAPP");
  ASSERT_TRUE(postRegisteredMessage("Kestrelle", msg, 1, atom));
  GlobalDeleteAtom(atom);
  EXPECT_EQ(first.line(), "message " + std::to_string(msg) + " 1 " + text);

  ASSERT_TRUE(requestClose("Kestrelle"));
  EXPECT_EQ(first.line(), "close");
  ASSERT_TRUE(first.finished());
  EXPECT_FALSE(findClass("Kestrelle"));
  EXPECT_FALSE(requestActivate("Kestrelle", 200));
}

TEST(Presence, RequestsBeforeReadyArriveAfterIt) {
  Peer first({"hold", "Kestrelle", "2000"});
  ASSERT_EQ(first.line(), "first");
  EXPECT_TRUE(findClass("Kestrelle"));
  EXPECT_EQ(waitForReady("Kestrelle", 50), WAIT_TIMEOUT);
  Peer sender({"post", "Kestrelle", "Orvex_PRIVATEMSG_INTERAPP", "1", "Book"});
  EXPECT_EQ(sender.line(), "posted");  // acknowledged before "ready"
  EXPECT_EQ(first.line(), "ready");
  EXPECT_EQ(first.line(), "message " + std::to_string(RegisterWindowMessage("Orvex_PRIVATEMSG_INTERAPP")) + " 1 Book");
  EXPECT_EQ(waitForReady("Kestrelle", 10000), WAIT_OBJECT_0);
}

// A program just started is waited for until it has taken its class and
// said "ready"; one that ends first, or stays silent, is not waited for
// beyond that.
TEST(Presence, WaitForAStartedProgram) {
  const auto serve = [] { QCoreApplication::processEvents(); };
  {
    Peer late({"hold", "ClsPelvara", "300"});
    EXPECT_EQ(waitForStartedProgram("ClsPelvara", late.pid(), 10000, serve), WAIT_OBJECT_0);
    EXPECT_EQ(late.line(), "first");
    EXPECT_EQ(late.line(), "ready");
    ASSERT_TRUE(requestClose("ClsPelvara"));
    ASSERT_TRUE(late.finished());
  }
  {
    Peer silent({"hold", "ClsPelvara", "20000"});
    ASSERT_EQ(silent.line(), "first");
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(waitForStartedProgram("ClsPelvara", silent.pid(), 300, serve), WAIT_TIMEOUT);
    EXPECT_GE(t.elapsed(), 300);
    // Another program holds the class: this one says so and ends.
    Peer second({"hold", "ClsPelvara", "0"});
    const qint64 pid = second.pid();
    EXPECT_EQ(second.line(), "exists");
    EXPECT_EQ(waitForStartedProgram("ClsNobody", pid, 10000, serve), WAIT_FAILED);
  }
}

TEST(Presence, ProgramsStartedAtOnceGiveExactlyOneFirst) {
  for (int round = 0; round < 4; ++round) {
    std::vector<std::unique_ptr<Peer>> peers;
    for (int i = 0; i < 4; ++i) peers.push_back(std::make_unique<Peer>(QStringList{"hold", "ClsBrindle", "0"}));
    int firsts = 0, others = 0;
    for (auto& p : peers) {
      const std::string l = p->line();
      firsts += l == "first";
      others += l == "exists";
    }
    EXPECT_EQ(firsts, 1) << "round " << round;
    EXPECT_EQ(others, 3) << "round " << round;
  }
}

TEST(Presence, OneHolderPerClassInsideOneProcessToo) {
  Recorder r;
  ClassPresence a("Kestrelle", &r), b("kestrelle", &r);
  EXPECT_EQ(a.registerClass(), ClassPresence::Result::First);
  EXPECT_EQ(b.registerClass(), ClassPresence::Result::Exists);
  a.unregisterClass();
  EXPECT_FALSE(findClass("Kestrelle"));
  EXPECT_EQ(b.registerClass(), ClassPresence::Result::First);
}

TEST(Presence, StaleSocketOfAKilledHolderIsTakenOver) {
  Peer dead({"hold", "Kestrelle", "0"});
  ASSERT_EQ(dead.line(), "first");
  ASSERT_EQ(dead.line(), "ready");
  dead.kill();
  const std::string socket = classSocketPath("Kestrelle");
  EXPECT_TRUE(fs::exists(fs::symlink_status(socket)));  // left behind
  EXPECT_FALSE(findClass("Kestrelle"));

  Recorder r;
  ClassPresence mine("Kestrelle", &r);
  ASSERT_EQ(mine.registerClass(), ClassPresence::Result::First);
  Peer sender({"post", "Kestrelle", "Orvex_PRIVATEMSG_INTERAPP", "1", "Zwei"});
  EXPECT_EQ(sender.line(), "posted");
  EXPECT_TRUE(r.events.empty());  // held until ready
  mine.announceReady();
  ASSERT_EQ(r.events.size(), 1u);
  EXPECT_EQ(r.events[0], "message " + std::to_string(RegisterWindowMessage("Orvex_PRIVATEMSG_INTERAPP")) + " 1 Zwei");
}

// Socket folders: private, and socket paths short whatever the depth of the
// configuration root or of XDG_RUNTIME_DIR.
TEST(Presence, WorksWithDeepRootsAndWithoutRuntimeFolder) {
  struct Case {
    const char* name;
    bool deepRoot;
    bool deepRuntime;
    bool noRuntime;
  };
  const Case cases[] = {
      {"root 100 deep", true, false, false},
      {"runtime folder too deep for a socket", false, true, false},
      {"no XDG_RUNTIME_DIR", true, false, true},
  };
  const fs::path base = tvtest::sandbox().base;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path root = base / "r";
    while (root.string().size() < 100) root /= "deeper";
    fs::path run = base / "run2";
    while (run.string().size() < 120) run /= "deeper";
    fs::create_directories(root);
    fs::create_directories(run);
    ::chmod(run.c_str(), 0700);
    ::setenv("TALVANE_CONFIG_ROOT", c.deepRoot ? root.c_str() : tvtest::sandbox().configRoot.c_str(), 1);
    if (c.noRuntime)
      ::unsetenv("XDG_RUNTIME_DIR");
    else
      ::setenv("XDG_RUNTIME_DIR", c.deepRuntime ? run.c_str() : tvtest::sandbox().runtime.c_str(), 1);

    const std::string path = classSocketPath("Kestrelle");
    ASSERT_FALSE(path.empty());
    EXPECT_LT(path.size(), 100u);
    struct stat st {};
    ASSERT_EQ(::stat(fs::path(path).parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    Peer first({"hold", "Kestrelle", "0"});
    ASSERT_EQ(first.line(), "first");
    ASSERT_EQ(first.line(), "ready");
    EXPECT_TRUE(findClass("Kestrelle"));
    EXPECT_TRUE(requestActivate("Kestrelle"));
    EXPECT_EQ(first.line(), "activate");
    EXPECT_TRUE(requestClose("Kestrelle"));
    EXPECT_TRUE(first.finished());
  }
}

// A process of another user never gets through, even when the folder and
// the socket are opened up.
TEST(Presence, OtherUsersAreRefused) {
  if (::getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  // A short runtime folder of this test's own, which it may open up.
  char runtime[] = "/tmp/tvrun-XXXXXX";
  ASSERT_NE(::mkdtemp(runtime), nullptr);
  ::setenv("XDG_RUNTIME_DIR", runtime, 1);
  Recorder r;
  ClassPresence mine("Kestrelle", &r);
  ASSERT_EQ(mine.registerClass(), ClassPresence::Result::First);
  mine.announceReady();
  const std::string socket = classSocketPath("Kestrelle");
  const fs::path folder = fs::path(socket).parent_path();
  ::chmod(folder.parent_path().c_str(), 0711);
  ::chmod(folder.c_str(), 0711);
  ::chmod(socket.c_str(), 0777);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setuid(65534) != 0) ::_exit(3);
    // The client side refuses a holder of another user as well: connect by hand.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socket.c_str());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) ::_exit(4);
    const std::string f = FrameWriter().u8(2).frame();
    writeAll(fd, f, 1000);
    ::_exit(readFrame(fd, 1000) ? 1 : 0);
  }
  int status = 0;
  QElapsedTimer t;
  t.start();
  while (::waitpid(child, &status, WNOHANG) == 0 && t.elapsed() < 5000) QCoreApplication::processEvents();
  ::chmod(folder.c_str(), 0700);
  ::chmod(folder.parent_path().c_str(), 0700);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(r.events.empty());
  mine.unregisterClass();
  std::error_code ec;
  fs::remove_all(runtime, ec);
}

}  // namespace

namespace {

TEST(Presence, ActivationRestoresAMinimisedWindow) {
  QWidget top;
  top.resize(200, 100);
  top.showMinimized();
  QCoreApplication::processEvents();
  ASSERT_TRUE(top.isMinimized());
  plat::ipc::activateTopLevel(&top);
  QCoreApplication::processEvents();
  EXPECT_FALSE(top.isMinimized());
  EXPECT_TRUE(top.isVisible());

  QWidget hidden;
  plat::ipc::activateTopLevel(&hidden);
  EXPECT_TRUE(hidden.isVisible());
}

}  // namespace
