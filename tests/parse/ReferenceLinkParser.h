#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The page reader and the acceptance rules written out the plain way, one rule at a time, with
// the restarting loops, the lowered copy per scan and the linear list searches. Slow on purpose:
// the tests hold the fast parser to it.
//
// It follows the mended behaviour where the fast parser mends the rules: the site prefix keeps a
// named port and must be followed by '/', and link values holding a zero byte, CR or LF are
// dropped.
class CReferenceLinkParser
{
public:
    struct Settings
    {
        bool bUseFilters = false;
        bool bExclude = false;
        std::vector<std::string> filters;
        std::uint32_t nDepth = 0;
    };

    explicit CReferenceLinkParser(Settings settings) : m_settings(std::move(settings)) {}

    void SetStartDir(const std::string& dir) { m_startDir = dir; }
    void SetServerRoot(const std::string& root) { m_serverRoot = root; }
    void SetPage(const std::string& url);

    // The page text as the reader sees it: split into lines, decoded, scanned.
    void ParseText(const std::string& text);
    void AcceptLinks(const std::string& line);

    static void DecodeEntities(std::string& line);
    static void DecodeEscapes(std::string& line);
    static bool ScanLink(const std::string& text, std::string& link, std::string& rest);
    static void ResolveParentSteps(std::string& address);
    static void CollapseSlashes(std::string& address);
    static bool MatchPattern(const std::string& address, const std::string& entry);
    static long FindWildcard(const std::string& text, const std::string& pattern);
    bool DepthAllowed(const std::string& address) const;
    bool PassesFilter(const std::string& address) const;

    // The queue, its keep flags and its list-box lines, kept as plain lists.
    void PushBack(const std::string& address, bool keep);
    void PushFront(const std::string& address, bool keep);
    std::string PopFront();
    bool QueueEmpty() const { return m_queue.empty(); }
    bool HeadKeep() const { return m_queue.front().second; }
    const std::vector<std::string>& ListBox() const { return m_listBox; }
    std::vector<std::string> m_visited;

private:
    bool NextLink(std::string& text, std::string& link, bool& page) const;

    Settings m_settings;
    std::string m_startDir;
    std::string m_serverRoot;
    std::string m_pageUrl;
    std::string m_baseUrl;
    std::vector<std::pair<std::string, bool>> m_queue;
    std::vector<std::string> m_listBox;
};
