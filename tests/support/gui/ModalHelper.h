#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

// Runs `action` on the next modal window to appear, from inside its own event loop, so a test can
// drive a dialog that the code under test runs with exec(). The budget is generous because a
// loaded machine may take a while to bring a file chooser up.
inline void WhenModalAppears(std::function<void(QWidget*)> action, int nTriesLeft = 3000)
{
    QTimer::singleShot(10,
                       [action = std::move(action), nTriesLeft]() mutable
                       {
                           QWidget* pModal = QApplication::activeModalWidget();
                           if (pModal != nullptr && pModal->isVisible())
                               action(pModal);
                           else if (nTriesLeft > 0)
                               WhenModalAppears(std::move(action), nTriesLeft - 1);
                           else
                               ADD_FAILURE() << "no modal window appeared";
                       });
}
