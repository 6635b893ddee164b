// The book menu of the real program: -instal makes it, -load gives the
// installed book an entry there that the desktop accepts and that starts
// the book, Remove in the catalogue takes the entry away with the book, and
// -uninstal leaves neither entries nor the folder.

#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <filesystem>
#include <string>
#include <vector>

#include "listctl/core/lbx_instance.h"
#include "listctl/core/library.h"
#include "listctl/core/messages.h"
#include "platform/testing/child_process.h"
#include "platform/testing/test_env.h"
#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"
#include "platform/win/window.h"
#include "player/env/environment.h"
#include "player/install/tests/installable_packet.h"
#include "player/views/open_tv_dlg.h"

namespace {

namespace fs = std::filesystem;
namespace pw = plat::win;

int orvex(const QStringList& args, const QProcessEnvironment& env) {
  tvtest::ChildProcess p(TV_ORVEX, args, QProcess::ForwardedChannels, env);
  return p.exitCode(60000);
}

// The entry files of a folder, by name.
std::vector<std::string> entries(const fs::path& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) out.push_back(e.path().filename().string());
  return out;
}

// desktop-file-validate's verdict on a file: empty when valid, else its
// complaints.
std::string validate(const fs::path& entry) {
  const QString tool = QStandardPaths::findExecutable("desktop-file-validate");
  if (tool.isEmpty()) return "desktop-file-validate is not installed (scripts/install_deps.sh installs it)";
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(tool, {QString::fromStdString(entry.string())});
  if (!p.waitForFinished(30000)) return "desktop-file-validate did not finish";
  const std::string out = p.readAll().toStdString();
  if (p.exitCode() != 0) return out.empty() ? "exit code " + std::to_string(p.exitCode()) : out;
  return out;  // warnings and hints count as complaints too
}

TEST(BookMenuProcess, LoadGivesTheBookAValidEntryThatRemoveAndUninstallTakeAway) {
  const fs::path base = tvtest::sandbox().base;
  const QProcessEnvironment env = tvtest::testModeEnvironment((base / "events.log").string());
  const fs::path applications = fs::path(qEnvironmentVariable("XDG_DATA_HOME").toStdString()) / "applications";
  const fs::path menu = applications / "talvane-books";

  ASSERT_EQ(orvex({"-instal"}, env), 0);
  EXPECT_TRUE(fs::is_directory(menu));
  EXPECT_EQ(orv::COrv_Environment().GetInstallMenuFolder(), menu.string());

  // A title with a character no file name may hold.
  tvtools::book::Book book = installtest::referenceBook("DEMO");
  book.title = "Demo: Ein Morgen";
  tvtools::PacketSpec spec = installtest::packetSpec("DEMO");
  spec.books[0].title = book.title;
  spec.books[0].members[0].data = installtest::idMember(book);
  const fs::path packet = base / "DEMO.tpk";
  ASSERT_TRUE(tvtools::writePacket(packet, spec));
  ASSERT_EQ(orvex({"-load", QString::fromStdString(packet.string()), "-nostart"}, env), 0);

  const fs::path entry = menu / "Demo_ Ein Morgen.desktop";
  ASSERT_EQ(entries(menu), std::vector<std::string>{entry.filename().string()});
  EXPECT_EQ(validate(entry), "");
  const std::string text = tvtest::readFile(entry);
  EXPECT_NE(text.find("\nName=Demo: Ein Morgen\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nExec=" + std::string(TV_ORVEX) + " -tv DEMO\n"), std::string::npos) << text;
  const std::size_t icon = text.find("\nIcon=");
  ASSERT_NE(icon, std::string::npos) << text;
  const std::string picture = text.substr(icon + 6, text.find('\n', icon + 1) - icon - 6);
  EXPECT_TRUE(fs::is_regular_file(picture)) << picture;

  // Remove in the catalogue, answered Yes.
  {
    static int module;
    pw::WNDCLASS wc{};
    ASSERT_TRUE(pw::GetClassInfo(nullptr, lindra::kListClass, &wc) ||
                lindra::LibraryEntry(reinterpret_cast<pw::HINSTANCE>(&module), lindra::DLL_PROCESS_ATTACH) == 1);
    plat::ui::RecordingSink boxes({plat::ui::IDYES});
    plat::ui::ScopedSink sink(boxes);
    orv::views::COrv_OpenTvDlg dlg;
    dlg.show();
    QApplication::processEvents();
    ASSERT_EQ(dlg.ListedCodes(), std::vector<std::string>{"DEMO"});
    pw::SendMessage(dlg.TitleList(), lindra::LB_SETCURSEL, 0, 0);
    dlg.OnRemove();
    EXPECT_TRUE(dlg.ListedCodes().empty());
    ASSERT_EQ(boxes.boxes().size(), 1u);
  }
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_TRUE(fs::is_directory(menu));

  // Installed again, then the whole installation taken away.
  ASSERT_EQ(orvex({"-load", QString::fromStdString(packet.string()), "-nostart"}, env), 0);
  ASSERT_TRUE(fs::exists(entry));
  orvex({"-uninstal"}, env);
  EXPECT_FALSE(fs::exists(menu));
  EXPECT_EQ(orv::COrv_Environment().GetInstallMenuFolder(), "");
  for (const std::string& name : entries(applications))
    EXPECT_EQ(name.find("talvane-books"), std::string::npos) << name;
}

}  // namespace
