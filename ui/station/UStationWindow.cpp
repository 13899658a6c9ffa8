// The station window's layout, the set, the choices it remembers and the
// port list; the runs are in UStationRuns.cpp.
#include "UStationBatch.h"

#include "UDecls.h"
#include "UFiles.h"
#include "UFolders.h"
#include "UIcon.h"
#include "UProcs.h"
#include "USha256.h"
#include "UMainTexts.h"
#include "USetFiles.h"
#include "UStationTexts.h"
#include "UStationTile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

namespace {

// The port's item keeps its name here; its text is for the eye.
constexpr int PortRole = Qt::UserRole;

// A Sys/COMn link goes by its COM name, present or away; any other port by its device name.
QString PortTitle(const std::string &Name, const std::string &SysDir)
{
    if (Name.size() > SysDir.size() && Name.compare(0, SysDir.size(), SysDir) == 0)
        return QString::fromStdString(Name.substr(SysDir.size()));
    return QString::fromStdString(Name);
}

QString PortDetails(const TSerialPortInfo &Info)
{
    QStringList Parts;
    for (const std::string &Link : Info.ComLinks)
        if (Info.Description.empty() || Link != Info.ComLinks[0])
            Parts << QString::fromStdString(Link);
    if (!Info.StableName.empty())
        Parts << QString::fromStdString(Info.StableName);
    if (!Info.Product.empty())
        Parts << QString::fromStdString(Info.Product);
    if (!Info.Serial.empty())
        Parts << QStringLiteral("nr %1").arg(QString::fromStdString(Info.Serial));
    if (!Info.Description.empty())
        Parts << QString::fromStdString(Info.Description);
    return Parts.join(QStringLiteral(", "));
}

// Why this user cannot open the port, with the command that helps; empty when it can.
QString PortProblem(const TSerialPortInfo &Info)
{
    if (!Info.MayOpen)
        return QStringLiteral("brak dostępu: %1").arg(QString::fromStdString(Info.AccessFix));
    if (!Info.Holder.empty())
        return QStringLiteral("zajęty przez: %1").arg(QString::fromStdString(Info.Holder));
    return {};
}

} // namespace

std::string LocalPath(const QString &Path)
{
    return QFile::encodeName(QDir::toNativeSeparators(Path)).toStdString();
}

QString FromLocal(const std::string &Path)
{
    return QFile::decodeName(QByteArray::fromStdString(Path));
}

namespace {

// A file routine's message: the name as the system encodes names, then its
// own words, which are UTF-8 everywhere (on Windows the two differ).
QString FileProblem(const std::string &Path, const std::string &Problem)
{
    if (Problem.rfind(Path, 0) == 0)
        return FromLocal(Path) + QString::fromUtf8(Problem.substr(Path.size()));
    return QString::fromUtf8(Problem);
}

} // namespace

bool TQtStationDialogs::ChooseSet(QWidget *Parent, const QString &Folder, QString &Chosen)
{
    Chosen = QFileDialog::getOpenFileName(Parent, QString(), Folder, QStringLiteral("Zestawy (*.set);;Wszystkie (*)"));
    return !Chosen.isEmpty();
}

bool TQtStationDialogs::ChooseFolder(QWidget *Parent, const QString &Folder, QString &Chosen)
{
    Chosen = QFileDialog::getExistingDirectory(Parent, QString(), Folder);
    return !Chosen.isEmpty();
}

bool TQtStationDialogs::ChooseLogFile(QWidget *Parent, const QString &Start, QString &Chosen)
{
    Chosen = QFileDialog::getSaveFileName(Parent, QString(), Start, QString(), nullptr,
                                          QFileDialog::DontConfirmOverwrite);
    return !Chosen.isEmpty();
}

bool TQtStationDialogs::Ask(QWidget *Parent, const QString &Text)
{
    return QMessageBox::question(Parent, QString::fromUtf8(TextTitle), Text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void TQtStationDialogs::Inform(QWidget *Parent, const QString &Text)
{
    QMessageBox::information(Parent, QString::fromUtf8(TextTitle), Text);
}

void TQtStationDialogs::OpenInEditor(const QString &SetFile)
{
    const QDir Here(QCoreApplication::applicationDirPath());
    QString Editor = Here.filePath(QStringLiteral("trackwarden"));
    if (!QFileInfo::exists(Editor))
        Editor += QStringLiteral(".exe");
    QProcess::startDetached(Editor, {SetFile});
}

void TQtStationDialogs::ShowWidget(QWidget *Parent, QWidget *Content, const QString &Caption)
{
    auto *Dialog = new QDialog(Parent);
    Dialog->setAttribute(Qt::WA_DeleteOnClose);
    Dialog->setWindowTitle(Caption);
    auto *Layout = new QVBoxLayout(Dialog);
    Layout->addWidget(Content);
    Dialog->resize(Content->size());
    Dialog->show();
}

TFStation::TFStation(std::unique_ptr<TStationDialogs> GivenDialogs, TStationPlaces GivenPlaces)
    : Dialogs(GivenDialogs ? std::move(GivenDialogs) : std::make_unique<TQtStationDialogs>()),
      Places(std::move(GivenPlaces))
{
    if (Places.ProgramFolder.empty())
        Places.ProgramFolder = ProgramFolder();
    ProgramDir.Assign(Places.ProgramFolder);
    if (Places.DefaultLog.empty()) {
        const std::string User = UserDataFolder();
        Places.DefaultLog = (User.empty() ? Places.ProgramFolder : User) + "stanowisko.log";
    }
    Launcher = Places.ChildProgram.empty() ? std::make_unique<TProcessLauncher>()
                                           : std::make_unique<TProcessLauncher>(Places.ChildProgram);
    setWindowTitle(QString::fromUtf8(TextTitle));
    setWindowIcon(ProgramIcon());
    BuildLayout();
    LoadChoices();
    RefreshPorts();
    Ticker = new QTimer(this);
    Ticker->setObjectName(QStringLiteral("PortTimer"));
    connect(Ticker, &QTimer::timeout, this, [this] { Tick(); });
    Ticker->start(1000);
    Clock = new QTimer(this);
    connect(Clock, &QTimer::timeout, this, [this] {
        for (TStationTile *T : Tiles())
            T->ShowElapsed();
    });
    Clock->start(500);
    UpdateButtons();
}

void TFStation::BuildLayout()
{
    auto *Top = new QVBoxLayout(this);

    // The set and what it runs, and the units table whose rows go on top of it.
    auto *SetBox = new QGroupBox(QStringLiteral("Zestaw"));
    auto *SetRow = new QGridLayout(SetBox);
    SetName = new QLineEdit;
    SetName->setReadOnly(true);
    SetName->setObjectName(QStringLiteral("SetName"));
    SetHash = new QLabel;
    SetHash->setObjectName(QStringLiteral("SetHash"));
    SetHash->setTextInteractionFlags(Qt::TextSelectableByMouse);
    SetButton = new QPushButton(QStringLiteral("Wybierz..."));
    connect(SetButton, &QPushButton::clicked, this, [this] { ChooseSet(); });
    SetRow->addWidget(SetName, 0, 0);
    SetRow->addWidget(SetButton, 0, 1);
    SetRow->addWidget(SetHash, 1, 0, 1, 2);
    UnitsName = new QLineEdit;
    UnitsName->setReadOnly(true);
    UnitsName->setObjectName(QStringLiteral("UnitsName"));
    UnitsName->setPlaceholderText(QStringLiteral("bez tabeli jednostek"));
    UnitsButton = new QPushButton(QString::fromUtf8(TextUnits));
    UnitsButton->setToolTip(
        QStringLiteral("Tabela jednostek (tylko w trybie \"%1\")").arg(QString::fromUtf8(TextProgram)));
    connect(UnitsButton, &QPushButton::clicked, this, [this] { ChooseUnits(); });
    NoUnitsButton = new QPushButton(QString::fromUtf8(TextNoUnits));
    connect(NoUnitsButton, &QPushButton::clicked, this, [this] {
        DropUnits();
        SaveChoices();
    });
    UnitsLeftLabel = new QLabel;
    UnitsLeftLabel->setObjectName(QStringLiteral("UnitsLeft"));
    SetRow->addWidget(UnitsName, 2, 0);
    SetRow->addWidget(UnitsButton, 2, 1);
    SetRow->addWidget(UnitsLeftLabel, 3, 0);
    SetRow->addWidget(NoUnitsButton, 3, 1);
    SetRow->setColumnStretch(0, 1);

    auto *RunBox = new QGroupBox(QStringLiteral("Przebieg"));
    auto *RunRow = new QGridLayout(RunBox);
    Mode = new QComboBox;
    Mode->setObjectName(QStringLiteral("Mode"));
    Mode->addItems({QString::fromUtf8(TextProgram), QString::fromUtf8(TextCompare), QString::fromUtf8(TextRead)});
    Fast = new QCheckBox(QString::fromUtf8(TextFast));
    Fast->setObjectName(QStringLiteral("Fast"));
    ReadFolder = new QLineEdit;
    ReadFolder->setReadOnly(true);
    ReadFolderButton = new QPushButton(QStringLiteral("Folder..."));
    connect(ReadFolderButton, &QPushButton::clicked, this, [this] { ChooseReadFolder(); });
    RunRow->addWidget(new QLabel(QStringLiteral("Tryb:")), 0, 0);
    RunRow->addWidget(Mode, 0, 1);
    RunRow->addWidget(Fast, 0, 2);
    RunRow->addWidget(new QLabel(QStringLiteral("Odczyt do:")), 1, 0);
    RunRow->addWidget(ReadFolder, 1, 1, 1, 2);
    RunRow->addWidget(ReadFolderButton, 1, 3);
    RunRow->setColumnStretch(1, 1);
    connect(Mode, &QComboBox::currentIndexChanged, this, [this] {
        SaveChoices();
        UpdateButtons();
    });
    connect(Fast, &QCheckBox::toggled, this, [this] { SaveChoices(); });

    auto *Upper = new QHBoxLayout;
    Upper->addWidget(SetBox, 1);
    Upper->addWidget(RunBox, 1);
    Top->addLayout(Upper);

    auto *Middle = new QHBoxLayout;
    auto *PortBox = new QGroupBox(QStringLiteral("Porty"));
    auto *PortColumn = new QVBoxLayout(PortBox);
    Ports = new QListWidget;
    Ports->setObjectName(QStringLiteral("Ports"));
    Ports->setMinimumWidth(260);
    Ports->setWordWrap(true);
    connect(Ports, &QListWidget::itemChanged, this, [this](QListWidgetItem *Item) { PortTicked(Item); });
    PortColumn->addWidget(Ports);
    LogLabel = new QLabel;
    LogLabel->setObjectName(QStringLiteral("LogLabel"));
    LogLabel->setWordWrap(true);
    LogLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *LogButton = new QPushButton(QStringLiteral("Plik dziennika..."));
    connect(LogButton, &QPushButton::clicked, this, [this] { ChooseLogFile(); });
    PortColumn->addWidget(LogLabel);
    PortColumn->addWidget(LogButton);

    auto *Right = new QVBoxLayout;
    auto *Buttons = new QHBoxLayout;
    Start = new QPushButton(QString::fromUtf8(TextStart));
    Stop = new QPushButton(QString::fromUtf8(TextStop));
    Automatic = new QPushButton(QString::fromUtf8(TextAutomatic));
    Automatic->setCheckable(true);
    AuditButton = new QPushButton(QString::fromUtf8(TextAuditView));
    connect(Start, &QPushButton::clicked, this, [this] { StartClick(); });
    connect(Stop, &QPushButton::clicked, this, [this] { StopClick(); });
    connect(Automatic, &QPushButton::toggled, this, [this](bool On) { SetAutomatic(On); });
    connect(AuditButton, &QPushButton::clicked, this, [this] { ShowAuditView(); });
    for (QPushButton *B : {Start, Stop, Automatic}) {
        QFont Bigger = B->font();
        Bigger.setPointSizeF(Bigger.pointSizeF() * 1.3);
        B->setFont(Bigger);
        B->setMinimumHeight(36);
        Buttons->addWidget(B);
    }
    Buttons->addStretch();
    Buttons->addWidget(AuditButton);
    Right->addLayout(Buttons);

    TileArea = new QWidget;
    TileGrid = new QGridLayout(TileArea);
    TileGrid->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    TileScroll = new QScrollArea;
    TileScroll->setWidgetResizable(true);
    TileScroll->setWidget(TileArea);
    Right->addWidget(TileScroll, 1);
    TileScroll->viewport()->installEventFilter(this);
    Middle->addWidget(PortBox);
    Middle->addLayout(Right, 1);
    Top->addLayout(Middle, 1);
    resize(1240, 760);
}

void TFStation::LoadChoices()
{
    Loading = true;
    std::unique_ptr<QSettings> Store =
        Places.SettingsFile.isEmpty()
            ? std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Trackwarden"),
                                          QStringLiteral("stanowisko"))
            : std::make_unique<QSettings>(Places.SettingsFile, QSettings::IniFormat);
    Mode->setCurrentIndex(std::clamp(Store->value(QStringLiteral("mode"), 0).toInt(), 0, 2));
    Fast->setChecked(Store->value(QStringLiteral("fast"), false).toBool());
    ReadFolder->setText(Store->value(QStringLiteral("readFolder"),
                                     QDir::toNativeSeparators(FromLocal(Places.ProgramFolder + "Sets")))
                            .toString());
    ChosenLog = Store->value(QStringLiteral("logFile")).toString();
    for (const QString &Port : Store->value(QStringLiteral("ports")).toStringList())
        PortStates[Port.toStdString()];
    const QString Set = Store->value(QStringLiteral("set")).toString();
    const QString Units = Store->value(QStringLiteral("units")).toString();
    Loading = false;
    LogLabel->setText(QStringLiteral("Dziennik: %1").arg(LogFile()));
    if (!Set.isEmpty() && QFileInfo::exists(Set) && UseSet(Set) && !Units.isEmpty())
        UseUnits(Units);
}

void TFStation::SaveChoices()
{
    if (Loading)
        return;
    std::unique_ptr<QSettings> Store =
        Places.SettingsFile.isEmpty()
            ? std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Trackwarden"),
                                          QStringLiteral("stanowisko"))
            : std::make_unique<QSettings>(Places.SettingsFile, QSettings::IniFormat);
    Store->setValue(QStringLiteral("mode"), Mode->currentIndex());
    Store->setValue(QStringLiteral("fast"), Fast->isChecked());
    Store->setValue(QStringLiteral("readFolder"), ReadFolder->text());
    Store->setValue(QStringLiteral("logFile"), ChosenLog);
    Store->setValue(QStringLiteral("set"), SetPath);
    Store->setValue(QStringLiteral("units"), UnitsPath);
    QStringList Ticked;
    for (const std::string &Port : TickedPorts())
        Ticked << QString::fromStdString(Port);
    Store->setValue(QStringLiteral("ports"), Ticked);
}

void TFStation::ChooseSet()
{
    QString Chosen;
    const QString Folder = FromLocal(Places.ProgramFolder + "Sets");
    if (Dialogs->ChooseSet(this, SetPath.isEmpty() ? Folder : QFileInfo(SetPath).path(), Chosen) && UseSet(Chosen))
        SaveChoices();
}

// The set as a run's preparation would take it: whole, and without findings.
bool TFStation::ReadSetAfresh(std::string &Bytes)
{
    // The editor's words for a set that cannot be read, after the file's name, and why.
    std::string Problem;
    if (SetPath.isEmpty() || !ReadSetFile(LocalPath(SetPath), Settings, Problem)) {
        Dialogs->Inform(this, SetPath.isEmpty() ? QStringLiteral("Nie wybrano zestawu.")
                                                : FileProblem(LocalPath(SetPath), Problem));
        return false;
    }
    const std::string Finding = CheckSettings();
    if (!Finding.empty()) {
        Dialogs->Inform(this, QStringLiteral("%1: %2").arg(SetPath, QString::fromStdString(Finding)));
        return false;
    }
    Bytes.assign(reinterpret_cast<const char *>(&Settings), sizeof Settings);
    return true;
}

bool TFStation::UseSet(const QString &Path)
{
    const QString Before = SetPath;
    SetPath = Path;
    std::string Bytes;
    if (!ReadSetAfresh(Bytes)) {
        SetPath = Before;
        return false;
    }
    SetName->setText(QFileInfo(Path).fileName());
    SetName->setToolTip(Path);
    SetHash->setText(QStringLiteral("SHA-256: %1")
                         .arg(QString::fromStdString(Sha256Hex(Bytes.data(), Bytes.size()).substr(0, 12))));
    // The table's rows are checked on the set they go on top of.
    if (!UnitsPath.isEmpty())
        UseUnits(UnitsPath);
    UpdateButtons();
    return true;
}

void TFStation::ChooseReadFolder()
{
    QString Chosen;
    if (Dialogs->ChooseFolder(this, ReadFolder->text(), Chosen)) {
        ReadFolder->setText(QDir::toNativeSeparators(Chosen));
        SaveChoices();
    }
}

void TFStation::ChooseLogFile()
{
    QString Chosen;
    if (!Dialogs->ChooseLogFile(this, LogFile(), Chosen))
        return;
    ChosenLog = Chosen;
    AuditPath.clear(); // opened afresh for the next run
    LogLabel->setText(QStringLiteral("Dziennik: %1").arg(LogFile()));
    SaveChoices();
}

QString TFStation::LogFile() const
{
    return ChosenLog.isEmpty() ? FromLocal(Places.DefaultLog) : ChosenLog;
}

QString TFStation::SetSummary() const
{
    return SetName->text() + QLatin1Char(' ') + SetHash->text();
}

int32_t TFStation::ChosenMode() const
{
    switch (Mode->currentIndex()) {
    case 0: return RunModeProgram;
    case 1: return RunModeCompareDetails;
    default: return RunModeRead;
    }
}

TRunOptions TFStation::ChosenOptions() const
{
    TRunOptions Options;
    Options.Fast = Fast->isChecked();
    return Options;
}

std::vector<std::string> TFStation::TickedPorts() const
{
    std::vector<std::string> Ticked;
    for (int I = 0; I < Ports->count(); ++I)
        if (Ports->item(I)->checkState() == Qt::Checked)
            Ticked.push_back(Ports->item(I)->data(PortRole).toString().toStdString());
    return Ticked;
}

// Every port found, and every ticked one even while it is away, in the order found.
void TFStation::RefreshPorts()
{
    TPortsSystem System = CurrentPortsSystem();
    System.SysDir = Places.ProgramFolder + "Sys/";
    // Scanning every process for holders is the costly part: not at start-up
    // (the first tick, a second later, does it), not while runs last unless
    // the automatic mode must know before it probes.
    System.FindHolders = Ticker != nullptr && (!RunsInProgress() || Automatic->isChecked());
    const TPortList List = StationPorts(System);
    std::vector<std::string> Order;
    std::map<std::string, TSerialPortInfo> Now;
    for (const TSerialPortInfo &Info : List.Ports) {
        Order.push_back(Info.Name);
        Now[Info.Name] = Info;
        if (!System.FindHolders && Known.count(Info.Name))
            Now[Info.Name].Holder = Known[Info.Name].Holder;
    }
    for (const auto &[Name, State] : PortStates)
        if (!Now.count(Name))
            Order.push_back(Name);
    Known = Now;

    // The first list takes its ticks from the remembered choice, later ones from the list before.
    const bool FromChoice = Ports->count() == 0;
    const std::vector<std::string> Ticked = TickedPorts();
    auto WasTicked = [&](const std::string &Name) {
        return FromChoice ? PortStates.count(Name) > 0 : std::find(Ticked.begin(), Ticked.end(), Name) != Ticked.end();
    };
    std::vector<QString> Texts;
    for (const std::string &Name : Order) {
        const auto Found = Now.find(Name);
        QString Text = PortTitle(Name, System.SysDir);
        if (Found == Now.end()) {
            Text += QStringLiteral("\n  odłączony");
        } else {
            const QString Details = PortDetails(Found->second);
            const QString Problem = PortProblem(Found->second);
            if (!Details.isEmpty())
                Text += QStringLiteral("\n  ") + Details;
            if (!Problem.isEmpty())
                Text += QStringLiteral("\n  ") + Problem;
        }
        Texts.push_back(Text);
    }
    // Made again only when something changed, so that a click in it is never lost.
    bool Same = Ports->count() == static_cast<int>(Order.size());
    for (int I = 0; Same && I < Ports->count(); ++I)
        Same = Ports->item(I)->text() == Texts[static_cast<size_t>(I)];
    QSignalBlocker Quiet(Ports);
    Loading = true;
    if (!Same)
        Ports->clear();
    for (size_t I = 0; I < Order.size() && !Same; ++I) {
        const std::string &Name = Order[I];
        const auto Found = Now.find(Name);
        auto *Item = new QListWidgetItem(Texts[I], Ports);
        Item->setData(PortRole, QString::fromStdString(Name));
        Item->setFlags(Item->flags() | Qt::ItemIsUserCheckable);
        Item->setCheckState(WasTicked(Name) ? Qt::Checked : Qt::Unchecked);
        if (Found == Now.end())
            Item->setForeground(Qt::gray);
        else if (!PortProblem(Found->second).isEmpty())
            Item->setForeground(QColor(0xc8, 0x16, 0x1d));
    }
    Loading = false;
    for (auto &[Name, State] : PortStates)
        State.Present = Now.count(Name) > 0;
    for (const std::string &Name : TickedPorts())
        PortStates[Name].Present = Now.count(Name) > 0;
    if (!Same)
        LayOutTiles();
}

void TFStation::PortTicked(QListWidgetItem *)
{
    if (Loading)
        return;
    LayOutTiles();
    SaveChoices();
}

// A tile per ticked port, in the list's order; a tile whose port is no
// longer ticked stays while its run lasts.
void TFStation::LayOutTiles()
{
    const std::vector<std::string> Ticked = TickedPorts();
    for (const std::string &Name : Ticked)
        PortStates[Name];
    for (auto It = TileOf.begin(); It != TileOf.end();) {
        const bool Keep = std::find(Ticked.begin(), Ticked.end(), It->first) != Ticked.end() || It->second->Running();
        if (Keep) {
            ++It;
            continue;
        }
        delete It->second;
        PortStates.erase(It->first);
        It = TileOf.erase(It);
    }
    for (auto It = PortStates.begin(); It != PortStates.end();) {
        const bool Keep = std::find(Ticked.begin(), Ticked.end(), It->first) != Ticked.end() || TileOf.count(It->first);
        It = Keep ? std::next(It) : PortStates.erase(It);
    }
    for (const std::string &Name : Ticked) {
        const auto Found = Known.find(Name);
        const QString Details = Found == Known.end() ? QStringLiteral("odłączony") : PortDetails(Found->second);
        if (TileOf.count(Name)) {
            TileOf[Name]->SetDetails(Details);
            continue;
        }
        const QString Title = PortTitle(Name, Places.ProgramFolder + "Sys/");
        auto *T = new TStationTile(QString::fromStdString(Name), Title, Details, TileArea);
        connect(T->LogButton, &QPushButton::clicked, this, [this, T] {
            auto *Text = new QPlainTextEdit;
            Text->setReadOnly(true);
            Text->setObjectName(QStringLiteral("TileLog"));
            Text->setPlainText(T->Log().join(QLatin1Char('\n')));
            Text->resize(560, 420);
            Dialogs->ShowWidget(this, Text, T->Title());
        });
        connect(T->DifferencesButton, &QPushButton::clicked, this, [this, T] {
            Dialogs->ShowWidget(this, DifferencesTable(T->Differences()),
                                QStringLiteral("%1: %2").arg(T->Title(), QString::fromUtf8(TextDifferences)));
        });
        connect(T->EditorButton, &QPushButton::clicked, this, [this, T] { Dialogs->OpenInEditor(T->ReadSet()); });
        TileOf[Name] = T;
    }
    PlaceTiles();
    UpdateButtons();
}

// As many columns as the area has room for, in the list's order.
void TFStation::PlaceTiles()
{
    const int Room = TileScroll->viewport()->width() - TileGrid->contentsMargins().left() -
                     TileGrid->contentsMargins().right();
    const int Columns = std::max(1, (Room + TileGrid->horizontalSpacing()) /
                                        (TileWidth + std::max(0, TileGrid->horizontalSpacing())));
    while (TileGrid->count() > 0)
        delete TileGrid->takeAt(0);
    int N = 0;
    for (int I = 0; I < Ports->count(); ++I) {
        const std::string Name = Ports->item(I)->data(PortRole).toString().toStdString();
        if (const auto Found = TileOf.find(Name); Found != TileOf.end()) {
            TileGrid->addWidget(Found->second, N / Columns, N % Columns);
            ++N;
        }
    }
}

bool TFStation::eventFilter(QObject *Watched, QEvent *Event)
{
    if (Watched == TileScroll->viewport() && Event->type() == QEvent::Resize)
        PlaceTiles();
    return QWidget::eventFilter(Watched, Event);
}

TStationTile *TFStation::Tile(const QString &Port) const
{
    const auto Found = TileOf.find(Port.toStdString());
    return Found == TileOf.end() ? nullptr : Found->second;
}

std::vector<TStationTile *> TFStation::Tiles() const
{
    std::vector<TStationTile *> All;
    for (const auto &[Name, T] : TileOf)
        All.push_back(T);
    return All;
}

void TFStation::UpdateButtons()
{
    if (Start == nullptr)
        return;
    const bool Reads = Mode->currentIndex() == 2;
    ReadFolder->setEnabled(Reads);
    ReadFolderButton->setEnabled(Reads);
    bool Idle = false;
    for (const std::string &Name : TickedPorts())
        Idle = Idle || !TileOf.count(Name) || !TileOf[Name]->Running();
    Start->setEnabled(Idle && (Reads || !SetPath.isEmpty()) && !CloseWhenStopped);
    Stop->setEnabled(RunsInProgress() || Automatic->isChecked());
    SetButton->setEnabled(!RunsInProgress());
    Mode->setEnabled(!RunsInProgress() && !Automatic->isChecked());
    // The table serves "Programuj" only; the other modes leave it chosen and greyed.
    const bool Programs = Mode->currentIndex() == 0;
    const bool MayChoose = Programs && !RunsInProgress() && !Automatic->isChecked();
    UnitsName->setEnabled(Programs);
    UnitsLeftLabel->setEnabled(Programs);
    UnitsButton->setEnabled(MayChoose && !SetPath.isEmpty());
    NoUnitsButton->setEnabled(MayChoose && !UnitsPath.isEmpty());
}
