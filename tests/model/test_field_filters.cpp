#include "model/FieldFilters.h"

#include <gtest/gtest.h>

using namespace fields;

TEST(FieldFilters, WholeValuesEndAsTheFieldWouldShowThem)
{
    EXPECT_EQ(TypeIntoIpField(L"300"), L"255.0.0.0");
    EXPECT_EQ(TypeIntoIpField(L"10.01.1.256"), L"10.1.1.255");
    EXPECT_EQ(TypeIntoIpField(L"192.168"), L"192.168.0.0");
    EXPECT_EQ(TypeIntoIpField(L"1.2.3."), L"1.2.3.0");
    EXPECT_EQ(TypeIntoIpField(L""), L"127.0.0.1");
    EXPECT_FALSE(TypeIntoIpField(L"1..2"));      // a dot after a dot
    EXPECT_FALSE(TypeIntoIpField(L"1.2.3.4.5")); // a fourth dot
    EXPECT_FALSE(TypeIntoIpField(L".1"));        // a dot first
    EXPECT_FALSE(TypeIntoIpField(L"host"));

    EXPECT_EQ(TypeIntoFixedField(L"70000", PortLimits()), L"65535");
    EXPECT_EQ(TypeIntoFixedField(L"99999999999999999999", PortLimits()), L"65535");
    EXPECT_EQ(TypeIntoFixedField(L"", PortLimits()), L"");
    EXPECT_FALSE(TypeIntoFixedField(L"30.5", PortLimits()));
    FixedLimits withDefault = PortLimits();
    withDefault.hasDefault = true;
    EXPECT_EQ(TypeIntoFixedField(L"", withDefault), L"0");
    FixedLimits minimum;
    minimum.hasMinimum = true;
    minimum.minimum = 10;
    EXPECT_EQ(FixedAfterTyping(L"3", minimum), L"10");
    EXPECT_FALSE(FixedAfterTyping(L"30", minimum));
}

TEST(FieldFilters, PastedTextIsCorrectedWithoutOverflow)
{
    // A pasted run of digits is read whole at the next typed character: 19 digits and more
    // are far above the maximum, never a wrapped-around small or negative number.
    EXPECT_EQ(FixedAfterTyping(L"9999999999999999999", PortLimits()), L"65535");
    EXPECT_EQ(FixedAfterTyping(L"18446744073709551616", PortLimits()), L"65535");
    FixedLimits minimum;
    minimum.hasMinimum = true;
    minimum.minimum = 10;
    EXPECT_FALSE(FixedAfterTyping(L"9999999999999999999", minimum));
    EXPECT_EQ(IpAfterTyping(L"10.9999999999999999999"), L"10.255");

    // Text set by the program with dots at its end is completed on leaving the field.
    EXPECT_EQ(IpOnLeave(L"10.."), L"10.0.0.0");
    EXPECT_EQ(IpOnLeave(L"10.1..."), L"10.1.0.0");
}

TEST(FieldFilters, TypedCharactersAndLeavingTheField)
{
    EXPECT_TRUE(NumAccepts(L"1", L'.', true));
    EXPECT_FALSE(NumAccepts(L"1.5", L'.', true));
    EXPECT_FALSE(NumAccepts(L"1", L'.', false));
    EXPECT_TRUE(NumAccepts(L"1.5", kBackspace, true));
    EXPECT_FALSE(NumAccepts(L"", L'-', true));

    EXPECT_EQ(IpAfterTyping(L"10.01"), L"10.1");
    EXPECT_FALSE(IpAfterTyping(L"10.1"));
    EXPECT_FALSE(IpAfterTyping(L"10."));
    EXPECT_EQ(IpOnLeave(L"10."), L"10.0.0.0");
    EXPECT_FALSE(IpOnLeave(L"10.0.0.1"));
    // Set by the program with a trailing fourth dot: nothing is appended, nothing replaced.
    EXPECT_FALSE(IpOnLeave(L"1.2.3.4."));
}

TEST(FieldFilters, NumberFieldsTakeTheirLengthAndAtMostOneDecimalPoint)
{
    const Rule subnet{"subnet", Kind::Decimal, {}, 16};
    EXPECT_EQ(TypeInto(subnet, L"10.5"), L"10.5");
    EXPECT_FALSE(TypeInto(subnet, L"10.5.1")); // a second point is dropped
    EXPECT_FALSE(TypeInto(subnet, L"-1"));
    EXPECT_EQ(TypeInto(subnet, L"1234567890123456"), L"1234567890123456");
    EXPECT_FALSE(TypeInto(subnet, L"12345678901234567"));
    EXPECT_TRUE(Accepts(subnet, L""));

    const Rule digits{"radio-id", Kind::Digits, {}, 0};
    EXPECT_EQ(TypeInto(digits, L"123456789012345678901234567890"),
              L"123456789012345678901234567890");
    EXPECT_FALSE(TypeInto(digits, L"1.5"));
    EXPECT_FALSE(Accepts(digits, L"12a"));

    // A text field (an alias of 31 characters at most) takes a text of exactly its length.
    const Rule alias{"alias", Kind::Text, {}, 31};
    EXPECT_EQ(TypeInto(alias, std::wstring(31, L'A')), std::wstring(31, L'A'));
    EXPECT_TRUE(Accepts(alias, std::wstring(31, L'A')));
    EXPECT_FALSE(TypeInto(alias, std::wstring(32, L'A')));
}
