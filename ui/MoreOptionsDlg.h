#pragma once

#include "ui/TemplateDialog.h"

#include <cstdint>
#include <string>

class IEngineContext;

// Control identifiers of the dialog of further values (dialog 152).
enum MoreOptionsDlgId : int
{
    IDD_MORE_OPTIONS = 152,
    IDC_MORE_ALLOW_HTTPS = 1060,
    IDC_MORE_HTML_WITH_PARAMETERS = 1061,
    IDC_MORE_FOLLOW_CSS = 1062,
    IDC_MORE_ROBOTS = 1063,
    IDC_MORE_CONVERT_LINKS = 1064,
    IDC_MORE_WAIT_LABEL = 1065,
    IDC_MORE_WAIT = 1066,
    IDC_MORE_LIMIT_RATE_LABEL = 1067,
    IDC_MORE_LIMIT_RATE = 1068,
    IDC_MORE_COMPRESSED = 1069,
    IDC_MORE_CONNECTIONS_LABEL = 1070,
    IDC_MORE_CONNECTIONS = 1071,
    IDC_MORE_RESUME = 1072,
};

// The values beyond the options panel: the switches for today's sites, the pause between
// requests, the rate limit, link conversion, compressed transfers, resuming cut transfers and the transfers
// at once. Like the options panel it shows the stored values when it opens and stores each one the moment it
// changes; OK and the close box only close it.
class CMoreOptionsDlg : public CTemplateDialog
{
    Q_OBJECT

public:
    // Messages go through `context`, as do the settings store's.
    explicit CMoreOptionsDlg(IEngineContext& context, QWidget* pParent = nullptr);

    void ReadStoredValues();
    void StoreCheck(int nId, const char* pszValue);
    // A number field: digits only, up to `nMax`; anything else is refused with a message and taken
    // back.
    void StoreNumber(int nId, const char* pszValue, const char* pszMessage, std::uint64_t nMax);

private:
    void Store(std::uint32_t nValue, const char* pszValue);
    void SetLabel(int nId, unsigned nTextId, int nBuddyId = 0);

    IEngineContext& m_context;
};
