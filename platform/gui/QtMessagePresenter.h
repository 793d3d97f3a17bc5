#pragma once

#include "platform/MessageBox.h"

#include <QObject>
#include <atomic>

// Message boxes as real dialogs on the user-interface thread. Create it on that thread.
//
// A request from another thread is handed to the user-interface thread and the caller waits for
// the answer, except once `bClosing` is set: the window's tear-down is then waiting for the worker,
// so a worker's request is answered at once (Ok, or No for a question) and nothing is shown.
class CQtMessagePresenter : public QObject, public IMessagePresenter
{
    Q_OBJECT

public:
    explicit CQtMessagePresenter(const std::atomic<bool>& bClosing, QObject* pParent = nullptr);

    MsgAnswer Present(const MessageRequest& request) override;

    // The answer given without asking.
    static MsgAnswer DefaultAnswer(const MessageRequest& request);

private:
    MsgAnswer ShowModal(const MessageRequest& request);
    MsgAnswer PresentFromOtherThread(const MessageRequest& request);

    const std::atomic<bool>& m_bClosing;
};
