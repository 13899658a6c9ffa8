// A strict reader of the flat JSON objects the CLI writes: any syntax fault
// makes the parse fail, so that a test also proves the text valid.
#pragma once

#include "Cp1250.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

struct TJsonValue {
    enum TKind { Null, Text, Number, Bool } Kind = Null;
    std::string String;
    int64_t Integer = 0;
};
using TJsonObject = std::map<std::string, TJsonValue>;

class TJsonReader {
public:
    explicit TJsonReader(const std::string &Text) : Text(Text) {}

    std::optional<TJsonObject> Object()
    {
        TJsonObject Out;
        Space();
        if (!Take('{'))
            return std::nullopt;
        Space();
        if (Take('}'))
            return End(Out);
        for (;;) {
            Space();
            std::string Key;
            if (!String(Key))
                return std::nullopt;
            Space();
            if (!Take(':'))
                return std::nullopt;
            Space();
            TJsonValue Value;
            if (!Read(Value) || Out.count(Key) != 0)
                return std::nullopt;
            Out[Key] = Value;
            Space();
            if (Take('}'))
                return End(Out);
            if (!Take(','))
                return std::nullopt;
        }
    }

private:
    std::optional<TJsonObject> End(const TJsonObject &Out)
    {
        Space();
        return Pos == Text.size() ? std::optional<TJsonObject>(Out) : std::nullopt;
    }
    void Space()
    {
        while (Pos < Text.size() && (Text[Pos] == ' ' || Text[Pos] == '\t' || Text[Pos] == '\n' || Text[Pos] == '\r'))
            ++Pos;
    }
    bool Take(char C)
    {
        if (Pos < Text.size() && Text[Pos] == C) {
            ++Pos;
            return true;
        }
        return false;
    }
    bool Word(const char *W)
    {
        const std::string S = W;
        if (Text.compare(Pos, S.size(), S) != 0)
            return false;
        Pos += S.size();
        return true;
    }
    bool Read(TJsonValue &Value)
    {
        if (Pos < Text.size() && Text[Pos] == '"') {
            Value.Kind = TJsonValue::Text;
            return String(Value.String);
        }
        if (Word("null"))
            return true;
        if (Word("true") || Word("false")) {
            Value.Kind = TJsonValue::Bool;
            return true;
        }
        const size_t Start = Pos;
        Take('-');
        while (Pos < Text.size() && Text[Pos] >= '0' && Text[Pos] <= '9')
            ++Pos;
        if (Pos == Start || (Text[Start] == '0' && Pos - Start > 1))
            return false;
        Value.Kind = TJsonValue::Number;
        Value.Integer = std::strtoll(Text.c_str() + Start, nullptr, 10);
        return true;
    }
    bool String(std::string &Out)
    {
        if (!Take('"'))
            return false;
        while (Pos < Text.size()) {
            const char C = Text[Pos++];
            if (C == '"')
                return true;
            if (static_cast<unsigned char>(C) < 0x20)
                return false;
            if (C != '\\') {
                // Raw bytes must be whole UTF-8 characters, as RFC 8259 asks.
                const size_t Length = Utf8CharLength(Text, Pos - 1);
                if (Length == 0)
                    return false;
                Out.append(Text, Pos - 1, Length);
                Pos += Length - 1;
                continue;
            }
            if (Pos >= Text.size())
                return false;
            const char E = Text[Pos++];
            switch (E) {
            case '"': case '\\': case '/': Out += E; break;
            case 'n': Out += '\n'; break;
            case 't': Out += '\t'; break;
            case 'r': Out += '\r'; break;
            case 'b': Out += '\b'; break;
            case 'f': Out += '\f'; break;
            case 'u': {
                if (Pos + 4 > Text.size())
                    return false;
                const long Code = std::strtol(Text.substr(Pos, 4).c_str(), nullptr, 16);
                // The CLI escapes control characters, and bytes that are no UTF-8 as U+0080..U+00FF.
                if (Code >= 0x100)
                    return false;
                if (Code < 0x80) {
                    Out += static_cast<char>(Code);
                } else {
                    Out += static_cast<char>(0xC0 | (Code >> 6));
                    Out += static_cast<char>(0x80 | (Code & 0x3F));
                }
                Pos += 4;
                break;
            }
            default: return false;
            }
        }
        return false;
    }

    const std::string &Text;
    size_t Pos = 0;
};

inline std::optional<TJsonObject> ParseJsonObject(const std::string &Line)
{
    return TJsonReader(Line).Object();
}
