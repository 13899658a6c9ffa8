// The window's side of a run: preparation lines, the hand-over of the
// worker's lines and progress, the buttons, the refused close, and a window
// destroyed while its worker still reports; whole runs against a simulated
// device.
#include "test_lines.h"
#include "test_ui_device.h"
#include "test_ui_main_support.h"

#include "UProcs.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {

const std::vector<std::string> Preparation = {
    "Pobranie ustawień...", "Ustawienia probrane.",  "Kontrola ustawień...",
    "Ustawienia poprawne.", "Kodowanie ustawień...", "Kodowanie zakończone.",
};
const std::vector<std::string> Connected = {"Otwarcie portu COM...", "Port COM otwarty.",
                                            "Nawiązanie połączenia z urządzeniem...", "Wersja urządzenia: \"4.5.6\"."};

// Every exchange waits five 10 ms ticks of quiet; the wake-up and the resets
// take half a second each.
double ProtocolFloor(int Exchanges) { return Exchanges * 5 * 0.010 + 0.5 + 0.5; }

// The bar's values over Passes passes of the image, 32 bytes a step; it
// goes back to 0 for every pass after the first.
std::vector<int> PassSteps(int Passes)
{
    std::vector<int> Steps;
    for (int Pass = 0; Pass < Passes; ++Pass) {
        if (Pass > 0)
            Steps.push_back(0);
        for (int Bytes = 32; Bytes <= 8192; Bytes += 32)
            Steps.push_back(Bytes);
    }
    return Steps;
}

class WindowRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        W = std::make_unique<TTestWindow>(Folder.Path);
        Main = W->Window.get();
        Button8 = Get<QPushButton>("Button8");
        Button9 = Get<QPushButton>("Button9");
        Button10 = Get<QPushButton>("Button10");
        Memo1 = Get<QPlainTextEdit>("Memo1");
        ProgressBar1 = Get<QProgressBar>("ProgressBar1");
        Timer1 = Get<QTimer>("Timer1");
    }
    void TearDown() override
    {
        W.reset();
        RunInProgress = false;
    }
    template <typename T>
    T *Get(const char *Name)
    {
        T *Control = Main->Form().Control<T>(Name);
        EXPECT_NE(Control, nullptr) << Name;
        return Control;
    }
    std::vector<std::string> Log() const
    {
        std::vector<std::string> Lines;
        for (const QString &Line : Memo1->toPlainText().split('\n'))
            Lines.push_back(Line.toStdString());
        return Lines;
    }
    std::vector<uint8_t> Image()
    {
        Main->FormToSettings();
        EncodeDeviceImage();
        return std::vector<uint8_t>(DeviceImage, DeviceImage + DeviceImageSize);
    }
    // Clicks Button and waits for the run's end; the progress it showed and its seconds.
    std::pair<std::vector<int>, double> RunThrough(QPushButton *Button, int Port)
    {
        std::vector<int> Progress;
        const QMetaObject::Connection Watch = QObject::connect(
            ProgressBar1, &QProgressBar::valueChanged, [&](int Value) { Progress.push_back(Value); });
        Get<QComboBox>("ComboBox3")->setCurrentIndex(Port);
        const auto Start = std::chrono::steady_clock::now();
        Button->click();
        EXPECT_TRUE(RunInProgress);
        EXPECT_TRUE(RunEventsUntil([] { return !RunInProgress; }, 120000));
        const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
        WaitRunEnd();
        QObject::disconnect(Watch);
        return {Progress, Seconds};
    }
    void ExpectIdle()
    {
        EXPECT_FALSE(RunInProgress);
        EXPECT_TRUE(Button8->isEnabled());
        EXPECT_TRUE(Button9->isEnabled());
        EXPECT_FALSE(Button10->isEnabled());
    }

    TTestFolder Folder;
    std::unique_ptr<TTestWindow> W;
    TFMain *Main = nullptr;
    QPushButton *Button8 = nullptr;
    QPushButton *Button9 = nullptr;
    QPushButton *Button10 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QTimer *Timer1 = nullptr;
};

TEST_F(WindowRun, NoPortEndsAtOnceAndGivesTheButtonsBack)
{
    struct TRow {
        int Port;
        const char *Button;
    } Rows[] = {{0, "Button8"}, {-1, "Button9"}, {0, "Button9"}};
    ExpectIdle();
    EXPECT_FALSE(Timer1->isActive());
    for (const TRow &Row : Rows) {
        Get<QComboBox>("ComboBox3")->setCurrentIndex(Row.Port);
        Memo1->setPlainText("left from before");
        Get<QPushButton>(Row.Button)->click();
        // The handler has returned; the worker waits for this thread to show its lines.
        EXPECT_TRUE(RunInProgress);
        EXPECT_FALSE(Button8->isEnabled());
        EXPECT_FALSE(Button9->isEnabled());
        EXPECT_FALSE(Button10->isEnabled());
        EXPECT_TRUE(Timer1->isActive());
        EXPECT_EQ(ProgressBar1->maximum(), 8192);
        EXPECT_EQ(ProgressBar1->value(), 0);
        EXPECT_EQ(Log(), Preparation);

        ASSERT_TRUE(QTest::qWaitFor([] { return !RunInProgress; }, 5000)) << Row.Button << " port " << Row.Port;
        EXPECT_EQ(Log(), Join(Preparation, {"Otwarcie portu COM...", "", "Problem z otwarciem portu COM!"}));
        ExpectIdle();
        EXPECT_TRUE(Timer1->isActive()) << "Timer1 stays enabled after a run";
        WaitRunEnd();
    }
}

TEST_F(WindowRun, ComparisonAgainstTheSimulator)
{
    TTestDevice Device(Folder.Path, 2, Image());
    ASSERT_EQ(Device.Problem, "");

    std::vector<int> Progress;
    QObject::connect(ProgressBar1, &QProgressBar::valueChanged, [&](int Value) { Progress.push_back(Value); });
    Main->show();
    Get<QComboBox>("ComboBox3")->setCurrentIndex(2);
    const auto Start = std::chrono::steady_clock::now();
    Button9->click();
    ASSERT_TRUE(RunInProgress);

    bool CloseTried = false;
    bool ButtonsHeld = true;
    const bool Ended = RunEventsUntil(
        [&] {
            if (!RunInProgress)
                return true;
            ButtonsHeld = ButtonsHeld && !Button8->isEnabled() && !Button9->isEnabled() && !Button10->isEnabled();
            if (!CloseTried && ProgressBar1->value() >= 4096) {
                CloseTried = true;
                EXPECT_FALSE(Main->close());
                EXPECT_TRUE(Main->isVisible());
            }
            return false;
        },
        60000);
    ASSERT_TRUE(Ended);
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    WaitRunEnd();
    std::printf("comparison run: %.2f s, %.3f x the protocol's floor\n", Seconds, Seconds / ProtocolFloor(1 + 256));

    EXPECT_TRUE(CloseTried);
    EXPECT_TRUE(ButtonsHeld);
    EXPECT_TRUE(W->Dialogs->Shown.empty()) << "the refused close showed a message";
    EXPECT_EQ(Log(), Join(Preparation, Join(Connected, {"Weryfikacja...", "Reset...", "",
                                                       "Weryfikcja zakończona pozytywnie."})));
    EXPECT_EQ(Progress, PassSteps(1));
    EXPECT_EQ(ProgressBar1->maximum(), 8192);
    ExpectIdle();

    // After the run the question is asked again.
    W->Dialogs->AskAnswers.push_back(false);
    EXPECT_FALSE(Main->close());
    ASSERT_EQ(W->Dialogs->Shown.size(), 1u);
    EXPECT_EQ(W->Dialogs->Shown[0].Text, QString::fromUtf8("Czy na pewno zakończyć pracę programu?"));
}

TEST_F(WindowRun, ProgrammingABlankDeviceThenComparingIt)
{
    TTestDevice Device(Folder.Path, 1, {});
    ASSERT_EQ(Device.Problem, "");
    const std::vector<uint8_t> Expected = Image();

    const auto [Programmed, ProgramSeconds] = RunThrough(Button8, 1);
    std::printf("programming run: %.2f s, %.3f x the protocol's floor\n", ProgramSeconds,
                ProgramSeconds / ProtocolFloor(1 + 2 * 256));
    EXPECT_EQ(Log(), Join(Preparation, Join(Connected, {"Programowanie...", "Weryfikacja...", "Reset...", "",
                                                       "Programowanie zakończone pozytywnie."})));
    EXPECT_EQ(Programmed, PassSteps(2));
    ExpectIdle();

    // The device now holds the image: a comparison finds every block equal.
    const auto [Compared, CompareSeconds] = RunThrough(Button9, 1);
    std::printf("comparison run: %.2f s, %.3f x the protocol's floor\n", CompareSeconds,
                CompareSeconds / ProtocolFloor(1 + 256));
    EXPECT_EQ(Log(), Join(Preparation, Join(Connected, {"Weryfikacja...", "Reset...", "",
                                                       "Weryfikcja zakończona pozytywnie."})));
    // The bar, full from the last run, is emptied as this one starts.
    std::vector<int> FromFull = PassSteps(1);
    FromFull.insert(FromFull.begin(), 0);
    EXPECT_EQ(Compared, FromFull);
    ExpectIdle();

    if (const std::optional<std::vector<uint8_t>> Memory = Device.StopAndReadMemory()) {
        EXPECT_EQ(*Memory, Expected);
    }
}

TEST_F(WindowRun, WindowDestroyedWhileItsWorkerWaits)
{
    // The worker is blocked handing over its first line when the window goes;
    // the window must neither hang nor leave the worker behind.
    Get<QComboBox>("ComboBox3")->setCurrentIndex(0);
    Button8->click();
    ASSERT_TRUE(RunInProgress);
    const auto Start = std::chrono::steady_clock::now();
    W.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(2));
    EXPECT_FALSE(RunInProgress);

    // A new window runs as before.
    W = std::make_unique<TTestWindow>(Folder.Path);
    Main = W->Window.get();
    Memo1 = Get<QPlainTextEdit>("Memo1");
    Button8 = Get<QPushButton>("Button8");
    Button9 = Get<QPushButton>("Button9");
    Button10 = Get<QPushButton>("Button10");
    Button9->click();
    ASSERT_TRUE(QTest::qWaitFor([] { return !RunInProgress; }, 5000));
    EXPECT_EQ(Log().back(), "Problem z otwarciem portu COM!");
    ExpectIdle();
}

} // namespace
