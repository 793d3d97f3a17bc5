#pragma once

// The process-wide start-up and clean-up of the HTTP library, the counterpart of the socket
// library start-up on other systems. Start it once before any other thread exists.
class CNetworkLibrary
{
public:
    CNetworkLibrary() = default;
    ~CNetworkLibrary();
    CNetworkLibrary(const CNetworkLibrary&) = delete;
    CNetworkLibrary& operator=(const CNetworkLibrary&) = delete;

    bool Startup();
    void Cleanup();

private:
    bool m_bStarted = false;
};
