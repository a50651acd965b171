#include "config/XNode.h"
#include "platform/TextCodec.h"

#include <cwchar>
#include <gtest/gtest.h>
#include <pugixml.hpp>

using RUROR::XNode;

TEST(XNode, LoadMakesTheRootElementTheNodeItself)
{
    XNode root;
    const auto result = root.Load(L"<?xml version=\"1.0\"?>\r\n<!-- note -->"
                                  L"<Root kind=\"a &amp; b\">\r\n"
                                  L"\t<Name>Fleet &amp; GPS &lt;1&gt;</Name>\r\n"
                                  L"\t<Empty/>\r\n\t<Blank>  </Blank>\r\n"
                                  L"\t<Name>second</Name>\r\n</Root>");
    ASSERT_TRUE(result) << result.description;
    EXPECT_EQ(root.name, L"Root");
    EXPECT_STREQ(root.GetAttrValue(L"kind"), L"a & b");
    EXPECT_EQ(root.GetAttrValue(L"missing"), nullptr);
    ASSERT_EQ(root.GetChildCount(), 4u);
    EXPECT_STREQ(root.GetChildValue(L"Name"), L"Fleet & GPS <1>");
    EXPECT_STREQ(root.GetChildValue(L"Empty"), L"");
    EXPECT_STREQ(root.GetChildValue(L"Blank"), L"  ");
    EXPECT_EQ(root.GetChildValue(L"Missing"), nullptr);
    EXPECT_EQ(root.GetChild(3)->value, L"second");
    EXPECT_EQ(root.GetChild(4), nullptr);
    EXPECT_EQ(root.GetChild(0)->GetParent(), &root);

    // Values read as C strings end where the text ends, whatever lies behind them.
    std::wstring many = L"<Root>";
    for (int i = 1; i <= 16; ++i)
        many += L"<V" + std::to_wstring(i) + L">" + std::wstring(i, L'x') + L"</V" +
                std::to_wstring(i) + L">";
    ASSERT_TRUE(root.Load(many + L"</Root>"));
    for (int i = 1; i <= 16; ++i)
        EXPECT_EQ(std::wcslen(root.GetChildValue(L"V" + std::to_wstring(i))), size_t(i)) << i;
}

TEST(XNode, FailedParseKeepsWhatWasBuiltAndSaysWhere)
{
    XNode root;
    const std::wstring text = L"<Root><A>1</A><B>2</B><C>3</Cx></Root>";
    const auto result = root.Load(text);
    EXPECT_FALSE(result);
    EXPECT_FALSE(result.description.empty());
    EXPECT_EQ(result.offset, static_cast<std::ptrdiff_t>(text.find(L"</Cx>") + 2));
    EXPECT_EQ(root.name, L"Root");
    EXPECT_STREQ(root.GetChildValue(L"A"), L"1");
    EXPECT_STREQ(root.GetChildValue(L"B"), L"2");

    // No element at all leaves an empty node.
    EXPECT_FALSE(root.Load(L"not xml"));
    EXPECT_TRUE(root.name.empty());
    EXPECT_EQ(root.GetChildCount(), 0u);
}

TEST(XNode, ChildrenAreOwnedAddedAndRemoved)
{
    XNode root(L"Stations", L"");
    XNode other(L"Other", L"");
    XNode* a = root.AppendChild(L"Station", L"a");
    XNode* b = root.AppendChild(XNode::CreateNode(L"Station", L"b"));
    root.AppendChild(L"Station", L"c");
    XNode* foreign = other.AppendChild(L"Station", L"x");

    // The copy of the child list stays valid while children are removed.
    for (XNode* child : root.GetChilds())
    {
        if (child->value != L"b")
        {
            EXPECT_TRUE(root.RemoveChild(child));
        }
    }
    ASSERT_EQ(root.GetChildCount(), 1u);
    EXPECT_EQ(root.GetChild(L"Station"), b);
    EXPECT_FALSE(root.RemoveChild(nullptr));
    EXPECT_FALSE(root.RemoveChild(foreign));
    EXPECT_EQ(other.GetChildCount(), 1u);
    (void)a;
}

TEST(XNode, GetXmlWritesReferencesIndentationAndLineBreaks)
{
    XNode root(L"Root", L"");
    root.AppendAttr(L"note", L"say \"hi\" & 'bye'");
    XNode* station = root.AppendChild(L"Station", L"");
    station->AppendChild(L"Name", L"<Fleet & GPS>");
    station->AppendChild(L"AudioPlay", L"");
    EXPECT_EQ(root.GetXML(), L"<Root note=\"say &quot;hi&quot; &amp; &apos;bye&apos;\">\r\n"
                             L"\t<Station>\r\n"
                             L"\t\t<Name>&lt;Fleet &amp; GPS&gt;</Name>\r\n"
                             L"\t\t<AudioPlay/>\r\n"
                             L"\t</Station>\r\n"
                             L"</Root>\r\n");

    // What is written reads back as the same tree, also with text beside child elements.
    root.AppendChild(L"Mixed", L"text")->AppendChild(L"Inner", L"  spaced  ");
    XNode reread;
    ASSERT_TRUE(reread.Load(root.GetXML()));
    EXPECT_TRUE(reread == root);
    XNode copy(root);
    EXPECT_TRUE(copy == root);
    copy.GetChild(L"Station")->GetChild(L"Name")->value = L"changed";
    EXPECT_FALSE(copy == root);
    // Attributes count, in the root and below it.
    XNode withAttr(root);
    withAttr.GetChild(L"Station")->AppendAttr(L"kind", L"x");
    EXPECT_FALSE(withAttr == root);
    XNode copyOfAttr(withAttr);
    EXPECT_TRUE(copyOfAttr == withAttr);
    EXPECT_STREQ(copyOfAttr.GetChild(L"Station")->GetAttrValue(L"kind"), L"x");
}

// Texts that reading would change if they were written as they are: each goes out as a
// reference, and the written document reads back as the tree it came from.
TEST(XNode, WhatIsWrittenReadsBackAsTheSameTree)
{
    const struct
    {
        const wchar_t* read;
        const wchar_t* written;
    } cases[] = {
        // A carriage return in text, tabs and line breaks in attribute values.
        {L"<a>x&#13;&#13;&#10;y</a>", L"<a>x&#13;&#13;\ny</a>\r\n"},
        {L"<a v=\"&#9;1&#10;2&#13;\"/>", L"<a v=\"&#9;1&#10;2&#13;\"/>\r\n"},
        // Blanks alone beside child elements.
        {L"<a><![CDATA[  ]]><b/></a>", L"<a>&#32; <b/></a>\r\n"},
        {L"<a>&#10;<b/></a>", L"<a>&#10;<b/></a>\r\n"},
        // Two halves of a surrogate pair that were read apart.
        {L"<a>&#xD800;&#xDC00;</a>", L"<a>\xD800&#xDC00;</a>\r\n"},
    };
    for (const auto& c : cases)
    {
        XNode first;
        ASSERT_TRUE(first.LoadUtf16Le(rz::WideToUtf16Le(c.read))) << rz::WideToUtf8(c.read);
        EXPECT_EQ(first.GetXML(), c.written) << rz::WideToUtf8(c.read);
        std::string bytes;
        first.AppendXMLUtf16Le(bytes);
        EXPECT_EQ(bytes, rz::WideToUtf16Le(c.written)) << rz::WideToUtf8(c.read);
        XNode again;
        ASSERT_TRUE(again.LoadUtf16Le(bytes)) << rz::WideToUtf8(c.read);
        EXPECT_TRUE(again == first) << rz::WideToUtf8(c.read);
        XNode wide;
        ASSERT_TRUE(wide.Load(first.GetXML())) << rz::WideToUtf8(c.read);
        EXPECT_TRUE(wide == first) << rz::WideToUtf8(c.read);
    }
}

namespace
{

// The tree that pugixml, a parser outside this project, reads from the same text, in the
// shape of an XNode: element texts (text and CDATA) joined, comments and instructions
// left out.
void FromPugixml(const pugi::xml_node& from, XNode& to)
{
    to.name = rz::Utf8ToWide(from.name());
    for (const auto& attr : from.attributes())
        to.AppendAttr(rz::Utf8ToWide(attr.name()), rz::Utf8ToWide(attr.value()));
    std::wstring text;
    for (const auto& child : from.children())
    {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            text += rz::Utf8ToWide(child.value());
        else if (child.type() == pugi::node_element)
            FromPugixml(child, *to.AppendChild(L"", L""));
    }
    to.value = text;
}

pugi::xml_parse_result ParseWithPugixml(const std::wstring& text, pugi::xml_document& doc)
{
    const std::string utf8 = rz::WideToUtf8(text);
    return doc.load_buffer(utf8.data(), utf8.size(),
                           pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_utf8);
}

} // namespace

TEST(XNode, ReadsDocumentsAsPugixmlDoes)
{
    const std::wstring texts[] = {
        L"<r a=\"1\" b='x&amp;y'><c>t</c></r>",
        L"<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!ENTITY e \"x>\"> <!-- ] -->]>"
        L"<!-- note --><?pi x?>\r\n<r>x</r>",
        L"<r>  <a>  </a>  <b> x </b>\r\n<c/>\r\n  <d>  <!--c-->  </d><e>  <x/></e>"
        L"<f>\r\n</f><g><![CDATA[]]>  </g></r>",
        L"<r a=\"l1\r\nl2\tl3\nl4\rl5\" b=\" \">t1\r\nt2\rt3\n\r</r>",
        L"<r>&lt;&gt;&amp;&quot;&apos;&#65;&#x42;&#x4e2d;&#x1F4E1;&#128225;&unknown;&#;&#xZZ;"
        L"&#12a;&am &amp &#x;&#X41;&</r>",
        L"<r a=\"&lt;&#x9;&#10;\">a<![CDATA[<b>&amp;\r\n]]>c</r>",
        L"<r>one<a/>two<b>x</b>three</r>",
        L"<r><?pi data?><a/><!-- x --><?xml version=\"1.0\"?></r>",
        L"<r/>",
        L"<r  a = \"1\"   b=\"2\" />",
        L"junk <r/>",
        L"<St\u00E4tion N\u00E4me=\"\u00FC\">\u4E2D</St\u00E4tion>",
        L"<r/><s>second root</s>text",
        L"<r a=\"x<y\"><b c='\"'>\"'</b></r>",
        L"<a:b x.y-z_1=\"1\"><_c/></a:b>",
    };
    for (const std::wstring& text : texts)
    {
        XNode ours;
        const auto result = ours.Load(text);
        pugi::xml_document doc;
        ASSERT_TRUE(ParseWithPugixml(text, doc)) << rz::WideToUtf8(text);
        XNode expected;
        FromPugixml(doc.document_element(), expected);
        EXPECT_TRUE(result) << rz::WideToUtf8(text) << ": " << result.description;
        EXPECT_TRUE(ours == expected)
            << rz::WideToUtf8(text) << "\nours:     " << rz::WideToUtf8(ours.GetXML())
            << "\npugixml: " << rz::WideToUtf8(expected.GetXML());
    }
    // The same for UTF-16 bytes.
    XNode fromBytes;
    ASSERT_TRUE(fromBytes.LoadUtf16Le(rz::WideToUtf16Le(texts[4])));
    XNode fromText;
    fromText.Load(texts[4]);
    EXPECT_TRUE(fromBytes == fromText);
}

TEST(XNode, ReportsBrokenDocumentsWhereAndAsPugixmlDoes)
{
    const std::wstring texts[] = {
        L"<r><a>1</a><b>2</bx></r>",
        L"<r><a x=1/></r>",
        L"<r><a x=\"1\"y=\"2\"/></r>",
        L"<r><a x\"1\"/></r>",
        L"<r><a x=\"1/></r>",
        L"<r><!-- unterminated</r>",
        L"<r><![CDATA[ x </r>",
        L"<r><a",
        L"<r>text",
        L"<r><1/></r>",
        L"<r><? x?></r>",
        L"<r><?pi never closed</r>",
        L"<r><!DOCTYPE x></r>",
        L"<r><!x></r>",
        L"<r><a/ ></r>",
        L"<r><a></b></r>",
        L"<r></ r>",
        L"<r></r x>",
        L"",
        L"just text",
        L"<r><a x",
        L"<r><a x=",
        L"<r><!-- x --",
        L"<r><!DOCTYPE",
        L"<r></r",
        L"<r><a/",
        L"<r><a b='1'",
        L"<r><![CDATA[x]]",
        L"<r>&amp",
        L"<r><?pi x?",
        L"<r><a  ",
    };
    for (const std::wstring& text : texts)
    {
        XNode ours;
        const auto result = ours.Load(text);
        pugi::xml_document doc;
        const auto expected = ParseWithPugixml(text, doc);
        ASSERT_FALSE(expected) << rz::WideToUtf8(text);
        EXPECT_FALSE(result) << rz::WideToUtf8(text);
        EXPECT_EQ(result.description, expected.description()) << rz::WideToUtf8(text);
        EXPECT_EQ(result.offset, expected.offset) << rz::WideToUtf8(text);
    }
}
