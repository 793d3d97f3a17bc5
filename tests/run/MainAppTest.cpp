#include "res/StringTable.h"
#include "support/TestApp.h"

#include <gtest/gtest.h>

namespace
{

TEST(MainApp, BuildsTheVersionTextAndStartsNotClosing)
{
    CTestApp test;
    EXPECT_EQ(test.App().GetVersionText(), "Harvestly v1.12建造 90");
    EXPECT_FALSE(test.App().IsClosing());
    test.App().SetClosing(true);
    EXPECT_TRUE(test.App().IsClosing());
    EXPECT_TRUE(test.App().ClosingFlag().load());
}

TEST(MainApp, AFrontEndThatGoesClearsOnlyItself)
{
    CTestApp test;
    CTestFrontEnd first;
    CTestFrontEnd second;
    test.App().SetFrontEnd(&first);
    test.App().SetFrontEnd(&second);
    test.App().ClearFrontEnd(&first);
    EXPECT_EQ(test.App().GetFrontEnd(), &second);
    test.App().ClearFrontEnd(&second);
    EXPECT_EQ(test.App().GetFrontEnd(), nullptr);
}

TEST(MainApp, KeepsItsStringTable)
{
    EXPECT_EQ(LoadResString(IDS_ABOUTBOX), "(&A)关于 Harvestly...");
    EXPECT_EQ(LoadResString(IDS_SOCKETS_FAILED), "Windows插座初始化失败.");
    EXPECT_EQ(LoadResString(IDS_BROWSE_TITLE), "选择目录为文件目标...");
    EXPECT_EQ(LoadResString(9999), "");
}

TEST(MainApp, MessageBoxesWithoutACaptionCarryTheApplicationName)
{
    CTestApp test;
    test.Boxes().ScriptAnswer(MsgAnswer::Yes);
    CMainApp& app = test.App();
    EXPECT_EQ(app.MessageBox("Question?", MsgButtons::YesNo, MsgIcon::Question, "Create directory"),
              MsgAnswer::Yes);
    EXPECT_EQ(app.MessageBox("Plain", MsgButtons::Ok, MsgIcon::None, {}), MsgAnswer::Ok);
    EXPECT_EQ(app.MessageBox("Unscripted?", MsgButtons::YesNo, MsgIcon::None, {}), MsgAnswer::No);

    const auto shown = test.Boxes().Shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].caption, "Create directory");
    EXPECT_EQ(shown[0].icon, MsgIcon::Question);
    EXPECT_EQ(shown[1].caption, "harvestly-test");
    EXPECT_EQ(shown[1].buttons, MsgButtons::Ok);
}

TEST(MainApp, TheProgramsNameTheirBoxesAfterTheirExecutable)
{
    // Built as both programs build theirs: the caption follows the file, so a renamed copy of
    // the program is named as the user started it.
    CMainApp app;
    CMessageBoxRecorder boxes;
    app.SetMessagePresenter(&boxes);
    app.MessageBox("Plain", MsgButtons::Ok, MsgIcon::None, {});
    app.MessageBox("Own", MsgButtons::Ok, MsgIcon::None, "Complete");
    app.SetMessagePresenter(nullptr);
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.Shown()[0].caption, "test_run");
    EXPECT_EQ(boxes.Shown()[1].caption, "Complete");
}

} // namespace
