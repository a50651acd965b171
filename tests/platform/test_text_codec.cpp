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

TEST(TextCodec, EdgesOfEachEncoding)
{
    // The last code points of each UTF-8 length, and the first of the next.
    const std::wstring edges = L"\u007F\u0080\u07FF\u0800\uFFFD\U00010000\U0010FFFF";
    EXPECT_EQ(WideToUtf8(edges), "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBD\xF0\x90\x80\x80"
                                 "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(Utf8ToWide(WideToUtf8(edges)), edges);
    // Surrogate pairs at the ends of their ranges; U+1F600 uses the tenth bit of the low half.
    EXPECT_EQ(WideToUtf16Le(L"\U00010000\U0010FFFF\U0001F600"),
              std::string("\x00\xD8\x00\xDC\xFF\xDB\xFF\xDF\x3D\xD8\x00\xDE", 12));
    EXPECT_EQ(Utf16LeToWide(std::string("\x00\xD8\x00\xDC\xFF\xDB\xFF\xDF\x3D\xD8\x00\xDE", 12)),
              L"\U00010000\U0010FFFF\U0001F600");
    // Two high surrogates in a row: the first alone, the second paired.
    EXPECT_EQ(Utf16LeToWide(std::string("\x00\xD8\x01\xD8\x00\xDC", 6)), L"\uFFFD\U00010400");
    // A high surrogate at the very end, and a low one alone.
    EXPECT_EQ(Utf16LeToWide(std::string("A\x00\x3D\xD8", 4)), L"A\uFFFD");
    EXPECT_EQ(Utf16LeToWide(std::string("\x00\xDC"
                                        "B\x00",
                                        4)),
              L"\uFFFDB");
    // What UTF-8 cannot hold becomes the replacement character.
    EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_FALSE(IsValidUtf8("\xC3\xC3"));
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));     // a surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80")); // past U+10FFFF
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));
    // Long texts go through the encoder's block more than once.
    const std::wstring longText(1000, L'\u00E9');
    EXPECT_EQ(Utf16LeToWide(WideToUtf16Le(longText)), longText);
    std::string out = "pre";
    AppendUtf16Le(out, L"ab");
    EXPECT_EQ(out, std::string("prea\0b\0", 7));
}

TEST(TextCodec, CaseFoldingCoversAsciiAndLatin1LettersOnly)
{
    EXPECT_TRUE(EqualsNoCase(std::string_view("ZULU az"), std::string_view("zulu AZ")));
    EXPECT_FALSE(EqualsNoCase(std::string_view("["), std::string_view("{")));
    EXPECT_FALSE(EqualsNoCase(std::string_view("@"), std::string_view("`")));
    EXPECT_TRUE(
        EqualsNoCase(std::wstring_view(L"\u00C0\u00DE"), std::wstring_view(L"\u00E0\u00FE")));
    // The multiplication and division signs are no letters.
    EXPECT_FALSE(EqualsNoCase(std::wstring_view(L"\u00D7"), std::wstring_view(L"\u00F7")));
    EXPECT_FALSE(EqualsNoCase(std::wstring_view(L"\u00DF"), std::wstring_view(L"\u00FF")));
    EXPECT_EQ(TrimBlanks(L"\n\r\t  "), L"");
    EXPECT_EQ(WideToLatin1(L"\u00FF\u0100"), "\xFF?");
}
