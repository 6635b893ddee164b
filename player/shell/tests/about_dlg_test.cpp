#include "player/shell/about_dlg.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "player/shell/app_help.h"

namespace {

TEST(AboutBox, VersionLineFromTheBuild) {
  orv::shell::COrv_AboutDlg dlg(orv::shell::ProgramVersionLine());
  const auto* label = dlg.findChild<QLabel*>(QString::number(orv::shell::COrv_AboutDlg::kVersionControl));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text().toStdString(), TV_TEST_EXPECTED_VERSION);

  orv::shell::COrv_AboutDlg none(orv::shell::FormatVersionLine(""));
  EXPECT_TRUE(none.versionLabel()->text().isEmpty());
}

}  // namespace
