#include "UMain.h"
#include "UMainTexts.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
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

bool TQtDialogs::Ask(QWidget *Parent, const QString &Text, const QString &Caption)
{
    QMessageBox Box(QMessageBox::NoIcon, Caption, Text, QMessageBox::Yes | QMessageBox::No, Parent);
    Box.button(QMessageBox::Yes)->setText(QString::fromUtf8(ButtonYes));
    Box.button(QMessageBox::No)->setText(QString::fromUtf8(ButtonNo));
    Box.setDefaultButton(QMessageBox::Yes);
    Box.setEscapeButton(QMessageBox::No);
    return Box.exec() == QMessageBox::Yes;
}

void TQtDialogs::Inform(QWidget *Parent, const QString &Text, const QString &Caption)
{
    QMessageBox Box(QMessageBox::NoIcon, Caption, Text, QMessageBox::Ok, Parent);
    Box.button(QMessageBox::Ok)->setText(QString::fromUtf8(ButtonOk));
    Box.exec();
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
