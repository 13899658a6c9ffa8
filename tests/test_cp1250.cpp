#include "Cp1250.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <iconv.h>
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
    }
}

TEST(Cp1250, UnmappableAndMalformedBecomeQuestionMarks)
{
    const TRow Rows[] = {
        {"日本", "??"},                // outside the code page
        {"x😀y", "x?y"},              // four-byte sequence
        {"ñ", "?"},                    // Latin-1, not in Central European
        {"a\xC3" "b", "a?b"},          // truncated sequence does not swallow the next character
        {"\xFF\xFE", "??"},            // bytes that never occur in UTF-8
        {"\xC0\xAF", "?"},             // overlong form of '/'
        {"\xED\xA0\x80", "?"},         // surrogate
        {"\x80", "?"},                 // lone continuation byte
        {"\xE2\x82", "?"},             // text ends inside a sequence
    };
    for (const TRow &Row : Rows) {
        SCOPED_TRACE(Row.Utf8);
        EXPECT_EQ(Utf8ToCp1250(Row.Utf8), Row.Cp1250);
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

std::string Convert(iconv_t Cd, const std::string &In, bool &Ok)
{
    char Out[16];
    char *InP = const_cast<char *>(In.data());
    size_t InLeft = In.size();
    char *OutP = Out;
    size_t OutLeft = sizeof Out;
    iconv(Cd, nullptr, nullptr, nullptr, nullptr);
    Ok = iconv(Cd, &InP, &InLeft, &OutP, &OutLeft) != static_cast<size_t>(-1) && InLeft == 0;
    return std::string(Out, static_cast<size_t>(OutP - Out));
}

TEST(Cp1250, AgreesWithIconv)
{
    iconv_t ToUtf8 = iconv_open("UTF-8", "CP1250");
    iconv_t FromUtf8 = iconv_open("CP1250", "UTF-8");
    ASSERT_NE(ToUtf8, reinterpret_cast<iconv_t>(-1));
    ASSERT_NE(FromUtf8, reinterpret_cast<iconv_t>(-1));
    int Defined = 0;
    for (int B = 0; B < 256; ++B) {
        SCOPED_TRACE("byte " + std::to_string(B));
        const std::string One(1, static_cast<char>(B));
        bool Ok = false;
        const std::string Utf8 = Convert(ToUtf8, One, Ok);
        if (!Ok)
            continue; // one of the bytes the code page leaves undefined
        ++Defined;
        EXPECT_EQ(Cp1250ToUtf8(One), Utf8);
        EXPECT_EQ(Utf8ToCp1250(Utf8), One);
        EXPECT_EQ(Convert(FromUtf8, Cp1250ToUtf8(One), Ok), One);
        EXPECT_TRUE(Ok);
    }
    EXPECT_EQ(Defined, 251);
    iconv_close(ToUtf8);
    iconv_close(FromUtf8);
}

TEST(Cp1250, Utf8Length)
{
    EXPECT_EQ(Utf8Length("Użytkownik 2"), 12u);
    EXPECT_EQ(Utf8Length("Wyjście 2."), 10u);
    EXPECT_EQ(Utf8Length(""), 0u);
    EXPECT_EQ(Utf8Length("😀"), 1u);
}

} // namespace
