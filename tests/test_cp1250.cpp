#include "Cp1250.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TRow {
    std::string Utf8;
    std::string Cp1250;
};

TEST(Cp1250, BothWays)
{
    const TRow Rows[] = {
        {"ąćęłńóśźż", "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF"},
        {"ĄĆĘŁŃÓŚŹŻ", "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF"},
        {"Użytkownik 1", "U\xBFytkownik 1"},
        {"€„”–", "\x80\x84\x94\x96"},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
        {"", ""},
    };
    for (const TRow &Row : Rows) {
        SCOPED_TRACE(Row.Utf8);
        EXPECT_EQ(Utf8ToCp1250(Row.Utf8), Row.Cp1250);
        EXPECT_EQ(Cp1250ToUtf8(Row.Cp1250), Row.Utf8);
        std::string Exact;
        EXPECT_TRUE(Utf8ToCp1250Exact(Row.Utf8, Exact));
        EXPECT_EQ(Exact, Row.Cp1250);
        EXPECT_TRUE(IsUtf8(Row.Utf8));
    }
}

// The exact conversion stops where the replacing one puts its first '?'.
struct TMissRow {
    std::string Utf8;
    std::string Cp1250;
    bool WellFormed;
    size_t At, Length;
};

TEST(Cp1250, UnmappableAndMalformedBecomeQuestionMarks)
{
    const TMissRow Rows[] = {
        {"日本", "??", true, 0, 3},                // outside the code page
        {"x😀y", "x?y", true, 1, 4},              // four-byte sequence
        {"ñ", "?", true, 0, 2},                    // Latin-1, not in Central European
        {"a\xEF\xBF\xBD", "a?", true, 1, 3},      // the replacement character itself
        {"a\xC3" "b", "a?b", false, 1, 1},          // truncated sequence does not swallow the next character
        {"\xFF\xFE", "??", false, 0, 1},            // bytes that never occur in UTF-8
        {"\xC0\xAF", "?", false, 0, 2},             // overlong form of '/'
        {"\xED\xA0\x80", "?", false, 0, 3},         // surrogate
        {"\x80", "?", false, 0, 1},                 // lone continuation byte
        {"\xE2\x82", "?", false, 0, 2},             // text ends inside a sequence
    };
    for (const TMissRow &Row : Rows) {
        SCOPED_TRACE(Row.Utf8);
        EXPECT_EQ(Utf8ToCp1250(Row.Utf8), Row.Cp1250);
        EXPECT_EQ(IsUtf8(Row.Utf8), Row.WellFormed);
        std::string Exact;
        TCp1250Miss Miss;
        EXPECT_FALSE(Utf8ToCp1250Exact(Row.Utf8, Exact, &Miss));
        EXPECT_EQ(Exact, Row.Cp1250.substr(0, Row.At));
        EXPECT_EQ(Miss.At, Row.At);
        EXPECT_EQ(Miss.Length, Row.Length);
        EXPECT_EQ(Miss.Malformed, !Row.WellFormed);
    }
}

TEST(Cp1250, EveryByteRoundTrips)
{
    for (int B = 0; B < 256; ++B) {
        const std::string One(1, static_cast<char>(B));
        const std::string Utf8 = Cp1250ToUtf8(One);
        EXPECT_EQ(Utf8ToCp1250(Utf8), One) << "byte " << B;
        EXPECT_EQ(Utf8Length(Utf8), 1u) << "byte " << B;
    }
}

TEST(Cp1250, Utf8Length)
{
    EXPECT_EQ(Utf8Length("Użytkownik 2"), 12u);
    EXPECT_EQ(Utf8Length("Wyjście 2."), 10u);
    EXPECT_EQ(Utf8Length(""), 0u);
    EXPECT_EQ(Utf8Length("😀"), 1u);
}

} // namespace
