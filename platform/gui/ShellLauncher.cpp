#include "platform/gui/ShellLauncher.h"

#include <QDesktopServices>
#include <QUrl>

void CDesktopShellLauncher::Open(const std::string& strTarget)
{
    QDesktopServices::openUrl(QUrl(QString::fromStdString(strTarget)));
}
