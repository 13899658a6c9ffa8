// trackwarden-screens OUTDIR: renders every main tab of the window, and the
// nested pages that look different, to PNG files (offscreen by default).
#include "UMain.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QWidget>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

struct TShot {
    const char *File;
    std::vector<std::pair<const char *, int>> Pages; // tab set, page index
};

const std::vector<TShot> Shots = {
    {"tab-01-pliki", {{"PageControl1", 0}}},
    {"tab-02-sim", {{"PageControl1", 1}}},
    {"tab-03-uzyt", {{"PageControl1", 2}}},
    {"tab-04-wej", {{"PageControl1", 3}}},
    {"tab-05-wyj", {{"PageControl1", 4}}},
    {"tab-06-uzbr", {{"PageControl1", 5}}},
    {"tab-07-test", {{"PageControl1", 6}}},
    {"tab-08-ring", {{"PageControl1", 7}}},
    {"tab-09-sms", {{"PageControl1", 8}}},
    {"tab-10-gps", {{"PageControl1", 9}}},
    {"tab-11-specjalne", {{"PageControl1", 10}}},
    {"tab-12-prog", {{"PageControl1", 11}}},
    {"wej-input8-user3-function2", {{"PageControl1", 3}, {"PageControl3", 7}, {"PageControl32", 2}, {"PageControl35", 1}}},
    {"wyj-output2", {{"PageControl1", 4}, {"PageControl36", 1}}},
    {"uzyt-user3", {{"PageControl1", 2}, {"PageControl2", 2}}},
    {"gps-user2", {{"PageControl1", 9}, {"PageControl44", 1}}},
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: trackwarden-screens OUTDIR\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    const QDir Out(QString::fromLocal8Bit(argv[1]));
    if (!Out.exists() && !QDir().mkpath(Out.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    // The real window after its start-up, so the pictures show a new set.
    TFMain Client;
    TForm &Form = Client.Form();
    Client.show();

    int Failed = 0;
    for (const TShot &Shot : Shots) {
        for (const auto &[TabsName, Index] : Shot.Pages)
            if (auto *Tabs = Form.Control<QTabWidget>(TabsName))
                Tabs->setCurrentIndex(Index);
        App.processEvents();
        const QString Path = Out.filePath(QString::fromLatin1(Shot.File) + QStringLiteral(".png"));
        if (!Client.grab().save(Path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(Path));
            ++Failed;
        }
        for (const auto &[TabsName, Index] : Shot.Pages)
            if (auto *Tabs = Form.Control<QTabWidget>(TabsName))
                Tabs->setCurrentIndex(0);
    }
    return Failed == 0 ? 0 : 1;
}
