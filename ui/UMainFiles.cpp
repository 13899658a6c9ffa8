#include "UMain.h"
#include "UMainTexts.h"

#include "UDecls.h"
#include "UFiles.h"
#include "UFolders.h"
#include "UPortNames.h"
#include "UProcs.h"

#include <QFile>

namespace {

constexpr int32_t PortItemCount = 1 + TComPorts::Window; // "BRAK", "COM1" .. "COM8"

QString Utf(const char *Text)
{
    return QString::fromUtf8(Text);
}

QString ShownName(const TFileName &Name)
{
    return QFile::decodeName(QByteArray(Name.Chars, Name.Len()));
}

// Whatever folder the dialog was in, only the bare name counts.
TFileName ChosenName(const QString &Chosen)
{
    TFileName Name{};
    Name.Assign(BareFileName(QFile::encodeName(Chosen).toStdString()));
    return Name;
}

} // namespace

void TFMain::FormCreate()
{
    setWindowTitle(Utf(TextCaptionBase) + QString::number(MajorVersion) + "." + QString::number(MinorVersion));
    ProgramDir.Assign(FixedFolder.empty() ? ProgramFolder() : FixedFolder);
    DialogFolder = QFile::decodeName(QByteArray::fromStdString(SettingsFolder()));

    int32_t Stored = 0;
    if (!ReadWholeFile(PortFilePath(), &Stored, sizeof Stored))
        Stored = 0;
    PortIndex = Stored;
    FormTree->SetItemIndex("ComboBox3", PortIndex >= 0 && PortIndex < PortItemCount ? PortIndex : -1);

    NewSet();
}

bool TFMain::FormCloseQuery()
{
    if (RunInProgress)
        return false;
    return Dialogs->Ask(this, Utf(TextAskClose), Utf(CaptionConfirm));
}

void TFMain::FormClose()
{
    PortIndex = FormTree->ItemIndex("ComboBox3");
    WriteWholeFile(PortFilePath(), &PortIndex, sizeof PortIndex);
}

void TFMain::NewSet()
{
    SetDefaultSettings();
    SettingsToForm();
    FormTree->ShowFirstPages();
    FormTree->SetStatusText(ShownName(CurrentFileName));
}

void TFMain::Button1Click()
{
    if (Dialogs->Ask(this, Utf(TextAskNewSet), Utf(CaptionConfirm)))
        NewSet();
}

void TFMain::Button2Click()
{
    QString Chosen;
    if (!Dialogs->GetOpenFileName(this, DialogFolder, Chosen))
        return;
    OpenChosenFile(Chosen);
}

void TFMain::OpenStartFile(const QStringList &Arguments)
{
    if (Arguments.size() > 1)
        OpenChosenFile(Arguments.at(1));
}

void TFMain::OpenChosenFile(const QString &Chosen)
{
    const TFileName Name = ChosenName(Chosen);
    if (!FileExistsByName(SettingsFilePath(Name.View()))) {
        Dialogs->Inform(this, Utf(TextNoSuchFile), Utf(CaptionInformation));
        return;
    }
    CurrentFileName = Name;
    if (!ReadWholeFile(SettingsFilePath(CurrentFileName.View()), &Settings, SettingsSize)) {
        Dialogs->Inform(this, Utf(TextReadError), Utf(CaptionInformation));
        NewSet();
    }
    SettingsToForm();
    FormTree->SetStatusText(ShownName(CurrentFileName));
}

void TFMain::SaveCurrentFile()
{
    if (CurrentFileName.Empty())
        return;
    FormToSettings();
    if (!WriteWholeFile(SettingsFilePath(CurrentFileName.View()), &Settings, SettingsSize))
        Dialogs->Inform(this, Utf(TextWriteError), Utf(CaptionInformation));
}

void TFMain::Button3Click()
{
    if (CurrentFileName.Empty())
        Button4Click();
    else
        SaveCurrentFile();
}

void TFMain::Button4Click()
{
    QString Chosen;
    if (!Dialogs->GetSaveFileName(this, DialogFolder, Chosen))
        return;
    const TFileName Name = ChosenName(Chosen);
    if (FileExistsByName(SettingsFilePath(Name.View())) &&
        !Dialogs->Ask(this, Utf(TextAskReplace), Utf(CaptionConfirm)))
        return;
    CurrentFileName = Name;
    FormTree->SetStatusText(ShownName(CurrentFileName));
    SaveCurrentFile();
}
