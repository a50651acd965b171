#include "config/XNode.h"

#include <gtest/gtest.h>

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
}
