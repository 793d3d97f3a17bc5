#include <QApplication>
#include <cstdio>

#include "app/MainApp.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    CMainApp theApp("harvestly");
    if (!theApp.InitInstance())
        return 1;
    std::printf("%s\n", theApp.GetVersionText().c_str());
    return 0;
}
