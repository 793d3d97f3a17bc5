#include "support/TestApp.h"

#include "settings/RegistryKey.h"
#include "settings/SettingsTable.h"

#include <stdexcept>

CTestApp::CTestApp() : m_configHome("XDG_CONFIG_HOME", m_config.Path()), m_app("harvestly-test")
{
    m_app.SetMessagePresenter(&m_boxes);
    if (!m_app.Initialize())
        throw std::runtime_error("the application object did not start");
    m_frontEnd.m_strDestination = m_dest.Path();
    m_app.SetFrontEnd(&m_frontEnd);
}

CTestApp::~CTestApp()
{
    m_app.SetMessagePresenter(nullptr);
    m_app.SetFrontEnd(nullptr);
}

std::string CTestApp::LogText() const
{
    return ReadWholeFile(m_dest.Path() + "error.log");
}

void CTestApp::StoreDword(const char* name, unsigned value)
{
    CRegistryKey key;
    if (!key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath) || !key.WriteDword(value, name))
        throw std::runtime_error("cannot store a test setting");
}

void CTestApp::StoreString(const char* name, const std::string& value)
{
    CRegistryKey key;
    if (!key.Open(RegistryRoot::CurrentUser, kSettingsKeyPath) || !key.WriteString(value, name))
        throw std::runtime_error("cannot store a test setting");
}
