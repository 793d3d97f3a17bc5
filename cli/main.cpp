#include <cstdio>

#include "app/MainApp.h"

int main()
{
    CMainApp theApp("harvestly-cli");
    if (!theApp.InitInstance())
        return 1;
    std::printf("%s\n", theApp.GetVersionText().c_str());
    return 0;
}
