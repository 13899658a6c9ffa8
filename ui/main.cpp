#include "UMain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    ChoosePlatform();
    UsePolishLocale();
    QApplication Application(argc, argv);
    InstallPolishTranslation();
    TFMain Window;
    Window.show();
    return QApplication::exec();
}
