// trackwarden-screens OUTDIR: renders every main tab of the window, the
// nested pages that look different and every message box to PNG files
// (offscreen by default).
#include "UMain.h"
#include "UMainTexts.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPainter>
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

// Offscreen boxes have no title bar: one is drawn above the box as a window
// manager would, with the box's icon, its caption left of the room kept for
// the buttons.
QPixmap WithTitleBar(QWidget &Box)
{
    const QPixmap Client = Box.grab();
    constexpr int BarHeight = 24;
    QPixmap Shot(Client.width(), Client.height() + BarHeight);
    Shot.fill(Qt::white);
    QPainter Painter(&Shot);
    Painter.fillRect(0, 0, Shot.width(), BarHeight, QColor(60, 60, 70));
    Painter.drawPixmap(4, 4, Box.windowIcon().pixmap(16, 16));
    QFont TitleFont = QApplication::font("QMdiSubWindowTitleBar");
    TitleFont.setBold(true);
    Painter.setFont(TitleFont);
    Painter.setPen(Qt::white);
    const int Room = Shot.width() - MessageBoxTitleReserve;
    const QString Caption = QFontMetrics(TitleFont).elidedText(Box.windowTitle(), Qt::ElideMiddle, Room);
    Painter.drawText(QRect(24, 0, Room, BarHeight), Qt::AlignVCenter | Qt::AlignLeft, Caption);
    for (int Button = 1; Button <= 3; ++Button)
        Painter.fillRect(Shot.width() - Button * 28, 5, 18, BarHeight - 10, QColor(140, 140, 150));
    Painter.drawPixmap(0, BarHeight, Client);
    return Shot;
}

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

    // A name longer than the status bar's panel.
    Form.SetStatusText(QStringLiteral("zestaw dla klienta z bardzo długą nazwą pliku, której panel nie mieści.set"));
    App.processEvents();
    if (!Client.grab().save(Out.filePath(QStringLiteral("status-long-name.png"))))
        ++Failed;
    Form.SetStatusText(QString());

    int BoxNumber = 0;
    for (const TMessageBoxText &Box : FileMessageBoxes) {
        auto Shown = MakeMessageBox(&Client, QString::fromUtf8(Box.Text), QString::fromUtf8(Box.Caption), Box.Question);
        Shown->show();
        App.processEvents();
        const QString Path = Out.filePath(QStringLiteral("box-%1.png").arg(++BoxNumber, 2, 10, QLatin1Char('0')));
        if (!WithTitleBar(*Shown).save(Path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(Path));
            ++Failed;
        }
    }
    return Failed == 0 ? 0 : 1;
}
