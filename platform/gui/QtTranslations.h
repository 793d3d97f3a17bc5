#pragma once

#include <QLocale>
#include <QTranslator>

// Qt's own texts (the buttons of message boxes, the file and folder choosers) in the desktop's
// language, so that a Chinese desktop does not show English buttons beside the Chinese window.
// Installed for as long as the object lives; without a translation for the locale, Qt keeps its
// English texts.
class CQtTranslations
{
public:
    explicit CQtTranslations(const QLocale& locale = QLocale());
    ~CQtTranslations();
    CQtTranslations(const CQtTranslations&) = delete;
    CQtTranslations& operator=(const CQtTranslations&) = delete;

    bool IsInstalled() const { return m_bInstalled; }

private:
    QTranslator m_translator;
    bool m_bInstalled = false;
};
