#include "UStationTile.h"

#include "UDecls.h"
#include "UStationTexts.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString Seconds(int64_t Ms)
{
    return QStringLiteral("%1,%2 s").arg(Ms / 1000).arg(Ms % 1000 / 100);
}

void Colour(QLabel *Label, const char *Colour)
{
    Label->setStyleSheet(QStringLiteral("color: %1;").arg(QLatin1String(Colour)));
}

} // namespace

TStationTile::TStationTile(const QString &Port, const QString &Title, const QString &Details, QWidget *Parent)
    : QFrame(Parent), PortName(Port)
{
    setObjectName(QStringLiteral("Tile"));
    setFrameShape(QFrame::StyledPanel);
    setFixedWidth(TileWidth);
    auto *Layout = new QVBoxLayout(this);
    Layout->setSpacing(3);
    Name = new QLabel(Title);
    QFont Bold = Name->font();
    Bold.setBold(true);
    Name->setFont(Bold);
    Name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Name->setToolTip(Port);
    DetailsLabel = new QLabel;
    DetailsLabel->setWordWrap(true);
    UnitLabel = new QLabel;
    UnitLabel->setObjectName(QStringLiteral("Unit"));
    UnitLabel->setWordWrap(true);
    UnitLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    UnitLabel->hide();
    PhaseLabel = new QLabel;
    Bar = new QProgressBar;
    Bar->setRange(0, DeviceImageSize);
    Bar->setValue(0);
    Facts = new QLabel;
    ResultLabel = new QLabel;
    QFont Large = ResultLabel->font();
    Large.setPointSizeF(Large.pointSizeF() * 1.8);
    Large.setBold(true);
    ResultLabel->setFont(Large);
    ResultLabel->setWordWrap(true);
    ResultLabel->setMinimumHeight(QFontMetrics(Large).height() * 2 + 4);
    ResultLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Counters = new QLabel;
    auto *Buttons = new QHBoxLayout;
    LogButton = new QPushButton(QStringLiteral("Przebieg"));
    LogButton->setToolTip(QStringLiteral("Linie ostatniego przebiegu"));
    DifferencesButton = new QPushButton;
    DifferencesButton->hide();
    EditorButton = new QPushButton(QStringLiteral("Otwórz w edytorze"));
    EditorButton->hide();
    Buttons->addWidget(LogButton);
    Buttons->addWidget(DifferencesButton);
    Buttons->addWidget(EditorButton);
    Buttons->addStretch();
    for (QWidget *W : {static_cast<QWidget *>(Name), static_cast<QWidget *>(DetailsLabel),
                       static_cast<QWidget *>(UnitLabel), static_cast<QWidget *>(PhaseLabel),
                       static_cast<QWidget *>(Bar), static_cast<QWidget *>(Facts),
                       static_cast<QWidget *>(ResultLabel), static_cast<QWidget *>(Counters)})
        Layout->addWidget(W);
    Layout->addLayout(Buttons);
    SetDetails(Details);
    ShowFacts();
    Counters->setText(QStringLiteral("Udane: 0   Nieudane: 0"));
}

void TStationTile::SetDetails(const QString &Details)
{
    DetailsLabel->setText(Details);
    DetailsLabel->setVisible(!Details.isEmpty());
}

void TStationTile::BeginRun(int32_t Mode)
{
    RunMode = Mode;
    IsRunning = true;
    Last = Shown = TRunStatus();
    Version.clear();
    Started = std::chrono::steady_clock::now();
    EndedMs = -1;
    Lines.clear();
    DifferenceList.clear();
    ReadSetFile.clear();
    ShowUnit({});
    // Programming writes and then reads back: one bar over both passes.
    Bar->setRange(0, Mode == RunModeProgram ? 2 * DeviceImageSize : DeviceImageSize);
    Bar->setValue(0);
    PhaseLabel->setText(QString::fromUtf8(PhaseText(TRunPhase::Opening)));
    ResultLabel->clear();
    DifferencesButton->hide();
    EditorButton->hide();
    ShowFacts();
}

void TStationTile::AddLine(const QString &Line)
{
    Lines << Line;
}

void TStationTile::AddDifference(const TSettingDifference &Difference)
{
    DifferenceList.push_back(Difference);
}

void TStationTile::ShowStatus(const TRunStatus &Status)
{
    Last = Status;
    const bool SecondPass = RunMode == RunModeProgram && Status.Phase == TRunPhase::Verifying;
    const bool Passes = Status.Phase == TRunPhase::Writing || Status.Phase == TRunPhase::Verifying ||
                        Status.Phase == TRunPhase::Reading;
    // Drawn again only when its percentage moves: eight tiles get a status per block.
    const int Value = Passes ? (SecondPass ? DeviceImageSize : 0) + Status.Bytes
                      : Status.Phase == TRunPhase::Resetting ? Bar->maximum()
                                                             : Bar->value();
    if (int64_t{Value} * 100 / Bar->maximum() != int64_t{Bar->value()} * 100 / Bar->maximum() ||
        Value == Bar->maximum())
        Bar->setValue(Value);
    const QString Phase = QString::fromUtf8(PhaseText(Status.Phase));
    if (PhaseLabel->text() != Phase)
        PhaseLabel->setText(Phase);
    if (Status.Repeats() != Shown.Repeats())
        ShowFacts();
    Shown = Status;
}

void TStationTile::ShowResult(const TPortRecord &Record, const QString &Words)
{
    IsRunning = false;
    EndedMs = Record.DurationMs;
    Version = QString::fromStdString(Record.Version);
    Last = Record.Status.Phase == TRunPhase::Opening && Last.Phase != TRunPhase::Opening ? Last : Record.Status;
    PhaseLabel->setText(QString::fromUtf8(PhaseText(TRunPhase::Ended)));
    const bool Ok = Record.Result == TPortResult::Ok;
    if (Ok)
        Bar->setValue(Bar->maximum());
    ResultLabel->setText(Words);
    Colour(ResultLabel, Ok ? "#1a8f1a" : "#c8161d");
    ResultLabel->setToolTip(QString::fromStdString(Record.Error));
    if (Record.Result != TPortResult::Interrupted) {
        PassCount += Ok;
        FailCount += !Ok;
    }
    Counters->setText(QStringLiteral("Udane: %1   Nieudane: %2").arg(PassCount).arg(FailCount));
    if (!DifferenceList.empty()) {
        DifferencesButton->setText(
            QStringLiteral("%1 (%2)").arg(QString::fromUtf8(TextDifferences)).arg(DifferenceList.size()));
        DifferencesButton->show();
    }
    ShowFacts();
}

void TStationTile::ShowWaiting(bool Waiting)
{
    if (Waiting) {
        PhaseLabel->setText(QString::fromUtf8(TextNextDevice));
        Colour(PhaseLabel, "#1f4fa0");
    } else {
        PhaseLabel->setStyleSheet({});
        if (!IsRunning)
            PhaseLabel->setText(QString::fromUtf8(PhaseText(TRunPhase::Ended)));
    }
}

void TStationTile::ShowUnit(const QString &Key, bool Recorded)
{
    UnitKey = Key;
    UnitLabel->setVisible(!Key.isEmpty());
    UnitLabel->setText(Recorded ? QStringLiteral("Jednostka: %1").arg(Key)
                                : QStringLiteral("Jednostka: %1 – nie zapisana w dzienniku jednostek").arg(Key));
    Colour(UnitLabel, Recorded ? "#1f4fa0" : "#c8161d");
}

void TStationTile::ShowElapsed()
{
    if (IsRunning)
        ShowFacts();
}

void TStationTile::SetReadSet(const QString &SetFile, bool InSets)
{
    ReadSetFile = SetFile;
    EditorButton->setVisible(!SetFile.isEmpty());
    EditorButton->setEnabled(InSets);
    EditorButton->setToolTip(InSets ? SetFile
                                    : QStringLiteral("Edytor otwiera zestawy z folderu Sets; zestaw zapisano w ") +
                                          SetFile);
}

void TStationTile::ShowFacts()
{
    QStringList Parts;
    if (!Version.isEmpty())
        Parts << QStringLiteral("Wersja: %1").arg(Version);
    const int32_t Repeats = Last.Repeats();
    Parts << QStringLiteral("Powtórzenia: %1").arg(Repeats);
    if (IsRunning)
        Parts << Seconds(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                               Started)
                             .count());
    else if (EndedMs >= 0)
        Parts << Seconds(EndedMs);
    Facts->setText(Parts.join(QStringLiteral("   ")));
}

QString TStationTile::Title() const
{
    return Name->text();
}

QString TStationTile::Phase() const
{
    return PhaseLabel->text();
}

QString TStationTile::Result() const
{
    return ResultLabel->text();
}

int TStationTile::Progress() const
{
    return Bar->value();
}

int TStationTile::ProgressMaximum() const
{
    return Bar->maximum();
}

QWidget *DifferencesTable(const std::vector<TSettingDifference> &Differences)
{
    auto *Table = new QTableWidget(static_cast<int>(Differences.size()), 3);
    Table->setObjectName(QStringLiteral("DifferencesTable"));
    Table->setHorizontalHeaderLabels(
        {QStringLiteral("Ustawienie"), QStringLiteral("W zestawie"), QStringLiteral("W urządzeniu")});
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->verticalHeader()->hide();
    int Row = 0;
    for (const TSettingDifference &D : Differences) {
        // A run of bytes is named as the CLI names it: 0x1770 (6000), 2 B.
        const QString Name = D.Setting.empty()
                                 ? QStringLiteral("0x%1 (%2), %3 B")
                                       .arg(QString::number(D.Offset, 16).toUpper().rightJustified(4, '0'))
                                       .arg(D.Offset)
                                       .arg(D.Count)
                                 : QString::fromStdString(D.Setting);
        Table->setItem(Row, 0, new QTableWidgetItem(Name));
        Table->setItem(Row, 1, new QTableWidgetItem(QString::fromStdString(D.SetValue)));
        Table->setItem(Row, 2, new QTableWidgetItem(QString::fromStdString(D.DeviceValue)));
        ++Row;
    }
    Table->resizeColumnsToContents();
    Table->horizontalHeader()->setStretchLastSection(true);
    Table->resize(760, 420);
    return Table;
}
