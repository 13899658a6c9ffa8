#include "UMain.h"
#include "UStandardStreams.h"

#include <QApplication>
#include <QGuiApplication>

int main(int argc, char *argv[])
{
    OpenStandardStreams();
    ChoosePlatform();
    UsePolishLocale();
    QApplication Application(argc, argv);
    // Wayland shows the icon of the desktop entry this names.
    QGuiApplication::setDesktopFileName(QStringLiteral("trackwarden"));
    InstallPolishTranslation();
    TFMain Window;
    Window.show();
    Window.OpenStartFile(QApplication::arguments());
    return QApplication::exec();
}
