#pragma once

#include "crawl/AheadOutcome.h"
#include "crawl/LocalNames.h"

#include <cstdint>
#include <memory>
#include <string>
#include <sys/select.h>

class CPageFetcher;
class CServerConnection;

// One address fetched ahead of its turn, on a connection of its own that stays open from address
// to address. It never waits: the caller drives it with Step alongside others. The body goes to
// the address's partial file as it arrives; nothing is logged or put in place here, the outcome
// waits whole for the address's turn. Worker thread only.
class CAheadTransfer
{
public:
    explicit CAheadTransfer(CPageFetcher& fetcher);
    ~CAheadTransfer();
    CAheadTransfer(const CAheadTransfer&) = delete;
    CAheadTransfer& operator=(const CAheadTransfer&) = delete;

    // Sends the request for `strUrl`, to be stored as `name`; `bHoldPage` keeps a page's text.
    void Start(std::string strUrl, LocalNames::LocalName name, bool bHoldPage);
    // Lets the transfer work without waiting; true once its outcome is complete.
    bool Step();
    bool Idle() const { return m_state == State::Idle; }
    bool Done() const { return m_state == State::Done; }
    const std::string& Url() const { return m_strUrl; }
    const std::string& LocalPath() const { return m_name.strPath; }
    std::int64_t Received() const { return m_outcome.nReceived; }
    std::int64_t Expected() const { return m_outcome.response.nLength; }
    // Adds the sockets it waits on; gives how long the caller may wait at most.
    int AddWaitSet(fd_set& read, fd_set& write, fd_set& except, int& nMaxFd) const;
    // The outcome; the transfer is free again.
    AheadOutcome Take();
    // Drops the transfer under way (its connection with it) and deletes its partial file.
    void Cut();

private:
    enum class State
    {
        Idle,
        Headers,
        Body,
        Done,
    };

    void OnHeaders();
    void ReceiveBody();
    bool Write(const char* pData, size_t nCount);
    void Finish(State next);

    CPageFetcher& m_fetcher;
    std::unique_ptr<CServerConnection> m_pConnection;
    State m_state = State::Idle;
    std::string m_strUrl;
    LocalNames::LocalName m_name;
    bool m_bHoldPage = false;
    std::string m_strWriteError;
    AheadOutcome m_outcome;
};
