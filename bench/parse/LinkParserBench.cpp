#include "ReferenceLinkParser.h"
#include "parse/LinkParser.h"
#include "parse/UrlQueue.h"
#include "parse/VisitedList.h"
#include "settings/RunSettings.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{

const std::string kStartDir = "http://host/site/";
const std::string kServerRoot = "http://host";
const std::string kPage = "http://host/site/index.html";

// The parser reads its settings when built: give it an empty store of its own, not the user's.
// A plain array, so that it is still there when the exit handler removes the folder.
char g_workFolder[] = "/tmp/harvestly-bench-XXXXXX";

const char* WorkFolder()
{
    static const bool bMade = []
    {
        if (!::mkdtemp(g_workFolder))
            std::abort();
        ::setenv("XDG_CONFIG_HOME", g_workFolder, 1);
        std::atexit([] { std::filesystem::remove_all(g_workFolder); });
        return true;
    }();
    (void)bMade;
    return g_workFolder;
}

// About 80 characters a line, a link every few lines, now and then an entity or an escape.
std::string OrdinaryPages(size_t bytes)
{
    static const char* const filler[] = {
        "<p>Harvest notes for the season, with tables of yields and the weather by week.</p>",
        "  <td class=\"num\">1,204</td><td class=\"num\">987</td><td>north &amp; east fields</td>",
        "<li>Soil samples were taken at twelve points along the western boundary of the plot</li>",
        "    <div class=\"note\">Figures are provisional until the autumn survey is complete.</div>",
    };
    std::string text;
    for (size_t n = 0; text.size() < bytes; ++n)
    {
        text += filler[n % 4];
        text += '\n';
        if (n % 3 == 0)
            text += "<a href=\"reports/r" + std::to_string(n) + ".html\">Report " + std::to_string(n) +
                    "</a> <img src='img/p" + std::to_string(n) + ".gif' alt=\"plot%20" + std::to_string(n) +
                    "\">\n";
    }
    return text;
}

// The whole page on one line, as a minifier leaves it.
std::string OneLinePage(size_t nLinks, size_t bytesPerLink)
{
    std::string text;
    for (size_t n = 0; n < nLinks; ++n)
    {
        const size_t start = text.size();
        text += "<a href='p/" + std::to_string(n) + ".html'>";
        while (text.size() - start < bytesPerLink - 6)
            text += n % 2 ? "lorem ipsum " : "dolor &amp; ";
        text += "</a> ";
        text.resize(start + bytesPerLink, ' ');
    }
    return text;
}

std::string WriteFile(const std::string& name, const std::string& text)
{
    const std::string path = std::string(WorkFolder()) + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

void ParseFileFast(benchmark::State& state, const std::string& text)
{
    const std::string path = WriteFile("page.html", text);
    CUrlQueue queue;
    CVisitedList visited;
    CLinkParser parser(&queue, &visited, RunSettings{}, nullptr);
    parser.SetStartDir(kStartDir);
    parser.SetServerRoot(kServerRoot);
    parser.SetPage(kPage);
    for (auto _ : state)
    {
        queue.Reset();
        if (!parser.ParseFile(path))
            state.SkipWithError("the page was not read");
        benchmark::DoNotOptimize(queue.Count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["links"] = static_cast<double>(queue.Count());
}

void ParseTextReference(benchmark::State& state, const std::string& text)
{
    size_t nQueued = 0;
    for (auto _ : state)
    {
        CReferenceLinkParser reference({});
        reference.SetStartDir(kStartDir);
        reference.SetServerRoot(kServerRoot);
        reference.SetPage(kPage);
        reference.ParseText(text);
        nQueued = 0;
        while (!reference.QueueEmpty())
        {
            reference.PopFront();
            ++nQueued;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["links"] = static_cast<double>(nQueued);
}

void BM_OrdinaryPages_Fast(benchmark::State& state)
{
    WorkFolder();
    ParseFileFast(state, OrdinaryPages(4 * 1024 * 1024));
}

void BM_OrdinaryPages_Reference(benchmark::State& state)
{
    ParseTextReference(state, OrdinaryPages(4 * 1024 * 1024));
}

// 5 MB, 50,000 links.
void BM_OneLinePage_Fast(benchmark::State& state)
{
    WorkFolder();
    ParseFileFast(state, OneLinePage(static_cast<size_t>(state.range(0)), 100));
}

// The reference lowers the rest of the line for every value: its cost grows with the square of
// the line, so it is measured on shorter lines only.
void BM_OneLinePage_Reference(benchmark::State& state)
{
    ParseTextReference(state, OneLinePage(static_cast<size_t>(state.range(0)), 100));
}

std::vector<std::string> DistinctAddresses(size_t count)
{
    std::vector<std::string> addresses;
    addresses.reserve(count);
    for (size_t n = 0; n < count; ++n)
        addresses.push_back(kStartDir + "section" + std::to_string(n % 97) + "/page" + std::to_string(n) +
                            ".html");
    return addresses;
}

// The crawl's bookkeeping for a site of `count` addresses: each is checked against the visited
// list and the queue when found (twice: links repeat), queued, taken, checked and marked visited.
void BM_QueueAndVisited(benchmark::State& state)
{
    const std::vector<std::string> addresses = DistinctAddresses(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
    {
        CUrlQueue queue;
        CVisitedList visited;
        for (int round = 0; round < 2; ++round)
        {
            for (const std::string& address : addresses)
            {
                if (!visited.Contains(address) && !queue.Find(address))
                    queue.PushBack(address, true);
            }
        }
        while (queue.Count() > 0)
        {
            benchmark::DoNotOptimize(queue.HeadKeep());
            const std::string address = queue.PopFront();
            if (!visited.Contains(address))
                visited.Add(address);
        }
        benchmark::DoNotOptimize(visited.Count());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// The same bookkeeping with the plain lists searched one entry at a time.
void BM_QueueAndVisited_Linear(benchmark::State& state)
{
    const std::vector<std::string> addresses = DistinctAddresses(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
    {
        CReferenceLinkParser lists({});
        std::vector<std::string> queued;
        for (int round = 0; round < 2; ++round)
        {
            for (const std::string& address : addresses)
            {
                bool known = false;
                for (const std::string& visited : lists.m_visited)
                    known = known || visited == address;
                for (const std::string& waiting : queued)
                    known = known || waiting == address;
                if (!known)
                {
                    lists.PushBack(address, true);
                    queued.push_back(address);
                }
            }
        }
        while (!lists.QueueEmpty())
            lists.m_visited.push_back(lists.PopFront());
        benchmark::DoNotOptimize(lists.m_visited.size());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

} // namespace

BENCHMARK(BM_OrdinaryPages_Fast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OrdinaryPages_Reference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneLinePage_Fast)->Arg(500)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneLinePage_Reference)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueueAndVisited)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueueAndVisited_Linear)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond);
