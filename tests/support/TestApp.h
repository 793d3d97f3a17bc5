#pragma once

#include "platform/FileSystem.h"
#include "run/FrontEnd.h"
#include "run/MainApp.h"
#include "settings/RunSettings.h"
#include "support/MessageBoxRecorder.h"
#include "support/TempDir.h"

#include <string>

// A front end that only names a destination folder.
class CTestFrontEnd : public IFrontEnd
{
public:
    std::string GetDestination() const override { return m_strDestination; }
    std::string m_strDestination;
};

// Everything an engine test needs around it: a private settings store, a destination folder, an
// application object whose message boxes are recorded and whose error log goes to that folder.
class CTestApp
{
public:
    CTestApp();
    ~CTestApp();

    CMainApp& App() { return m_app; }
    // The stored settings as a run that starts now takes them.
    RunSettings Settings() { return RunSettings::Read(&m_app); }
    CMessageBoxRecorder& Boxes() { return m_boxes; }
    const std::string& Destination() const { return m_dest.Path(); }
    const std::string& ConfigHome() const { return m_config.Path(); }
    std::string LogText() const;

    // Writes one stored setting, as the options panel would.
    void StoreDword(const char* name, unsigned value);
    void StoreString(const char* name, const std::string& value);

private:
    CTempDir m_config;
    CTempDir m_dest;
    CScopedEnv m_configHome;
    CMessageBoxRecorder m_boxes;
    CTestFrontEnd m_frontEnd;
    CMainApp m_app;
};
