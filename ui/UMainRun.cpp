#include "UMain.h"
#include "UMainTexts.h"

#include "UDecls.h"
#include "UFrames.h"

#include <QMetaObject>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>

void TFMain::Button8Click()
{
    StartRun(*this, RunModeProgram);
}

void TFMain::Button9Click()
{
    StartRun(*this, RunModeCompare);
}

void TFMain::Timer1Timer()
{
    QuietTick();
}

void TFMain::ClearLog()
{
    Memo1()->clear();
    Memo1()->repaint();
}

void TFMain::AppendLine(const std::string &Line, bool Repaint)
{
    Memo1()->appendPlainText(QString::fromStdString(Line));
    if (Repaint)
        Memo1()->repaint();
}

void TFMain::TakeSettings()
{
    FormToSettings();
}

void TFMain::ShowSettingsError(const std::string &Text)
{
    Dialogs->Inform(this, QString::fromStdString(Text), QString::fromUtf8(CaptionInformation));
}

int32_t TFMain::ChosenPort()
{
    return FormTree->ItemIndex("ComboBox3");
}

void TFMain::BeginRun()
{
    ProgressBar1()->setRange(0, static_cast<int>(DeviceImageSize));
    ProgressBar1()->setValue(0);
    Button8()->setEnabled(false);
    Button9()->setEnabled(false);
    Button10()->setEnabled(false);
    Timer1->start();
}

void TFMain::ShowLine(const std::string &Line)
{
    HandOver([this, Line] { AppendLine(Line, false); });
}

void TFMain::ShowProgress(int32_t Bytes)
{
    HandOver([this, Bytes] { ProgressBar1()->setValue(Bytes); });
}

void TFMain::RunFinished()
{
    HandOver([this] {
        Button8()->setEnabled(true);
        Button9()->setEnabled(true);
        RunInProgress = false;
    });
}

// A blocking queued call: the worker waits until the UI thread has run Work.
// Once the window is going away, nothing is handed over any more and a
// waiting worker is let go without its call having run.
void TFMain::HandOver(std::function<void()> Work)
{
    if (QThread::currentThread() == thread()) {
        Work();
        return;
    }
    std::unique_lock<std::mutex> Lock(HandOverLock);
    if (Closing)
        return;
    const uint64_t Ticket = ++HandOversPosted;
    Lock.unlock();
    QMetaObject::invokeMethod(
        this,
        [this, Work = std::move(Work)] {
            Work();
            {
                std::lock_guard<std::mutex> Done(HandOverLock);
                ++HandOversRun;
            }
            HandOverDone.notify_all();
        },
        Qt::QueuedConnection);
    Lock.lock();
    HandOverDone.wait(Lock, [&] { return Closing || HandOversRun >= Ticket; });
}

// The window may go while a worker still talks to the device (the close is
// refused, but the program can end otherwise). The worker must not outlive
// the window it reports to, and without Timer1 a reply would never end.
void TFMain::FinishRunAtExit()
{
    Timer1->stop();
    {
        std::lock_guard<std::mutex> Lock(HandOverLock);
        Closing = true;
    }
    HandOverDone.notify_all();
    if (RunInProgress) {
        TTicker Ticker;
        WaitRunEnd();
    } else {
        WaitRunEnd();
    }
    RunInProgress = false;
}
