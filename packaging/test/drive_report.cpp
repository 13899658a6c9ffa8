// Loaded with LD_PRELOAD into an unchanged window that the desktop started
// (a double-clicked set): writes what the window shows once it is up into
// the file TW_DRIVE_REPORT, as its user would read it: "box: TEXT" for each
// message box (closed with its default button), then "status: TEXT" for
// the status bar and "arguments: ..." for what the program was given; then
// it ends the program.
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QWidget>

namespace {

QStringList Report;

QWidget *MainWindow()
{
    for (QWidget *W : QApplication::topLevelWidgets())
        if (W->isVisible() && W->windowTitle().startsWith(QStringLiteral("Trackwarden")))
            return W;
    return nullptr;
}

void Finish(int Status)
{
    QFile Out(qEnvironmentVariable("TW_DRIVE_REPORT"));
    if (Out.open(QIODevice::WriteOnly | QIODevice::Text))
        Out.write((Report.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    // exit, not quit: closing would ask the user.
    QCoreApplication::exit(Status);
}

void Look()
{
    if (auto *Box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
        Report << QStringLiteral("box: ") + Box->text();
        Box->done(QMessageBox::Ok);
        QTimer::singleShot(200, Look);
        return;
    }
    QWidget *Main = MainWindow();
    auto *Bar = Main != nullptr ? Main->findChild<QStatusBar *>() : nullptr;
    auto *Panel = Bar != nullptr ? Bar->findChild<QLabel *>() : nullptr;
    if (Panel == nullptr) {
        QTimer::singleShot(100, Look);
        return;
    }
    Report << QStringLiteral("status: ") + Panel->text();
    Report << QStringLiteral("arguments: ") + QCoreApplication::arguments().mid(1).join(QLatin1Char(' '));
    Finish(0);
}

void Start()
{
    // The window opens its argument right after it is shown; a box it shows
    // runs its own loop, where this timer fires too.
    QTimer::singleShot(500, Look);
    QTimer::singleShot(30000, [] {
        Report << QStringLiteral("stuck");
        Finish(3);
    });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(Start)
