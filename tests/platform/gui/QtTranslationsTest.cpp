#include "platform/gui/QtTranslations.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <gtest/gtest.h>

namespace
{

QString ButtonText(QMessageBox::StandardButton which)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("t"),
                    QMessageBox::Ok | QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    return box.button(which)->text();
}

} // namespace

// The buttons Qt puts into a message box follow the desktop's language while the translations
// are installed, and go back to Qt's English once they are gone.
TEST(QtTranslations, MessageBoxButtonsFollowTheDesktopLanguage)
{
    const QString englishOk = ButtonText(QMessageBox::Ok);
    const QString englishNo = ButtonText(QMessageBox::No);
    {
        const CQtTranslations chinese(QLocale(QLocale::Chinese, QLocale::China));
        ASSERT_TRUE(chinese.IsInstalled()) << "qtbase_zh_CN.qm not found (qt6-translations-l10n)";
        const QString ok = ButtonText(QMessageBox::Ok);
        const QString no = ButtonText(QMessageBox::No);
        EXPECT_NE(ok, englishOk);
        EXPECT_NE(no, englishNo);
        EXPECT_TRUE(ok.contains(QChar(0x786E))) << ok.toStdString(); // "确定"
        EXPECT_TRUE(no.contains(QChar(0x5426))) << no.toStdString(); // "否"
    }
    EXPECT_EQ(ButtonText(QMessageBox::Ok), englishOk);
    {
        const CQtTranslations english(QLocale(QLocale::English, QLocale::UnitedStates));
        EXPECT_EQ(ButtonText(QMessageBox::Ok), englishOk);
    }
}
