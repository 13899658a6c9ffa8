// trackwarden-station: the production bench's window.
#include "UMain.h"
#include "UStandardStreams.h"
#include "UStationWindow.h"

#include <QApplication>
#include <QGuiApplication>

int main(int argc, char *argv[])
{
    OpenStandardStreams();
    ChoosePlatform();
    UsePolishLocale();
    QApplication Application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("trackwarden-station"));
    InstallPolishTranslation();
    TFStation Window;
    Window.show();
    return QApplication::exec();
}
