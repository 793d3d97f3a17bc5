#include "platform/gui/QtMessagePresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace
{

// How often a waiting worker looks whether the window has begun to close.
constexpr std::chrono::milliseconds kClosingPoll{20};

QMessageBox::Icon IconFor(MsgIcon icon)
{
    switch (icon)
    {
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// One request handed across threads. Whoever gives up first (a worker that stops waiting)
// marks it abandoned, so that a box is not shown for nobody.
struct PendingAnswer
{
    std::mutex mutex;
    std::condition_variable answered;
    bool bDone = false;
    bool bAbandoned = false;
    MsgAnswer answer = MsgAnswer::Ok;
};

} // namespace

CQtMessagePresenter::CQtMessagePresenter(const std::atomic<bool>& bClosing, QObject* pParent)
    : QObject(pParent), m_bClosing(bClosing)
{
}

MsgAnswer CQtMessagePresenter::Present(const MessageRequest& request)
{
    if (QThread::currentThread() == thread())
        return ShowModal(request);
    return PresentFromOtherThread(request);
}

MsgAnswer CQtMessagePresenter::DefaultAnswer(const MessageRequest& request)
{
    return request.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
}

MsgAnswer CQtMessagePresenter::ShowModal(const MessageRequest& request)
{
    QMessageBox box(
        IconFor(request.icon), QString::fromStdString(request.caption), QString::fromStdString(request.text),
        request.buttons == MsgButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
        QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    const int nResult = box.exec();
    if (request.buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    return nResult == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

MsgAnswer CQtMessagePresenter::PresentFromOtherThread(const MessageRequest& request)
{
    if (m_bClosing.load())
        return DefaultAnswer(request);

    // Not a blocking queued call: the waiting side must be able to give up when the window
    // closes, since the tear-down then waits for this very thread.
    auto pPending = std::make_shared<PendingAnswer>();
    QMetaObject::invokeMethod(
        this,
        [this, pPending, request]
        {
            {
                std::lock_guard lock(pPending->mutex);
                if (pPending->bAbandoned)
                    return;
            }
            const MsgAnswer answer = m_bClosing.load() ? DefaultAnswer(request) : ShowModal(request);
            std::lock_guard lock(pPending->mutex);
            pPending->answer = answer;
            pPending->bDone = true;
            pPending->answered.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock lock(pPending->mutex);
    while (!pPending->bDone)
    {
        if (m_bClosing.load())
        {
            pPending->bAbandoned = true;
            return DefaultAnswer(request);
        }
        pPending->answered.wait_for(lock, kClosingPoll);
    }
    return pPending->answer;
}
