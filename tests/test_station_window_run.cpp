// The station window's runs through the platform's own ports: on Linux
// simulators on pseudo-terminals, under Wine simulators behind Wine's COM1
// and COM2 (cmake/windows-ui-run.sh), each run a trackwarden-cli child of
// the platform. Both devices end holding the default set's image, which the
// wrapper checks under Wine.
#include "test_ui_device.h"
#include "test_ui_main_support.h"

#include "UImage.h"
#include "UProcs.h"
#include "UStationTexts.h"
#include "UStationTile.h"
#include "UStationWindow.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

namespace {

class TNoDialogs : public TStationDialogs {
public:
    bool ChooseSet(QWidget *, const QString &, QString &) override { return false; }
    bool ChooseFolder(QWidget *, const QString &, QString &) override { return false; }
    bool ChooseLogFile(QWidget *, const QString &, QString &) override { return false; }
    bool Ask(QWidget *, const QString &) override { return false; }
    void Inform(QWidget *, const QString &Text) override { ADD_FAILURE() << Text.toStdString(); }
    void OpenInEditor(const QString &) override {}
    void ShowWidget(QWidget *, QWidget *Content, const QString &) override { delete Content; }
};

TEST(StationWindowRun, ProgramsTwoDevicesThroughThePlatformsPorts)
{
    TestApplication();
    TTestFolder Folder;
    SetDefaultSettings();
    WriteBytes(Folder.Path + "Sets" + PathSeparator + "bench.set", &Settings, sizeof Settings);
    uint8_t Image[DeviceImageSize];
    EncodeImageOf(Settings, Image);
    TTestDevice Blank(Folder.Path, 1, {});
    TTestDevice Holding(Folder.Path, 2, std::vector<uint8_t>(Image, Image + DeviceImageSize));
    ASSERT_EQ(Blank.Problem, "");
    ASSERT_EQ(Holding.Problem, "");

    // The ports as the operator ticked them last time: the list keeps a
    // remembered port even where discovery does not show it.
    const QString Ini = QString::fromStdString(Folder.Path + "stanowisko.ini");
    QSettings(Ini, QSettings::IniFormat)
        .setValue(QStringLiteral("ports"),
                  QStringList{QString::fromStdString(Blank.Port), QString::fromStdString(Holding.Port)});
    TStationPlaces Places;
    Places.ProgramFolder = Folder.Path;
    Places.SettingsFile = Ini;
    Places.DefaultLog = Folder.Path + "stanowisko.log";
    auto Window = std::make_unique<TFStation>(std::make_unique<TNoDialogs>(), Places);
    Window->show();
    ASSERT_TRUE(Window->UseSet(QString::fromStdString(Folder.Path + "Sets" + PathSeparator + "bench.set")));
    ASSERT_EQ(Window->Tiles().size(), 2u);
    Window->FastBox()->setChecked(true); // the ports are the subject here, not the timing
    ASSERT_TRUE(Window->StartButton()->isEnabled());
    Window->StartButton()->click();

    QEventLoop Loop;
    QTimer Poll;
    QObject::connect(&Poll, &QTimer::timeout, [&] {
        if (!Window->RunsInProgress())
            Loop.quit();
    });
    QTimer::singleShot(120000, &Loop, &QEventLoop::quit);
    Poll.start(50);
    Loop.exec();
    ASSERT_FALSE(Window->RunsInProgress());
    for (TStationTile *T : Window->Tiles()) {
        EXPECT_EQ(T->Result(), QString::fromUtf8(TextOk)) << T->Log().join('\n').toStdString();
        EXPECT_EQ(T->Progress(), 2 * static_cast<int>(DeviceImageSize));
        EXPECT_EQ(T->Passes(), 1);
    }
    Window.reset();
    const std::vector<uint8_t> Expected(Image, Image + DeviceImageSize);
    // Under Wine the wrapper compares the devices' memory itself.
    for (TTestDevice *Device : {&Blank, &Holding}) {
        if (const auto Memory = Device->StopAndReadMemory()) {
            EXPECT_EQ(*Memory, Expected) << Device->Port;
        }
    }
}

} // namespace
