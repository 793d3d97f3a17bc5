#pragma once

#include "parse/LinkFilter.h"
#include "parse/LinkReport.h"
#include "parse/LinkSite.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class CUrlQueue;
class CVisitedList;
class CLineReader;
class CLineScan;
class IEngineContext;
struct RunSettings;
class CRobotsRules;
class COwnFiles;

// The link parser of one run: reads stored pages line by line, finds their link values, and
// queues those that lie inside the start folder, within the depth limit and not seen before.
// Built by the crawl loop at the start of a run from the run's filter and depth settings, and used
// on the worker thread only.
class CLinkParser
{
public:
    // Failures go to the error log of `pContext`; without one they are only kept in LastError().
    CLinkParser(CUrlQueue* pQueue, const CVisitedList* pVisited, const RunSettings& settings,
                IEngineContext* pContext);

    // The start page's folder, up to and including its last '/'.
    void SetStartDir(const std::string& strStartDir);
    // "http://host", or "http://host:port" when the start address names a port.
    void SetServerRoot(const std::string& strServerRoot);
    // The address of the page about to be parsed.
    void SetPage(const std::string& strPageUrl);
    // The address of the stylesheet about to be parsed: its addresses are relative to its folder.
    void SetStylesheet(const std::string& strUrl);
    // Links the rules disallow are dropped; null (the default) disallows nothing. Not owned.
    void SetRobots(const CRobotsRules* pRobots) { m_pRobots = pRobots; }
    // Told what became of every link value found; null (the default) for none. Not owned.
    void SetReport(ILinkReport* pReport) { m_pReport = pReport; }
    // Links that would be stored over one of the run's own files are dropped; null (the default)
    // drops none. Not owned.
    void SetOwnFiles(const COwnFiles* pOwnFiles) { m_pOwnFiles = pOwnFiles; }
    // Whether storing `address` would replace one of the run's own files; the first time for an
    // address, one line in the error log says so.
    bool NamesOwnFile(const std::string& address);
    // Given every link value the parse resolves, with where it stands in the text, so that the
    // page can be rewritten later; null (the default) for none. Not owned.
    void SetSites(std::vector<LinkSite>* pSites) { m_pSites = pSites; }

    // Reads the stored page and queues its links. False (with one line in the error log) when
    // the file cannot be opened or read.
    bool ParseFile(const std::string& path);
    // Queues the links of a page given as its bytes, read exactly as ParseFile reads a file.
    void ParseText(std::string_view text);
    const std::string& LastError() const { return m_strLastError; }
    // A stored stylesheet, or the <style> blocks and style attributes of a stored page: what
    // their url() and @import name is queued as a file, by the same rules as any link. False
    // (with one line in the error log) when the file cannot be read.
    bool ParseStylesheet(const std::string& path);
    bool ParseStyles(const std::string& path);
    // The same for a page whose text is at hand.
    void ParseStylesText(std::string_view text);
    // One address a stylesheet names, as found, and where it stands in the text.
    void AcceptStyleLink(std::string_view value, std::uint64_t nBegin = 0, std::uint64_t nEnd = 0);

    // True when the address stays on disk by the filter settings.
    bool PassesFilter(const std::string& address) const;

    // Queues the links of one decoded line.
    void AcceptLinks(const std::string& line);
    // Decodes and accepts every line; `nSize` is the page's size when known, else 0.
    void ParseLines(CLineReader& reader, std::uintmax_t nSize);
    // The next link value of the line worth resolving, relative to the page's folder or to the
    // server root, and whether it is a page. False when the line is done.
    bool NextLink(CLineScan& scan, std::string& link, bool& bPage) const;
    // The page reader's scan of one text: the first link value and the text after it.
    static bool ScanLink(const std::string& text, std::string& link, std::string& rest);

    bool DepthAllowed(const std::string& address) const;

    // The settings as taken at construction.
    bool UsesFilters() const { return m_filter.UsesFilters(); }
    bool ExcludeMode() const { return m_filter.ExcludeMode(); }
    const std::vector<std::string>& Filters() const { return m_filter.Filters(); }
    std::uint32_t Depth() const { return m_nDepth; }

private:
    void Fail(const std::string& strMessage);
    // A resolved link waiting to be queued.
    struct Candidate
    {
        std::string address;
        std::uint64_t hash = 0;
        bool bPage = false;
        std::string found; // the value as found, kept only for a report
    };

    bool Prepare(Candidate& candidate, const std::string& link, bool bPage);
    void Queue(const Candidate& candidate);
    template <typename Scanner>
    bool ParseStyleFile(const std::string& path);
    // The link relative to the page's folder or the server root, or the fate that ends it here.
    bool ClassifyStyleLink(std::string& link, LinkFate& fate) const;
    bool RobotsAllow(const std::string& address) const;
    // The line as read before decoding, and where it started: kept only while sites are wanted.
    struct RawLine
    {
        std::string text;
        std::uint64_t nStart = 0;
        std::vector<std::uint32_t> origins;
        bool bRead = false; // a line of ParseLines is being accepted
        bool bSame = false; // the line decoded to itself; text and origins are not kept
    };
    void AddSite(const CLineScan& scan, const std::string& address) const;
    void Report(std::string_view value, std::string_view address, LinkFate fate) const;

    CUrlQueue* m_pQueue;
    const CVisitedList* m_pVisited;
    IEngineContext* m_pContext;
    CLinkFilter m_filter;
    std::string m_strLastError;
    std::string m_strPageUrl;
    std::string m_strBaseUrl;
    std::string m_strStartDir;
    std::string m_strServerRoot;
    std::uint32_t m_nDepth = 0;

    // From the page address, for NextLink: "http://host[:port]" and the folder of its object.
    std::string m_strSitePrefix;
    std::string m_strObjectFolder;
    // Reused for every link, so that accepting one costs no allocation once they have grown.
    Candidate m_waiting;
    Candidate m_next;
    // The lowered copy of each line, reused for the same reason.
    std::string m_strLower;
    const CRobotsRules* m_pRobots = nullptr;
    const COwnFiles* m_pOwnFiles = nullptr;
    // The addresses NamesOwnFile has logged.
    std::set<std::string> m_ownFileAddresses;
    ILinkReport* m_pReport = nullptr;
    std::vector<LinkSite>* m_pSites = nullptr;
    RawLine m_raw;
    // The value NextLink last took from the line, before it was made relative (reports only).
    mutable std::string m_strFound;
};
