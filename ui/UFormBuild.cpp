// Builds the declared component tree (UFormDecl*.cpp) into widgets.
#include "UForm.h"
#include "UFormData.h"
#include "UFormDecl.h"
#include "UFormStatusPanel.h"
#include "UFormStyle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <map>
#include <utility>

namespace {

// QGroupBox prepares its whole style option for every event it gets, though
// it uses it only for hovering, keys and shortcuts; a group box gets several
// events for each of its controls and for being built and shown.
class TGroupBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    bool event(QEvent *Event) override
    {
        switch (Event->type()) {
        case QEvent::ChildAdded:
        case QEvent::ChildPolished:
        case QEvent::ChildRemoved:
        case QEvent::Polish:
        case QEvent::PolishRequest:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::ShowToParent:
        case QEvent::Hide:
        case QEvent::HideToParent:
        case QEvent::StyleChange:
        case QEvent::FontChange:
        case QEvent::PaletteChange:
        case QEvent::EnabledChange:
        case QEvent::ParentChange:
        case QEvent::ParentAboutToChange:
        case QEvent::ZOrderChange:
        case QEvent::LayoutRequest:
        case QEvent::UpdateRequest:
        case QEvent::Paint: return QWidget::event(Event);
        default: return QGroupBox::event(Event);
        }
    }
};

// A page of the client area's tab set: makes its controls just before it is
// first shown, so that they are shown with it.
class TPageWidget : public QWidget {
public:
    std::function<void()> Make;

    void setVisible(bool Visible) override
    {
        if (Visible && Make)
            std::exchange(Make, nullptr)();
        QWidget::setVisible(Visible);
    }
};

} // namespace

class TFormBuilder {
public:
    explicit TFormBuilder(TFormData &D) : D(D) {}

    // Indexes the whole declaration, then makes the client area, its tab
    // set with empty pages, and the controls of the page that shows.
    void Build(const std::shared_ptr<TFormData> &Self, QWidget *Client,
               const std::unordered_map<std::string, THandler> &Handlers)
    {
        D.Client = Client;
        D.Handlers = Handlers;
        D.Declaration = FormDeclaration();
        std::map<TNodeKind, int> Counters;
        for (const TNode &Node : D.Declaration)
            IndexNode(Node, -1, -1, -1, Counters);
        for (int At = 0; At < int(D.Entries.size()); ++At)
            InitPendingState(D, At);

        const QFont Font(QStringLiteral("Arial"), 8);
        // Controls that inherit the application's font share it; resolving
        // a font of the window's own in every one of them doubles start-up.
        if (QApplication::font() != Font)
            QApplication::setFont(Font);
        Client->setFont(Font);
        Client->setFixedSize(ClientWidth, ClientHeight);
        QRect Previous;
        for (const TNode &Node : D.Declaration)
            Add(Node, Client, Previous);

        for (int K = 0; K < int(D.Pages.size()); ++K) {
            auto *Page = static_cast<TPageWidget *>(D.Entries[D.Pages[K].Entry].Object);
            // The pages belong to the client area, which may outlive the form.
            Page->Make = [Form = std::weak_ptr<TFormData>(Self), K] {
                if (const std::shared_ptr<TFormData> Alive = Form.lock())
                    MakeDeferredPage(*Alive, K);
            };
            if (!Page->isHidden())
                MakeDeferredPage(D, K);
        }
    }

    void MakePage(int K)
    {
        const TFormEntry &E = D.Entries[D.Pages[K].Entry];
        QRect Inner;
        for (const TNode &Child : E.Node->Children)
            Add(Child, static_cast<QWidget *>(E.Object), Inner);
    }

private:
    TFormData &D;

    // Only the tab set on the client area makes its pages' controls late.
    static bool DefersPages(const TFormEntry &E) { return E.Node->Kind == TNodeKind::PageControl && E.Parent == -1; }

    // Names follow declaration order whatever order the pages are made in.
    int IndexNode(const TNode &Node, int Parent, int Page, int ChildrenPage, std::map<TNodeKind, int> &Counters)
    {
        const int Number = Node.Number != 0 ? Node.Number : ++Counters[Node.Kind];
        const int At = int(D.Entries.size());
        TFormEntry &E = D.Entries.emplace_back();
        E.Name = NodeKindWord(Node.Kind) + std::to_string(Number);
        E.Node = &Node;
        E.Page = Page;
        E.Parent = Parent;
        if (Node.Kind == TNodeKind::Edit && !Node.Handler.empty()) {
            const auto Found = D.Handlers.find(Node.Handler);
            if (Found != D.Handlers.end())
                E.Handler = Found->second;
        }
        const bool Fresh = D.Index.emplace(E.Name, At).second;
        Q_ASSERT_X(Fresh, "TForm", "two components of one name");
        (void)Fresh;
        D.NodeEntry.emplace(&Node, At);
        if (Node.Kind == TNodeKind::RadioButton)
            D.RadioGroups[Parent].push_back(At);
        if (Page >= 0)
            D.Pages[Page].Members.push_back(At);

        const bool Deferring = DefersPages(E);
        for (const TNode &Child : Node.Children) {
            if (Deferring) {
                const int K = int(D.Pages.size());
                D.Pages.emplace_back();
                D.Pages[K].Entry = IndexNode(Child, At, Page, K, Counters);
            } else {
                IndexNode(Child, At, ChildrenPage, ChildrenPage, Counters);
            }
        }
        return At;
    }

    void Register(QObject *Object, const TNode &Node)
    {
        TFormEntry &E = D.Entries[D.NodeEntry.at(&Node)];
        Object->setObjectName(QString::fromStdString(E.Name));
        E.Object = Object;
    }

    void Bind(const TNode &Node, const std::function<void(const THandler &)> &Connect)
    {
        if (Node.Handler.empty())
            return;
        const auto Found = D.Handlers.find(Node.Handler);
        if (Found == D.Handlers.end()) {
            qWarning("TForm: no handler %s", Node.Handler.c_str());
            return;
        }
        Connect(Found->second);
    }

    static QString Text(const std::string &Utf8) { return QString::fromUtf8(Utf8.data(), qsizetype(Utf8.size())); }

    // Places a control by the rules of TNode: flow after the previous
    // sibling, width from the caption, short controls centred in the row.
    void Place(QWidget *Widget, const TNode &Node, QRect &Previous)
    {
        QSize Hint;
        if (Node.W <= 0 || Node.H <= 0)
            Hint = SizeHint(Widget, Node);
        const int W = Node.W > 0 ? Node.W : Hint.width();
        const int H = Node.H > 0 ? Node.H : Hint.height();
        const int X = Node.X >= 0 ? Node.X : Previous.right() + 1 - Node.X;
        const int Y = Node.H > 0 ? Node.Y : Node.Y + std::max(0, (RowHeight - H) / 2);
        Widget->setGeometry(X, Y, W, H);
        Previous = Widget->geometry();
    }

    // Controls of one kind and caption share font and style, so their size
    // hints agree; the same captions recur hundreds of times and measuring
    // each one again was a large part of the start-up.
    QSize SizeHint(QWidget *Widget, const TNode &Node)
    {
        switch (Node.Kind) {
        case TNodeKind::Label:
        case TNodeKind::CheckBox:
        case TNodeKind::RadioButton:
        case TNodeKind::Edit:
        case TNodeKind::SpinEdit:
        case TNodeKind::Button: break;
        default: return Widget->sizeHint();
        }
        // An edit's hint does not depend on its text.
        const bool Captioned = Node.Kind != TNodeKind::Edit && Node.Kind != TNodeKind::SpinEdit;
        const auto [At, Fresh] = D.Hints.try_emplace({Node.Kind, Captioned ? Node.Caption : std::string()});
        if (Fresh)
            At->second = Widget->sizeHint();
        return At->second;
    }

    void Add(const TNode &Node, QWidget *Parent, QRect &Previous)
    {
        QWidget *Widget = nullptr;
        switch (Node.Kind) {
        case TNodeKind::PageControl: {
            auto *Tabs = new QTabWidget(Parent);
            Register(Tabs, Node);
            if (Node.ButtonStyle) {
                Tabs->setDocumentMode(true);
                Tabs->tabBar()->setDrawBase(false);
                Tabs->tabBar()->setStyle(ButtonTabStyle());
            } else {
                Tabs->tabBar()->setStyle(CompactTabStyle());
                // A long user identifier shortens the tabs rather than hiding one behind arrows.
                Tabs->setUsesScrollButtons(false);
                Tabs->setElideMode(Qt::ElideRight);
            }
            Place(Tabs, Node, Previous);
            const bool Deferring = DefersPages(D.Entries[D.NodeEntry.at(&Node)]);
            for (const TNode &PageNode : Node.Children) {
                QWidget *Page = Deferring ? new TPageWidget : new QWidget;
                // Each insertion lays out every tab there is; with no texts
                // yet that costs little, and the texts set later lay out nothing
                // until the tab row is shown.
                Tabs->addTab(Page, QString());
                Register(Page, PageNode);
                if (Deferring)
                    continue;
                QRect Inner;
                for (const TNode &Child : PageNode.Children)
                    Add(Child, Page, Inner);
            }
            for (int At = 0; At < int(Node.Children.size()); ++At)
                Tabs->setTabText(At, Text(Node.Children[At].Caption));
            return;
        }
        case TNodeKind::TabSheet:
            Q_ASSERT_X(false, "TForm", "a page outside a tab set");
            return;
        case TNodeKind::GroupBox: {
            auto *Group = new TGroupBox(Text(Node.Caption), Parent);
            Group->setStyle(GroupBoxStyle());
            Register(Group, Node);
            Place(Group, Node, Previous);
            QRect Inner;
            for (const TNode &Child : Node.Children)
                Add(Child, Group, Inner);
            return;
        }
        case TNodeKind::Label:
            Widget = new QLabel(Text(Node.Caption), Parent);
            break;
        case TNodeKind::Edit: {
            auto *Edit = new QLineEdit(Parent);
            Edit->setMaxLength(Node.MaxLength);
            if (!Node.Caption.empty())
                Edit->setText(Text(Node.Caption));
            Bind(Node, [Edit](const THandler &H) { QObject::connect(Edit, &QLineEdit::textChanged, Edit, [H] { H(); }); });
            Widget = Edit;
            break;
        }
        case TNodeKind::CheckBox: {
            auto *Box = new QCheckBox(Text(Node.Caption), Parent);
            Box->setChecked(Node.Checked);
            Widget = Box;
            break;
        }
        case TNodeKind::RadioButton: {
            auto *Radio = new QRadioButton(Text(Node.Caption), Parent);
            Radio->setChecked(Node.Checked);
            Widget = Radio;
            break;
        }
        case TNodeKind::SpinEdit:
            Widget = new TSpinEdit(Node.Min, Node.Max, Node.Value, Parent);
            break;
        case TNodeKind::ComboBox: {
            auto *Combo = new QComboBox(Parent);
            Combo->setEditable(false);
            for (const std::string &Item : Node.Items)
                Combo->addItem(Text(Item));
            Combo->setCurrentIndex(Node.Value);
            Widget = Combo;
            break;
        }
        case TNodeKind::Button: {
            auto *Button = new QPushButton(Text(Node.Caption), Parent);
            Button->setAutoDefault(false);
            Bind(Node, [Button](const THandler &H) { QObject::connect(Button, &QPushButton::clicked, Button, [H] { H(); }); });
            Widget = Button;
            break;
        }
        case TNodeKind::ProgressBar: {
            auto *Bar = new QProgressBar(Parent);
            Bar->setRange(Node.Min, Node.Max);
            Bar->setValue(Node.Min);
            Bar->setTextVisible(false);
            Widget = Bar;
            break;
        }
        case TNodeKind::Memo: {
            auto *Memo = new QPlainTextEdit(Parent);
            Memo->setReadOnly(true);
            Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            QFont Font(QStringLiteral("Arial"), 8);
            Font.setBold(Node.Bold);
            Memo->setFont(Font);
            QPalette Colours = Memo->palette();
            Colours.setColor(QPalette::Base, QColor(255, 255, 225));
            Colours.setColor(QPalette::Text, Qt::black);
            Memo->setPalette(Colours);
            Widget = Memo;
            break;
        }
        case TNodeKind::StatusBar: {
            auto *Bar = new QStatusBar(Parent);
            Bar->setSizeGripEnabled(false);
            auto *Panel = new TStatusPanel(Bar);
            Panel->setFixedWidth(250);
            Bar->addWidget(Panel);
            D.StatusPanel = Panel;
            Widget = Bar;
            break;
        }
        case TNodeKind::Timer: {
            auto *Timer = new QTimer(Parent);
            Timer->setInterval(Node.Value);
            // Timer1 counts 10 ms quiet ticks to end a reply; a coarse timer may
            // fire 5% late and, on Windows, on the 15.6 ms system tick.
            Timer->setTimerType(Qt::PreciseTimer);
            Timer->setSingleShot(false);
            Register(Timer, Node);
            Bind(Node, [Timer](const THandler &H) { QObject::connect(Timer, &QTimer::timeout, Timer, [H] { H(); }); });
            return;
        }
        }
        Register(Widget, Node);
        if (Node.Disabled)
            Widget->setEnabled(false);
        if (Node.Hidden)
            Widget->setHidden(true);
        Place(Widget, Node, Previous);
    }
};

TForm::TForm(QWidget *Client, const std::unordered_map<std::string, THandler> &Handlers)
    : D(std::make_shared<TFormData>())
{
    TFormBuilder(*D).Build(D, Client, Handlers);
}

TForm::~TForm() = default;

void MakeDeferredPage(TFormData &D, int K)
{
    TDeferredPage &Page = D.Pages[K];
    if (Page.Made)
        return;
    Page.Made = true;
    TFormBuilder(D).MakePage(K);
    for (int Member : Page.Members)
        ApplyPendingState(D.Entries[Member]);
}

QObject *TForm::FindControl(std::string_view Name) const
{
    const auto Found = D->Index.find(std::string(Name));
    if (Found == D->Index.end())
        return nullptr;
    TFormEntry &E = D->Entries[Found->second];
    if (E.Object == nullptr && E.Page >= 0)
        MakeDeferredPage(*D, E.Page);
    return E.Object;
}

bool TForm::Made(std::string_view Name) const
{
    const auto Found = D->Index.find(std::string(Name));
    return Found != D->Index.end() && D->Entries[Found->second].Object != nullptr;
}

const std::vector<QObject *> &TForm::Components() const
{
    for (int K = 0; K < int(D->Pages.size()); ++K)
        MakeDeferredPage(*D, K);
    D->Ordered.clear();
    for (const TFormEntry &E : D->Entries)
        D->Ordered.push_back(E.Object);
    return D->Ordered;
}

void TForm::ShowFirstPages()
{
    for (const TFormEntry &E : D->Entries)
        if (auto *Tabs = qobject_cast<QTabWidget *>(E.Object))
            Tabs->setCurrentIndex(0);
}

void TForm::SetStatusText(const QString &Text)
{
    if (D->StatusPanel)
        D->StatusPanel->SetFullText(Text);
}

QString TForm::StatusText() const
{
    return D->StatusPanel ? D->StatusPanel->FullText() : QString();
}

static QTabWidget *OwnerTabs(const QWidget *Page)
{
    // A page sits in the tab set's stacked widget.
    for (QWidget *Up = Page ? Page->parentWidget() : nullptr; Up; Up = Up->parentWidget())
        if (auto *Tabs = qobject_cast<QTabWidget *>(Up))
            return Tabs;
    return nullptr;
}

void SetPageCaption(QWidget *Page, const QString &Caption)
{
    if (QTabWidget *Tabs = OwnerTabs(Page)) {
        const int At = Tabs->indexOf(Page);
        if (At >= 0)
            Tabs->setTabText(At, Caption);
    }
}

QString PageCaption(const QWidget *Page)
{
    QTabWidget *Tabs = OwnerTabs(Page);
    const int At = Tabs ? Tabs->indexOf(const_cast<QWidget *>(Page)) : -1;
    return At >= 0 ? Tabs->tabText(At) : QString();
}

void SetButtonChecked(QAbstractButton *Button, bool Checked)
{
    if (!Button || Button->isChecked() == Checked)
        return;
    // An auto-exclusive button refuses to be cleared while it is its group's selection.
    const bool Exclusive = Button->autoExclusive();
    if (!Checked && Exclusive)
        Button->setAutoExclusive(false);
    Button->setChecked(Checked);
    if (!Checked && Exclusive)
        Button->setAutoExclusive(true);
}
