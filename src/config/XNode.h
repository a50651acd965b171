#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace RUROR
{

// One entity reference used when writing: the character and the reference that stands for it.
struct XENTITY
{
    wchar_t entity;
    const wchar_t* ref;
};

// A table of entity references.
struct XENTITYS
{
    const XENTITY* entries;
    size_t count;
};

// & < > " ' and their references.
extern const XENTITYS entityDefault;

// How a text is parsed.
typedef struct _tagParseInfo
{
    bool trim_value = false;  // strip blanks around element text
    bool entity_value = true; // replace entity and character references in values
} PARSEINFO;

extern const PARSEINFO piDefault;

// How a node is written by GetXML.
typedef struct _tagDispOption
{
    bool newline = true;                 // a line break and indentation per element
    bool reference_value = true;         // write entity references for special characters
    wchar_t value_quotation_mark = L'"'; // quotes around attribute values
    const XENTITYS* entitys = &entityDefault;
    int tab_base = 0; // indentation of the node itself
} DISP_OPT;

extern const DISP_OPT optDefault;

// What a parse achieved. Converts to true when the whole text parsed; otherwise the tree
// holds what was built up to offset (in characters of the parsed text).
struct XParseResult
{
    bool ok = false;
    std::ptrdiff_t offset = 0;
    std::string description;

    explicit operator bool() const { return ok; }
};

// An XML element: a tag name, a text value, attributes and child elements that it owns.
// Comments and processing instructions are not kept.
class XNode
{
public:
    std::wstring name;
    std::wstring value;

    XNode() = default;
    XNode(std::wstring tagName, std::wstring text);
    ~XNode();
    // Copies make deep, parentless copies.
    XNode(const XNode& other);
    XNode& operator=(const XNode& other);

    // Parses a whole XML text into this node, which becomes its root element (the root's
    // children become this node's). Never throws; on a failed parse the node keeps what the
    // parser built and the result says where it stopped.
    XParseResult Load(std::wstring_view text, const PARSEINFO* pi = &piDefault);

    // The same for UTF-16 little-endian bytes without a byte-order mark.
    XParseResult LoadUtf16Le(std::string_view bytes, const PARSEINFO* pi = &piDefault);

    // Empties the node (name, value, attributes and children) for a new load.
    void Close();

    // The first child with that tag, or null.
    XNode* GetChild(std::wstring_view tagName) const;
    // The child at a position, or null past the end.
    XNode* GetChild(size_t index) const;
    size_t GetChildCount() const { return m_children.size(); }
    // The children in document order: a copy that stays valid while children are removed.
    std::vector<XNode*> GetChilds() const;
    // The text of the first child with that tag, or null when there is no such child.
    const wchar_t* GetChildValue(std::wstring_view tagName) const;

    // An attribute's value, or null.
    const wchar_t* GetAttrValue(std::wstring_view attrName) const;
    const std::vector<std::pair<std::wstring, std::wstring>>& GetAttrs() const { return m_attrs; }
    void AppendAttr(std::wstring attrName, std::wstring attrValue);

    // A new element that belongs to nobody until it is appended.
    static std::unique_ptr<XNode> CreateNode(std::wstring tagName, std::wstring text = {});
    // Attaches a node as the last child; this node owns it from then on. Returns it.
    XNode* AppendChild(std::unique_ptr<XNode> node);
    // Creates, attaches and returns a new last child.
    XNode* AppendChild(std::wstring tagName, std::wstring text);
    // Detaches and destroys a child. False, doing nothing, for null or another node's child.
    bool RemoveChild(XNode* node);

    XNode* GetParent() const { return m_parent; }

    // The node and its subtree as text, without an XML declaration.
    std::wstring GetXML(const DISP_OPT& opt = optDefault) const;

    // Same tag, text, attributes and children, recursively.
    bool operator==(const XNode& other) const;

private:
    void WriteXML(std::wstring& out, const DISP_OPT& opt, int depth) const;

    std::vector<std::pair<std::wstring, std::wstring>> m_attrs;
    std::vector<std::unique_ptr<XNode>> m_children;
    XNode* m_parent = nullptr;
};

} // namespace RUROR
