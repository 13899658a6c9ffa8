#include "UMainTexts.h"
#include "test_ui_main_support.h"

#include <QAbstractButton>
#include <QEventLoop>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProxyStyle>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <QtTest/QTest>

#include <clocale>
#include <ostream>

void PrintTo(const TMessageBoxText &Row, std::ostream *Out)
{
    *Out << Row.Caption << ": " << Row.Text;
}

namespace {

// A style like the Linux desktops', which give standard buttons their icons.
class TIconStyle : public QProxyStyle {
public:
    int styleHint(StyleHint Hint, const QStyleOption *Option, const QWidget *Widget,
                  QStyleHintReturn *Return) const override
    {
        if (Hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 1;
        return QProxyStyle::styleHint(Hint, Option, Widget, Return);
    }
};

struct TBoxSeen {
    bool Shown = false;
    int Width = 0;
    QString Title;
    int ButtonsWithIcons = 0;
};

class MessageBoxLook : public testing::TestWithParam<TMessageBoxText> {};

// The box as the window shows it: the caption fits in the title bar beside
// the window manager's icon and buttons, and no button carries an icon.
TEST_P(MessageBoxLook, CaptionFitsAndButtonsHaveNoIcons)
{
    const TMessageBoxText &Row = GetParam();
    QApplication &App = TestApplication();
    QApplication::setStyle(new TIconStyle);
    TQtDialogs Dialogs;
    TBoxSeen Seen;
    QTimer::singleShot(0, [&Seen] {
        auto *Box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(Box, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Box));
        Seen.Shown = true;
        Seen.Width = Box->width();
        Seen.Title = Box->windowTitle();
        for (QAbstractButton *Button : Box->buttons())
            Seen.ButtonsWithIcons += Button->icon().isNull() ? 0 : 1;
        Box->buttons().constFirst()->click();
    });
    const QString Text = QString::fromUtf8(Row.Text);
    const QString Caption = QString::fromUtf8(Row.Caption);
    if (Row.Question)
        Dialogs.Ask(nullptr, Text, Caption);
    else
        Dialogs.Inform(nullptr, Text, Caption);
    App.processEvents();

    ASSERT_TRUE(Seen.Shown);
    EXPECT_EQ(Seen.Title, Caption);
    QFont TitleFont = QApplication::font("QMdiSubWindowTitleBar");
    TitleFont.setBold(true);
    const QFontMetrics Title(TitleFont);
    const int Room = Seen.Width - MessageBoxTitleReserve;
    EXPECT_GE(Room, Title.horizontalAdvance(Caption)) << "shown as " << Title.elidedText(Caption, Qt::ElideRight, Room).toStdString();
    EXPECT_EQ(Seen.ButtonsWithIcons, 0);
}

INSTANTIATE_TEST_SUITE_P(FileCommands, MessageBoxLook, testing::ValuesIn(FileMessageBoxes));

struct TStatusRow {
    const char *Name;
    bool Elided;
};

class StatusPanel : public testing::TestWithParam<TStatusRow> {};

// A long name is shortened in the middle with an ellipsis; the form keeps it whole.
TEST_P(StatusPanel, ShowsNameWithinItsWidth)
{
    const TStatusRow &Row = GetParam();
    TTestFolder Folder;
    TTestWindow W(Folder.Path);
    W.Window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(W.Window.get()));
    const QString Name = QString::fromUtf8(Row.Name);
    W.Window->Form().SetStatusText(Name);
    auto *Bar = W.Window->findChild<QStatusBar *>();
    ASSERT_NE(Bar, nullptr);
    auto *Panel = Bar->findChild<QLabel *>();
    ASSERT_NE(Panel, nullptr);

    EXPECT_EQ(W.Window->Form().StatusText(), Name);
    const QString Shown = Panel->text();
    EXPECT_LE(Panel->fontMetrics().horizontalAdvance(Shown), Panel->contentsRect().width());
    if (Row.Elided) {
        EXPECT_TRUE(Shown.contains(QChar(0x2026))) << Shown.toStdString();
        EXPECT_TRUE(Shown.endsWith(".set")) << Shown.toStdString();
        EXPECT_EQ(Panel->toolTip(), Name);
    } else {
        EXPECT_EQ(Shown, Name);
        EXPECT_TRUE(Panel->toolTip().isEmpty());
    }
}

const TStatusRow StatusRows[] = {
    {"", false},
    {"alarm.set", false},
    {"ąęśćżźółń zestaw.set", false},
    {"zestaw dla klienta z bardzo długą nazwą pliku, której panel nie mieści w całości.set", true},
    {"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW.set", true},
};

INSTANTIATE_TEST_SUITE_P(Names, StatusPanel, testing::ValuesIn(StatusRows));

// The file dialogs' sizes, dates and types come out Polish whatever the
// system's language, and the C library's locale stays the environment's.
// On Windows the window shows Windows' own file dialog, which speaks the
// language of Windows, and Qt's system locale is the user's Windows locale,
// which no program sets; the Polish default and the untouched environment
// hold there too.
TEST(PolishLocale, FileListFormatsInPolish)
{
    if (QCoreApplication::instance() != nullptr)
        GTEST_SKIP() << "needs a process of its own (as CTest runs it)";
    qputenv("LC_ALL", "C");
    qputenv("LANG", "en_US.UTF-8");
    UsePolishLocale();
    TestApplication();
    EXPECT_EQ(qgetenv("LC_ALL"), "C");
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    EXPECT_EQ(QLocale().language(), QLocale::Polish);
    EXPECT_EQ(QLocale().toString(13.36, 'f', 2).toStdString(), "13,36");
#ifndef _WIN32
    EXPECT_EQ(QLocale::system().language(), QLocale::Polish);

    TTestFolder Folder;
    const std::string Set = Folder.Path + "Sets/a.set";
    const std::vector<uint8_t> Bytes(13676, 0); // a set's size; binary, as sets are
    WriteBytes(Set, Bytes.data(), Bytes.size());
    QFileSystemModel Model;
    const QString Sets = QString::fromStdString(Folder.Path + "Sets");
    Model.setRootPath(Sets);
    QModelIndex File;
    for (int Try = 0; Try < 100 && !File.isValid(); ++Try) {
        QTest::qWait(20);
        File = Model.index(QString::fromStdString(Set));
    }
    ASSERT_TRUE(File.isValid());
    EXPECT_EQ(Model.data(File.siblingAtColumn(1)).toString().toStdString(), "13,36 KiB");
    EXPECT_EQ(Model.data(File.siblingAtColumn(2)).toString().toStdString(), "Nieznany typ");
    const QString Date = Model.data(File.siblingAtColumn(3)).toString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{1,2}\\.\\d{2}\\.\\d{4} \\d{1,2}:\\d{2}$")).match(Date).hasMatch())
        << Date.toStdString();
#endif
}

// Qt's own texts (the file dialog's buttons and columns) come out Polish:
// from the system's translations on Linux, from translations\ beside the
// program on Windows, where Qt's own folder is not on the user's machine.
TEST(PolishTranslation, QtsOwnTextsArePolish)
{
    TestApplication();
    InstallPolishTranslation();
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "Anuluj");
    EXPECT_EQ(QCoreApplication::translate("QFileSystemModel", "Size").toStdString(), "Rozmiar");
}

} // namespace
