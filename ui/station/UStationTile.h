// One port's tile: its names, the phase, one bar over both passes, repeated
// tries, the device's version, the time and the result in large type, with
// counters since the window opened; the run's log and a comparison's
// differences on demand.
#pragma once

#include "UChildProtocol.h"
#include "URunRecord.h"

#include <QFrame>
#include <QString>
#include <QStringList>

#include <chrono>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;

// Every tile is this wide, so that they line up in columns.
inline constexpr int TileWidth = 290;

class TStationTile : public QFrame {
public:
    // Port: the name runs take; Title: the name the operator knows (COM1 for a link).
    TStationTile(const QString &Port, const QString &Title, const QString &Details, QWidget *Parent = nullptr);

    void SetDetails(const QString &Details);
    // A new run begins in Mode: the bar, the log and the differences start afresh.
    void BeginRun(int32_t Mode);
    void AddLine(const QString &Line);
    void AddDifference(const TSettingDifference &Difference);
    void ShowStatus(const TRunStatus &Status);
    // The run's end: the result in words and colour, the counters.
    void ShowResult(const TPortRecord &Record, const QString &Words);
    // After an automatic run: waiting until the device has gone.
    void ShowWaiting(bool Waiting);
    // The unit of a units table the run is for; Recorded false when the
    // table's journal did not take it although the device was programmed.
    void ShowUnit(const QString &Key, bool Recorded = true);
    // The running time, redrawn by the window's clock.
    void ShowElapsed();
    void SetReadSet(const QString &SetFile, bool InSets);

    QString Port() const { return PortName; }
    QString Title() const;
    QString Phase() const;
    QString Result() const;
    int Progress() const;
    int ProgressMaximum() const;
    int Passes() const { return PassCount; }
    int Failures() const { return FailCount; }
    bool Running() const { return IsRunning; }
    const QStringList &Log() const { return Lines; }
    const std::vector<TSettingDifference> &Differences() const { return DifferenceList; }
    QString ReadSet() const { return ReadSetFile; }
    QString Unit() const { return UnitKey; }

    QPushButton *LogButton = nullptr;
    QPushButton *DifferencesButton = nullptr;
    QPushButton *EditorButton = nullptr;

private:
    QString PortName;
    QLabel *Name = nullptr;
    QLabel *DetailsLabel = nullptr;
    QLabel *UnitLabel = nullptr;
    QLabel *PhaseLabel = nullptr;
    QProgressBar *Bar = nullptr;
    QLabel *Facts = nullptr;
    QLabel *ResultLabel = nullptr;
    QLabel *Counters = nullptr;
    int32_t RunMode = 0;
    bool IsRunning = false;
    TRunStatus Last;
    TRunStatus Shown; // as the facts line shows it
    QString Version;
    std::chrono::steady_clock::time_point Started;
    int64_t EndedMs = -1;
    QStringList Lines;
    std::vector<TSettingDifference> DifferenceList;
    QString ReadSetFile;
    QString UnitKey;
    int PassCount = 0, FailCount = 0;

    void ShowFacts();
};

// A comparison's differences as a table: setting, the set's value, the
// device's value; the bytes no setting explains after them.
QWidget *DifferencesTable(const std::vector<TSettingDifference> &Differences);
