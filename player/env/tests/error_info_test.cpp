#include "player/env/error_info.h"

#include <gtest/gtest.h>

#include "platform/ui/message_box.h"
#include "platform/ui/recording_sink.h"

namespace {

using namespace plat::ui;

TEST(ErrorInfo, SetAndShow) {
  RecordingSink sink({IDOK});
  ScopedSink scoped(sink);
  setApplicationCaption("Talvane Player");

  COrv_ErrorInfo e;
  EXPECT_EQ(e.SetErrorText(120, "reader.cpp", 44, 2, "bad header"), 0);
  EXPECT_EQ(e.m_strText, "bad header");
  // SetError keeps the text of an earlier report.
  EXPECT_EQ(e.SetError(88, "packet.cpp", 961, 3), 0);
  EXPECT_EQ(e.m_nLine, 88);
  EXPECT_EQ(e.m_strSourceFile, "packet.cpp");
  EXPECT_EQ(e.m_nCode, 961);
  EXPECT_EQ(e.m_nKind, 3);
  EXPECT_EQ(e.m_strText, "bad header");

  EXPECT_EQ(e.ShowError(), IDOK);
  setApplicationCaption("");
  ASSERT_EQ(sink.boxes().size(), 1u);
  const MessageBoxRequest& r = sink.last().request;
  EXPECT_EQ(r.text, "Error 961 occurred.\n\nSource: packet.cpp\nLine number: 88");
  EXPECT_EQ(r.caption, "Talvane Player");
  EXPECT_TRUE(r.applicationBox);
  EXPECT_EQ(r.icon, Icon::None);
  EXPECT_EQ(r.buttons, Buttons::Ok);
  EXPECT_FALSE(r.helpButton);
}

}  // namespace
