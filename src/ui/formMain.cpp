#include "ui/formMain.h"

#include "app/CommonVarsC.h"

TTFormMain::TTFormMain(QWidget* parent) : QMainWindow(parent)
{
    FormCreate();
}

TTFormMain::~TTFormMain() = default;

void TTFormMain::FormCreate()
{
    GlobalVariables = std::make_unique<CommonVars>();
    setWindowTitle(GlobalVariables->MAINFORMCAPTION);
    ResourcesFilesPath = GlobalVariables->RESOURCESDIR;
    resize(855, 628);
}
