// The station window's runs: batches of the engine's runs, the automatic
// mode's probes, the audit log and its view, and closing while runs last.
#include "UStationBatch.h"

#include "UStationTexts.h"
#include "UStationTile.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>

namespace {

using TSteady = std::chrono::steady_clock;
using namespace std::chrono_literals;

// An idle port is asked at most this often whether a device is there.
constexpr auto ProbeEvery = 1s;
// A device that has not answered this long has gone.
constexpr auto GoneAfter = 2s;
// The latest runs the log view shows, from at most the log's last bytes.
constexpr size_t AuditViewLines = 200;
constexpr qint64 AuditViewBytes = 256 * 1024;

} // namespace

TFStation::~TFStation()
{
    for (const auto &Batch : Batches)
        Batch->Station->StopAll();
    for (const auto &Batch : Batches)
        Batch->Station->Wait();
}

bool TFStation::RunsInProgress() const
{
    for (const auto &Batch : Batches)
        if (!Batch->Probe)
            return true;
    return false;
}

bool TFStation::OpenAuditLog()
{
    const std::string Path = LocalPath(LogFile());
    if (Audit && AuditPath == Path)
        return true;
    std::string Error;
    // The per-user folder may not be there yet on a first start.
    QDir().mkpath(QFileInfo(LogFile()).path());
    Audit = std::make_unique<TAuditLog>();
    if (!Audit->Open(Path, Error)) {
        Audit.reset();
        AuditPath.clear();
        Dialogs->Inform(this, QStringLiteral("Dziennik: %1").arg(QString::fromStdString(Error)));
        return false;
    }
    AuditPath = Path;
    return true;
}

void TFStation::StartClick()
{
    std::vector<std::string> Idle;
    for (const std::string &Name : TickedPorts())
        if (PortStates[Name].State != TTileState::Running)
            Idle.push_back(Name);
    if (!Idle.empty())
        StartRuns(Idle, false);
}

bool TFStation::StartRuns(const std::vector<std::string> &Names, bool Automatic)
{
    std::string Error;
    if (!PortsApart(Names, Error)) {
        Dialogs->Inform(this, QString::fromStdString(Error));
        return false;
    }
    const int32_t RunMode = ChosenMode();
    TRunSet Same;
    std::vector<TRunSet> Reads;
    std::string Base;
    if (RunMode == RunModeRead) {
        // The chosen set gives what the device does not hold (names, descriptions).
        if (!SetPath.isEmpty() && !ReadSetAfresh(Base))
            return false;
        const std::string Folder = LocalPath(ReadFolder->text());
        if (!ReadFilesOfPorts(Names, Folder, Folder, Reads, Error, FileTimeStamp())) {
            Dialogs->Inform(this, QString::fromStdString(Error));
            return false;
        }
    } else {
        if (!ReadSetAfresh(Same.Bytes))
            return false;
        Same.File = LocalPath(SetPath);
    }
    // The table is read afresh too: it may have been edited, or used by another bench, since it was chosen.
    std::unique_ptr<TUnitsBatch> Units;
    if (UsesUnits() && !(Units = OpenUnits(UnitsPath, Same.Bytes)))
        return false;
    if (!OpenAuditLog())
        return false;

    auto Batch = std::make_unique<TBatch>();
    Batch->Ports = Names;
    Batch->Automatic = Automatic;
    Batch->Mode = RunMode;
    Batch->Left = Names.size();
    Batch->Host = std::make_unique<TBridge>(*this, *Batch);
    TStationHost *Host = Batch->Host.get();
    if (Units) {
        Batch->Units = std::move(Units);
        Batch->UnitsHost = std::make_unique<TUnitsHost>(*Batch->Host, *Batch->Units);
        Host = Batch->UnitsHost.get();
    }
    Batch->Station = std::make_unique<TStation>(*Host, *Launcher);
    TStationJob Job;
    Job.Mode = RunMode;
    Job.Options = ChosenOptions();
    Job.Ports = Names;
    Job.BaseBytes = Base;
    Job.SetFor = [Same, Reads, RunMode](size_t Port, const std::string &, TRunSet &Set, std::string &) {
        Set = RunMode == RunModeRead ? Reads[Port] : Same;
        return true;
    };
    if (Batch->UnitsHost)
        Job.SetFor = Batch->UnitsHost->Provider();
    for (const std::string &Name : Names) {
        PortStates[Name].State = TTileState::Running;
        if (TStationTile *T = Tile(QString::fromStdString(Name))) {
            T->ShowWaiting(false);
            T->BeginRun(RunMode);
        }
    }
    AutoStarts += Automatic ? static_cast<int>(Names.size()) : 0;
    Batch->Station->Start(std::move(Job));
    Batches.push_back(std::move(Batch));
    UpdateButtons();
    return true;
}

// A run the automatic mode starts. One that cannot start (the set has
// become unreadable, the log cannot be opened) ends the automatic mode
// rather than saying so again at every device.
void TFStation::StartAutomatically(const std::string &Port)
{
    if (!StartRuns({Port}, true))
        Automatic->setChecked(false);
}

// The wake-up and one version request, in a run of its own: the port is
// held no longer than that.
void TFStation::StartProbe(const std::string &Port)
{
    TPortState &State = PortStates[Port];
    State.Probing = true;
    State.LastProbe = TSteady::now();
    auto Batch = std::make_unique<TBatch>();
    Batch->Ports = {Port};
    Batch->Probe = true;
    Batch->Mode = RunModeProbe;
    Batch->Left = 1;
    Batch->Host = std::make_unique<TBridge>(*this, *Batch);
    Batch->Station = std::make_unique<TStation>(*Batch->Host, *Launcher);
    TStationJob Job;
    Job.Mode = RunModeProbe;
    Job.Ports = {Port};
    Batch->Station->Start(std::move(Job));
    Batches.push_back(std::move(Batch));
}

void TFStation::Finished(TBatch *Batch, size_t Index, const TPortRecord &Record)
{
    const std::string &Name = Batch->Ports[Index];
    TPortState &State = PortStates[Name];
    const auto Now = TSteady::now();
    if (Batch->Probe) {
        State.Probing = false;
        if (Record.Result == TPortResult::Ok) {
            State.LastAnswer = Now;
            if (State.State == TTileState::Idle && Automatic->isChecked() && !CloseWhenStopped)
                StartAutomatically(Name);
        } else if (State.State == TTileState::WaitGone && Now - State.LastAnswer >= GoneAfter) {
            State.State = TTileState::Idle;
            if (TStationTile *T = Tile(QString::fromStdString(Name)))
                T->ShowWaiting(false);
        }
    } else {
        const bool Waits = Batch->Automatic && Automatic->isChecked() && !CloseWhenStopped;
        State.State = Waits ? TTileState::WaitGone : TTileState::Idle;
        State.LastAnswer = Now;
        const bool Recorded = Audit && Audit->Append(AuditLine(Record, HostName()));
        const auto Found = Known.find(Name);
        QString Words = ResultWords(Record, Found == Known.end() || Found->second.MayOpen);
        // A unit programmed whose key the journal did not take: its record alone carries an error then.
        const bool Unrecorded = Batch->UnitsHost && Batch->UnitsHost->JournalFailed() &&
                                Record.Result == TPortResult::Ok && !Record.Error.empty();
        if (Batch->Units) {
            // Refused before the device was touched: no unit was left for it.
            if (Record.Result == TPortResult::Start && Record.UnitKey.empty()) {
                const TUnitsCount Count = Batch->Units->Count();
                Words = QString::fromUtf8(Count.Used >= Count.Rows ? TextUnitsExhausted : TextNoFreeUnit);
            }
            ShowUnitsLeft(*Batch->Units);
            if (Unrecorded)
                Automatic->setChecked(false);
        }
        if (TStationTile *T = Tile(QString::fromStdString(Name))) {
            if (!Recorded)
                T->AddLine(QStringLiteral("Nie zapisano przebiegu w dzienniku %1").arg(LogFile()));
            if (Unrecorded)
                T->ShowUnit(QString::fromStdString(Record.UnitKey), false);
            T->ShowResult(Record, Words);
            if (Batch->Mode == RunModeRead && Record.Result == TPortResult::Ok) {
                const QString Saved = FromLocal(Record.SetFile);
                const QString Sets = QDir(FromLocal(Places.ProgramFolder + "Sets")).canonicalPath();
                T->SetReadSet(Saved, QFileInfo(Saved).canonicalPath() == Sets);
            }
            T->ShowWaiting(Waits);
        }
    }
    if (--Batch->Left == 0)
        BatchDone(Batch);
    UpdateButtons();
}

void TFStation::BatchDone(TBatch *Batch)
{
    for (auto It = Batches.begin(); It != Batches.end(); ++It) {
        if (It->get() != Batch)
            continue;
        // Its thread ends right after the last call it made, which was this one's.
        (*It)->Station->Wait();
        if ((*It)->UnitsHost && (*It)->UnitsHost->JournalFailed())
            KeptUnits.push_back(std::move((*It)->Units));
        Batches.erase(It);
        break;
    }
    if (CloseWhenStopped && !RunsInProgress())
        close();
}

void TFStation::StopClick()
{
    if (Automatic->isChecked())
        Automatic->setChecked(false);
    for (const auto &Batch : Batches)
        Batch->Station->StopAll();
}

void TFStation::SetAutomatic(bool On)
{
    for (auto &[Name, State] : PortStates) {
        if (On || State.State != TTileState::WaitGone)
            continue;
        State.State = TTileState::Idle;
        if (TStationTile *T = Tile(QString::fromStdString(Name)))
            T->ShowWaiting(false);
    }
    if (On)
        Tick();
    UpdateButtons();
}

// Every second: the port list, and in the automatic mode what each ticked port's device does.
void TFStation::Tick()
{
    std::map<std::string, bool> Before;
    for (const auto &[Name, State] : PortStates)
        Before[Name] = State.Present;
    RefreshPorts();
    if (!Automatic->isChecked() || CloseWhenStopped)
        return;
    const auto Now = TSteady::now();
    for (const std::string &Name : TickedPorts()) {
        TPortState &State = PortStates[Name];
        if (State.State == TTileState::Running || State.Probing)
            continue;
        if (!State.Present) {
            if (State.State == TTileState::WaitGone) {
                State.State = TTileState::Idle;
                if (TStationTile *T = Tile(QString::fromStdString(Name)))
                    T->ShowWaiting(false);
            }
            continue;
        }
        const bool Appeared = Before.count(Name) && !Before[Name];
        if (State.State == TTileState::Idle && Appeared) {
            StartAutomatically(Name);
            continue;
        }
        // Never a probe on a port another program holds, or one this user may not open.
        const auto Found = Known.find(Name);
        const bool Free = Found != Known.end() && Found->second.MayOpen && Found->second.Holder.empty();
        if (Free && Now - State.LastProbe >= ProbeEvery)
            StartProbe(Name);
    }
}

void TFStation::closeEvent(QCloseEvent *Event)
{
    if (!RunsInProgress()) {
        Automatic->setChecked(false);
        Event->accept();
        return;
    }
    Event->ignore();
    if (CloseWhenStopped || !Dialogs->Ask(this, QString::fromUtf8(TextAskStopRuns)))
        return;
    CloseWhenStopped = true;
    StopClick();
    UpdateButtons();
}

void TFStation::ShowAuditView()
{
    // Only the log's end is read: it grows by a line a run, for years.
    QFile File(LogFile());
    QList<QByteArray> Lines;
    if (File.open(QIODevice::ReadOnly)) {
        const qint64 Start = std::max<qint64>(0, File.size() - AuditViewBytes);
        File.seek(Start);
        Lines = File.readAll().split('\n');
        if (Start > 0 && !Lines.isEmpty())
            Lines.removeFirst(); // the middle of a line
    }
    // Latest run first, what the operator looks for leftmost.
    std::vector<std::pair<TPortRecord, std::string>> Runs;
    for (auto Line = Lines.crbegin(); Line != Lines.crend() && Runs.size() < AuditViewLines; ++Line) {
        TPortRecord Record;
        std::string Host;
        if (ParseAuditLine(Line->toStdString(), Record, Host))
            Runs.emplace_back(Record, Host);
    }
    const QStringList Heads = {QStringLiteral("Czas"),     QStringLiteral("Port"),      QStringLiteral("Wersja"),
                               QStringLiteral("Tryb"),     QStringLiteral("Wynik"),     QStringLiteral("Trwał"),
                               QStringLiteral("Zestaw"),   QStringLiteral("Jednostka"), QStringLiteral("SHA-256"),
                               QStringLiteral("Błąd"),     QStringLiteral("Komputer"),  QStringLiteral("Nazwa stała")};
    auto *Table = new QTableWidget(static_cast<int>(Runs.size()), static_cast<int>(Heads.size()));
    Table->setObjectName(QStringLiteral("AuditTable"));
    Table->setHorizontalHeaderLabels(Heads);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->verticalHeader()->hide();
    const QString ModeWords[] = {QString(), QString::fromUtf8(TextProgram), QString::fromUtf8(TextCompare),
                                 QString::fromUtf8(TextRead)};
    int Row = 0;
    for (const auto &[R, Host] : Runs) {
        const QString Cells[] = {
            QString::fromStdString(R.Time.substr(0, 19)).replace(QLatin1Char('T'), QLatin1Char(' ')),
            QFileInfo(FromLocal(R.Port)).fileName(),
            QString::fromStdString(R.Version),
            R.Mode >= RunModeProgram && R.Mode <= RunModeRead ? ModeWords[R.Mode] : QString(),
            ResultWords(R, true),
            QStringLiteral("%1 ms").arg(R.DurationMs),
            QFileInfo(FromLocal(R.SetFile)).fileName(),
            QString::fromStdString(R.UnitKey),
            QString::fromStdString(R.SetSha256.substr(0, 12)),
            QString::fromStdString(R.Error),
            QString::fromStdString(Host),
            QString::fromStdString(R.StablePort)};
        for (int Column = 0; Column < Heads.size(); ++Column) {
            auto *Item = new QTableWidgetItem(Cells[Column]);
            if (Column == 4)
                Item->setForeground(R.Result == TPortResult::Ok ? QColor(0x1a, 0x8f, 0x1a) : QColor(0xc8, 0x16, 0x1d));
            Table->setItem(Row, Column, Item);
        }
        ++Row;
    }
    Table->resizeColumnsToContents();
    Table->horizontalHeader()->setStretchLastSection(true);
    Table->resize(1000, 480);
    Dialogs->ShowWidget(this, Table, QStringLiteral("%1: %2").arg(QString::fromUtf8(TextAuditView), LogFile()));
}

QString ResultWords(const TPortRecord &Record, bool MayOpen)
{
    switch (Record.Result) {
    case TPortResult::Ok: return QString::fromUtf8(TextOk);
    case TPortResult::NoReply: return QString::fromUtf8(TextNoReply);
    case TPortResult::Write: return QString::fromUtf8(TextWriteFailed);
    case TPortResult::Verify: return QString::fromUtf8(TextVerifyFailed);
    case TPortResult::Port: return MayOpen ? QString::fromUtf8(TextPortBusy) : QStringLiteral("Brak dostępu do portu");
    case TPortResult::Read: return QStringLiteral("Błąd odczytu");
    case TPortResult::Interrupted: return QString::fromUtf8(TextStopped);
    case TPortResult::File: return QStringLiteral("Błąd zapisu pliku");
    case TPortResult::Start: return QStringLiteral("Nie uruchomiono");
    case TPortResult::Crashed: return QStringLiteral("Awaria przebiegu");
    case TPortResult::Deadline: return QStringLiteral("Przekroczony czas");
    case TPortResult::None: break;
    }
    return {};
}
