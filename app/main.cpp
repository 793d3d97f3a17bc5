#include "app/MainApp.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    CMainApp theApp("harvestly");
    if (!theApp.InitInstance())
        return 1;
    std::printf("%s\n", theApp.GetVersionText().c_str());
    return 0;
}
