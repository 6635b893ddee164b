#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/fs/fault.h"
#include "platform/fs/file.h"
#include "platform/testing/test_env.h"

namespace fs = std::filesystem;
using namespace plat::fs;

namespace {

class FileTest : public ::testing::Test {
 protected:
  fs::path p = tvtest::sandbox().tmp / "data.bin";
  FaultScope faults;

  std::string readAll(File& f) {
    std::string s(64, '\0');
    size_t got = 0;
    EXPECT_FALSE(f.read(s.data(), s.size(), got));
    s.resize(got);
    return s;
  }
};

TEST_F(FileTest, ModesCreateTruncateAppendAndRefuse) {
  File f;
  ASSERT_FALSE(f.open(p, File::Mode::CreateNew));
  ASSERT_FALSE(f.write("hello", 5));
  EXPECT_EQ(f.open(p, File::Mode::CreateNew), std::errc::file_exists);
  EXPECT_FALSE(f.isOpen());

  ASSERT_FALSE(f.open(p, File::Mode::Append));
  ASSERT_FALSE(f.write(" world", 6));
  ASSERT_FALSE(f.open(p, File::Mode::Read));
  EXPECT_EQ(readAll(f), "hello world");
  EXPECT_EQ(f.write("x", 1), std::errc::bad_file_descriptor);  // read-only

  ASSERT_FALSE(f.open(p, File::Mode::ReadWrite));
  ASSERT_FALSE(f.seek(6));
  ASSERT_FALSE(f.write("W", 1));
  ASSERT_FALSE(f.seek(0));
  EXPECT_EQ(readAll(f), "hello World");

  ASSERT_FALSE(f.open(p, File::Mode::Create));
  std::uint64_t size = 1;
  ASSERT_FALSE(f.size(size));
  EXPECT_EQ(size, 0u);

  EXPECT_EQ(f.open(p.parent_path() / "none", File::Mode::Read), std::errc::no_such_file_or_directory);
  EXPECT_EQ(f.open(p.parent_path(), File::Mode::Read), std::errc::is_a_directory);
  size_t got = 7;
  char c;
  EXPECT_EQ(f.read(&c, 1, got), std::errc::bad_file_descriptor);
  EXPECT_EQ(got, 0u);
}

TEST_F(FileTest, ReadAtKeepsThePositionAndStopsAtTheEnd) {
  tvtest::writeFile(p, "0123456789");
  File f;
  ASSERT_FALSE(f.open(p, File::Mode::Read));
  char buf[8];
  size_t got = 0;
  ASSERT_FALSE(f.readAt(7, buf, sizeof buf, got));
  EXPECT_EQ(std::string(buf, got), "789");
  ASSERT_FALSE(f.readAt(100, buf, sizeof buf, got));
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(f.readAt(~0ull, buf, 1, got), std::errc::invalid_argument);
  ASSERT_FALSE(f.read(buf, 4, got));
  EXPECT_EQ(std::string(buf, got), "0123");

  File moved(std::move(f));
  EXPECT_FALSE(f.isOpen());
  ASSERT_FALSE(moved.read(buf, 2, got));
  EXPECT_EQ(std::string(buf, got), "45");
}

TEST_F(FileTest, EachCallAsksTheFaultHook) {
  tvtest::writeFile(p, "abcdef");
  File f;
  injectFault(FaultOp::Open, "data.bin", EACCES);
  EXPECT_EQ(f.open(p, File::Mode::Read), std::errc::permission_denied);
  ASSERT_FALSE(f.open(p, File::Mode::Read));

  // The third read fails, the others go through.
  injectFault(FaultOp::Read, "data.bin", EIO, 1, 2);
  char c;
  size_t got = 0;
  EXPECT_FALSE(f.read(&c, 1, got));
  EXPECT_FALSE(f.readAt(4, &c, 1, got));
  EXPECT_EQ(f.read(&c, 1, got), std::errc::io_error);
  EXPECT_EQ(got, 0u);
  EXPECT_FALSE(f.read(&c, 1, got));
  EXPECT_EQ(c, 'b');

  ASSERT_FALSE(f.open(p, File::Mode::Append));
  injectFault(FaultOp::Write, "data.bin", ENOSPC, 2);
  EXPECT_EQ(f.write("gh", 2), std::errc::no_space_on_device);
  EXPECT_EQ(f.sync(), std::errc::no_space_on_device);
  ASSERT_FALSE(f.write("g", 1));
  ASSERT_FALSE(f.close());
  EXPECT_EQ(tvtest::readFile(p), "abcdefg");
}

}  // namespace
