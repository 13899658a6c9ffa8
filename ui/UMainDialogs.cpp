#include "UMain.h"
#include "UMainTexts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSpacerItem>
#include <QTranslator>

namespace {

bool RunFileDialog(QWidget *Parent, const QString &Folder, bool Save, QString &Chosen)
{
    QFileDialog Dialog(Parent, QString(), Folder);
    // Any name may be typed into the open dialog, and the save dialog asks
    // nothing about replacing: the window asks its own question.
    Dialog.setFileMode(QFileDialog::AnyFile);
    Dialog.setAcceptMode(Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (Save)
        Dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
        return false;
    Chosen = Dialog.selectedFiles().constFirst();
    return true;
}

} // namespace

bool TQtDialogs::GetOpenFileName(QWidget *Parent, const QString &Folder, QString &Chosen)
{
    return RunFileDialog(Parent, Folder, false, Chosen);
}

bool TQtDialogs::GetSaveFileName(QWidget *Parent, const QString &Folder, QString &Chosen)
{
    return RunFileDialog(Parent, Folder, true, Chosen);
}

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget *Parent, const QString &Text, const QString &Caption,
                                            bool Question)
{
    auto Box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, Caption, Text,
                                             Question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, Parent);
    if (Question) {
        Box->button(QMessageBox::Yes)->setText(QString::fromUtf8(ButtonYes));
        Box->button(QMessageBox::No)->setText(QString::fromUtf8(ButtonNo));
        Box->setDefaultButton(QMessageBox::Yes);
        Box->setEscapeButton(QMessageBox::No);
    } else {
        Box->button(QMessageBox::Ok)->setText(QString::fromUtf8(ButtonOk));
    }
    // Some styles put their own icons on the standard buttons.
    for (QAbstractButton *Button : Box->buttons())
        Button->setIcon(QIcon());
    // The box sizes itself to its text; the window manager's title bar also
    // needs room for the caption beside its icon and buttons. A spacer is the
    // one thing its fixed size honours.
    QFont TitleFont = QApplication::font("QMdiSubWindowTitleBar");
    TitleFont.setBold(true);
    const int Wanted = QFontMetrics(TitleFont).horizontalAdvance(Caption) + MessageBoxTitleReserve;
    if (auto *Grid = qobject_cast<QGridLayout *>(Box->layout()))
        Grid->addItem(new QSpacerItem(Wanted, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), Grid->rowCount(), 0, 1,
                      Grid->columnCount());
    return Box;
}

bool TQtDialogs::Ask(QWidget *Parent, const QString &Text, const QString &Caption)
{
    return MakeMessageBox(Parent, Text, Caption, true)->exec() == QMessageBox::Yes;
}

void TQtDialogs::Inform(QWidget *Parent, const QString &Text, const QString &Caption)
{
    MakeMessageBox(Parent, Text, Caption, false)->exec();
}

void UsePolishLocale()
{
    // Qt takes the system's locale from the environment once, on first use;
    // the C library's locale is left as the environment sets it.
    const bool HadAll = qEnvironmentVariableIsSet("LC_ALL");
    const QByteArray OldAll = qgetenv("LC_ALL");
    qputenv("LC_ALL", "pl_PL.UTF-8");
    (void)QLocale::system();
    if (HadAll)
        qputenv("LC_ALL", OldAll);
    else
        qunsetenv("LC_ALL");
    QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
}

void InstallPolishTranslation()
{
    auto *Translator = new QTranslator(QCoreApplication::instance());
    const QLocale Polish(QLocale::Polish);
    if (Translator->load(Polish, "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        Translator->load(Polish, "qtbase", "_", QCoreApplication::applicationDirPath() + "/translations"))
        QCoreApplication::installTranslator(Translator);
    else
        delete Translator;
}
