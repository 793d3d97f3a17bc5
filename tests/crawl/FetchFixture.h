#pragma once

#include "crawl/PageFetcher.h"
#include "support/TestApp.h"
#include "support/TestHttpServer.h"

#include <ctime>
#include <gtest/gtest.h>
#include <memory>
#include <string>

// A fetcher on a scripted server whose start folder is /a/, storing into the test application's
// destination folder.
class FetchTest : public ::testing::Test
{
protected:
    struct Outcome
    {
        bool bOk = false;
        bool bNotFound = false;
        std::string strType;
        bool bTemporary = false;
        std::string strLocalPath;
        std::string strError;
    };

    // Settings are read when the fetcher is built: store them first.
    std::unique_ptr<CPageFetcher> MakeFetcher()
    {
        auto pFetcher = std::make_unique<CPageFetcher>(app.App(), app.Settings());
        pFetcher->SetStartDir(server.Url("/a/"));
        pFetcher->SetDestDir(app.Destination());
        return pFetcher;
    }

    Outcome Fetch(CPageFetcher& fetcher, const std::string& path)
    {
        const FetchResult fetched = fetcher.Download(server.Url(path), false);
        return {fetched.bOk,        fetched.bNotFound,    fetched.strContentType,
                fetched.bTemporary, fetched.strLocalPath, fetched.strError};
    }

    // The error log's last line, without its time.
    std::string LastLogLine() const
    {
        std::string log = app.LogText();
        if (!log.empty() && log.back() == '\n')
            log.pop_back();
        const std::string line = log.substr(log.rfind('\n') + 1);
        const size_t text = line.find(" : ");
        return text == std::string::npos ? line : line.substr(text + 3);
    }

    std::string Local(const std::string& relative) const { return app.Destination() + relative; }

    static std::string HttpDate(std::time_t when)
    {
        std::tm parts{};
        gmtime_r(&when, &parts);
        char text[64];
        std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
        return text;
    }

    static TestResponse Dated(std::string body, std::time_t when, std::string type = "text/html")
    {
        TestResponse response = TestResponse::Ok(std::move(body), std::move(type));
        response.headers.emplace_back("Last-Modified", HttpDate(when));
        return response;
    }

    CTestApp app;
    CTestHttpServer server;
};
