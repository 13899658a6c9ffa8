// Loaded with LD_PRELOAD into an unchanged window, as its user would work
// it: presses "Zapisz jako...", types TW_DRIVE_SAVE_AS into the save dialog,
// accepts it and ends the program. Prints the folder the dialog opened in.
#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

bool TimedOut = false;

QWidget *MainWindow()
{
    for (QWidget *W : QApplication::topLevelWidgets())
        if (W->isVisible() && W->windowTitle().startsWith(QStringLiteral("Trackwarden")))
            return W;
    return nullptr;
}

void AnswerSaveDialog(const QString &Name)
{
    auto *Dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    if (Dialog == nullptr) {
        QTimer::singleShot(50, [Name] { AnswerSaveDialog(Name); });
        return;
    }
    std::printf("dialog: %s\n", qPrintable(Dialog->directory().absolutePath()));
    Dialog->selectFile(Name);
    static_cast<QDialog *>(Dialog)->accept();
}

void PressSaveAs()
{
    QWidget *Main = MainWindow();
    QPushButton *SaveAs = nullptr;
    if (Main != nullptr)
        for (QPushButton *B : Main->findChildren<QPushButton *>())
            if (B->text() == QStringLiteral("Zapisz jako...") && B->isVisible())
                SaveAs = B;
    if (SaveAs == nullptr) {
        QTimer::singleShot(50, PressSaveAs);
        return;
    }
    const QString Name = qEnvironmentVariable("TW_DRIVE_SAVE_AS");
    QTimer::singleShot(0, [Name] { AnswerSaveDialog(Name); });
    SaveAs->click();
    if (!TimedOut)
        std::printf("saved\n");
    std::fflush(stdout);
    // exit, not quit: closing would ask the user.
    QCoreApplication::exit(TimedOut ? 3 : 0);
}

void Start()
{
    QTimer::singleShot(0, PressSaveAs);
    QTimer::singleShot(30000, [] {
        TimedOut = true;
        QWidget *Modal = QApplication::activeModalWidget();
        std::fprintf(stderr, "drive_save: stuck at %s\n",
                     Modal ? qPrintable(Modal->windowTitle() + ": " + Modal->property("text").toString()) : "the window");
        QCoreApplication::exit(3);
    });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(Start)
