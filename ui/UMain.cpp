#include "UMain.h"

#include "UIcon.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <cstdlib>
#include <unordered_map>

TFMain *FMain = nullptr;

namespace {

template <typename T>
T *Direct(const TForm &Form, const char *Name)
{
    T *Control = Form.Control<T>(Name);
    if (Control == nullptr) {
        std::fprintf(stderr, "The window has no control %s\n", Name);
        std::abort();
    }
    return Control;
}

// The one local file a drag carries; empty for anything else (several
// files, a folder, text, an address on the web).
QString DraggedFile(const QMimeData *Data)
{
    if (Data == nullptr || !Data->hasUrls())
        return {};
    const QList<QUrl> Urls = Data->urls();
    if (Urls.size() != 1 || !Urls.front().isLocalFile())
        return {};
    const QString Path = Urls.front().toLocalFile();
    return QFileInfo(Path).isDir() ? QString() : Path;
}

} // namespace

TFMain::TFMain(std::unique_ptr<TDialogs> GivenDialogs, const std::string &Folder)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      Dialogs(GivenDialogs ? std::move(GivenDialogs) : std::make_unique<TQtDialogs>()),
      FixedFolder(Folder)
{
    const std::unordered_map<std::string, THandler> Handlers = {
        {"Button1Click", [this] { Button1Click(); }}, {"Button2Click", [this] { Button2Click(); }},
        {"Button3Click", [this] { Button3Click(); }}, {"Button4Click", [this] { Button4Click(); }},
        {"Button5Click", [this] { Button5Click(); }}, {"Button6Click", [this] { Button6Click(); }},
        {"Button7Click", [this] { Button7Click(); }}, {"Button8Click", [this] { Button8Click(); }},
        {"Button9Click", [this] { Button9Click(); }}, {"Edit3Change", [this] { Edit3Change(); }},
        {"Edit6Change", [this] { Edit6Change(); }},   {"Edit9Change", [this] { Edit9Change(); }},
        {"Timer1Timer", [this] { Timer1Timer(); }},
    };
    FormTree = std::make_unique<TForm>(this, Handlers);

    Timer1 = Direct<QTimer>(*FormTree, "Timer1");

    setWindowIcon(ProgramIcon());
    // Edit fields take dropped text themselves; a dropped file is the
    // window's wherever it lands, so the window sees drags first.
    setAcceptDrops(true);
    QApplication::instance()->installEventFilter(this);

    FMain = this;
    FormCreate();
}

TFMain::~TFMain()
{
    FinishRunAtExit();
    if (FMain == this)
        FMain = nullptr;
}

QPushButton *TFMain::Button8() const
{
    return Direct<QPushButton>(*FormTree, "Button8");
}

QPushButton *TFMain::Button9() const
{
    return Direct<QPushButton>(*FormTree, "Button9");
}

QPushButton *TFMain::Button10() const
{
    return Direct<QPushButton>(*FormTree, "Button10");
}

QProgressBar *TFMain::ProgressBar1() const
{
    return Direct<QProgressBar>(*FormTree, "ProgressBar1");
}

QPlainTextEdit *TFMain::Memo1() const
{
    return Direct<QPlainTextEdit>(*FormTree, "Memo1");
}

QObject *TFMain::FindControl(std::string_view Name) const
{
    return FormTree->FindControl(Name);
}

void TFMain::closeEvent(QCloseEvent *Event)
{
    if (!FormCloseQuery()) {
        Event->ignore();
        return;
    }
    FormClose();
    Event->accept();
}

void TFMain::showEvent(QShowEvent *Event)
{
    QWidget::showEvent(Event);
    if (Centred)
        return;
    Centred = true;
    if (const QScreen *Screen = screen()) {
        QRect Frame = frameGeometry();
        Frame.moveCenter(Screen->availableGeometry().center());
        move(Frame.topLeft());
    }
}

bool TFMain::eventFilter(QObject *Watched, QEvent *Event)
{
    const QEvent::Type Type = Event->type();
    if (Type != QEvent::DragEnter && Type != QEvent::DragMove && Type != QEvent::Drop)
        return QWidget::eventFilter(Watched, Event);
    auto *Target = qobject_cast<QWidget *>(Watched);
    if (Target == nullptr || Target->window() != this)
        return QWidget::eventFilter(Watched, Event);
    auto *Drag = static_cast<QDropEvent *>(Event);
    // Text dragged between edit fields stays theirs; files and addresses
    // never become text in a field.
    if (Drag->mimeData() == nullptr || !Drag->mimeData()->hasUrls())
        return QWidget::eventFilter(Watched, Event);
    const QString Path = DraggedFile(Drag->mimeData());
    if (Path.isEmpty()) {
        Drag->ignore();
        return true;
    }
    Drag->acceptProposedAction();
    // Opened after the drop has ended: a message box inside it would hold up
    // the program the file was dragged from.
    if (Type == QEvent::Drop)
        QMetaObject::invokeMethod(this, [this, Path] { OpenChosenFile(Path); }, Qt::QueuedConnection);
    return true;
}
