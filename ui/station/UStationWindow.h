// The station window: one set, one mode, many ports, a tile per ticked
// port. A thin front end on TStation: the runs are the engine's children,
// their reports come here as queued calls and are only drawn and recorded.
#pragma once

#include "UAuditLog.h"
#include "UPortList.h"
#include "UStation.h"
#include "UUnitsBatch.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QScrollArea;
class QTimer;
class TStationTile;

// Every dialog of the station goes through this seam, so a test can answer them.
class TStationDialogs {
public:
    virtual ~TStationDialogs() = default;
    // False when cancelled.
    virtual bool ChooseSet(QWidget *Parent, const QString &Folder, QString &Chosen) = 0;
    virtual bool ChooseFolder(QWidget *Parent, const QString &Folder, QString &Chosen) = 0;
    virtual bool ChooseLogFile(QWidget *Parent, const QString &Start, QString &Chosen) = 0;
    // A units table; a front end that offers none answers as if cancelled.
    virtual bool ChooseUnits(QWidget *, const QString &, QString &) { return false; }
    // "Tak" / "Nie"; true on "Tak".
    virtual bool Ask(QWidget *Parent, const QString &Text) = 0;
    virtual void Inform(QWidget *Parent, const QString &Text) = 0;
    // The editor window started with the set as its argument.
    virtual void OpenInEditor(const QString &SetFile) = 0;
    // A tile's log or differences in a window of their own.
    virtual void ShowWidget(QWidget *Parent, QWidget *Content, const QString &Caption) = 0;
};

class TQtStationDialogs : public TStationDialogs {
public:
    bool ChooseSet(QWidget *Parent, const QString &Folder, QString &Chosen) override;
    bool ChooseFolder(QWidget *Parent, const QString &Folder, QString &Chosen) override;
    bool ChooseLogFile(QWidget *Parent, const QString &Start, QString &Chosen) override;
    bool ChooseUnits(QWidget *Parent, const QString &Folder, QString &Chosen) override;
    bool Ask(QWidget *Parent, const QString &Text) override;
    void Inform(QWidget *Parent, const QString &Text) override;
    void OpenInEditor(const QString &SetFile) override;
    void ShowWidget(QWidget *Parent, QWidget *Content, const QString &Caption) override;
};

// Where the window keeps what it keeps; tests give folders of their own.
struct TStationPlaces {
    std::string ProgramFolder;  // with its separator; empty: ProgramFolder()
    QString SettingsFile;       // the operator's choices; empty: the user's own
    std::string DefaultLog;     // the audit log unless the operator chose one; empty: in the user's folder
    std::string ChildProgram;   // the runs' program; empty: trackwarden-cli beside this one
};

// What a tile shows of the port it stands for.
enum class TTileState { Idle, Running, WaitGone };

class TFStation : public QWidget {
public:
    explicit TFStation(std::unique_ptr<TStationDialogs> Dialogs = nullptr, TStationPlaces Places = {});
    ~TFStation() override;
    TFStation(const TFStation &) = delete;
    TFStation &operator=(const TFStation &) = delete;

    // The operator's commands, as the buttons give them.
    void ChooseSet();
    bool UseSet(const QString &Path); // false, with the set's message shown, when refused
    // A units table beside the set, for "Programuj": each run programs the
    // next free unit. False, with its findings shown and no table kept, when
    // refused.
    void ChooseUnits();
    bool UseUnits(const QString &Path);
    void DropUnits();
    void ChooseReadFolder();
    void ChooseLogFile();
    void StartClick();
    void StopClick();
    void SetAutomatic(bool On);
    void ShowAuditView();
    // The port list looked at again (the window does it every second).
    void RefreshPorts();

    // For the tests and the pictures.
    TStationTile *Tile(const QString &Port) const;
    std::vector<TStationTile *> Tiles() const;
    bool RunsInProgress() const;
    QString SetSummary() const;
    QString LogFile() const;
    QString UnitsFile() const { return UnitsPath; } // empty: no table
    QString UnitsLeft() const;                      // "Pozostało jednostek: 2 z 3"
    QListWidget *PortList() const { return Ports; }
    QComboBox *ModeBox() const { return Mode; }
    QCheckBox *FastBox() const { return Fast; }
    QPushButton *StartButton() const { return Start; }
    QPushButton *StopButton() const { return Stop; }
    QPushButton *AutomaticButton() const { return Automatic; }
    // Ports' runs started by the automatic mode since the window opened.
    int AutomaticStarts() const { return AutoStarts; }

protected:
    void closeEvent(QCloseEvent *Event) override;
    // The tiles take as many columns as their area has room for.
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    struct TBatch;
    class TBridge;
    struct TPortState {
        TTileState State = TTileState::Idle;
        bool Present = false;
        bool Probing = false;
        std::chrono::steady_clock::time_point LastProbe, LastAnswer;
        bool AnsweredSinceRun = false;
    };

    void BuildLayout();
    void LoadChoices();
    void SaveChoices();
    void PortTicked(QListWidgetItem *Item);
    void LayOutTiles();
    void PlaceTiles();
    std::vector<std::string> TickedPorts() const;
    int32_t ChosenMode() const;
    TRunOptions ChosenOptions() const;
    bool ReadSetAfresh(std::string &Bytes);
    // The table at Path checked on the set Base with its journal; null, with
    // its findings or the reason shown, when it cannot be used.
    std::unique_ptr<TUnitsBatch> OpenUnits(const QString &Path, const std::string &Base);
    bool UsesUnits() const;
    // The rows of Units' table still free, with those the window's runs hold.
    void ShowUnitsLeft(TUnitsBatch &Units);
    bool OpenAuditLog();
    // Runs on Ports as one batch; Automatic ones leave their tile waiting for the device to go.
    bool StartRuns(const std::vector<std::string> &Ports, bool Automatic);
    void StartAutomatically(const std::string &Port);
    void StartProbe(const std::string &Port);
    void Tick();
    void Finished(TBatch *Batch, size_t Index, const TPortRecord &Record);
    void BatchDone(TBatch *Batch);
    void UpdateButtons();

    std::unique_ptr<TStationDialogs> Dialogs;
    TStationPlaces Places;
    std::unique_ptr<TChildLauncher> Launcher;

    QLineEdit *SetName = nullptr;
    QLabel *SetHash = nullptr;
    QPushButton *SetButton = nullptr;
    QComboBox *Mode = nullptr;
    QCheckBox *Fast = nullptr;
    QLineEdit *ReadFolder = nullptr;
    QPushButton *ReadFolderButton = nullptr;
    QLabel *LogLabel = nullptr;
    QLineEdit *UnitsName = nullptr;
    QPushButton *UnitsButton = nullptr;
    QPushButton *NoUnitsButton = nullptr;
    QLabel *UnitsLeftLabel = nullptr;
    QListWidget *Ports = nullptr;
    QPushButton *Start = nullptr;
    QPushButton *Stop = nullptr;
    QPushButton *Automatic = nullptr;
    QPushButton *AuditButton = nullptr;
    QWidget *TileArea = nullptr;
    QScrollArea *TileScroll = nullptr;
    QGridLayout *TileGrid = nullptr;
    QTimer *Ticker = nullptr;
    QTimer *Clock = nullptr;

    QString SetPath;
    QString ChosenLog; // empty: the default
    QString UnitsPath; // empty: every run programs the set itself
    // Batches whose journal did not take a programmed unit: they keep that
    // row held while the window lasts, so no other device gets its values.
    std::vector<std::unique_ptr<TUnitsBatch>> KeptUnits;
    std::map<std::string, TSerialPortInfo> Known; // by port name, as last listed
    std::map<std::string, TPortState> PortStates;
    std::map<std::string, TStationTile *> TileOf;
    std::vector<std::unique_ptr<TBatch>> Batches;
    std::unique_ptr<TAuditLog> Audit; // open while its path is AuditPath
    std::string AuditPath;
    bool CloseWhenStopped = false;
    bool Loading = false;
    int AutoStarts = 0;
};

// A path as the file routines and the runs take it (the system's 8-bit
// encoding, native separators), and back.
std::string LocalPath(const QString &Path);
QString FromLocal(const std::string &Path);

// The tile's words for a record's result ("OK", "Brak odpowiedzi", ...), and whether it is a pass.
QString ResultWords(const TPortRecord &Record, bool MayOpen);
