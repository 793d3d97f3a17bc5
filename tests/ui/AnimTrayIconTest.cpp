#include "ui/AnimTrayIcon.h"

#include "support/gui/ShellRecorders.h"

#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

namespace
{

constexpr unsigned kIcons[] = {150, 137, 138, 144, 140, 141, 142, 143, 139, 148, 0};

class CSinkStub : public ITrayNotifySink
{
public:
    long OnTrayNotify(unsigned, unsigned) override { return 0; }
};

} // namespace

TEST(AnimTrayIconTest, CallsBeforeCreateOnlyStoreTheTip)
{
    CTrayShellRecorder shell;
    CSinkStub owner;
    {
        CAnimTrayIcon icon(shell, kIcons);
        icon.SetTipText("before");
        icon.StartAnimation();
        icon.ShowFrame(3);
        EXPECT_TRUE(icon.IsIdle());
        icon.StopAnimation();
        EXPECT_TRUE(shell.Calls().empty());

        icon.Create(0x8001, &owner);
        const auto calls = shell.Calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].command, TrayCommand::Add);
        EXPECT_EQ(calls[0].data.uFlags, unsigned(NIF_MESSAGE | NIF_ICON | NIF_TIP));
        EXPECT_EQ(calls[0].data.uID, 0x8001u);
        EXPECT_EQ(calls[0].data.uCallbackMessage, 0x8001u);
        EXPECT_EQ(calls[0].data.nIconResource, 150u);
        EXPECT_EQ(calls[0].data.strTip, "before");
        EXPECT_EQ(calls[0].data.pOwner, &owner);
        EXPECT_EQ(icon.GetFrameInterval(), 100);
    }
    // Gone with its owner: the icon leaves the notification area.
    const auto calls = shell.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].command, TrayCommand::Delete);
    EXPECT_EQ(calls[1].data.uID, 0x8001u);
}

TEST(AnimTrayIconTest, FramesCycleWithoutTheIdleIconAndStopShowsIt)
{
    CTrayShellRecorder shell;
    CSinkStub owner;
    CAnimTrayIcon icon(shell, kIcons);
    icon.Create(0x8001, &owner);
    shell.Clear();

    icon.StartAnimation();
    EXPECT_FALSE(icon.IsIdle());
    EXPECT_TRUE(shell.ShownFrames().empty()) << "the first frame waits for the first tick";
    for (int i = 0; i < 11; ++i)
        icon.OnTimer();
    EXPECT_EQ(shell.ShownFrames(),
              (std::vector<unsigned>{137, 138, 144, 140, 141, 142, 143, 139, 148, 137, 138}));

    icon.StopAnimation();
    EXPECT_TRUE(icon.IsIdle());
    EXPECT_EQ(shell.ShownFrames().back(), 150u);

    // The real timer drives the same sequence.
    shell.Clear();
    icon.StartAnimation();
    EXPECT_TRUE(QTest::qWaitFor([&] { return shell.ShownFrames().size() >= 2; }, 5000));
    EXPECT_EQ(shell.ShownFrames()[0], 137u);
    EXPECT_EQ(shell.ShownFrames()[1], 138u);
    icon.StopAnimation();
    const size_t nShown = shell.ShownFrames().size();
    QTest::qWait(250);
    EXPECT_EQ(shell.ShownFrames().size(), nShown) << "no tick after the animation stopped";
}

TEST(AnimTrayIconTest, TipHoldsAtMost63Bytes)
{
    CTrayShellRecorder shell;
    CSinkStub owner;
    CAnimTrayIcon icon(shell, kIcons);
    icon.Create(0x8001, &owner);
    shell.Clear();

    const std::string tip63(63, 'x');
    icon.SetTipText(tip63);
    ASSERT_EQ(shell.Calls().size(), 1u);
    EXPECT_EQ(shell.Calls()[0].command, TrayCommand::Modify);
    EXPECT_EQ(shell.Calls()[0].data.uFlags, unsigned(NIF_TIP));
    EXPECT_EQ(shell.Calls()[0].data.strTip, tip63);

    try
    {
        icon.SetTipText(std::string(64, 'y'));
        ADD_FAILURE() << "a 64-byte tip was accepted";
    }
    catch (const std::length_error& error)
    {
        EXPECT_STREQ(error.what(), "The maximum length of a tip string is 64");
    }
    EXPECT_EQ(icon.GetTipText(), tip63);
    EXPECT_EQ(shell.Calls().size(), 1u);

    // A character outside ASCII counts two bytes, as a double-byte character does: 31 of them
    // and one letter are 63, whatever UTF-8 takes for them (94 bytes); one more letter is 64.
    std::string wide;
    for (int i = 0; i < 31; ++i)
        wide += "建";
    EXPECT_NO_THROW(icon.SetTipText(wide + "a"));
    EXPECT_EQ(icon.GetTipText(), wide + "a");
    EXPECT_THROW(icon.SetTipText(wide + "ab"), std::length_error);
    EXPECT_THROW(icon.SetTipText(wide + "建"), std::length_error);
    // Four-byte characters count two as well.
    std::string emoji;
    for (int i = 0; i < 31; ++i)
        emoji += "\xF0\x9F\x8C\xBE";
    EXPECT_NO_THROW(icon.SetTipText(emoji));
    EXPECT_EQ(icon.GetTipText(), emoji);
}
