// Start-up, closing and the file commands of PLIKI, answered through the
// window's dialog seam.
#include "test_ui_main_support.h"

#include "UFiles.h"
#include "UIcon.h"
#include "UProcs.h"
#include "URun.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>

#include <QTest>

#include <cstring>

namespace {

const QString AskClose = QString::fromUtf8("Czy na pewno zakończyć pracę programu?");
const QString AskNewSet = QString::fromUtf8("Czy na pewno wyzerować wszystkie ustawienia?");
const QString NoSuchFile = QString::fromUtf8("Brak takiego pliku!");
const QString ReadError = QString::fromUtf8("Błąd odczytu pliku!");
const QString AskReplace = QString::fromUtf8("Taki plik już istnieje. Czy mam go zastąpić nowym?");
const QString WriteError = QString::fromUtf8("Błąd zapisu pliku!");
const QString Confirm = QString::fromUtf8("Potwierdź");
const QString Information = QString::fromUtf8("Informacja");

TSettings Defaults()
{
    const TFileName Kept = CurrentFileName;
    SetDefaultSettings();
    const TSettings S = Settings;
    CurrentFileName = Kept;
    return S;
}

bool SameRecord(const TSettings &A, const TSettings &B)
{
    return std::memcmp(&A, &B, SettingsSize) == 0;
}

class Commands : public ::testing::Test {
protected:
    void SetUp() override { RunInProgress = false; }
    void TearDown() override { RunInProgress = false; }

    TFMain &Open()
    {
        W = std::make_unique<TTestWindow>(Folder.Path);
        return *W->Window;
    }
    TScriptedDialogs &Dialogs() { return *W->Dialogs; }
    template <typename T>
    T *Get(const char *Name)
    {
        T *Control = W->Window->Form().Control<T>(Name);
        EXPECT_NE(Control, nullptr) << Name;
        return Control;
    }
    std::vector<QTabWidget *> TabSets()
    {
        std::vector<QTabWidget *> Sets;
        for (QObject *Component : W->Window->Form().Components())
            if (auto *Pages = qobject_cast<QTabWidget *>(Component))
                Sets.push_back(Pages);
        return Sets;
    }
    void TurnAllToLastPage()
    {
        for (QTabWidget *Pages : TabSets())
            Pages->setCurrentIndex(Pages->count() - 1);
    }
    std::string SetPath(const std::string &Name) { return Folder.Path + "Sets/" + Name; }
    std::string PortPath() { return Folder.Path + "Sys/Port.bin"; }
    void ExpectShown(const std::vector<std::pair<QString, QString>> &Expected)
    {
        ASSERT_EQ(Dialogs().Shown.size(), Expected.size());
        for (size_t I = 0; I < Expected.size(); ++I) {
            EXPECT_EQ(Dialogs().Shown[I].Text, Expected[I].first) << "message " << I;
            EXPECT_EQ(Dialogs().Shown[I].Caption, Expected[I].second) << "message " << I;
        }
    }

    TTestFolder Folder;
    std::unique_ptr<TTestWindow> W;
};

TEST_F(Commands, StartUpShowsANewSet)
{
    TFMain &Main = Open();
    // Without a file on the command line, start-up is what it always was.
    Main.OpenStartFile({QStringLiteral("trackwarden")});
    EXPECT_EQ(Main.windowIcon().pixmap(32).toImage().convertToFormat(QImage::Format_ARGB32),
              DrawIcon(32).convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(Main.windowTitle(), "Trackwarden V1.5");
    EXPECT_EQ(ProgramDir.Str(), Folder.Path);
    EXPECT_TRUE(SameRecord(Settings, Defaults()));
    EXPECT_TRUE(CurrentFileName.Empty());
    EXPECT_EQ(Main.Form().StatusText(), "");
    EXPECT_EQ(Get<QComboBox>("ComboBox3")->currentIndex(), 0);
    EXPECT_EQ(Get<QComboBox>("ComboBox3")->currentText(), "BRAK");
    for (QTabWidget *Pages : TabSets())
        EXPECT_EQ(Pages->currentIndex(), 0) << Pages->objectName().toStdString();
    EXPECT_TRUE(Main.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(Main.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(Main.windowFlags() & Qt::WindowMaximizeButtonHint);

    Dialogs().OpenAnswers.push_back(std::nullopt);
    Dialogs().SaveAnswers.push_back(std::nullopt);
    Get<QPushButton>("Button2")->click();
    Get<QPushButton>("Button4")->click();
    EXPECT_EQ(Dialogs().DialogFolders, std::vector<QString>(2, QString::fromStdString(Folder.Path + "Sets")));
    EXPECT_TRUE(Dialogs().Shown.empty());
}

TEST_F(Commands, PortFileRestoredAndWrittenOnClose)
{
    struct TRow {
        std::vector<uint8_t> File; // empty: no port file
        int Selected;
        const char *Shown;
    } Rows[] = {
        {{}, 0, "BRAK"},
        {{3, 0, 0, 0}, 3, "COM3"},
        {{8, 0, 0, 0}, 8, "COM8"},
        {{9, 0, 0, 0}, -1, ""},
        {{0xFF, 0xFF, 0xFF, 0xFF}, -1, ""},
        {{2, 0}, 0, "BRAK"},
        {{1, 0, 0, 0, 0}, 0, "BRAK"},
    };
    for (const TRow &Row : Rows) {
        std::filesystem::remove(PortPath());
        if (!Row.File.empty())
            WriteBytes(PortPath(), Row.File.data(), Row.File.size());
        TFMain &Main = Open();
        EXPECT_EQ(Get<QComboBox>("ComboBox3")->currentIndex(), Row.Selected);
        EXPECT_EQ(Get<QComboBox>("ComboBox3")->currentText(), Row.Shown);
        Dialogs().AskAnswers.push_back(true);
        EXPECT_TRUE(Main.close());
        const int32_t Index = Row.Selected;
        std::vector<uint8_t> Expected(4);
        std::memcpy(Expected.data(), &Index, 4);
        EXPECT_EQ(ReadBytes(PortPath()), Expected) << "port file after a start with index " << Row.Selected;
        W.reset();
    }

    // Choose COM2, close, start again.
    std::filesystem::remove(PortPath());
    Open();
    Get<QComboBox>("ComboBox3")->setCurrentIndex(2);
    Dialogs().AskAnswers.push_back(true);
    EXPECT_TRUE(W->Window->close());
    EXPECT_EQ(ReadBytes(PortPath()), (std::vector<uint8_t>{2, 0, 0, 0}));
    W.reset();
    Open();
    EXPECT_EQ(Get<QComboBox>("ComboBox3")->currentText(), "COM2");
}

TEST_F(Commands, CloseIsRefusedDuringARunAndAskedOtherwise)
{
    TFMain &Main = Open();
    Get<QComboBox>("ComboBox3")->setCurrentIndex(5);

    RunInProgress = true;
    EXPECT_FALSE(Main.close());
    EXPECT_TRUE(Dialogs().Shown.empty());
    EXPECT_FALSE(std::filesystem::exists(PortPath()));

    RunInProgress = false;
    Dialogs().AskAnswers.push_back(false);
    EXPECT_FALSE(Main.close());
    ExpectShown({{AskClose, Confirm}});
    EXPECT_FALSE(std::filesystem::exists(PortPath()));

    Dialogs().AskAnswers.push_back(true);
    EXPECT_TRUE(Main.close());
    EXPECT_EQ(ReadBytes(PortPath()), (std::vector<uint8_t>{5, 0, 0, 0}));
}

TEST_F(Commands, NewSetAsksThenResetsValuesAndPages)
{
    TFMain &Main = Open();
    Get<QLineEdit>("Edit1")->setText("9999");
    TurnAllToLastPage();

    Dialogs().AskAnswers.push_back(false);
    Get<QPushButton>("Button1")->click();
    ExpectShown({{AskNewSet, Confirm}});
    EXPECT_EQ(Get<QLineEdit>("Edit1")->text(), "9999");
    for (QTabWidget *Pages : TabSets())
        EXPECT_EQ(Pages->currentIndex(), Pages->count() - 1);

    CurrentFileName.Assign("named.set");
    Dialogs().AskAnswers.push_back(true);
    Get<QPushButton>("Button1")->click();
    EXPECT_NE(Get<QLineEdit>("Edit1")->text(), "9999");
    Main.FormToSettings();
    EXPECT_TRUE(SameRecord(Settings, Defaults()));
    EXPECT_TRUE(CurrentFileName.Empty());
    EXPECT_EQ(Main.Form().StatusText(), "");
    for (QTabWidget *Pages : TabSets())
        EXPECT_EQ(Pages->currentIndex(), 0) << Pages->objectName().toStdString();
    EXPECT_EQ(Get<QTabWidget>("PageControl1")->tabText(0), "PLIKI");
}

// How a file reaches the window: its open dialog, the command line at
// start-up, a drop on the window or on one of its edit fields.
enum class TWay { Dialog, Argument, Drop, DropOnEdit };

const char *WayName(TWay Way)
{
    switch (Way) {
    case TWay::Dialog:
        return "dialog";
    case TWay::Argument:
        return "argument";
    case TWay::Drop:
        return "drop";
    case TWay::DropOnEdit:
        return "drop on an edit";
    }
    return "?";
}

// Drags Urls onto Target and drops them; true when the window took the drag.
bool DropOn(QWidget *Target, const QList<QUrl> &Urls)
{
    QMimeData Data;
    Data.setUrls(Urls);
    Data.setText(Urls.isEmpty() ? QString() : Urls.front().toString());
    QDragEnterEvent Enter(QPoint(5, 5), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Target, &Enter);
    const bool Taken = Enter.isAccepted() && Enter.dropAction() == Qt::CopyAction;
    if (Taken) {
        QDropEvent Drop(QPointF(5, 5), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Target, &Drop);
        // The window opens a dropped file once the drop has ended.
        QCoreApplication::sendPostedEvents();
    }
    return Taken;
}

TEST_F(Commands, ReadFailuresAndSuccess)
{
    TSettings Stored = Defaults();
    Stored.SimPin.Assign("4321");
    Stored.Users[2].Identifier.Assign("Ewa");
    Stored.Inputs[5].DelayTime = 77;
    WriteBytes(SetPath("good.set"), &Stored, SettingsSize);
    const std::vector<uint8_t> Short(100, 0x11);
    WriteBytes(SetPath("short.set"), Short.data(), Short.size());
    WriteBytes(SetPath("held.set"), &Stored, SettingsSize);
    const QString Polish = QString::fromUtf8("Zestaw Łódź Świętokrzyska żółć.set");
    WriteBytes(SetPath(QFile::encodeName(Polish).toStdString()), &Stored, SettingsSize);
    std::filesystem::create_directory(Folder.Path + "elsewhere");
    WriteBytes(Folder.Path + "elsewhere/only-here.set", &Stored, SettingsSize);
    // Another program holds it open: it exists, but cannot be read.
    const THeldFile Held(SetPath("held.set"));

    using enum TWay;
    const std::vector<TWay> Chosen = {Dialog, Argument, Drop, DropOnEdit};
    struct TRow {
        std::vector<QString> Files; // relative to the folder; none: the dialog is cancelled
        std::vector<TWay> Ways;
        std::vector<std::pair<QString, QString>> Shown;
        enum { Unchanged, Defaulted, Read } After;
        QString Name; // of a set read
    } Rows[] = {
        {{}, {Dialog}, {}, TRow::Unchanged, {}},
        {{"Sets/missing.set"}, Chosen, {{NoSuchFile, Information}}, TRow::Unchanged, {}},
        {{"elsewhere/only-here.set"}, Chosen, {{NoSuchFile, Information}}, TRow::Unchanged, {}},
        {{"Sets"}, {Dialog, Argument}, {{NoSuchFile, Information}}, TRow::Unchanged, {}},
        {{"Sets/short.set"}, Chosen, {{ReadError, Information}}, TRow::Defaulted, {}},
        {{"Sets/held.set"}, Chosen, {{ReadError, Information}}, TRow::Defaulted, {}},
        {{"Sets/good.set"}, Chosen, {}, TRow::Read, "good.set"},
        {{"elsewhere/good.set"}, Chosen, {}, TRow::Read, "good.set"},
        {{"Sets/" + Polish}, Chosen, {}, TRow::Read, Polish},
        // Anything but one file is no drop at all.
        {{"Sets/good.set", "Sets/short.set"}, {Drop, DropOnEdit}, {}, TRow::Unchanged, {}},
        {{"Sets"}, {Drop, DropOnEdit}, {}, TRow::Unchanged, {}},
        {{"elsewhere"}, {Drop}, {}, TRow::Unchanged, {}},
    };
    for (const TRow &Row : Rows) {
        for (const TWay Way : Row.Ways) {
            TFMain &Main = Open();
            // The command line is read right after start-up; the other ways
            // find a window that has been worked in.
            if (Way != Argument) {
                TurnAllToLastPage();
                Main.SetEditText(1, "1111");
                Main.FormToSettings();
                CurrentFileName.Assign("previous.set");
                Main.Form().SetStatusText("previous.set");
            }
            const TSettings Before = Settings;
            const QString EditBefore = Main.GetEditText(1);
            const QString StatusBefore = Main.Form().StatusText();
            std::vector<int> PagesBefore;
            for (QTabWidget *Pages : TabSets())
                PagesBefore.push_back(Pages->currentIndex());

            QStringList Paths;
            QList<QUrl> Urls;
            for (const QString &File : Row.Files) {
                Paths.push_back(QString::fromStdString(Folder.Path) + File);
                Urls.push_back(QUrl::fromLocalFile(Paths.back()));
            }
            const std::string What =
                (Row.Files.empty() ? std::string("cancel") : Row.Files.front().toStdString()) + " by " + WayName(Way);
            switch (Way) {
            case Dialog:
                Dialogs().OpenAnswers.push_back(Paths.isEmpty() ? std::nullopt : std::optional<QString>(Paths.front()));
                Get<QPushButton>("Button2")->click();
                break;
            case Argument:
                Main.OpenStartFile({QStringLiteral("trackwarden"), Paths.front()});
                break;
            case Drop:
            case DropOnEdit:
                // Only a drop that is no drop at all leaves the window as it was, silently.
                EXPECT_EQ(DropOn(Way == Drop ? static_cast<QWidget *>(&Main) : Get<QLineEdit>("Edit2"), Urls),
                          Row.After != TRow::Unchanged || !Row.Shown.empty())
                    << What << ": the drag taken";
                break;
            }
            ExpectShown(Row.Shown);
            switch (Row.After) {
            case TRow::Unchanged:
                EXPECT_TRUE(SameRecord(Settings, Before)) << What;
                EXPECT_EQ(Main.GetEditText(1), EditBefore) << What;
                EXPECT_EQ(Main.Form().StatusText(), StatusBefore) << What;
                EXPECT_EQ(CurrentFileName.Str(), StatusBefore.toStdString()) << What;
                break;
            case TRow::Defaulted:
                EXPECT_TRUE(SameRecord(Settings, Defaults())) << What;
                Main.FormToSettings();
                EXPECT_TRUE(SameRecord(Settings, Defaults())) << What << ": the window shows the defaults";
                EXPECT_EQ(Main.Form().StatusText(), "") << What;
                EXPECT_TRUE(CurrentFileName.Empty()) << What;
                break;
            case TRow::Read:
                EXPECT_TRUE(SameRecord(Settings, Stored)) << What;
                EXPECT_EQ(Main.GetEditText(1), "4321") << What;
                EXPECT_EQ(Main.GetEditText(6), "Ewa") << What;
                EXPECT_EQ(Main.GetSpinValue(5), 77) << What;
                EXPECT_EQ(Main.Form().StatusText(), Row.Name) << What;
                EXPECT_EQ(QFile::decodeName(QByteArray::fromStdString(CurrentFileName.Str())), Row.Name) << What;
                break;
            }
            // A failed read starts a new set; otherwise every tab set keeps its page.
            const std::vector<QTabWidget *> Sets = TabSets();
            for (size_t I = 0; I < Sets.size(); ++I)
                EXPECT_EQ(Sets[I]->currentIndex(), Row.After == TRow::Defaulted ? 0 : PagesBefore[I]) << What;
            EXPECT_TRUE(Get<QLineEdit>("Edit2")->text().indexOf("file:") < 0) << What << ": no address typed into an edit";
            W.reset();
        }
    }
}

TEST_F(Commands, SaveAndSaveAs)
{
    TFMain &Main = Open();

    // "Zapisz" on an unnamed set is "Zapisz jako..."; cancelling writes nothing.
    Dialogs().SaveAnswers.push_back(std::nullopt);
    Get<QPushButton>("Button3")->click();
    EXPECT_TRUE(Dialogs().SaveAnswers.empty());
    EXPECT_TRUE(std::filesystem::is_empty(Folder.Path + "Sets"));
    EXPECT_TRUE(CurrentFileName.Empty());

    // A new name, chosen in another folder, lands in Sets.
    Main.SetEditText(2, "+48111222333");
    Dialogs().SaveAnswers.push_back(QString::fromStdString(Folder.Path + "Sys/first.set"));
    Get<QPushButton>("Button3")->click();
    EXPECT_TRUE(Dialogs().Shown.empty());
    EXPECT_FALSE(std::filesystem::exists(Folder.Path + "Sys/first.set"));
    std::vector<uint8_t> Written = ReadBytes(SetPath("first.set"));
    ASSERT_EQ(Written.size(), SettingsSize);
    EXPECT_EQ(std::memcmp(Written.data(), &Settings, SettingsSize), 0);
    EXPECT_EQ(Settings.SmsCentreNumber.Str(), "+48111222333");
    EXPECT_EQ(CurrentFileName.Str(), "first.set");
    EXPECT_EQ(Main.Form().StatusText(), "first.set");

    // "Zapisz" on a named set asks nothing.
    Main.SetEditText(1, "2468");
    Get<QPushButton>("Button3")->click();
    EXPECT_TRUE(Dialogs().Shown.empty());
    Written = ReadBytes(SetPath("first.set"));
    ASSERT_EQ(Written.size(), SettingsSize);
    EXPECT_EQ(reinterpret_cast<const TSettings *>(Written.data())->SimPin.Str(), "2468");

    // An existing name: No leaves file, record and name alone.
    const std::vector<uint8_t> Old(SettingsSize, 0x5A);
    WriteBytes(SetPath("old.set"), Old.data(), Old.size());
    const TSettings Before = Settings;
    Main.SetEditText(1, "1357");
    Dialogs().SaveAnswers.push_back(QString::fromStdString("old.set"));
    Dialogs().AskAnswers.push_back(false);
    Get<QPushButton>("Button4")->click();
    ExpectShown({{AskReplace, Confirm}});
    EXPECT_EQ(ReadBytes(SetPath("old.set")), Old);
    EXPECT_TRUE(SameRecord(Settings, Before));
    EXPECT_EQ(CurrentFileName.Str(), "first.set");
    EXPECT_EQ(Main.Form().StatusText(), "first.set");

    // Yes replaces it with exactly the record.
    Dialogs().Shown.clear();
    Dialogs().SaveAnswers.push_back(QString::fromStdString("C:\\Users\\op\\old.set"));
    Dialogs().AskAnswers.push_back(true);
    Get<QPushButton>("Button4")->click();
    ExpectShown({{AskReplace, Confirm}});
    Written = ReadBytes(SetPath("old.set"));
    ASSERT_EQ(Written.size(), SettingsSize);
    EXPECT_EQ(std::memcmp(Written.data(), &Settings, SettingsSize), 0);
    EXPECT_EQ(Settings.SimPin.Str(), "1357");
    EXPECT_EQ(CurrentFileName.Str(), "old.set");

    // What was saved reads back as it was.
    const TSettings Saved = Settings;
    Dialogs().AskAnswers.push_back(true);
    Get<QPushButton>("Button1")->click();
    Dialogs().OpenAnswers.push_back(QString::fromStdString("old.set"));
    Get<QPushButton>("Button2")->click();
    EXPECT_TRUE(SameRecord(Settings, Saved));
}

TEST_F(Commands, SaveWithoutSetsFolderFails)
{
    TFMain &Main = Open();
    std::filesystem::remove_all(Folder.Path + "Sets");
    Dialogs().SaveAnswers.push_back(QString::fromStdString(Folder.Path + "Sets/lost.set"));
    Get<QPushButton>("Button4")->click();
    ExpectShown({{WriteError, Information}});
    EXPECT_EQ(CurrentFileName.Str(), "lost.set");
    EXPECT_EQ(Main.Form().StatusText(), "lost.set");
    for (const auto &Entry : std::filesystem::recursive_directory_iterator(Folder.Path))
        EXPECT_NE(Entry.path().filename(), "lost.set") << Entry.path();
    EXPECT_FALSE(std::filesystem::exists(Folder.Path + "Sets"));

    // "Zapisz" keeps failing under the kept name.
    Dialogs().Shown.clear();
    Get<QPushButton>("Button3")->click();
    ExpectShown({{WriteError, Information}});
}

TEST_F(Commands, WindowIsFixedAndCentred)
{
    TFMain &Main = Open();
    Main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main));
    EXPECT_EQ(Main.minimumSize(), Main.maximumSize());
    EXPECT_EQ(Main.size(), QSize(503, 508));
    const QPoint Centre = Main.screen()->availableGeometry().center();
    EXPECT_LE((Main.frameGeometry().center() - Centre).manhattanLength(), 2);
}

// The system's boxes and dialogs behind the seam, inspected while they are open.
TEST(QtDialogs, BoxesAndFileDialogsAreAsTheWindowNeedsThem)
{
    TestApplication();
    TQtDialogs Dialogs;
    struct TSeen {
        QStringList Buttons;
        QString Text, Title;
        bool NoIcon = false;
    } Seen;
    auto Inspect = [&](const QString &Press) {
        QTimer::singleShot(0, [&Seen, Press] {
            auto *Box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(Box, nullptr);
            Seen = {};
            for (QAbstractButton *Button : Box->buttons())
                Seen.Buttons << Button->text();
            Seen.Buttons.sort();
            Seen.Text = Box->text();
            Seen.Title = Box->windowTitle();
            Seen.NoIcon = Box->icon() == QMessageBox::NoIcon;
            for (QAbstractButton *Button : Box->buttons())
                if (Button->text() == Press)
                    Button->click();
        });
    };

    struct TRow {
        const char *Press;
        bool Answer;
    } Rows[] = {{"Tak", true}, {"Nie", false}};
    for (const TRow &Row : Rows) {
        Inspect(QString::fromUtf8(Row.Press));
        EXPECT_EQ(Dialogs.Ask(nullptr, AskClose, Confirm), Row.Answer);
        EXPECT_EQ(Seen.Buttons, QStringList({"Nie", "Tak"}));
        EXPECT_EQ(Seen.Text, AskClose);
        EXPECT_EQ(Seen.Title, Confirm);
        EXPECT_TRUE(Seen.NoIcon);
    }
    Inspect("OK");
    Dialogs.Inform(nullptr, ReadError, Information);
    EXPECT_EQ(Seen.Buttons, QStringList({"OK"}));
    EXPECT_EQ(Seen.Title, Information);
    EXPECT_TRUE(Seen.NoIcon);

    TTestFolder Folder;
    const QString Sets = QString::fromStdString(Folder.Path + "Sets");
    for (bool Save : {false, true}) {
        bool Checked = false;
        QTimer::singleShot(0, [&] {
            auto *Dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(Dialog, nullptr);
            EXPECT_EQ(Dialog->fileMode(), QFileDialog::AnyFile);
            EXPECT_EQ(Dialog->acceptMode(), Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
            EXPECT_EQ(Dialog->testOption(QFileDialog::DontConfirmOverwrite), Save);
            EXPECT_EQ(Dialog->directory().absolutePath(), QDir(Sets).absolutePath()) << "in Qt's separators";
            EXPECT_TRUE(Dialog->nameFilters().join("").isEmpty() || Dialog->nameFilters() == QStringList("All Files (*)"));
            Checked = true;
            Dialog->reject();
        });
        QString Chosen = "untouched";
        EXPECT_FALSE(Save ? Dialogs.GetSaveFileName(nullptr, Sets, Chosen) : Dialogs.GetOpenFileName(nullptr, Sets, Chosen));
        EXPECT_TRUE(Checked);
        EXPECT_EQ(Chosen, "untouched");
    }
}

} // namespace
