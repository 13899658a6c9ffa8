// Helpers of the window tests: one offscreen application, a scripted
// answerer for every dialog and message box, and a program folder in /tmp.
#pragma once

#include "UDecls.h"
#include "UMain.h"

#include <gtest/gtest.h>

#include "UFiles.h"
#include "test_lines.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

inline QApplication &TestApplication()
{
    static int Argc = 1;
    static char Name[] = "test_ui";
    static char *Argv[] = {Name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication *App = new QApplication(Argc, Argv);
    return *App;
}

// Answers in the order the test queued them; a dialog nobody expected fails the test.
class TScriptedDialogs : public TDialogs {
public:
    struct TShown {
        char Kind; // 'A' question, 'I' information
        QString Text;
        QString Caption;
    };

    std::deque<std::optional<QString>> OpenAnswers; // nullopt: cancelled
    std::deque<std::optional<QString>> SaveAnswers;
    std::deque<bool> AskAnswers;
    std::vector<TShown> Shown;
    std::vector<QString> DialogFolders;

    bool GetOpenFileName(QWidget *, const QString &Folder, QString &Chosen) override
    {
        return Answer(OpenAnswers, Folder, Chosen, "open");
    }
    bool GetSaveFileName(QWidget *, const QString &Folder, QString &Chosen) override
    {
        return Answer(SaveAnswers, Folder, Chosen, "save");
    }
    bool Ask(QWidget *, const QString &Text, const QString &Caption) override
    {
        Shown.push_back({'A', Text, Caption});
        if (AskAnswers.empty()) {
            ADD_FAILURE() << "unexpected question: " << Text.toStdString();
            return false;
        }
        const bool Yes = AskAnswers.front();
        AskAnswers.pop_front();
        return Yes;
    }
    void Inform(QWidget *, const QString &Text, const QString &Caption) override
    {
        Shown.push_back({'I', Text, Caption});
    }

private:
    bool Answer(std::deque<std::optional<QString>> &Answers, const QString &Folder, QString &Chosen, const char *What)
    {
        DialogFolders.push_back(Folder);
        if (Answers.empty()) {
            ADD_FAILURE() << "unexpected " << What << " dialog";
            return false;
        }
        const std::optional<QString> Next = Answers.front();
        Answers.pop_front();
        if (!Next)
            return false;
        Chosen = *Next;
        return true;
    }
};

// A program folder with Sets/ and Sys/, removed at the end.
class TTestFolder {
public:
    TTestFolder()
    {
        if (!Temporary.isValid())
            throw std::runtime_error("no temporary folder");
        Path = QFile::encodeName(QDir::toNativeSeparators(Temporary.path())).toStdString() + PathSeparator;
        std::filesystem::create_directory(Path + "Sets");
        std::filesystem::create_directory(Path + "Sys");
    }
    QTemporaryDir Temporary;
    std::string Path; // with its trailing separator
};

// A file (or a port) that another program holds open, exclusively, while
// this lives: it exists, but the whole-file routines (or a run) cannot open it.
class THeldFile {
public:
    explicit THeldFile(const std::string &Path);
    ~THeldFile();
    THeldFile(const THeldFile &) = delete;
    THeldFile &operator=(const THeldFile &) = delete;

private:
    intptr_t Handle;
};

// A window over Folder whose dialogs the test answers.
struct TTestWindow {
    explicit TTestWindow(const std::string &Folder)
    {
        TestApplication();
        auto Owned = std::make_unique<TScriptedDialogs>();
        Dialogs = Owned.get();
        Window = std::make_unique<TFMain>(std::move(Owned), Folder);
    }
    TScriptedDialogs *Dialogs = nullptr;
    std::unique_ptr<TFMain> Window;
};

// Runs the event loop until Done or TimeoutMs. QTest::qWaitFor sleeps 10 ms
// between its rounds, which would hold up Timer1's ticks and stretch a run.
template <typename TDone>
bool RunEventsUntil(TDone Done, int TimeoutMs)
{
    QEventLoop Loop;
    QTimer Poll;
    Poll.setTimerType(Qt::PreciseTimer);
    bool Met = Done();
    QObject::connect(&Poll, &QTimer::timeout, [&] {
        if ((Met = Done()))
            Loop.quit();
    });
    QTimer::singleShot(TimeoutMs, &Loop, &QEventLoop::quit);
    if (!Met) {
        Poll.start(1);
        Loop.exec();
    }
    return Met;
}
