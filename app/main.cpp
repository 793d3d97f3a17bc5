#include "app/MainApp.h"
#include "app/MainDlg.h"
#include "platform/gui/QtMessagePresenter.h"

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
    CMainApp theApp("harvestly");
    CQtMessagePresenter presenter(theApp.m_bClosing);
    theApp.SetMessagePresenter(&presenter);

    if (theApp.InitInstance())
    {
        CMainDlg dialog;
        dialog.ProcessCommandLine(CommandLineAfterProgramName(QApplication::arguments()));
        dialog.exec();
    }
    theApp.SetMessagePresenter(nullptr);
    return 0;
}
