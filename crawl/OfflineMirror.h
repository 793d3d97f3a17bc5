#pragma once

#include "parse/LinkConverter.h"
#include "parse/LinkSite.h"

#include <string>
#include <unordered_map>
#include <vector>

class IEngineContext;
class CLocalFile;

// What a run needs to make its mirror browse offline once it ends: every file it stored or found
// present, by address, and the link values of every page and stylesheet it read, by where they
// stand in the file. Filled by the crawl loop on the worker thread, then converted there once.
class COfflineMirror
{
public:
    // The address's copy is in the mirror at `strLocalPath`.
    void AddStored(const std::string& strAddress, const std::string& strLocalPath);
    // The link values read from the copy of `strAddress` at `strLocalPath`; a copy read before
    // (under another address that names the same file) keeps what it was given first.
    void AddPage(const std::string& strAddress, const std::string& strLocalPath, std::vector<LinkSite> sites);

    struct Outcome
    {
        size_t nConverted = 0; // pages rewritten
        size_t nFailed = 0;    // pages left as they were, each with a line in the error log
    };
    // Rewrites every page read so far; a page whose values already lead where they should is
    // not written. A page that cannot be read or written keeps its bytes and its time.
    Outcome Convert(IEngineContext& context) const;

    size_t PageCount() const { return m_pages.size(); }

private:
    struct Page
    {
        std::string address;
        std::string localPath;
        std::vector<LinkSite> sites;
    };
    // Empty when the page is written (or needs no writing), else the log line.
    static std::string ConvertPage(const CLinkConverter& converter, const Page& page, bool& bWritten);
    static bool ReadAll(CLocalFile& file, std::string& text);

    CLinkConverter::Targets m_targets;
    std::vector<Page> m_pages;
    std::unordered_map<std::string, size_t> m_pageIndex; // local path -> m_pages index
};
