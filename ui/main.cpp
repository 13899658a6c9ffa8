#include "UMain.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication Application(argc, argv);

    // The file dialogs speak Polish like the rest of the window.
    QTranslator Translator;
    if (Translator.load(QLocale(QLocale::Polish), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        Translator.load(QLocale(QLocale::Polish), "qtbase", "_", QCoreApplication::applicationDirPath() + "/translations"))
        QCoreApplication::installTranslator(&Translator);

    TFMain Window;
    Window.show();
    return QApplication::exec();
}
