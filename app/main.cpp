#include "app/MainDlg.h"
#include "platform/gui/QtMessagePresenter.h"
#include "platform/gui/QtTranslations.h"
#include "run/MainApp.h"

#include <QApplication>
#include <QStringList>

namespace
{

// The words after the program's name, as one line.
std::string CommandLineAfterProgramName(const QStringList& arguments)
{
    return arguments.mid(1).join(QLatin1Char(' ')).toStdString();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const CQtTranslations qtTexts;
    CMainApp theApp;
    CQtMessagePresenter presenter(theApp.ClosingFlag());
    theApp.SetMessagePresenter(&presenter);

    if (theApp.Initialize())
    {
        CMainDlg dialog(theApp);
        dialog.ProcessCommandLine(CommandLineAfterProgramName(QApplication::arguments()));
        // Shown without a modal loop: a modal main window would keep the mouse from the tray
        // icon, which is a window of its own. The program ends when the window closes.
        QObject::connect(&dialog, &QDialog::finished, &application, &QCoreApplication::quit);
        dialog.show();
        application.exec();
    }
    theApp.SetMessagePresenter(nullptr);
    return 0;
}
