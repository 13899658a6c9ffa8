// The station window's units table: chosen beside the set for "Programuj",
// checked on that set when chosen and again when runs start; the batch and
// its journal are the engine's (UUnitsBatch.h), as program --units uses them.
#include "UStationBatch.h"

#include "UStationTexts.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstring>

bool TQtStationDialogs::ChooseUnits(QWidget *Parent, const QString &Folder, QString &Chosen)
{
    Chosen = QFileDialog::getOpenFileName(Parent, QString(), Folder,
                                          QStringLiteral("Tabele jednostek (*.csv *.txt);;Wszystkie (*)"));
    return !Chosen.isEmpty();
}

void TFStation::ChooseUnits()
{
    QString Chosen;
    const QString Folder = UnitsPath.isEmpty() ? QFileInfo(SetPath).path() : QFileInfo(UnitsPath).path();
    if (Dialogs->ChooseUnits(this, Folder, Chosen)) {
        UseUnits(Chosen);
        SaveChoices();
    }
}

bool TFStation::UseUnits(const QString &Path)
{
    std::string Base;
    if (SetPath.isEmpty()) {
        Dialogs->Inform(this, QStringLiteral("Nie wybrano zestawu."));
        DropUnits();
        return false;
    }
    std::unique_ptr<TUnitsBatch> Units;
    if (!ReadSetAfresh(Base) || !(Units = OpenUnits(Path, Base))) {
        DropUnits();
        return false;
    }
    UnitsPath = Path;
    UnitsName->setText(QFileInfo(Path).fileName());
    UnitsName->setToolTip(Path);
    ShowUnitsLeft(*Units);
    UpdateButtons();
    return true;
}

void TFStation::DropUnits()
{
    UnitsPath.clear();
    UnitsName->clear();
    UnitsName->setToolTip({});
    UnitsLeftLabel->clear();
    UpdateButtons();
}

std::unique_ptr<TUnitsBatch> TFStation::OpenUnits(const QString &Path, const std::string &Base)
{
    auto Set = std::make_unique<TSettings>();
    std::memcpy(Set.get(), Base.data(), sizeof(TSettings));
    auto Units = std::make_unique<TUnitsBatch>();
    std::string Error;
    if (Units->Open(LocalPath(Path), TCsvOptions{}, *Set, LocalPath(SetPath), Error))
        return Units;
    const TUnitsTable &Table = Units->Table();
    if (Table.Findings.empty()) {
        Dialogs->Inform(this, QString::fromStdString(Error));
        return nullptr;
    }
    // Every finding with its place, as the CLI prints them: a table has many rows to mend at once.
    QStringList Lines;
    for (const TUnitsFinding &F : Table.Findings)
        Lines << QStringLiteral("%1: %2").arg(QFileInfo(Path).fileName(),
                                              QString::fromStdString(UnitsFindingText(Table, F)));
    auto *Text = new QPlainTextEdit;
    Text->setReadOnly(true);
    Text->setObjectName(QStringLiteral("UnitsFindings"));
    Text->setPlainText(Lines.join(QLatin1Char('\n')));
    Text->resize(760, 360);
    Dialogs->ShowWidget(this, Text, QStringLiteral("Tabela jednostek ma błędy: %1").arg(Path));
    return nullptr;
}

bool TFStation::UsesUnits() const
{
    return !UnitsPath.isEmpty() && ChosenMode() == RunModeProgram;
}

void TFStation::ShowUnitsLeft(TUnitsBatch &Units)
{
    TUnitsCount Count = Units.Count();
    // Rows held by the window's other batches are not free either.
    for (const auto &Batch : Batches)
        if (Batch->Units && Batch->Units.get() != &Units)
            Count.Held += Batch->Units->Count().Held;
    for (const auto &Kept : KeptUnits)
        Count.Held += Kept->Count().Held;
    // Left() is unsigned: a table edited since may have fewer rows than are held.
    const size_t Left = Count.Used + Count.Held >= Count.Rows ? 0 : Count.Left();
    UnitsLeftLabel->setText(QStringLiteral("Pozostało jednostek: %1 z %2").arg(Left).arg(Count.Rows));
}

QString TFStation::UnitsLeft() const
{
    return UnitsLeftLabel->text();
}
