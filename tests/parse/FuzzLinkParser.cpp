// libFuzzer target over the page reader and the acceptance step. The first input byte picks the
// settings and the page; the rest is the stored page. Besides not crashing, every queued address
// must lie inside the start folder, hold no "..", and agree with the plain version of the rules.
#include "ReferenceLinkParser.h"
#include "parse/LinkParser.h"
#include "parse/UrlQueue.h"
#include "parse/VisitedList.h"
#include "settings/RegistryKey.h"
#include "settings/RunSettings.h"
#include "settings/SettingsTable.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace
{

const char* const kStartDir = "http://host:8080/a/";
const char* const kServerRoot = "http://host:8080";
const char* const kPages[] = {"http://host:8080/a/index.html", "http://host:8080/a/b/p.html",
                              "http://host:8080/a/b/", "http://host:8080/a/page.asp"};

struct Variant
{
    CReferenceLinkParser::Settings settings;
    CUrlQueue queue;
    CVisitedList visited;
    std::unique_ptr<CLinkParser> pParser;
};

struct Harness
{
    std::filesystem::path folder;
    std::string pagePath;
    std::vector<std::unique_ptr<Variant>> variants;
};

Harness* g_pHarness = nullptr;

void Check(bool bHolds, const char* what, const std::string& detail)
{
    if (bHolds)
        return;
    std::fprintf(stderr, "fuzz check failed: %s: %s\n", what, detail.c_str());
    std::abort();
}

void StoreSettings(const CReferenceLinkParser::Settings& settings, const std::string& filter)
{
    CRegistryKey key;
    if (!key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath))
        std::abort();
    key.WriteDword(settings.bUseFilters ? 1 : 0, kValueUseFilters);
    key.WriteDword(settings.bExclude ? 1 : 0, kValueFilterExclude);
    key.WriteString(filter, kValueFilter);
    key.WriteDword(settings.nDepth, kValueDepth);
    key.Close();
}

void AddVariant(Harness& harness, bool bUseFilters, bool bExclude, const std::string& filter,
                std::uint32_t nDepth)
{
    auto pVariant = std::make_unique<Variant>();
    pVariant->settings = {bUseFilters, bExclude, {}, nDepth};
    StoreSettings(pVariant->settings, filter);
    pVariant->pParser = std::make_unique<CLinkParser>(&pVariant->queue, &pVariant->visited,
                                                      RunSettings::Read(nullptr), nullptr);
    pVariant->settings.filters = pVariant->pParser->Filters();
    harness.variants.push_back(std::move(pVariant));
}

void RemoveFolder()
{
    if (g_pHarness)
    {
        std::error_code ignored;
        std::filesystem::remove_all(g_pHarness->folder, ignored);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (g_pHarness)
        return 0;
    char folder[] = "/tmp/harvestly-fuzz-XXXXXX";
    if (!::mkdtemp(folder))
        std::abort();
    g_pHarness = new Harness;
    g_pHarness->folder = folder;
    g_pHarness->pagePath = std::string(folder) + "/page.html";
    ::setenv("XDG_CONFIG_HOME", folder, 1);
    std::atexit(RemoveFolder);

    AddVariant(*g_pHarness, false, false, "", 0);
    AddVariant(*g_pHarness, true, false, "*.gif;*?.htm*;images*;", 2);
    AddVariant(*g_pHarness, true, true, "*.html;", 1);
    AddVariant(*g_pHarness, true, false, "", 3);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    LLVMFuzzerInitialize(nullptr, nullptr);
    if (size == 0)
        return 0;
    const unsigned choice = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    Variant& variant = *g_pHarness->variants[choice % g_pHarness->variants.size()];
    const std::string page = kPages[(choice / 4) % std::size(kPages)];

    {
        std::ofstream out(g_pHarness->pagePath, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }

    CLinkParser& parser = *variant.pParser;
    variant.queue.Reset();
    variant.visited.Clear();
    variant.visited.Add(page);
    parser.SetStartDir(kStartDir);
    parser.SetServerRoot(kServerRoot);
    parser.SetPage(page);
    Check(parser.ParseFile(g_pHarness->pagePath), "the page was not read", g_pHarness->pagePath);

    CReferenceLinkParser reference(variant.settings);
    reference.m_visited.push_back(page);
    reference.SetStartDir(kStartDir);
    reference.SetServerRoot(kServerRoot);
    reference.SetPage(page);
    reference.ParseText(text);

    Check(variant.queue.ShownLines().lines == reference.ListBox(), "shown lines differ", page);
    while (variant.queue.Count() > 0)
    {
        Check(!reference.QueueEmpty(), "the queue holds more than the rules give", variant.queue.Head());
        Check(variant.queue.HeadKeep() == reference.HeadKeep(), "keep flags differ", variant.queue.Head());
        const std::string address = variant.queue.PopFront();
        Check(address.find(kStartDir) != std::string::npos, "queued outside the start folder", address);
        Check(address.find("..") == std::string::npos, "queued with a parent step", address);
        Check(address == reference.PopFront(), "queue order differs", address);
        Check(variant.queue.ShownLines().lines == reference.ListBox(), "shown lines differ", address);
    }
    Check(reference.QueueEmpty(), "the queue misses addresses the rules give", page);
    return 0;
}
