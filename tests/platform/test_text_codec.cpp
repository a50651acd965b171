#include "platform/TextCodec.h"

#include <gtest/gtest.h>

using namespace rz;

TEST(TextCodec, Utf16RoundTripKeepsCharactersBeyondTheBasicPlane)
{
    const std::wstring text = L"Ä€ 中 \U0001F4E1 end";
    const std::string bytes = WideToUtf16Le(text);
    // The antenna sign takes a surrogate pair: 4 bytes.
    EXPECT_EQ(bytes.size(), (text.size() + 1) * 2);
    EXPECT_EQ(Utf16LeToWide(bytes), text);
    EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
}

TEST(TextCodec, BrokenInputBecomesReplacementCharacters)
{
    // A lone high surrogate, then 'A'; an odd trailing byte is ignored.
    EXPECT_EQ(Utf16LeToWide(std::string("\x00\xD8\x41\x00\x42", 5)), L"\uFFFDA");
    EXPECT_FALSE(IsValidUtf8("caf\xE9"));
    EXPECT_EQ(Utf8ToWide("caf\xE9!"), L"caf\uFFFD!");
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF")); // overlong '/'
    EXPECT_EQ(Latin1ToWide(WideToLatin1(L"caf\u00E9")), L"caf\u00E9");
}

TEST(TextCodec, CaseFoldingAndTrimming)
{
    EXPECT_TRUE(EqualsNoCase(std::wstring_view(L"TrUe"), std::wstring_view(L"TRUE")));
    EXPECT_TRUE(EqualsNoCase(std::wstring_view(L"\u00C4rger"), std::wstring_view(L"\u00E4RGER")));
    EXPECT_FALSE(EqualsNoCase(std::wstring_view(L"TRUE "), std::wstring_view(L"TRUE")));
    EXPECT_EQ(TrimBlanks(L" \t value \r\n"), L"value");
    EXPECT_TRUE(LessNoCase(L"apple", L"Banana"));
    EXPECT_FALSE(LessNoCase(L"Banana", L"apple"));
    EXPECT_FALSE(LessNoCase(L"\u00C4", L"\u00E4"));
    EXPECT_TRUE(LessNoCase(L"Deutsch", L"deutsch (Schweiz)"));
}
