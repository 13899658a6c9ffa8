// The station window against simulated devices, offscreen: many ports at
// once (a silent one, one holding other settings, one unplugged mid-run),
// reading into files, the automatic mode, Stop and closing during runs, a
// port held by another program. Runs use the fast exchange where the
// behaviour under test allows it, to keep them short. Under Wine the
// devices are native simulators behind Wine's COM ports, started on the
// test's request (cmake/windows-station-run.sh).
#include "test_ui_device.h"
#include "test_ui_main_support.h"

#include "UFields.h"
#include "UImage.h"
#include "UProcs.h"
#include "UStationTexts.h"
#include "UStationTile.h"
#include "UStationWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <optional>
#include <set>

namespace {

class TStationScript : public TStationDialogs {
public:
    std::deque<bool> AskAnswers;
    std::vector<QString> Asked, Informed, Opened;
    std::vector<QWidget *> Widgets;
    QString Folder;

    bool ChooseSet(QWidget *, const QString &, QString &) override { return false; }
    bool ChooseFolder(QWidget *, const QString &, QString &Chosen) override
    {
        Chosen = Folder;
        return !Folder.isEmpty();
    }
    bool ChooseLogFile(QWidget *, const QString &, QString &) override { return false; }
    bool Ask(QWidget *, const QString &Text) override
    {
        Asked.push_back(Text);
        if (AskAnswers.empty())
            return false;
        const bool Yes = AskAnswers.front();
        AskAnswers.pop_front();
        return Yes;
    }
    void Inform(QWidget *, const QString &Text) override { Informed.push_back(Text); }
    void OpenInEditor(const QString &SetFile) override { Opened.push_back(SetFile); }
    void ShowWidget(QWidget *, QWidget *Content, const QString &) override { Widgets.push_back(Content); }
    ~TStationScript() override
    {
        for (QWidget *W : Widgets)
            delete W;
    }
};

std::vector<uint8_t> ImageOf(const TSettings &Set)
{
    uint8_t Image[DeviceImageSize];
    EncodeImageOf(Set, Image);
    return {Image, Image + DeviceImageSize};
}

class StationWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApplication();
        SetDefaultSettings();
        Set = std::make_unique<TSettings>(Settings);
        WriteBytes(Folder.Path + "Sets/bench.set", Set.get(), sizeof(TSettings));
    }
    void Open()
    {
        auto Owned = std::make_unique<TStationScript>();
        Script = Owned.get();
        TStationPlaces Places;
        Places.ProgramFolder = Folder.Path;
        Places.SettingsFile = QString::fromStdString(Folder.Path + "stanowisko.ini");
        Places.DefaultLog = Folder.Path + "stanowisko.log";
        Window = std::make_unique<TFStation>(std::move(Owned), Places);
        Window->show();
    }
    std::string Port(int Com) const { return TestDevicePort(Folder.Path, Com); }
    std::unique_ptr<TTestDevice> Device(int Com, const std::vector<std::string> &Options,
                                        const std::vector<uint8_t> &Memory)
    {
        auto Sim = std::make_unique<TTestDevice>(Folder.Path, Com, Memory, Options);
        EXPECT_EQ(Sim->Problem, "") << "COM" << Com;
        return Sim;
    }
    void Tick(const std::vector<int> &Coms)
    {
        Window->RefreshPorts();
        QListWidget *List = Window->PortList();
        for (int I = 0; I < List->count(); ++I) {
            const std::string Name = List->item(I)->data(Qt::UserRole).toString().toStdString();
            bool Wanted = false;
            for (int Com : Coms)
                Wanted = Wanted || Name == Port(Com);
            List->item(I)->setCheckState(Wanted ? Qt::Checked : Qt::Unchecked);
        }
    }
    TStationTile *TileOf(int Com) { return Window->Tile(QString::fromStdString(Port(Com))); }
    bool AllEnded(const std::vector<int> &Coms)
    {
        for (int Com : Coms)
            if (TileOf(Com) == nullptr || TileOf(Com)->Running() || TileOf(Com)->Result().isEmpty())
                return false;
        return true;
    }
    std::vector<QStringList> AuditLines()
    {
        std::vector<QStringList> Lines;
        QFile File(QString::fromStdString(Folder.Path + "stanowisko.log"));
        if (File.open(QIODevice::ReadOnly))
            for (const QString &Line : QString::fromUtf8(File.readAll()).split('\n', Qt::SkipEmptyParts))
                Lines.push_back(Line.split('\t'));
        return Lines;
    }

    TTestFolder Folder;
    std::unique_ptr<TSettings> Set;
    TStationScript *Script = nullptr;
    std::unique_ptr<TFStation> Window;
};

// Four ports at once: one device matches, one is silent, one holds other
// settings, one hangs up in the middle of its read pass.
TEST_F(StationWindow, FourPortsEachWithItsOwnResult)
{
    TSettings Other = *Set;
    const TFieldDesc *Phone = FieldByName("Users[1].PhoneNumber");
    const TFieldDesc *Delay = FieldByName("Inputs[1].DelayTime");
    ASSERT_TRUE(Phone != nullptr && Delay != nullptr);
    SetFieldText(Other, *Phone, "+48600100200");
    SetFieldInt(Other, *Delay, FieldInt(Other, *Delay) + 5);
    const std::set<std::string> ChangedNames = {Phone->Name, Delay->Name};
    auto Same = Device(1, {}, ImageOf(*Set));
    auto Silent = Device(2, {"--silent"}, {});
    auto Differs = Device(3, {}, ImageOf(Other));
    auto Unplugged = Device(4, {"--hang-up-after", "60"}, ImageOf(*Set));
    Open();
    ASSERT_TRUE(Window->UseSet(QString::fromStdString(Folder.Path + "Sets/bench.set")));
    Window->ModeBox()->setCurrentIndex(1); // Porównaj
    Window->FastBox()->setChecked(true);
    Tick({1, 2, 3, 4});
    ASSERT_EQ(Window->Tiles().size(), 4u);
    Window->StartButton()->click();
    ASSERT_TRUE(RunEventsUntil([&] { return AllEnded({1, 2, 3, 4}) && !Window->RunsInProgress(); }, 60000));

    EXPECT_EQ(TileOf(1)->Result(), QString::fromUtf8(TextOk));
    EXPECT_EQ(TileOf(1)->Progress(), TileOf(1)->ProgressMaximum());
    EXPECT_EQ(TileOf(2)->Result(), QString::fromUtf8(TextNoReply));
    EXPECT_EQ(TileOf(3)->Result(), QString::fromUtf8(TextVerifyFailed));
    EXPECT_EQ(TileOf(4)->Result(), QString::fromUtf8(TextNoReply));
    EXPECT_GT(TileOf(4)->Progress(), 0);
    EXPECT_LT(TileOf(4)->Progress(), TileOf(4)->ProgressMaximum());

    // The differences name exactly the changed settings, with both sides' values.
    std::set<std::string> Named;
    for (const TSettingDifference &D : TileOf(3)->Differences()) {
        EXPECT_FALSE(D.Setting.empty()) << "bytes no setting explains at " << D.Offset;
        Named.insert(D.Setting);
        EXPECT_NE(D.SetValue, D.DeviceValue) << D.Setting;
    }
    EXPECT_EQ(Named, ChangedNames);
    EXPECT_TRUE(TileOf(3)->DifferencesButton->isVisible());
    TileOf(3)->DifferencesButton->click();
    ASSERT_FALSE(Script->Widgets.empty());
    auto *Table = qobject_cast<QTableWidget *>(Script->Widgets.back());
    ASSERT_NE(Table, nullptr);
    EXPECT_EQ(Table->rowCount(), static_cast<int>(ChangedNames.size()));
    EXPECT_FALSE(TileOf(1)->DifferencesButton->isVisible());

    EXPECT_EQ(TileOf(1)->Passes(), 1);
    EXPECT_EQ(TileOf(2)->Failures(), 1);
    // Every run in the audit log, and in its view.
    const auto Lines = AuditLines();
    ASSERT_EQ(Lines.size(), 4u);
    std::multiset<std::string> Results;
    for (const QStringList &Fields : Lines) {
        ASSERT_GE(Fields.size(), 11);
        Results.insert(Fields[8].toStdString());
    }
    EXPECT_EQ(Results, (std::multiset<std::string>{"ok", "no-reply", "no-reply", "verify"}));
    Window->ShowAuditView();
    auto *Audit = qobject_cast<QTableWidget *>(Script->Widgets.back());
    ASSERT_NE(Audit, nullptr);
    EXPECT_EQ(Audit->rowCount(), 4);
}

// Each device's set and image land in the chosen folder under the port's
// name and the time; the set encodes back to the device's memory.
TEST_F(StationWindow, ReadSavesSetsThatEncodeToTheDevicesMemory)
{
    std::vector<std::vector<uint8_t>> Memories;
    std::vector<std::unique_ptr<TTestDevice>> Sims;
    for (int Com = 1; Com <= 2; ++Com) {
        TSettings Own = *Set;
        SetFieldText(Own, *FieldByName("Users[2].PhoneNumber"), Com == 1 ? "+48600000001" : "+48600000002");
        Memories.push_back(ImageOf(Own));
        Sims.push_back(Device(Com, {}, Memories.back()));
    }
    Open();
    Window->ModeBox()->setCurrentIndex(2); // Odczyt
    Window->FastBox()->setChecked(true);
    Tick({1, 2});
    // The editor opens sets from Sets/ only: it is offered for a read saved there.
    for (const char *Into : {"odczyt", "Sets"}) {
        SCOPED_TRACE(Into);
        const bool InSets = std::string(Into) == "Sets";
        const std::string Out = Folder.Path + Into;
        std::filesystem::create_directories(Out);
        Script->Folder = QString::fromStdString(Out);
        Window->ChooseReadFolder();
        Window->StartButton()->click();
        ASSERT_TRUE(RunEventsUntil([&] { return AllEnded({1, 2}) && !Window->RunsInProgress(); }, 60000));
        for (int Com = 1; Com <= 2; ++Com) {
            SCOPED_TRACE(Com);
            EXPECT_EQ(TileOf(Com)->Result(), QString::fromUtf8(TextOk));
            const QString Saved = TileOf(Com)->ReadSet();
            const std::filesystem::path Path(Saved.toStdString());
            EXPECT_TRUE(std::filesystem::equivalent(Path.parent_path(), Out)) << Path;
            const std::string Name = Path.filename().string();
            EXPECT_EQ(Name.rfind("COM" + std::to_string(Com) + "-", 0), 0u) << Name;
            EXPECT_EQ(Name.size(), std::string("COM1-20261209-141503.set").size()) << Name;
            const std::vector<uint8_t> SetBytes = ReadBytes(Saved.toStdString());
            ASSERT_EQ(SetBytes.size(), sizeof(TSettings));
            TSettings Decoded;
            std::memcpy(&Decoded, SetBytes.data(), sizeof Decoded);
            EXPECT_EQ(ImageOf(Decoded), Memories[static_cast<size_t>(Com - 1)]);
            const std::string Image = Saved.toStdString().substr(0, Saved.size() - 4) + ".img";
            EXPECT_EQ(ReadBytes(Image), Memories[static_cast<size_t>(Com - 1)]);
            EXPECT_EQ(TileOf(Com)->EditorButton->isEnabled(), InSets);
        }
        if (InSets) {
            TileOf(2)->EditorButton->click();
            EXPECT_EQ(Script->Opened, std::vector<QString>{TileOf(2)->ReadSet()});
        }
    }
}

// A device link appears, is programmed, goes away and appears again: two
// runs, and none while the finished device stays.
TEST_F(StationWindow, AutomaticModeRunsEachDeviceOnce)
{
    Open();
    ASSERT_TRUE(Window->UseSet(QString::fromStdString(Folder.Path + "Sets/bench.set")));
    Window->FastBox()->setChecked(true);
    {
        auto First = Device(1, {}, {});
        Tick({1});
    }
    Window->RefreshPorts();
    ASSERT_NE(TileOf(1), nullptr);
    Window->AutomaticButton()->setChecked(true);
    const QString Waiting = QString::fromUtf8(TextNextDevice);
    for (int Round = 1; Round <= 2; ++Round) {
        SCOPED_TRACE(Round);
        auto Sim = Device(1, {}, {});
        ASSERT_TRUE(RunEventsUntil([&] { return TileOf(1)->Phase() == Waiting; }, 30000));
        EXPECT_EQ(TileOf(1)->Result(), QString::fromUtf8(TextOk));
        // One bar over both passes of the programming run.
        EXPECT_EQ(TileOf(1)->ProgressMaximum(), 2 * static_cast<int>(DeviceImageSize));
        EXPECT_EQ(TileOf(1)->Progress(), TileOf(1)->ProgressMaximum());
        EXPECT_EQ(Window->AutomaticStarts(), Round);
        // The finished device stays: probes find it answering, and nothing starts.
        RunEventsUntil([] { return false; }, 3500);
        EXPECT_EQ(Window->AutomaticStarts(), Round);
        EXPECT_EQ(TileOf(1)->Phase(), Waiting);
        Sim.reset();
        // Unplugged: the tile waits no more.
        EXPECT_TRUE(RunEventsUntil([&] { return TileOf(1)->Phase() != Waiting; }, 5000));
    }
    EXPECT_EQ(TileOf(1)->Passes(), 2);
}

// Stop and closing the window end the runs cleanly: the tiles say
// "Przerwano" and the ports are free again.
TEST_F(StationWindow, StopAndCloseEndRunsCleanly)
{
    for (const bool ByClosing : {false, true}) {
        SCOPED_TRACE(ByClosing ? "close" : "Stop");
        auto A = Device(1, {}, ImageOf(*Set));
        auto B = Device(2, {}, ImageOf(*Set));
        Open();
        ASSERT_TRUE(Window->UseSet(QString::fromStdString(Folder.Path + "Sets/bench.set")));
        Window->ModeBox()->setCurrentIndex(1);
        Window->FastBox()->setChecked(false); // the specified timing: long enough to interrupt
        Tick({1, 2});
        Window->StartButton()->click();
        ASSERT_TRUE(RunEventsUntil([&] { return TileOf(1)->Progress() > 0 && TileOf(2)->Progress() > 0; }, 10000));
        if (ByClosing) {
            Script->AskAnswers = {false, true};
            EXPECT_FALSE(Window->close());
            EXPECT_TRUE(Window->isVisible());
            EXPECT_TRUE(Window->RunsInProgress());
            Window->close();
            ASSERT_TRUE(RunEventsUntil([&] { return !Window->isVisible(); }, 10000));
            EXPECT_EQ(Script->Asked, (std::vector<QString>(2, QString::fromUtf8(TextAskStopRuns))));
        } else {
            Window->StopButton()->click();
        }
        ASSERT_TRUE(RunEventsUntil([&] { return AllEnded({1, 2}) && !Window->RunsInProgress(); }, 10000));
        EXPECT_EQ(TileOf(1)->Result(), QString::fromUtf8(TextStopped));
        EXPECT_EQ(TileOf(2)->Result(), QString::fromUtf8(TextStopped));
        Window.reset();
        // The ports were given back: the devices end cleanly and save their memory.
        EXPECT_EQ(A->StopAndReadMemory(), ImageOf(*Set));
        EXPECT_EQ(B->StopAndReadMemory(), ImageOf(*Set));
        std::filesystem::remove(Folder.Path + "stanowisko.ini");
    }
}

// A port another program holds: the run says so and touches nothing.
TEST_F(StationWindow, HeldPortIsReportedBusy)
{
    auto Sim = Device(1, {}, {});
    std::optional<THeldFile> Held;
    ASSERT_NO_THROW(Held.emplace(Port(1)));
    Open();
    ASSERT_TRUE(Window->UseSet(QString::fromStdString(Folder.Path + "Sets/bench.set")));
    Tick({1});
    Window->StartButton()->click();
    ASSERT_TRUE(RunEventsUntil([&] { return AllEnded({1}) && !Window->RunsInProgress(); }, 10000))
        << TileOf(1)->Log().join('\n').toStdString();
    EXPECT_EQ(TileOf(1)->Result(), QString::fromUtf8(TextPortBusy));
    Held.reset();
    Window.reset();
    EXPECT_EQ(Sim->StopAndReadMemory(), std::vector<uint8_t>(DeviceImageSize, 0));
}

// A set that cannot be read is refused with the reason, and the one chosen before stays.
TEST_F(StationWindow, UnreadableSetIsRefusedWithWhy)
{
    const std::string Short = Folder.Path + "Sets/short.set";
    WriteBytes(Short, Set.get(), 100);
    Open();
    ASSERT_TRUE(Window->UseSet(QString::fromStdString(Folder.Path + "Sets/bench.set")));
    EXPECT_FALSE(Window->UseSet(QString::fromStdString(Short)));
    ASSERT_EQ(Script->Informed.size(), 1u);
    EXPECT_TRUE(Script->Informed[0].endsWith(QStringLiteral("short.set: Błąd odczytu pliku! (100 B zamiast 13676 B)")))
        << Script->Informed[0].toStdString();
    EXPECT_TRUE(Window->SetSummary().startsWith(QStringLiteral("bench.set "))) << Window->SetSummary().toStdString();
}

// A batch from a units table: the passing device gets the first unit's
// values and the journal its key, the silent one gives its row back; a
// table with findings is refused, one that has run out refuses a run
// before its device is touched, and the choice is remembered.
TEST_F(StationWindow, UnitsTableGivesEachDeviceItsOwnUnit)
{
    auto WriteText = [](const std::string &Path, const std::string &Text) {
        WriteBytes(Path, Text.data(), Text.size());
    };
    const std::string Table = Folder.Path + "Sets/units.csv", Bad = Folder.Path + "Sets/bad.csv";
    WriteText(Table, "Jednostka;SimPin;DevicePin\nSN-1;1111;2221\nSN-2;1112;2222\nSN-3;1113;2223\n");
    WriteText(Bad, "Jednostka;SimPin;Nieznane\nSN-1;1111;1\n");
    auto Passing = Device(1, {}, {});
    auto Silent = Device(2, {"--silent"}, {});
    Open();
    ASSERT_TRUE(Window->UseSet(QString::fromStdString(Folder.Path + "Sets/bench.set")));
    EXPECT_FALSE(Window->UseUnits(QString::fromStdString(Bad)));
    EXPECT_TRUE(Window->UnitsFile().isEmpty());
    ASSERT_FALSE(Script->Widgets.empty());
    auto *Findings = qobject_cast<QPlainTextEdit *>(Script->Widgets.back());
    ASSERT_NE(Findings, nullptr);
    EXPECT_TRUE(Findings->toPlainText().startsWith(QStringLiteral("bad.csv: wiersz 1, kolumna C (Nieznane): ")))
        << Findings->toPlainText().toStdString();
    ASSERT_TRUE(Window->UseUnits(QString::fromStdString(Table)));
    EXPECT_EQ(Window->UnitsLeft(), QStringLiteral("Pozostało jednostek: 3 z 3"));
    Window->FastBox()->setChecked(true);
    Tick({1, 2});
    Window->StartButton()->click();
    ASSERT_TRUE(RunEventsUntil([&] { return AllEnded({1, 2}) && !Window->RunsInProgress(); }, 30000));
    EXPECT_EQ(TileOf(1)->Result(), QString::fromUtf8(TextOk));
    EXPECT_EQ(TileOf(1)->Unit(), QStringLiteral("SN-1"));
    EXPECT_EQ(TileOf(2)->Result(), QString::fromUtf8(TextNoReply));
    EXPECT_EQ(TileOf(2)->Unit(), QStringLiteral("SN-2"));
    const std::vector<uint8_t> Journal = ReadBytes(Table + ".used");
    EXPECT_EQ(std::string(Journal.begin(), Journal.end()), "SN-1\n");
    EXPECT_EQ(Window->UnitsLeft(), QStringLiteral("Pozostało jednostek: 2 z 3"));

    // Another bench has used the rest: the silent device's run is refused, not timed out.
    WriteText(Table + ".used", "SN-1\nSN-2\nSN-3\n");
    Tick({2});
    Window->StartButton()->click();
    ASSERT_TRUE(RunEventsUntil([&] { return AllEnded({2}) && !Window->RunsInProgress(); }, 10000));
    EXPECT_EQ(TileOf(2)->Result(), QString::fromUtf8(TextUnitsExhausted));
    EXPECT_TRUE(TileOf(2)->Unit().isEmpty());
    EXPECT_EQ(Window->UnitsLeft(), QStringLiteral("Pozostało jednostek: 0 z 3"));
    const auto Lines = AuditLines();
    ASSERT_EQ(Lines.size(), 3u);
    EXPECT_EQ(Lines[2][8], QStringLiteral("start"));

    Window.reset();
    Open();
    EXPECT_EQ(Window->UnitsFile(), QString::fromStdString(Table));
    Window.reset();
    // The device holds the first unit's values.
    TSettings Unit = *Set;
    SetFieldText(Unit, *FieldByName("SimPin"), "1111");
    SetFieldText(Unit, *FieldByName("DevicePin"), "2221");
    EXPECT_EQ(Passing->StopAndReadMemory(), ImageOf(Unit));
}

} // namespace
