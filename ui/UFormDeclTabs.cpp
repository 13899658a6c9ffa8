// Tabs WYJ, UZBR, TEST, RING, SMS, GPS and SPEC.
#include "UFormDecl.h"

#include <string>
#include <utility>

using namespace Decl;

namespace {
constexpr int GroupW = PageWidth - 12;
std::string Num(int N) { return std::to_string(N); }
} // namespace

TNode Decl::ReactionTabs(int PageControl, int FirstPage, int FirstCheck, int FirstEdit, int X, int Y, int W)
{
    const int G = W - 2 * FrameWidth - 6;
    std::vector<TNode> Pages;
    for (int u = 1; u <= 3; ++u) {
        const int Box = FirstCheck + 2 * (u - 1);
        Pages.push_back(Page(FirstPage + u - 1, "Użytkownik " + Num(u),
            {Group(" Sposób reakcji ", 3, 0, G, 38,
                 {Check(Box, "Wyślij SMS", 10, 14), Check(Box + 1, "Zadzwoń - RING", -16, 14)}),
             Group(" GSM ", 3, 40, G, 44,
                 {Label("Treść SMS", 10, 16), Edit(FirstEdit + u - 1, 160, 70, 16, G - 80)})}));
    }
    return Tabs(PageControl, false, X, Y, W, ReactionTabsHeight, std::move(Pages));
}

TNode DeclOutputs()
{
    const int W = PageWidth - 4;
    const int H = PageHeight - 4;
    std::vector<TNode> Pages;
    for (int o = 1; o <= 2; ++o) {
        std::vector<TNode> Children = {Label("Opis", 8, 2), Edit(9 * o + 59, 160, 40, 2, W - 48)};
        const char *Captions[] = {" Załączenie ", " Wyłączenie "};
        for (int a = 1; a <= 2; ++a) {
            const int C = 6 * o + 3 * a + 56;
            const int GroupH = 84 + ReactionTabsHeight;
            Children.push_back(Group(Captions[a - 1], 4, 26 + (GroupH + 2) * (a - 1), W - 8, GroupH,
                {Check(C, "Dozwolone przez odebranie SMS:", 10, 14), Edit(9 * o + 4 * a + 56, 4, -6, 14, 50),
                 Check(C + 1, "Dozwolone przez odebranie RING", 10, 35),
                 Check(C + 2, "Dozwolone samoczynne wyłączenie po czasie", 10, 56),
                 Spin(2 * o + a + 6, 30, -6, 56), Label("sekund", -6, 56),
                 ReactionTabs(36 + 2 * (o - 1) + a, 98 + 6 * (o - 1) + 3 * (a - 1), 12 * o + 6 * a + 191,
                     9 * o + 4 * a + 57, 6, 81, W - 20)}));
        }
        Pages.push_back(Page(95 + o, Num(o), std::move(Children)));
    }
    return Page(5, "WYJ", {Tabs(36, true, 2, 2, W, H, std::move(Pages))});
}

TNode DeclArming()
{
    const int Right = 244;
    const int ReactionH = ReactionTabsHeight + 18;
    return Page(6, "UZBR",
        {Group(" Sterowanie stanem uzbrojenia ", 6, 2, GroupW, 82,
             {Check(77, "Dozwolone sterowanie z wejścia", 10, 14),
              Check(78, "Uzbrojenie po odebraniu SMS:", 10, 35), Edit(86, 4, -6, 35, 50),
              Check(79, "Rozbrojenie po odebraniu SMS:", Right, 35), Edit(87, 4, -6, 35, 50),
              Check(80, "Uzbrojenie po odebraniu RING", 10, 56),
              Check(81, "Rozbrojenie po odebraniu RING", Right, 56)}),
         Group(" Stan przy uruchomieniu ", 6, 86, GroupW, 40,
             {Radio(509, "Uzbrojony", 10, 14, true), Radio(510, "Rozbrojony", -16, 14),
              Radio(511, "Zgodnie ze stanem wejścia", -16, 14)}),
         Group(" Sterowanie wyjściami ", 6, 128, GroupW, 58,
             {Check(82, "Przy rozbrojeniu wyłącz wyjście 1", 10, 14),
              Check(84, "Przy rozbrojeniu wyłącz wyjście 2", Right, 14),
              Check(83, "Przy uzbrojeniu załącz wyjście 1", 10, 34),
              Check(85, "Przy uzbrojeniu załącz wyjście 2", Right, 34)}),
         Group(" Uzbrojenie ", 6, 188, GroupW, ReactionH,
             {ReactionTabs(41, 110, 233, 88, 6, 15, GroupW - 12)}),
         Group(" Rozbrojenie ", 6, 190 + ReactionH, GroupW, ReactionH,
             {ReactionTabs(42, 113, 239, 91, 6, 15, GroupW - 12)})});
}

TNode DeclTest()
{
    return Page(7, "TEST",
        {Group(" Parametry testu okresowego ", 6, 4, GroupW, 82,
             {Check(86, "Wysyłaj test okresowy co:", 10, 14), Spin(13, 1, -6, 14), Label("godzin", -6, 14),
              Check(87, "Wysłanie dowolnego SMS zeruje timer testu", 10, 36),
              Check(88, "Odebranie RING wymusza test okresowy", 10, 57)}),
         Group(" Funkcja GSM dla testu okresowego ", 6, 90, GroupW, ReactionTabsHeight + 22,
             {ReactionTabs(43, 116, 245, 94, 6, 16, GroupW - 12)})});
}

TNode DeclRing()
{
    const int SpinX = 240;
    return Page(8, "RING",
        {Group(" RING wychodzący ", 6, 4, GroupW, 92,
             {Label("Dzwoń przez czas", 10, 16), Spin(14, 30, SpinX, 16), Label("sekund", -6, 16),
              Label("Ilość prób przy braku odrzucenia/odebrania", 10, 40), Spin(35, 5, SpinX, 40),
              Label("szt.", -6, 40),
              Label("Zwłoka do kolejnej próby przy niepowodzeniu", 10, 64), Spin(34, 15, SpinX, 64),
              Label("sekund", -6, 64),
              Hidden(Radio(539, "Przy odebraniu rozłącz", 330, 16, true)),
              Hidden(Radio(540, "Przy odebraniu nierozłączaj", 330, 40))}),
         Group(" RING przychodzący ", 6, 100, GroupW, 84,
             {Radio(541, "Odrzuć połączenie po czasie:", 10, 14, true), Spin(15, 30, -6, 14),
              Label("sekund", -6, 14),
              Radio(542, "Zawsze odbieraj połączenie", 10, 37),
              Radio(543, "Odbierz jednorazowo po SMS:", 10, 58), Edit(97, 4, -6, 58, 50)})});
}

TNode DeclSms()
{
    const int SpinX = 372;
    return Page(9, "SMS",
        {Group(" Ograniczenia wysyłania SMS ", 6, 4, GroupW, 62,
             {Check(89, "Wysyłaj maksymalnie", 10, 14), Spin(16, 20, -6, 14), Label("SMS w czasie", -6, 14),
              Spin(17, 1, -6, 14), Label("godzin(y)", -6, 14),
              Check(90, "Przychodzący RING zeruje licznik wysłanych SMS", 10, 36)}),
         Group(" Parametry wysyłania SMS ", 6, 70, GroupW, 66,
             {Label("Czas oczekiwania na potwierdzenia przejęcia SMS przez sieć GSM", 10, 16),
              Spin(18, 15, SpinX, 16), Label("sekund", -6, 16),
              Label("Ilość prób wysłania SMS przy braku potwierdzenia do zaniechania", 10, 40),
              Spin(19, 5, SpinX, 40), Label("szt.", -6, 40)})});
}

TNode DeclGps()
{
    const int TabsW = GroupW - 12;
    const int PageW = TabsW - 2 * FrameWidth;
    const int Half = (PageW - 10) / 2;
    std::vector<TNode> Pages;
    for (int u = 1; u <= 3; ++u) {
        const int C = 6 * u + 87;
        const int E = 3 * u + 96;
        Pages.push_back(Page(118 + u, "Użytkownik " + Num(u),
            {Group(" Podstawowe ", 3, 2, PageW - 6, 84,
                 {Label("Samoczynne wysyłanie pozycji GPS co:", 10, 14), Spin(u + 20, 3, -6, 14),
                  Label("x 10sek", -6, 14),
                  Check(C, "Odeślij pozycję GPS po odebraniu RING", 10, 37),
                  Check(C + 1, "Odeślij pozycję GPS po odebraniu SMS:", 10, 58), Edit(E, 4, -6, 58, 50)}),
             Group(" Rozpoczęcie wysyłania ", 3, 90, Half, 62,
                 {Check(C + 2, "Po odebraniu RING", 10, 14), Check(C + 3, "Po odebraniu SMS:", 10, 35),
                  Edit(E + 1, 4, -6, 35, 50)}),
             Group("Zakończenie wysyłania ", Half + 7, 90, Half, 62,
                 {Check(C + 4, "Po odebraniu RING", 10, 14), Check(C + 5, "Po odebraniu SMS:", 10, 35),
                  Edit(E + 2, 4, -6, 35, 50)})}));
    }
    const int TabsH = 156 + TabRowHeight + 2 * FrameWidth;
    return Page(10, "GPS",
        {Group(" Funkcja GPS dla użytkowników ", 6, 4, GroupW, TabsH + 22,
             {Tabs(44, false, 6, 16, TabsW, TabsH, std::move(Pages))}),
         Group(" Pozostałe ", 6, TabsH + 30, GroupW, 44,
             {Label("Czas do utraty pozycji", 10, 16), Spin(20, 1, -6, 16), Label("x 10sek", -6, 16),
              Hidden(Check(92, "Odeślij SMS z pozycją GPS pod numer od którego przyszedł SMS o treści:", 10, 40)),
              Hidden(Edit(98, 4, 420, 40, 50)),
              Hidden(Check(91, "Odeślij SMS z pozycją GPS pod dowolny numer od którego przyszedł RING", 10, 62))})});
}

TNode DeclSpec()
{
    std::vector<TNode> Coding;
    struct TRow {
        const char *Left;
        int LeftSpin, LeftValue;
        const char *Right;
        int RightSpin, RightValue;
    };
    const TRow Rows[] = {
        {"Typ numeru narodowego", 31, 129, "PDU", 28, 17},
        {"Typ numeru międzynarodowego", 29, 145, "PID", 32, 0},
        {"Typ numeru specjalnego", 30, 177, "DCS", 33, 0},
    };
    for (int r = 0; r < 3; ++r) {
        const int Y = 16 + 24 * r;
        Coding.push_back(Label(Rows[r].Left, 10, Y));
        Coding.push_back(Spin(Rows[r].LeftSpin, Rows[r].LeftValue, 186, Y));
        Coding.push_back(Label(Rows[r].Right, 300, Y));
        Coding.push_back(Spin(Rows[r].RightSpin, Rows[r].RightValue, 336, Y));
    }
    return Page(11, "SPEC",
        {Group(" Kontrola GSM ", 6, 4, GroupW, 64,
             {Check(111, "Wyjście 1: załączone gdy gotowość GSM / wyłączone przy braku gotowości GSM", 10, 14),
              Label("Zwłoka sygnalizacji zaniku gotowości GSM", 10, 38), Spin(24, 1, -6, 38),
              Label("x 10sek", -6, 38)}),
         Group(" Czas ważności SMS ", 6, 72, GroupW, 44,
             {Radio(544, "Godzin", 10, 16), Spin(25, 1, -6, 16),
              Radio(545, "Dni", -24, 16), Spin(26, 1, -6, 16),
              Radio(546, "Tygodni", -24, 16, true), Spin(27, 1, -6, 16)}),
         Group(" Kodowanie SMS ", 6, 120, GroupW, 92, std::move(Coding)),
         Group(" Inne ", 6, 216, GroupW, 44,
             {Check(112, "Dozwolony restart telefonu po odebraniu SMS o treści:", 10, 16), Edit(109, 4, -6, 16, 50)})});
}
