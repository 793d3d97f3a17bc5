#include "platform/NetworkLibrary.h"

#include <curl/curl.h>

CNetworkLibrary::~CNetworkLibrary()
{
    Cleanup();
}

bool CNetworkLibrary::Startup()
{
    if (!m_bStarted)
        m_bStarted = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return m_bStarted;
}

void CNetworkLibrary::Cleanup()
{
    if (m_bStarted)
    {
        curl_global_cleanup();
        m_bStarted = false;
    }
}
