#pragma once

#include "crawl/FileStore.h"
#include "crawl/GetResponse.h"
#include "crawl/RequestConditions.h"
#include "crawl/ServerConnection.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What a transfer driven ahead of its turn brought in, nothing of it logged or put in place yet:
// the crawl loop judges it when the address's turn comes, so that the log and the files come in
// queue order whatever the order on the wire.
struct AheadOutcome
{
    // A request was sent (or its sending failed): without one the address is judged afresh.
    bool bAsked = false;
    // What the request asked besides the address: a 304 is judged by it.
    RequestConditions conditions;
    // The line of a failure to connect or send.
    std::string strSendError;
    GetResponse response;
    // The body's partial file, when the answer's body was taken; dropped, it deletes that file.
    std::unique_ptr<CFileStore> pStore;
    std::string strCreateError;
    // The failures of the body's transfer and of its writing, in the order they are logged.
    std::vector<std::string> lines;
    CServerConnection::BodyEnd end = CServerConnection::BodyEnd::Whole;
    std::string strFinishError;
    std::int64_t nReceived = 0;
    std::int64_t nWireBytes = 0;
    bool bPageHeld = false;
    std::string strPageText;
};
