// Fetches one address into a folder the way a run stores it, and prints the bytes stored.
//
//     bench_fetch_file ADDRESS DESTINATION/
#include "crawl/PageFetcher.h"
#include "platform/PathParts.h"
#include "run/FrontEnd.h"
#include "run/MainApp.h"
#include "settings/RunSettings.h"

#include <cstdio>

namespace
{

class CBenchFrontEnd : public IFrontEnd
{
public:
    explicit CBenchFrontEnd(std::string strDestination) : m_strDestination(std::move(strDestination)) {}
    std::string GetDestination() const override { return m_strDestination; }

private:
    std::string m_strDestination;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s ADDRESS DESTINATION/\n", argv[0]);
        return 2;
    }
    const std::string strUrl = argv[1];
    const std::string strDestination = argv[2];

    CMainApp app("bench_fetch_file");
    if (!app.Initialize())
        return 1;
    CBenchFrontEnd frontEnd(strDestination);
    app.SetFrontEnd(&frontEnd);

    CPageFetcher fetcher(app, RunSettings::Read(&app));
    const PathParts parts = PathParts::Split(strUrl);
    fetcher.SetStartDir(parts.drive + parts.dir);
    fetcher.SetDestDir(strDestination);
    fetcher.SetUrl(strUrl);

    const FetchResult fetched = fetcher.Download();
    std::printf("%lld\n", static_cast<long long>(fetcher.GetBytesReceived()));
    app.SetFrontEnd(nullptr);
    return fetched.bOk && !fetched.bNotFound ? 0 : 1;
}
