#include "ui/formMain.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TTFormMain mainForm;
    mainForm.show();
    return app.exec();
}
