#pragma once

#include <compare>
#include <cstddef>
#include <iosfwd>
#include <memory>
#include <new>
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
    size_t max_depth = 256;   // elements nested deeper end the parse (the root is level 1)
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

// What a parse achieved. Converts to true when the root element parsed completely; otherwise
// the tree holds what was built up to offset. Offsets count code units of the parsed text.
struct XParseResult
{
    bool ok = false;
    std::ptrdiff_t offset = 0;
    std::string description;
    // The parse stopped at an element nested deeper than PARSEINFO::max_depth.
    bool tooDeep = false;
    // Where the root element's end tag ends; what follows it is not parsed.
    std::ptrdiff_t end = 0;
    // Surrogate code units without their partner: each is kept in the text as it is.
    size_t loneSurrogates = 0;

    explicit operator bool() const { return ok; }
};

// The text of a node's name or value: read and assigned like a std::wstring. A loaded
// document keeps its texts in one block that the root node owns, and a text refers to its
// place there until it is changed, or until a caller needs a std::wstring of it (which is
// then made once). Copies and moves always own their text. Like the tree, not for use from
// two threads at once. Three words: a tree of many small nodes stays small, and reading a
// text never branches on where it lies.
class XString
{
public:
    static constexpr size_t npos = std::wstring::npos;
    using value_type = wchar_t;
    using size_type = size_t;
    using const_iterator = const wchar_t*;
    using iterator = const wchar_t*;

    XString() = default;
    XString(const wchar_t* text) { Set(std::wstring(text)); }
    explicit XString(std::wstring text) { Set(std::move(text)); }
    explicit XString(std::wstring_view text) { Set(std::wstring(text)); }
    XString(const XString& other) { Set(std::wstring(other.View())); }
    XString(XString&& other) noexcept { TakeFrom(other); }
    ~XString() = default;

    XString& operator=(const XString& other)
    {
        if (this != &other)
            Set(std::wstring(other.View()));
        return *this;
    }
    XString& operator=(XString&& other) noexcept
    {
        if (this != &other)
            TakeFrom(other);
        return *this;
    }
    XString& operator=(const std::wstring& text) { return Set(std::wstring(text)); }
    XString& operator=(std::wstring&& text) { return Set(std::move(text)); }
    XString& operator=(const wchar_t* text) { return Set(std::wstring(text)); }
    XString& operator=(std::wstring_view text) { return Set(std::wstring(text)); }
    XString& operator=(wchar_t c) { return Set(std::wstring(1, c)); }

    // The text as a std::wstring (made from the document's block the first time).
    operator const std::wstring&() const { return str(); }
    operator std::wstring_view() const { return View(); }
    const std::wstring& str() const
    {
        if (!m_own)
        {
            m_own = std::make_unique<std::wstring>(View());
            m_ref = m_own->c_str();
        }
        return *m_own;
    }
    std::wstring_view View() const { return std::wstring_view(m_ref, m_size); }

    const wchar_t* c_str() const { return m_ref != nullptr ? m_ref : L""; }
    const wchar_t* data() const { return c_str(); }
    size_t size() const { return m_size; }
    size_t length() const { return size(); }
    bool empty() const { return size() == 0; }
    const wchar_t* begin() const { return c_str(); }
    const wchar_t* end() const { return c_str() + size(); }
    const wchar_t* cbegin() const { return begin(); }
    const wchar_t* cend() const { return end(); }
    wchar_t operator[](size_t i) const { return c_str()[i]; }
    wchar_t& operator[](size_t i) { return Own()[i]; }
    wchar_t at(size_t i) const { return str().at(i); }
    wchar_t front() const { return View().front(); }
    wchar_t back() const { return View().back(); }

    std::wstring substr(size_t pos = 0, size_t n = npos) const { return str().substr(pos, n); }
    size_t find(std::wstring_view text, size_t pos = 0) const { return View().find(text, pos); }
    size_t find(wchar_t c, size_t pos = 0) const { return View().find(c, pos); }
    size_t rfind(std::wstring_view text, size_t pos = npos) const
    {
        return View().rfind(text, pos);
    }
    size_t rfind(wchar_t c, size_t pos = npos) const { return View().rfind(c, pos); }
    size_t find_first_of(std::wstring_view chars, size_t pos = 0) const
    {
        return View().find_first_of(chars, pos);
    }
    size_t find_first_not_of(std::wstring_view chars, size_t pos = 0) const
    {
        return View().find_first_not_of(chars, pos);
    }
    size_t find_last_not_of(std::wstring_view chars, size_t pos = npos) const
    {
        return View().find_last_not_of(chars, pos);
    }
    int compare(std::wstring_view text) const { return View().compare(text); }
    bool starts_with(std::wstring_view text) const { return View().starts_with(text); }
    bool ends_with(std::wstring_view text) const { return View().ends_with(text); }

    void clear() { Set(std::wstring()); }
    XString& operator+=(std::wstring_view text)
    {
        Own().append(text);
        return *this;
    }
    XString& operator+=(const wchar_t* text) { return *this += std::wstring_view(text); }
    XString& operator+=(wchar_t c)
    {
        Own().push_back(c);
        return *this;
    }
    XString& append(std::wstring_view text) { return *this += text; }
    void push_back(wchar_t c) { Own().push_back(c); }
    void assign(std::wstring_view text) { Set(std::wstring(text)); }
    void resize(size_t n, wchar_t c = L'\0') { Own().resize(n, c); }
    void swap(std::wstring& other) { Own().swap(other); }

    friend bool operator==(const XString& a, const XString& b) { return a.View() == b.View(); }
    friend bool operator==(const XString& a, std::wstring_view b) { return a.View() == b; }
    friend bool operator==(const XString& a, const wchar_t* b) { return a.View() == b; }
    friend bool operator==(const XString& a, const std::wstring& b) { return a.View() == b; }
    friend std::strong_ordering operator<=>(const XString& a, const XString& b)
    {
        return a.View().compare(b.View()) <=> 0;
    }
    friend std::strong_ordering operator<=>(const XString& a, std::wstring_view b)
    {
        return a.View().compare(b) <=> 0;
    }
    friend std::strong_ordering operator<=>(const XString& a, const wchar_t* b)
    {
        return a.View().compare(b) <=> 0;
    }
    friend std::strong_ordering operator<=>(const XString& a, const std::wstring& b)
    {
        return a.View().compare(b) <=> 0;
    }

    friend std::wstring operator+(const XString& a, std::wstring_view b)
    {
        return Join(a.View(), b);
    }
    friend std::wstring operator+(std::wstring_view a, const XString& b)
    {
        return Join(a, b.View());
    }
    friend std::wstring operator+(const XString& a, const XString& b)
    {
        return Join(a.View(), b.View());
    }
    friend std::wstring operator+(const XString& a, const wchar_t* b) { return Join(a.View(), b); }
    friend std::wstring operator+(const wchar_t* a, const XString& b) { return Join(a, b.View()); }
    friend std::wstring operator+(const XString& a, const std::wstring& b)
    {
        return Join(a.View(), b);
    }
    friend std::wstring operator+(const std::wstring& a, const XString& b)
    {
        return Join(a, b.View());
    }
    friend std::wstring operator+(const XString& a, wchar_t b)
    {
        return Join(a.View(), std::wstring_view(&b, 1));
    }
    friend std::wstring operator+(wchar_t a, const XString& b)
    {
        return Join(std::wstring_view(&a, 1), b.View());
    }

    // Prints the text as UTF-8 (test failures, logs).
    friend std::ostream& operator<<(std::ostream& out, const XString& text);

private:
    friend struct XNodeAccess;
    friend class XNode;

    static std::wstring Join(std::wstring_view a, std::wstring_view b)
    {
        std::wstring joined;
        joined.reserve(a.size() + b.size());
        joined.append(a).append(b);
        return joined;
    }
    XString& Set(std::wstring&& text)
    {
        if (text.empty())
        {
            m_own.reset();
            m_ref = nullptr;
        }
        else
        {
            if (m_own)
                *m_own = std::move(text);
            else
                m_own = std::make_unique<std::wstring>(std::move(text));
            m_ref = m_own->c_str();
        }
        m_size = m_own ? m_own->size() : 0;
        return *this;
    }
    // An owned text changes hands as it is; a text of the block is copied.
    void TakeFrom(XString& other)
    {
        if (!other.m_own)
        {
            Set(std::wstring(other.View()));
            return;
        }
        m_own = std::move(other.m_own);
        m_ref = other.m_ref;
        m_size = other.m_size;
        other.m_ref = nullptr;
        other.m_size = 0;
    }
    // Characters changed through the result stay where m_ref points: it is never resized.
    std::wstring& Own()
    {
        str();
        return *m_own;
    }

    // The text: in the document's block (zero-terminated) while m_own is null, else m_own's.
    // Null with a size of 0 for an empty text.
    mutable const wchar_t* m_ref = nullptr;
    size_t m_size = 0;
    mutable std::unique_ptr<std::wstring> m_own;
};

class XArena;

// An XML element: a tag name, a text value, attributes and child elements that it owns.
// Comments and processing instructions are not kept. Copies, comparison, GetXML and
// destruction walk the tree without recursion, so any depth is safe.
class XNode
{
public:
    XString name;
    XString value;

    XNode();
    XNode(std::wstring tagName, std::wstring text);
    ~XNode();
    // Copies make deep, parentless copies.
    XNode(const XNode& other);
    XNode& operator=(const XNode& other);

    // Parses a whole XML text into this node, which becomes its root element (the root's
    // children become this node's). Never throws; on a failed parse the node keeps what the
    // parser built and the result says where it stopped. Text is read as XML 1.0 with the
    // usual five entity references and character references; line ends become '\n' (a blank
    // in attribute values); blanks between elements are layout, but blanks that are an
    // element's only content are its value. Parsing ends with the root element.
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

    // The node and its subtree as text, without an XML declaration. Indentation stops
    // growing below kMaxIndent levels, so that the text grows linearly with the depth. With
    // references on, what reading would change goes out as a character reference (a carriage
    // return; tabs and line breaks in attribute values; blanks that are the only text beside
    // child elements; a low surrogate after a high one), so that the text reads back as the
    // same tree.
    std::wstring GetXML(const DISP_OPT& opt = optDefault) const;
    // The same text appended to out as UTF-16 LE bytes, without a byte-order mark.
    void AppendXMLUtf16Le(std::string& out, const DISP_OPT& opt = optDefault) const;

    static constexpr int kMaxIndent = 64;

    // Same tag, text, attributes and children, recursively.
    bool operator==(const XNode& other) const;

    // Nodes made by Load live in the loading node's block; deleting one runs its
    // destructor and leaves the memory to the block.
    static void operator delete(XNode* node, std::destroying_delete_t);

private:
    friend struct XNodeAccess;
    bool HoldsNothing() const;

    std::vector<std::pair<std::wstring, std::wstring>> m_attrs;
    std::vector<std::unique_ptr<XNode>> m_children;
    XNode* m_parent = nullptr;
    // The texts and nodes of the last Load into this node, freed after its children.
    std::unique_ptr<XArena> m_arena;
    bool m_inArena = false;
};

} // namespace RUROR
