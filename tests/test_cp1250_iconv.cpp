// The conversion table against the C library's own, where the C library has iconv.
#include "Cp1250.h"

#include <gtest/gtest.h>

#include <iconv.h>
#include <string>

namespace {

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

} // namespace
