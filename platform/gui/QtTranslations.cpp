#include "platform/gui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

CQtTranslations::CQtTranslations(const QLocale& locale)
{
    // "qtbase" holds the texts of every widget the program shows; Debian ships them in
    // qt6-translations-l10n under Qt's translations folder.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (m_translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder))
        m_bInstalled = QCoreApplication::installTranslator(&m_translator);
}

CQtTranslations::~CQtTranslations()
{
    if (m_bInstalled)
        QCoreApplication::removeTranslator(&m_translator);
}
