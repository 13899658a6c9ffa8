// A window's start-up as a user waits for it: a child process of the
// benchmark shows the window and says so; the parent times it from the
// start to that line.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

// In the child: shows Window, says "shown" once it is on the screen, and ends.
inline int ShowThenExit(QApplication &App, QWidget &Window)
{
    Window.show();
    // Exit, not quit, which would ask the window to close, and the window asks the user.
    QTimer::singleShot(0, &App, [] {
        std::printf("shown\n");
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    return QApplication::exec();
}

// In the parent: the median of Runs starts of Program --child Kind, in ms; -1 when one failed.
inline double MedianStartMs(const QString &Program, const char *Kind, int Runs)
{
    std::vector<double> Times;
    for (int I = 0; I < Runs; ++I) {
        QProcess Child;
        QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
        Env.insert("QT_QPA_PLATFORM", "offscreen");
        Child.setProcessEnvironment(Env);
        QElapsedTimer Clock;
        Clock.start();
        Child.start(Program, {"--child", Kind});
        const bool Shown = Child.waitForReadyRead(30000);
        const double Ms = static_cast<double>(Clock.nsecsElapsed()) / 1e6;
        if (!Shown || !Child.waitForFinished(30000) || Child.exitCode() != 0) {
            std::fprintf(stderr, "the %s start failed\n", Kind);
            return -1;
        }
        Times.push_back(Ms);
    }
    std::sort(Times.begin(), Times.end());
    return Times[Times.size() / 2];
}
