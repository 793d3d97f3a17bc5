#pragma once

#include "parse/LinkSite.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Rewrites the link values of one stored page or stylesheet so that the copy browses from disk:
// a value whose address the mirror holds a file for leads to that file by a relative path, any
// other leads to its absolute address. Every byte outside the values stays as it is.
class CLinkConverter
{
public:
    // Each address the mirror holds a file for, and that file's local path.
    using Targets = std::unordered_map<std::string, std::string>;

    explicit CLinkConverter(const Targets& targets);

    // `text` with every site's value rewritten; `strPageUrl` is the address the text was fetched
    // from and `strPagePath` where it is stored. Sites that lie outside the text or overlap one
    // before them are left alone.
    std::string Convert(std::string_view text, const std::string& strPageUrl, const std::string& strPagePath,
                        std::vector<LinkSite> sites) const;
    // The new text of one value as written (`raw`).
    std::string NewValue(std::string_view raw, const LinkSite& site, const std::string& strPageUrl,
                         const std::string& strPageFolder) const;

    // The file the mirror holds for `address`: its own, or for a folder address its index.html.
    const std::string* FindTarget(const std::string& address) const;
    // The same for an address as a browser resolved it from the value as written.
    const std::string* FindBrowserTarget(const std::string& absolute) const;
    // The path that leads from the folder `strFrom` (ending in '/') to the file `strTo`.
    static std::string RelativePath(const std::string& strFrom, const std::string& strTo);
    // `path` with every byte a browser would read otherwise in a link percent-encoded.
    static std::string EncodePath(std::string_view path);
    // The absolute address `raw` names on the page at `strPageUrl`, as a browser resolves it.
    static std::string Resolve(std::string_view raw, const std::string& strPageUrl);

private:
    const Targets& m_targets;
};
