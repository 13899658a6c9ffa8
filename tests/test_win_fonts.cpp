// The window on Windows draws every letter of its tab captions: under Wine
// the GDI engine once drew "PL K" for "PLIKI", and DirectWrite only boxes.
// Runs on the platform the window itself chooses, on a display (Xvfb).
#include "test_ui_main_support.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTabBar>
#include <QTabWidget>

namespace {

// Dark pixels left by Text drawn alone in Font on white.
int Ink(const QString &Text, const QFont &Font)
{
    QImage Image(64, 64, QImage::Format_ARGB32);
    Image.fill(Qt::white);
    QPainter Painter(&Image);
    Painter.setFont(Font);
    Painter.setPen(Qt::black);
    Painter.drawText(QRect(0, 0, 64, 64), Qt::AlignCenter, Text);
    Painter.end();
    int Dark = 0;
    for (int Y = 0; Y < Image.height(); ++Y)
        for (int X = 0; X < Image.width(); ++X)
            Dark += qGray(Image.pixel(X, Y)) < 160;
    return Dark;
}

TEST(WindowsFonts, EveryLetterOfEveryTabCaptionIsDrawn)
{
    ChoosePlatform();
    UsePolishLocale();
    TTestFolder Folder;
    TTestWindow W(Folder.Path);
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("windows"));
    W.Window->show();

    int Letters = 0;
    for (QTabWidget *Tabs : W.Window->findChildren<QTabWidget *>()) {
        const QFont Font = Tabs->tabBar()->font();
        for (int I = 0; I < Tabs->count(); ++I) {
            const QString Caption = Tabs->tabText(I);
            for (const QChar Letter : Caption) {
                if (Letter.isSpace() || Letter == QLatin1Char('&'))
                    continue;
                ++Letters;
                EXPECT_GT(Ink(Letter, Font), 2)
                    << "\"" << QString(Letter).toStdString() << "\" of \"" << Caption.toStdString() << "\" in "
                    << Font.family().toStdString();
            }
        }
    }
    // The twelve main tabs alone have more letters than that.
    EXPECT_GT(Letters, 40);
}

} // namespace
