#include "platform/gui/QtMessagePresenter.h"
#include "support/gui/ModalHelper.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>
#include <future>
#include <gtest/gtest.h>
#include <thread>

namespace
{

struct SeenBox
{
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Records the next message box and presses `button` on it.
void AnswerNextBox(SeenBox& seen, QMessageBox::StandardButton button)
{
    WhenModalAppears(
        [&seen, button](QWidget* pModal)
        {
            auto* pBox = qobject_cast<QMessageBox*>(pModal);
            ASSERT_NE(pBox, nullptr);
            seen = {pBox->text(), pBox->windowTitle(), pBox->icon(), pBox->standardButtons()};
            pBox->button(button)->click();
        });
}

bool AnyMessageBoxOpen()
{
    for (QWidget* pWidget : QApplication::topLevelWidgets())
    {
        if (qobject_cast<QMessageBox*>(pWidget) != nullptr && pWidget->isVisible())
            return true;
    }
    return false;
}

} // namespace

TEST(MessagePresenterTest, ShowsARealBoxOnTheUserInterfaceThread)
{
    std::atomic<bool> bClosing{false};
    CQtMessagePresenter presenter(bClosing);
    SeenBox seen;

    AnswerNextBox(seen, QMessageBox::Ok);
    EXPECT_EQ(presenter.Present({"Site processed.", "Complete", MsgButtons::Ok, MsgIcon::Information}),
              MsgAnswer::Ok);
    EXPECT_EQ(seen.text, "Site processed.");
    EXPECT_EQ(seen.caption, "Complete");
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_EQ(seen.buttons, QMessageBox::Ok);

    AnswerNextBox(seen, QMessageBox::No);
    EXPECT_EQ(presenter.Present({"Create it?", "Create directory", MsgButtons::YesNo, MsgIcon::Question}),
              MsgAnswer::No);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(seen.icon, QMessageBox::Question);

    AnswerNextBox(seen, QMessageBox::Yes);
    EXPECT_EQ(presenter.Present({"Create it?", "Create directory", MsgButtons::YesNo, MsgIcon::Error}),
              MsgAnswer::Yes);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
}

TEST(MessagePresenterTest, WorkerWaitsForTheAnswerGivenOnTheUserInterfaceThread)
{
    std::atomic<bool> bClosing{false};
    CQtMessagePresenter presenter(bClosing);
    SeenBox seen;
    AnswerNextBox(seen, QMessageBox::Yes);

    auto answer =
        std::async(std::launch::async,
                   [&] {
                       return presenter.Present({"Go on?", "Question", MsgButtons::YesNo, MsgIcon::Question});
                   });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
    EXPECT_EQ(answer.get(), MsgAnswer::Yes);
    EXPECT_EQ(seen.text, "Go on?");
}

TEST(MessagePresenterTest, WorkerStopsWaitingOnceTheWindowCloses)
{
    std::atomic<bool> bClosing{false};
    CQtMessagePresenter presenter(bClosing);

    // The user-interface thread is busy (as in the tear-down's wait) and never shows the box.
    auto answer =
        std::async(std::launch::async,
                   [&] {
                       return presenter.Present({"Go on?", "Question", MsgButtons::YesNo, MsgIcon::Question});
                   });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    bClosing = true;
    EXPECT_EQ(answer.get(), MsgAnswer::No);

    // Later requests return at once, and the abandoned one never appears.
    EXPECT_EQ(std::async(std::launch::async,
                         [&] {
                             return presenter.Present({"Failed.", "Failure", MsgButtons::Ok, MsgIcon::None});
                         })
                  .get(),
              MsgAnswer::Ok);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_FALSE(AnyMessageBoxOpen());
}
