#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

// Runs `action` on the next modal window to appear, from inside its own event loop, so a test can
// drive a dialog that the code under test runs with exec(). Gives up after about five seconds.
inline void WhenModalAppears(std::function<void(QWidget*)> action, int nTriesLeft = 500)
{
    QTimer::singleShot(10,
                       [action = std::move(action), nTriesLeft]() mutable
                       {
                           if (QWidget* pModal = QApplication::activeModalWidget())
                               action(pModal);
                           else if (nTriesLeft > 0)
                               WhenModalAppears(std::move(action), nTriesLeft - 1);
                       });
}
