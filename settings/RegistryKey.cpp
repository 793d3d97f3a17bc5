#include "settings/RegistryKey.h"

#include "platform/EngineContext.h"
#include "platform/PathParts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace
{

std::string ConfigHome()
{
    // The program never changes its environment, so reading it from either thread is safe.
    const char* xdg = std::getenv("XDG_CONFIG_HOME"); // NOLINT(concurrency-mt-unsafe)
    if (xdg != nullptr && *xdg == '/')
        return xdg;
    const char* home = std::getenv("HOME"); // NOLINT(concurrency-mt-unsafe)
    return std::string(home != nullptr ? home : "") + "/.config";
}

QString ToQString(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<std::uint32_t> ParseDword(const QString& text)
{
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok, 10);
    if (!ok || value > 0xFFFFFFFFull || text.isEmpty() || !text.at(0).isDigit())
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

} // namespace

CRegistryKey::CRegistryKey(IEngineContext* pContext) : m_pContext(pContext) {}

CRegistryKey::~CRegistryKey()
{
    Close();
}

std::string CRegistryKey::StorePath(const std::string& subkey)
{
    // Software\<organisation>\<application> becomes <organisation>/<application>.conf.
    std::string relative = subkey;
    const std::string software = "Software\\";
    if (relative.rfind(software, 0) == 0)
        relative.erase(0, software.size());
    for (char& c : relative)
    {
        if (c == '\\')
            c = '/';
    }
    std::string home = ConfigHome();
    PathParts::AddFinalSlash(home);
    return home + relative + ".conf";
}

bool CRegistryKey::Create(RegistryRoot root, const std::string& subkey)
{
    (void)root;
    Close();
    const QString path = ToQString(StorePath(subkey));
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    file.close();
    m_hKey = std::make_unique<QSettings>(path, QSettings::IniFormat);
    if (m_hKey->status() == QSettings::AccessError)
    {
        m_hKey.reset();
        return false;
    }
    return true;
}

bool CRegistryKey::Open(RegistryRoot root, const std::string& subkey)
{
    Close();
    const QString path = ToQString(StorePath(subkey));
    const QFileInfo info(path);
    if (info.isFile() && info.isReadable())
    {
        m_hKey = std::make_unique<QSettings>(path, QSettings::IniFormat);
        // A refused write stays pending in the process-wide cache and every new handle retries it
        // and fails again; the stored values are readable all the same, so the key is open.
        if (m_hKey->status() == QSettings::NoError || m_hKey->status() == QSettings::AccessError)
            return true;
        m_hKey.reset();
    }
    if (Create(root, subkey))
        return true;

    m_strMessage = "Unable to build key [" + subkey + "]";
    if (m_pContext != nullptr)
        m_pContext->MessageBox(m_strMessage, MsgButtons::Ok, MsgIcon::None, {});
    return false;
}

void CRegistryKey::Close()
{
    m_hKey.reset();
}

bool CRegistryKey::Store(const std::string& name, const QString& value)
{
    if (!m_hKey)
        return false;
    const QString key = ToQString(name);
    const QVariant oldValue = m_hKey->value(key);
    m_hKey->setValue(key, value);
    m_hKey->sync();
    if (m_hKey->status() == QSettings::NoError)
        return true;

    // The store keeps unsaved changes in a per-process cache and would write them out with the
    // next successful save; put the old value back so that a refused write stays refused.
    if (oldValue.isValid())
        m_hKey->setValue(key, oldValue);
    else
        m_hKey->remove(key);
    return false;
}

bool CRegistryKey::WriteString(const std::string& text, const std::string& name)
{
    return Store(name, ToQString(text));
}

bool CRegistryKey::ReadString(std::string& text, const std::string& name)
{
    text.clear();
    if (!m_hKey)
        return false;
    const QVariant value = m_hKey->value(ToQString(name));
    if (!value.isValid())
        return false;
    const QByteArray bytes = value.toString().toUtf8();
    // The text ends at its first zero, as a C string read back from the store would.
    text.assign(bytes.constData(), strnlen(bytes.constData(), static_cast<size_t>(bytes.size())));
    return true;
}

bool CRegistryKey::WriteDword(std::uint32_t value, const std::string& name)
{
    return Store(name, QString::number(value));
}

bool CRegistryKey::ReadDword(std::uint32_t& value, const std::string& name)
{
    if (!m_hKey)
        return false;
    const QVariant stored = m_hKey->value(ToQString(name));
    if (!stored.isValid())
        return false;
    const std::optional<std::uint32_t> parsed = ParseDword(stored.toString());
    if (!parsed)
        return false;
    value = *parsed;
    return true;
}

bool CRegistryKey::ReadBool(bool& flag, const std::string& name)
{
    std::uint32_t value = 0;
    if (!ReadDword(value, name))
        return false;
    flag = value != 0;
    return true;
}
