// Tab WEJ: eight input pages, each with three user pages of two functions.
#include "UFormDecl.h"

#include <string>
#include <utility>

using namespace Decl;

namespace {

std::string Num(int N) { return std::to_string(N); }

// m: the function's place within its input (0..5); k: among all 48.
TNode FunctionPage(int Page, int i, int f, int m, int W)
{
    const int b = 59 * (i - 1) + 6 + 9 * m;
    const int k = 6 * (i - 1) + m;
    const int G = W - 8;
    return Decl::Page(Page, "Funkcja " + Num(f),
        {Group(" Reakcja na ", 4, 2, G, 40,
             {Radio(b, "Zwarcie", 10, 15, true), Radio(b + 1, "Rozwarcie", -16, 15)}),
         Group(" Sposób reakcji ", 4, 46, G, 40,
             {Check(113 + 2 * k, "Wyślij SMS", 10, 15), Check(114 + 2 * k, "Zadzwoń - RING", -16, 15)}),
         Group(" GPS ", 4, 90, G, 40,
             {Radio(b + 5, "Nieaktywne", 10, 15, true), Radio(b + 6, "Odeślij pozycję", -10, 15),
              Radio(b + 7, "Rozpocznij wysyłanie", -10, 15), Radio(b + 8, "Zakończ wysyłanie", -10, 15)}),
         Group(" GSM ", 4, 134, G, 46, {Label("Treść SMS", 10, 17), Edit(7 * i + 6 + m, 160, 70, 17, G - 80)})});
}

TNode InputPage(int i, int W, int H)
{
    const int R = 59 * (i - 1);
    const int C = 8 * (i - 1);
    const int Half = (W - 12) / 2;

    std::vector<TNode> Users;
    const int UsersY = 168;
    const int UsersW = W - 8;
    const int UsersH = H - UsersY - 2;
    const int UserPageW = UsersW - 2 * FrameWidth;
    const int UserPageH = UsersH - TabRowHeight - 2 * FrameWidth;
    for (int u = 1; u <= 3; ++u) {
        // Input 1 numbers its three user pages first and its six function pages after them.
        const int UserPage = i == 1 ? 23 + u : 33 + 9 * (i - 2) + 3 * (u - 1);
        std::vector<TNode> Functions;
        for (int f = 1; f <= 2; ++f) {
            const int m = 2 * (u - 1) + (f - 1);
            const int FunctionPageNo = i == 1 ? 27 + m : UserPage + f;
            Functions.push_back(FunctionPage(FunctionPageNo, i, f, m, UserPageW));
        }
        Users.push_back(Decl::Page(UserPage, "Użytkownik " + Num(u),
            {Tabs(4 * i + u, true, 0, 0, UserPageW, UserPageH, std::move(Functions))}));
    }

    return Decl::Page(15 + i, Num(i),
        {Label("Opis", 8, 2), Edit(7 * i + 5, 160, 40, 2, W - 48),
         Group(" Aktywność ", 4, 28, Half, 78,
             {Radio(R + 1, "Niewykorzystane", 10, 15, true), Radio(R + 2, "Aktywne zawsze", 10, 34),
              Radio(R + 3, "Aktywne tylko gdy uzbrojony", 10, 53)}),
         Group(" Filtracja ", Half + 8, 28, Half, 78,
             {Label("Czas zwłoki na reakcję", 10, 15), Spin(i, 1, 10, 42),
              Radio(R + 4, "x 0,1sek", 70, 34, true), Radio(R + 5, "x 10sek", 70, 53)}),
         Group(" Zwarcie ", 4, 108, Half, 58,
             {Check(C + 1, "Załącz wyjście 1", 10, 15), Check(C + 2, "Załącz wyjście 2", 10, 34),
              Check(C + 3, "Wyłącz wyjście 1", 124, 15), Check(C + 4, "Wyłącz wyjście 2", 124, 34)}),
         Group(" Rozwarcie ", Half + 8, 108, Half, 58,
             {Check(C + 5, "Załącz wyjście 1", 10, 15), Check(C + 6, "Załącz wyjście 2", 10, 34),
              Check(C + 7, "Wyłącz wyjście 1", 124, 15), Check(C + 8, "Wyłącz wyjście 2", 124, 34)}),
         Tabs(4 * i, false, 4, UsersY, UsersW, UsersH, std::move(Users))});
}

} // namespace

TNode DeclInputs()
{
    const int W = PageWidth - 4;
    const int H = PageHeight - 4;
    std::vector<TNode> Pages;
    for (int i = 1; i <= 8; ++i)
        Pages.push_back(InputPage(i, W, H - TabRowHeight));
    return Decl::Page(4, "WEJ", {Tabs(3, true, 2, 2, W, H, std::move(Pages))});
}
