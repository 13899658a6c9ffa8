// The main window FMain: the form-settings binding, start-up, closing, the
// file commands of PLIKI and the window's side of a programming or
// comparison run.
#pragma once

#include "UForm.h"
#include "URun.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

class QMessageBox;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

// Every dialog and message box of the window goes through this seam, so a
// test can answer them. Message boxes show no icon; only Yes counts as consent.
class TDialogs {
public:
    virtual ~TDialogs() = default;
    // False when cancelled; Chosen is the full path as the dialog gave it.
    virtual bool GetOpenFileName(QWidget *Parent, const QString &Folder, QString &Chosen) = 0;
    virtual bool GetSaveFileName(QWidget *Parent, const QString &Folder, QString &Chosen) = 0;
    // Question with "Tak" and "Nie"; true on "Tak".
    virtual bool Ask(QWidget *Parent, const QString &Text, const QString &Caption) = 0;
    // Information with "OK".
    virtual void Inform(QWidget *Parent, const QString &Text, const QString &Caption) = 0;
};

// The system's dialogs and Qt message boxes.
class TQtDialogs : public TDialogs {
public:
    bool GetOpenFileName(QWidget *Parent, const QString &Folder, QString &Chosen) override;
    bool GetSaveFileName(QWidget *Parent, const QString &Folder, QString &Chosen) override;
    bool Ask(QWidget *Parent, const QString &Text, const QString &Caption) override;
    void Inform(QWidget *Parent, const QString &Text, const QString &Caption) override;
};

class TFMain : public QWidget, public TRunFrontEnd {
public:
    // Dialogs null: the system's. Folder empty: ProgramDir is ProgramFolder();
    // otherwise Folder, which must end in a separator.
    explicit TFMain(std::unique_ptr<TDialogs> Dialogs = nullptr, const std::string &Folder = {});
    ~TFMain() override;
    TFMain(const TFMain &) = delete;
    TFMain &operator=(const TFMain &) = delete;

    TForm &Form() { return *FormTree; }

    // Binding (all on the UI thread).
    QObject *FindControl(std::string_view Name) const;
    void SetTabCaption(int N, const QString &Text);
    void SetEditText(int N, const QString &Value);
    QString GetEditText(int N) const;
    void SetRadioChecked(int N, bool Checked);
    bool GetRadioChecked(int N) const;
    void SetCheckBoxChecked(int N, bool Checked);
    bool GetCheckBoxChecked(int N) const;
    void SetSpinValue(int N, int32_t Value);
    int32_t GetSpinValue(int N) const;
    void SettingsToForm();
    void FormToSettings();

    void Edit3Change();
    void Edit6Change();
    void Edit9Change();
    void Button5Click();
    void Button6Click();
    void Button7Click();

    // Start-up, closing and the file commands.
    void FormCreate();
    bool FormCloseQuery();
    void FormClose();
    void NewSet();
    void SaveCurrentFile();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    // A set named on the command line or dropped on the window, opened as
    // "Odczytaj..." opens the file chosen in its dialog.
    void OpenChosenFile(const QString &Chosen);
    // Arguments as QCoreApplication gives them: the first after the
    // program's name, if any, is opened; without one nothing happens.
    void OpenStartFile(const QStringList &Arguments);

    // The run.
    void Button8Click();
    void Button9Click();
    void Timer1Timer();

    // TRunFrontEnd, on the UI thread.
    void ClearLog() override;
    void AppendLine(const std::string &Line, bool Repaint) override;
    void TakeSettings() override;
    void ShowSettingsError(const std::string &Text) override;
    int32_t ChosenPort() override;
    void BeginRun() override;
    // TRunHost, called by the worker; each returns when the UI thread has done it.
    void ShowLine(const std::string &Line) override;
    void ShowProgress(int32_t Bytes) override;
    void RunFinished() override;

protected:
    void closeEvent(QCloseEvent *Event) override;
    void showEvent(QShowEvent *Event) override;
    // Drops of one file anywhere on the window, edit fields included.
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    void RetitleUser(int User, int IdentifierEdit);
    void HandOver(std::function<void()> Work);
    void FinishRunAtExit();

    std::unique_ptr<TDialogs> Dialogs;
    std::unique_ptr<TForm> FormTree;
    std::string FixedFolder;
    QString DialogFolder;
    bool Centred = false;

    // The run's controls on PROG, made with their page when first needed.
    QPushButton *Button8() const;
    QPushButton *Button9() const;
    QPushButton *Button10() const;
    QProgressBar *ProgressBar1() const;
    QPlainTextEdit *Memo1() const;
    QTimer *Timer1 = nullptr;

    // Hand-overs from the worker: Closing releases a worker that waits for a
    // UI thread that will not run its call any more.
    std::mutex HandOverLock;
    std::condition_variable HandOverDone;
    uint64_t HandOversPosted = 0;
    uint64_t HandOversRun = 0;
    bool Closing = false;
};

// The message box behind Ask (Question: "Tak" and "Nie") and Inform ("OK"),
// wide enough for its caption in a title bar that keeps
// MessageBoxTitleReserve pixels for the window manager's icon and buttons.
inline constexpr int MessageBoxTitleReserve = 150;
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget *Parent, const QString &Text, const QString &Caption,
                                            bool Question);

// The one main window, while it exists.
extern TFMain *FMain;

// Qt's own texts (file dialogs, box buttons) in Polish, like the rest of the
// window; from the system's translations or translations/ beside the program.
void InstallPolishTranslation();
// Polish dates, sizes and file types in the dialogs whatever the system's
// language; called before the application object is made.
void UsePolishLocale();
// The platform and its options where neither -platform nor QT_QPA_PLATFORM
// names one; called before the application object is made.
void ChoosePlatform();
