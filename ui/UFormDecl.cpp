// The window's top level and the tabs PLIKI, SIM, UŻYT and PROG.
#include "UFormDecl.h"

#include "UFields.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

const char *NodeKindWord(TNodeKind Kind)
{
    switch (Kind) {
    case TNodeKind::PageControl: return "PageControl";
    case TNodeKind::TabSheet: return "TabSheet";
    case TNodeKind::GroupBox: return "GroupBox";
    case TNodeKind::Label: return "Label";
    case TNodeKind::Edit: return "Edit";
    case TNodeKind::CheckBox: return "CheckBox";
    case TNodeKind::RadioButton: return "RadioButton";
    case TNodeKind::SpinEdit: return "SpinEdit";
    case TNodeKind::ComboBox: return "ComboBox";
    case TNodeKind::Button: return "Button";
    case TNodeKind::ProgressBar: return "ProgressBar";
    case TNodeKind::Memo: return "Memo";
    case TNodeKind::StatusBar: return "StatusBar";
    case TNodeKind::Timer: return "Timer";
    }
    return "";
}

namespace Decl {

static TNode Make(TNodeKind Kind, int Number, std::string Caption, int X, int Y, int W = 0, int H = 0)
{
    TNode N;
    N.Kind = Kind;
    N.Number = Number;
    N.Caption = std::move(Caption);
    N.X = X;
    N.Y = Y;
    N.W = W;
    N.H = H;
    return N;
}

TNode Page(int Number, std::string Caption, std::vector<TNode> Children)
{
    TNode N = Make(TNodeKind::TabSheet, Number, std::move(Caption), 0, 0);
    N.Children = std::move(Children);
    return N;
}

TNode Tabs(int Number, bool ButtonStyle, int X, int Y, int W, int H, std::vector<TNode> Pages)
{
    TNode N = Make(TNodeKind::PageControl, Number, {}, X, Y, W, H);
    N.ButtonStyle = ButtonStyle;
    N.Children = std::move(Pages);
    return N;
}

TNode Group(std::string Caption, int X, int Y, int W, int H, std::vector<TNode> Children)
{
    TNode N = Make(TNodeKind::GroupBox, 0, std::move(Caption), X, Y, W, H);
    N.Children = std::move(Children);
    return N;
}

TNode Label(std::string Caption, int X, int Y)
{
    return Make(TNodeKind::Label, 0, std::move(Caption), X, Y);
}

TNode Edit(int Number, int MaxLength, int X, int Y, int W)
{
    TNode N = Make(TNodeKind::Edit, Number, "Edit" + std::to_string(Number), X, Y, W);
    N.MaxLength = MaxLength;
    return N;
}

TNode Check(int Number, std::string Caption, int X, int Y)
{
    return Make(TNodeKind::CheckBox, Number, std::move(Caption), X, Y);
}

TNode Radio(int Number, std::string Caption, int X, int Y, bool Checked)
{
    TNode N = Make(TNodeKind::RadioButton, Number, std::move(Caption), X, Y);
    N.Checked = Checked;
    return N;
}

TNode Spin(int Number, int Value, int X, int Y)
{
    const TFieldDesc *F = FieldOfControl(TFieldKind::Number, Number);
    if (F == nullptr) {
        std::fprintf(stderr, "form: SpinEdit%d shows no field\n", Number);
        std::abort();
    }
    TNode N = Make(TNodeKind::SpinEdit, Number, {}, X, Y);
    N.Min = F->Min;
    N.Max = F->Max;
    N.Value = Value;
    return N;
}

TNode Combo(int Number, std::vector<std::string> Items, int X, int Y, int W)
{
    TNode N = Make(TNodeKind::ComboBox, Number, {}, X, Y, W);
    N.Items = std::move(Items);
    return N;
}

TNode Button(int Number, std::string Caption, int X, int Y, int W, std::string Handler)
{
    TNode N = Make(TNodeKind::Button, Number, std::move(Caption), X, Y, W);
    N.Handler = std::move(Handler);
    return N;
}

TNode Hidden(TNode Node)
{
    Node.Hidden = true;
    return Node;
}

} // namespace Decl

using namespace Decl;

TNode DeclPliki()
{
    std::vector<TNode> Buttons;
    const char *Captions[] = {"Nowy", "Odczytaj...", "Zapisz", "Zapisz jako..."};
    for (int b = 1; b <= 4; ++b)
        Buttons.push_back(Button(b, Captions[b - 1], 12, 20 + 28 * (b - 1), 100, "Button" + std::to_string(b) + "Click"));
    return Page(1, "PLIKI", {Group(" Ustawienia ", 6, 4, 487, 134, std::move(Buttons))});
}

TNode DeclSim()
{
    return Page(2, "SIM",
        {Group(" Karta SIM ", 6, 4, 487, 72,
            {Label("Kod PIN", 12, 18), Edit(1, 4, 130, 18, 60),
             Label("Numer centrum SMS", 12, 44), Edit(2, 26, 130, 44, 180),
             Button(5, "Era", 318, 44, 50, "Button5Click"),
             Button(6, "Plus", -3, 44, 50, "Button6Click"),
             Button(7, "Idea", -3, 44, 50, "Button7Click")})});
}

TNode DeclUsers()
{
    std::vector<TNode> Pages;
    for (int u = 1; u <= 3; ++u) {
        TNode Id = Edit(3 * u, 15, 110, 18, 130);
        Id.Handler = "Edit" + std::to_string(3 * u) + "Change";
        Pages.push_back(Page(12 + u, std::to_string(u),
            {Group(" Dane użytkownika ", 4, 4, PageWidth - 12, 98,
                {Label("Identyfikator", 10, 18), std::move(Id),
                 Label("Opis", 10, 44), Edit(3 * u + 1, 160, 110, 44, 364),
                 Label("Numer telefonu", 10, 70), Edit(3 * u + 2, 26, 110, 70, 180)})}));
    }
    return Page(3, "UŻYT", {Tabs(2, true, 2, 2, PageWidth - 4, PageHeight - 4, std::move(Pages))});
}

TNode DeclProg()
{
    const int W = PageWidth - 12;
    TNode Progress;
    Progress.Kind = TNodeKind::ProgressBar;
    Progress.Number = 1;
    Progress.X = 10;
    Progress.Y = 18;
    Progress.W = W - 20;
    Progress.H = 16;
    Progress.Min = 0;
    Progress.Max = 100;
    TNode Memo;
    Memo.Kind = TNodeKind::Memo;
    Memo.Number = 1;
    Memo.X = 10;
    Memo.Y = 40;
    Memo.W = W - 20;
    Memo.H = 170;
    Memo.Bold = true;

    TNode Read = Button(10, "Odczyt", 12, 72, 100, "");
    Read.Disabled = true;
    return Page(12, "PROG",
        {Group(" Parametry nadajnika ", 6, 4, W, 86,
             {Label("Wersja nadajnika", 12, 16), Combo(1, {"BRAK", "Trackwarden V1.1.1"}, 130, 16, 160),
              Label("Model telefonu", 12, 39), Combo(2, {"BRAK", "Nokia 5110", "Nokia 3410"}, 130, 39, 160),
              Label("Kod PIN nadajnika", 12, 62), Edit(108, 4, 130, 62, 60)}),
         Group(" Komunikacja z nadajnikiem ", 6, 94, W, 44,
             {Label("Port", 12, 16),
              Combo(3, {"BRAK", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"}, 130, 16, 90)}),
         Group(" Operacja ", 6, 142, W, 98,
             {Button(8, "Programuj", 12, 18, 100, "Button8Click"), Button(9, "Porównaj", 12, 45, 100, "Button9Click"),
              std::move(Read)}),
         Group(" Postęp pracy ", 6, 244, W, 216, {std::move(Progress), std::move(Memo)})});
}

std::vector<TNode> FormDeclaration()
{
    TNode Main = Tabs(1, false, 0, 0, ClientWidth, ClientHeight - StatusHeight,
        {DeclPliki(), DeclSim(), DeclUsers(), DeclInputs(), DeclOutputs(), DeclArming(), DeclTest(), DeclRing(),
         DeclSms(), DeclGps(), DeclSpec(), DeclProg()});

    TNode Status;
    Status.Kind = TNodeKind::StatusBar;
    Status.Number = 1;
    Status.Y = ClientHeight - StatusHeight;
    Status.W = ClientWidth;
    Status.H = StatusHeight;

    TNode Timer;
    Timer.Kind = TNodeKind::Timer;
    Timer.Number = 1;
    // Not the 1 ms of old: a reply's quiet time is five ticks, and each tick must be at least 10 ms.
    Timer.Value = 10;
    Timer.Handler = "Timer1Timer";
    return {std::move(Main), std::move(Status), std::move(Timer)};
}
