#include "UCsv.h"

#include "Cp1250.h"

#include <algorithm>

namespace {

bool IsLineBreak(char C)
{
    return C == '\r' || C == '\n';
}

// The separator the first row holds more of, outside quotes; a comma when neither.
char DetectSeparator(std::string_view Text)
{
    size_t Commas = 0, Semicolons = 0;
    bool Quoted = false;
    for (char C : Text) {
        if (C == '"')
            Quoted = !Quoted;
        else if (!Quoted && IsLineBreak(C))
            break;
        else if (!Quoted && C == ',')
            ++Commas;
        else if (!Quoted && C == ';')
            ++Semicolons;
    }
    return Semicolons > Commas ? ';' : ',';
}

class TParser {
public:
    TParser(std::string_view Text, char Separator, TCsv &Out) : Text(Text), Sep(Separator), Out(Out) {}

    void Run()
    {
        while (I < Text.size()) {
            TCsvRow Row{Line, {}};
            bool Quoted = false;
            for (;;) {
                Quoted = I < Text.size() && Text[I] == '"';
                Row.Cells.push_back(Cell(static_cast<int>(Row.Cells.size()) + 1));
                if (I < Text.size() && Text[I] == Sep) {
                    ++I;
                    continue;
                }
                break;
            }
            EndLine();
            // An empty line carries no row; a row of separators only is the caller's to judge.
            if (Row.Cells.size() == 1 && Row.Cells[0].Text.empty() && !Quoted)
                continue;
            Out.Rows.push_back(std::move(Row));
        }
    }

private:
    // One cell from I, up to (not past) its separator or line break.
    TCsvCell Cell(int Column)
    {
        TCsvCell C{{}, Line};
        if (I >= Text.size() || Text[I] != '"') {
            while (I < Text.size() && Text[I] != Sep && !IsLineBreak(Text[I]))
                C.Text += Text[I++];
            return C;
        }
        const int Opened = Line;
        ++I;
        for (;;) {
            if (I >= Text.size()) {
                Out.Findings.push_back({Opened, Column, TCsvProblem::UnclosedQuote});
                return C;
            }
            const char Ch = Text[I];
            if (Ch == '"') {
                if (I + 1 < Text.size() && Text[I + 1] == '"') {
                    C.Text += '"';
                    I += 2;
                    continue;
                }
                ++I;
                break;
            }
            if (IsLineBreak(Ch)) {
                // A line break inside a cell is one "\n", whatever the file's line ends are.
                C.Text += '\n';
                EndLine();
                continue;
            }
            C.Text += Ch;
            ++I;
        }
        if (I < Text.size() && Text[I] != Sep && !IsLineBreak(Text[I])) {
            Out.Findings.push_back({Line, Column, TCsvProblem::TextAfterQuote});
            while (I < Text.size() && Text[I] != Sep && !IsLineBreak(Text[I]))
                C.Text += Text[I++];
        }
        return C;
    }

    // Past one line break (CRLF, LF or CR) at I, if there is one.
    void EndLine()
    {
        if (I >= Text.size() || !IsLineBreak(Text[I]))
            return;
        if (Text[I] == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n')
            ++I;
        ++I;
        ++Line;
    }

    std::string_view Text;
    char Sep;
    TCsv &Out;
    size_t I = 0;
    int Line = 1;
};

} // namespace

TCsv ParseCsv(std::string_view Bytes, const TCsvOptions &Options)
{
    TCsv Out;
    if (Bytes.size() >= 2 &&
        ((Bytes[0] == '\xFF' && Bytes[1] == '\xFE') || (Bytes[0] == '\xFE' && Bytes[1] == '\xFF'))) {
        Out.Findings.push_back({1, 0, TCsvProblem::Utf16});
        return Out;
    }
    if (Bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        Out.ByteOrderMark = true;
        Bytes.remove_prefix(3);
    }
    Out.Encoding = Options.Encoding;
    if (Out.Encoding == TTextEncoding::Detect)
        Out.Encoding = Out.ByteOrderMark || IsUtf8(Bytes) ? TTextEncoding::Utf8 : TTextEncoding::Cp1250;
    // Separators, quotes and line breaks are ASCII in both, so the text is parsed as UTF-8.
    const std::string Text = Out.Encoding == TTextEncoding::Cp1250 ? Cp1250ToUtf8(Bytes) : std::string(Bytes);
    Out.Separator = Options.Separator != 0 ? Options.Separator : DetectSeparator(Text);
    TParser(Text, Out.Separator, Out).Run();
    if (Out.Encoding == TTextEncoding::Utf8)
        for (const TCsvRow &Row : Out.Rows)
            for (size_t K = 0; K < Row.Cells.size(); ++K)
                if (!IsUtf8(Row.Cells[K].Text))
                    Out.Findings.push_back({Row.Cells[K].Line, static_cast<int>(K) + 1, TCsvProblem::NotUtf8});
    std::stable_sort(Out.Findings.begin(), Out.Findings.end(), [](const TCsvFinding &A, const TCsvFinding &B) {
        return A.Line != B.Line ? A.Line < B.Line : A.Column < B.Column;
    });
    return Out;
}

std::string CsvProblemText(TCsvProblem Problem)
{
    switch (Problem) {
    case TCsvProblem::Utf16: return "plik jest zapisany w UTF-16; zapisz go jako CSV (UTF-8 albo Windows-1250)";
    case TCsvProblem::NotUtf8:
        return "tekst nie jest zapisany w UTF-8; zapisz plik jako CSV UTF-8 albo wybierz kodowanie Windows-1250";
    case TCsvProblem::UnclosedQuote: return "cudzysłów otwierający komórkę nie jest zamknięty do końca pliku";
    case TCsvProblem::TextAfterQuote: return "znaki po cudzysłowie zamykającym komórkę";
    }
    return {};
}
