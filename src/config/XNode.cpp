#include "config/XNode.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <ostream>
#include <type_traits>

namespace RUROR
{

// Memory for the nodes and texts of one loaded document, handed out in order and given back
// all at once.
class XArena
{
public:
    XArena(const XArena&) = delete;
    XArena& operator=(const XArena&) = delete;
    explicit XArena(size_t firstBlockBytes) : m_nextBlockBytes(firstBlockBytes) {}

    // Room for units wide characters and a terminating zero.
    wchar_t* Text(size_t units)
    {
        return static_cast<wchar_t*>(Take((units + 1) * sizeof(wchar_t), alignof(wchar_t)));
    }
    // Gives back the end of the last Text that was not needed, and terminates the text.
    void EndText(wchar_t* text, size_t used)
    {
        text[used] = L'\0';
        m_used = static_cast<size_t>(reinterpret_cast<std::byte*>(text + used + 1) - m_block);
    }
    XNode* Node() { return new (Take(sizeof(XNode), alignof(XNode))) XNode(); }

private:
    void* Take(size_t bytes, size_t align)
    {
        size_t start = (m_used + align - 1) & ~(align - 1);
        if (m_block == nullptr || start + bytes > m_size)
        {
            m_size = std::max(m_nextBlockBytes, bytes);
            m_nextBlockBytes = std::min(m_nextBlockBytes * 2, size_t{64} << 20);
            m_blocks.emplace_back(new std::byte[m_size]);
            m_block = m_blocks.back().get();
            start = 0;
        }
        m_used = start + bytes;
        return m_block + start;
    }

    std::vector<std::unique_ptr<std::byte[]>> m_blocks;
    std::byte* m_block = nullptr;
    size_t m_size = 0;
    size_t m_used = 0;
    size_t m_nextBlockBytes;
};

std::ostream& operator<<(std::ostream& out, const XString& text)
{
    return out << rz::WideToUtf8(text.View());
}

// The parser and the writer reach the members that callers do not see.
struct XNodeAccess
{
    static void Refer(XString& text, const wchar_t* ref, size_t size)
    {
        text.m_own.reset();
        text.m_ref = ref;
        text.m_size = size;
    }
    static XNode* NewNode(XArena& arena, XNode* parent)
    {
        XNode* node = arena.Node();
        node->m_inArena = true;
        node->m_parent = parent;
        return node;
    }
    static XArena& NewArena(XNode& root, size_t bytes)
    {
        root.m_arena = std::make_unique<XArena>(bytes);
        return *root.m_arena;
    }
    static std::vector<std::pair<std::wstring, std::wstring>>& Attrs(XNode& node)
    {
        return node.m_attrs;
    }
    static std::vector<std::unique_ptr<XNode>>& Children(XNode& node) { return node.m_children; }
    static const std::vector<std::unique_ptr<XNode>>& Children(const XNode& node)
    {
        return node.m_children;
    }
};

namespace
{

constexpr XENTITY kDefaultEntities[] = {
    {L'&', L"&amp;"}, {L'<', L"&lt;"}, {L'>', L"&gt;"}, {L'"', L"&quot;"}, {L'\'', L"&apos;"},
};

// ---------------------------------------------------------------------------------------
// Parsing

enum class ParseError
{
    None,
    NoElement,
    BadTag,
    BadPi,
    BadComment,
    BadCdata,
    BadDoctype,
    BadStart,
    BadAttribute,
    BadEnd,
    Mismatch,
    TooDeep,
};

const char* DescribeError(ParseError error)
{
    switch (error)
    {
    case ParseError::None:
        return "No error";
    case ParseError::NoElement:
        return "No document element found";
    case ParseError::BadTag:
        return "Could not determine tag type";
    case ParseError::BadPi:
        return "Error parsing document declaration/processing instruction";
    case ParseError::BadComment:
        return "Error parsing comment";
    case ParseError::BadCdata:
        return "Error parsing CDATA section";
    case ParseError::BadDoctype:
        return "Error parsing document type declaration";
    case ParseError::BadStart:
        return "Error parsing start element tag";
    case ParseError::BadAttribute:
        return "Error parsing element attribute";
    case ParseError::BadEnd:
        return "Error parsing end element tag";
    case ParseError::Mismatch:
        return "Start-end tags mismatch";
    case ParseError::TooDeep:
        return "Elements nested too deep";
    }
    return "";
}

constexpr bool IsSpace(char32_t u)
{
    return u == ' ' || u == '\t' || u == '\r' || u == '\n';
}

constexpr bool IsStartSymbol(char32_t u)
{
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x80;
}

constexpr bool IsSymbol(char32_t u)
{
    return IsStartSymbol(u) || (u >= '0' && u <= '9') || u == '-' || u == '.';
}

constexpr bool IsSurrogate(char32_t u)
{
    return u >= 0xD800 && u <= 0xDFFF;
}

// A UTF-16 code unit read straight from the bytes of a file (which may hold any type).
struct __attribute__((__may_alias__)) Utf16Unit
{
    char16_t unit;
    constexpr Utf16Unit(char16_t u) : unit(u) {}
    constexpr operator char16_t() const { return unit; }
};
static_assert(sizeof(Utf16Unit) == 2 && alignof(Utf16Unit) == alignof(char16_t));

// Parses UTF-16 (Char = char16_t) or wide text (Char = wchar_t) straight into an XNode tree,
// without recursion: the open elements are kept on a stack of their own.
template <typename Char> class CParser
{
public:
    CParser(const Char* begin, const Char* end, const PARSEINFO& pi)
        : m_begin(begin), m_p(begin), m_end(end), m_pi(pi)
    {
        // Like the XML parsers this one replaces, a zero unit ends the text. Whole blocks are
        // tested first, in a loop that the compiler vectorises.
        constexpr size_t kBlock = 64;
        const Char* p = begin;
        for (; static_cast<size_t>(end - p) >= kBlock; p += kBlock)
        {
            bool zero = false;
            for (size_t i = 0; i < kBlock; ++i)
                zero |= p[i] == 0;
            if (zero)
                break;
        }
        if (const Char* zero = std::find(p, end, Char(0)); zero != end)
        {
            m_end = zero;
            m_cutAtZero = true;
        }
    }

    XParseResult Run(XNode& root)
    {
        root.Close();
        m_root = &root;
        // Nodes and texts take about four times the units of the text.
        m_arena = &XNodeAccess::NewArena(
            root, std::clamp<size_t>(static_cast<size_t>(m_end - m_begin) * 4, 4096, 64 << 20));
        const ParseError error = Parse();
        for (size_t level = m_open.size(); level-- > 0;)
        {
            AdoptPending(level);
            Finish(*m_open[level].node);
        }
        XParseResult result;
        result.ok = error == ParseError::None;
        result.tooDeep = error == ParseError::TooDeep;
        result.offset = result.ok ? 0 : m_errorOffset;
        result.end = result.ok ? m_p - m_begin : 0;
        result.description = DescribeError(error);
        result.loneSurrogates = m_loneSurrogates;
        return result;
    }

private:
    struct Open
    {
        XNode* node;
        const Char* name;
        size_t nameLength;
        bool hasContent; // text or elements so far (blank-only text then is layout)
    };

    // The children of an open element gather in a list per level, reused from element to
    // element, and move into the element when it closes: one allocation per child list.
    std::vector<std::unique_ptr<XNode>>& Pending(size_t level)
    {
        if (m_pending.size() <= level)
            m_pending.resize(level + 1);
        return m_pending[level];
    }
    void AdoptPending(size_t level)
    {
        if (level >= m_pending.size() || m_pending[level].empty())
            return;
        auto& pending = m_pending[level];
        auto& children = XNodeAccess::Children(*m_open[level].node);
        children.reserve(children.size() + pending.size());
        for (auto& child : pending)
            children.push_back(std::move(child));
        pending.clear();
    }

    static char32_t U(Char c)
    {
        if constexpr (sizeof(Char) == 2)
            return static_cast<char16_t>(c);
        else
            return static_cast<char32_t>(static_cast<std::make_unsigned_t<Char>>(c));
    }
    char32_t At(size_t ahead) const { return m_p + ahead < m_end ? U(m_p[ahead]) : char32_t(0); }
    bool StartsWith(const char* ascii) const
    {
        const size_t n = std::strlen(ascii);
        if (static_cast<size_t>(m_end - m_p) < n)
            return false;
        for (size_t i = 0; i < n; ++i)
        {
            if (U(m_p[i]) != static_cast<unsigned char>(ascii[i]))
                return false;
        }
        return true;
    }
    ParseError Fail(ParseError error, const Char* at, std::ptrdiff_t after = 0)
    {
        m_errorOffset = at - m_begin + after;
        // Like pugixml, whose offsets callers have seen so far, a text that simply ends is
        // reported at its last character.
        if (at == m_end && after == 0 && !m_cutAtZero && at > m_begin &&
            error != ParseError::NoElement)
            --m_errorOffset;
        return error;
    }
    void SkipSpace()
    {
        while (m_p < m_end && IsSpace(U(*m_p)))
            ++m_p;
    }
    // Moves past the next occurrence of the ASCII text; false at the end of the text.
    bool SkipPast(const char* ascii)
    {
        const auto first = static_cast<Char>(ascii[0]);
        for (; m_p < m_end; ++m_p)
        {
            if (*m_p == first && StartsWith(ascii))
            {
                m_p += std::strlen(ascii);
                return true;
            }
        }
        return false;
    }

    void Finish(XNode& node) const
    {
        if (m_pi.trim_value)
        {
            const std::wstring_view trimmed = rz::TrimBlanks(node.value.View());
            if (trimmed.size() != node.value.size())
                node.value = trimmed;
        }
    }

    // A character or entity reference at from ('&'): its code point and the unit after it,
    // or false when it is none (the '&' then stands for itself).
    static bool DecodeReference(const Char* from, const Char* to, char32_t& cp, const Char*& next)
    {
        const auto rest = static_cast<size_t>(to - from);
        const auto at = [&](size_t i) { return i < rest ? U(from[i]) : char32_t(0); };
        if (at(1) == '#')
        {
            const bool hex = at(2) == 'x';
            size_t i = hex ? 3 : 2;
            unsigned long long value = 0;
            const size_t firstDigit = i;
            for (;; ++i)
            {
                const char32_t c = at(i);
                if (c >= '0' && c <= '9')
                    value = value * (hex ? 16 : 10) + (c - '0');
                else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f')
                    value = value * 16 + ((c | 0x20) - 'a' + 10);
                else
                    break;
                value = std::min(value, 0x110000ULL);
            }
            if (i == firstDigit || at(i) != ';' || value == 0 || value > 0x10FFFF)
                return false;
            cp = static_cast<char32_t>(value);
            next = from + i + 1;
            return true;
        }
        static constexpr struct
        {
            const char* name;
            char32_t cp;
        } kNamed[] = {{"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
        for (const auto& named : kNamed)
        {
            size_t i = 0;
            while (named.name[i] != 0 && at(i + 1) == static_cast<unsigned char>(named.name[i]))
                ++i;
            if (named.name[i] == 0)
            {
                cp = named.cp;
                next = from + 1 + i;
                return true;
            }
        }
        return false;
    }

    static bool NeedsWork(char32_t u, bool references, bool attribute)
    {
        if (u >= 0x80)
            return IsSurrogate(u);
        return (u == '&' && references) || u == '\r' || (attribute && (u == '\t' || u == '\n'));
    }

    // Appends [from, to) to out: surrogate pairs joined, line ends made '\n' (a blank in
    // attribute values, as are tabs and line feeds), references replaced when asked.
    // Writes [from, to) to out (room for to - from characters: nothing below makes a text
    // longer): surrogate pairs joined, line ends made '\n' (a blank in attribute values, as
    // are tabs and line feeds), references replaced when asked. Returns the length.
    size_t Decode(wchar_t* out, const Char* from, const Char* to, bool references, bool attribute)
    {
        wchar_t* w = out;
        const Char* q = from;
        while (q < to)
        {
            const char32_t u = U(*q);
            if (!NeedsWork(u, references, attribute))
            {
                *w++ = static_cast<wchar_t>(u);
                ++q;
            }
            else if (IsSurrogate(u))
            {
                ++q;
                if constexpr (sizeof(Char) == 2)
                {
                    if (u <= 0xDBFF && q < to && U(*q) >= 0xDC00 && U(*q) <= 0xDFFF)
                    {
                        *w++ =
                            static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (U(*q) - 0xDC00));
                        ++q;
                        continue;
                    }
                }
                ++m_loneSurrogates;
                *w++ = static_cast<wchar_t>(u);
            }
            else if (u == '&')
            {
                char32_t cp = 0;
                const Char* next = nullptr;
                if (DecodeReference(q, to, cp, next))
                {
                    if (IsSurrogate(cp))
                        ++m_loneSurrogates;
                    *w++ = static_cast<wchar_t>(cp);
                    q = next;
                }
                else
                {
                    *w++ = L'&';
                    ++q;
                }
            }
            else if (u == '\r')
            {
                *w++ = attribute ? L' ' : L'\n';
                ++q;
                if (q < to && U(*q) == '\n')
                    ++q;
            }
            else
            {
                *w++ = L' '; // a tab or line feed in an attribute value
                ++q;
            }
        }
        return static_cast<size_t>(w - out);
    }

    void AppendText(std::wstring& out, const Char* from, const Char* to, bool references,
                    bool attribute)
    {
        const size_t old = out.size();
        out.resize(old + static_cast<size_t>(to - from));
        out.resize(old + Decode(out.data() + old, from, to, references, attribute));
    }

    // Sets an element's name. A document repeats a few dozen names many thousand times: each
    // is decoded once and every element of that name refers to the one copy, which keeps the
    // block small and the names that a reader compares in the cache.
    void SetName(XNode& node, const Char* from, const Char* to)
    {
        const auto length = static_cast<size_t>(to - from);
        size_t hash = length;
        bool plain = length <= kMaxSharedName;
        for (const Char* q = from; plain && q < to; ++q)
        {
            const char32_t u = U(*q);
            plain = !IsSurrogate(u); // counted as lone ones where they stand
            hash = hash * 31 + u;
        }
        if (!plain)
        {
            AddText(node.name, from, to, false);
            return;
        }
        for (size_t i = hash % kSharedNames;; i = (i + 1) % kSharedNames)
        {
            SharedName& shared = m_names[i];
            if (shared.source == nullptr)
            {
                AddText(node.name, from, to, false);
                // A full table takes no more names; the last free place stays free.
                if (m_sharedNames + 1 < kSharedNames)
                {
                    shared = {from, length, node.name.c_str()};
                    ++m_sharedNames;
                }
                return;
            }
            if (shared.length == length &&
                std::memcmp(shared.source, from, length * sizeof(Char)) == 0)
            {
                XNodeAccess::Refer(node.name, shared.text, length);
                return;
            }
        }
    }

    // Sets or extends a node's name or value. The first text goes to the document's block;
    // a second one (text beside elements or CDATA) joins it as text of its own.
    void AddText(XString& text, const Char* from, const Char* to, bool references)
    {
        if (text.empty())
        {
            wchar_t* out = m_arena->Text(static_cast<size_t>(to - from));
            const size_t length = Decode(out, from, to, references, false);
            m_arena->EndText(out, length);
            XNodeAccess::Refer(text, out, length);
            return;
        }
        std::wstring joined = text.str();
        AppendText(joined, from, to, references, false);
        text = std::move(joined);
    }

    ParseError Parse()
    {
        while (m_p < m_end)
        {
            if (*m_p != Char('<'))
            {
                if (const ParseError error = Text(); error != ParseError::None)
                    return error;
                continue;
            }
            const Char* tagStart = m_p;
            ++m_p;
            const char32_t c = At(0);
            ParseError error = ParseError::None;
            if (IsStartSymbol(c))
            {
                error = StartTag(tagStart);
                if (error == ParseError::None && m_rootDone)
                    return ParseError::None;
            }
            else if (c == '/')
            {
                error = EndTag();
                if (error == ParseError::None && m_open.empty())
                {
                    m_rootDone = true;
                    return ParseError::None;
                }
            }
            else if (c == '?')
            {
                error = ProcessingInstruction();
            }
            else if (c == '!')
            {
                error = MarkupDeclaration(tagStart);
            }
            else
            {
                error = Fail(ParseError::BadTag, m_p);
            }
            if (error != ParseError::None)
                return error;
        }
        if (!m_open.empty())
            return Fail(ParseError::Mismatch, m_end);
        if (!m_rootDone)
            return Fail(ParseError::NoElement, m_end);
        return ParseError::None;
    }

    ParseError Text()
    {
        const Char* mark = m_p;
        if (m_open.empty())
        {
            // Text outside the root element is not part of the tree.
            while (m_p < m_end && *m_p != Char('<'))
                ++m_p;
            return ParseError::None;
        }
        SkipSpace();
        Open& open = m_open.back();
        if (m_p == m_end || *m_p == Char('<'))
        {
            // Blank text is layout, unless it is all that an element holds.
            if (open.hasContent || At(0) != '<' || At(1) != '/')
                return ParseError::None;
        }
        while (m_p < m_end && *m_p != Char('<'))
            ++m_p;
        AddText(open.node->value, mark, m_p, m_pi.entity_value);
        open.hasContent = true;
        return ParseError::None;
    }

    ParseError StartTag(const Char* tagStart)
    {
        if (m_open.size() >= m_pi.max_depth)
            return Fail(ParseError::TooDeep, tagStart);
        const Char* name = m_p;
        while (m_p < m_end && IsSymbol(U(*m_p)))
            ++m_p;
        XNode* node = nullptr;
        if (m_open.empty())
        {
            node = m_root;
        }
        else
        {
            m_open.back().hasContent = true;
            node = XNodeAccess::NewNode(*m_arena, m_open.back().node);
            Pending(m_open.size() - 1).emplace_back(node);
        }
        SetName(*node, name, m_p);
        m_open.push_back({node, name, static_cast<size_t>(m_p - name), false});

        for (;;)
        {
            SkipSpace();
            const char32_t c = At(0);
            if (IsStartSymbol(c))
            {
                if (const ParseError error = Attribute(*node); error != ParseError::None)
                    return error;
            }
            else if (c == '/')
            {
                ++m_p;
                if (At(0) != '>')
                    return Fail(ParseError::BadStart, m_p);
                ++m_p;
                Close();
                return ParseError::None;
            }
            else if (c == '>')
            {
                ++m_p;
                return ParseError::None;
            }
            else
            {
                return Fail(ParseError::BadStart, m_p);
            }
        }
    }

    ParseError Attribute(XNode& node)
    {
        const Char* name = m_p;
        while (m_p < m_end && IsSymbol(U(*m_p)))
            ++m_p;
        auto& attrs = XNodeAccess::Attrs(node);
        attrs.emplace_back();
        AppendText(attrs.back().first, name, m_p, false, false);
        SkipSpace();
        if (At(0) != '=')
            return Fail(ParseError::BadAttribute, m_p, 1);
        ++m_p;
        SkipSpace();
        const char32_t quote = At(0);
        if (quote != '"' && quote != '\'')
            return Fail(ParseError::BadAttribute, m_p);
        ++m_p;
        const Char* value = m_p;
        while (m_p < m_end && U(*m_p) != quote)
            ++m_p;
        if (m_p == m_end)
            return Fail(ParseError::BadAttribute, value);
        AppendText(attrs.back().second, value, m_p, m_pi.entity_value, true);
        ++m_p;
        if (IsStartSymbol(At(0)))
            return Fail(ParseError::BadAttribute, m_p);
        return ParseError::None;
    }

    void Close()
    {
        AdoptPending(m_open.size() - 1);
        Finish(*m_open.back().node);
        m_open.pop_back();
        if (m_open.empty())
            m_rootDone = true;
    }

    ParseError EndTag()
    {
        ++m_p; // the '/'
        const Char* mark = m_p;
        if (m_open.empty())
            return Fail(ParseError::Mismatch, mark);
        const Open& open = m_open.back();
        // The usual case, the start tag's name and then no further name character, is compared
        // as one block: a loop would end at a different place for every name.
        if (static_cast<size_t>(m_end - m_p) > open.nameLength &&
            std::memcmp(m_p, open.name, open.nameLength * sizeof(Char)) == 0 &&
            !IsSymbol(U(m_p[open.nameLength])))
        {
            m_p += open.nameLength;
        }
        else
        {
            size_t i = 0;
            while (m_p < m_end && IsSymbol(U(*m_p)))
            {
                if (i >= open.nameLength || *m_p != open.name[i])
                    return Fail(ParseError::Mismatch, mark);
                ++m_p;
                ++i;
            }
            if (i != open.nameLength)
                return Fail(ParseError::Mismatch, mark);
        }
        Close();
        SkipSpace();
        if (At(0) != '>')
            return Fail(ParseError::BadEnd, m_p);
        ++m_p;
        return ParseError::None;
    }

    ParseError ProcessingInstruction()
    {
        ++m_p; // the '?'
        if (!IsStartSymbol(At(0)))
            return Fail(ParseError::BadPi, m_p);
        while (m_p < m_end && IsSymbol(U(*m_p)))
            ++m_p;
        if (!SkipPast("?>"))
            return Fail(ParseError::BadPi, m_end);
        return ParseError::None;
    }

    ParseError MarkupDeclaration(const Char* tagStart)
    {
        ++m_p; // the '!'
        if (StartsWith("--"))
        {
            m_p += 2;
            return SkipPast("-->") ? ParseError::None : Fail(ParseError::BadComment, m_end);
        }
        if (StartsWith("[CDATA["))
        {
            m_p += 7;
            if (m_open.empty())
                return Fail(ParseError::BadCdata, m_p);
            const Char* text = m_p;
            if (!SkipPast("]]>"))
                return Fail(ParseError::BadCdata, text);
            AddText(m_open.back().node->value, text, m_p - 3, false);
            m_open.back().hasContent = true;
            return ParseError::None;
        }
        if (StartsWith("DOCTYPE"))
        {
            if (!m_open.empty())
                return Fail(ParseError::BadDoctype, tagStart);
            return SkipDoctype() ? ParseError::None : Fail(ParseError::BadDoctype, m_end);
        }
        return Fail(ParseError::BadTag, m_p);
    }

    // Skips a document type declaration with its internal subset, quoted strings and
    // comments included.
    bool SkipDoctype()
    {
        int brackets = 0;
        int angles = 0;
        while (m_p < m_end)
        {
            const char32_t c = U(*m_p);
            if (c == '"' || c == '\'')
            {
                ++m_p;
                while (m_p < m_end && U(*m_p) != c)
                    ++m_p;
                if (m_p == m_end)
                    return false;
            }
            else if (c == '<' && StartsWith("<!--"))
            {
                if (!SkipPast("-->"))
                    return false;
                continue;
            }
            else if (c == '[')
                ++brackets;
            else if (c == ']')
                --brackets;
            else if (c == '<')
                ++angles;
            else if (c == '>' && angles > 0)
                --angles;
            else if (c == '>' && brackets <= 0)
            {
                ++m_p;
                return true;
            }
            ++m_p;
        }
        return false;
    }

    const Char* m_begin;
    const Char* m_p;
    const Char* m_end;
    std::ptrdiff_t m_errorOffset = 0;
    bool m_cutAtZero = false;
    const PARSEINFO& m_pi;
    XNode* m_root = nullptr;
    XArena* m_arena = nullptr;
    std::vector<Open> m_open;
    std::vector<std::vector<std::unique_ptr<XNode>>> m_pending;
    bool m_rootDone = false;
    size_t m_loneSurrogates = 0;
    // Element names decoded so far: where each was first read, and its text in the block.
    struct SharedName
    {
        const Char* source = nullptr;
        size_t length = 0;
        const wchar_t* text = nullptr;
    };
    static constexpr size_t kSharedNames = 512;
    static constexpr size_t kMaxSharedName = 64;
    std::vector<SharedName> m_names = std::vector<SharedName>(kSharedNames);
    size_t m_sharedNames = 0;
};

// ---------------------------------------------------------------------------------------
// Writing

// A surrogate code unit in a text is one that was read without its partner (broken UTF-16, or
// a character reference). Written as it is, a high one followed by a low one would read back
// as one character; the low one is then written as a reference, which reads back as itself.
constexpr bool SplitsPair(wchar_t previous, wchar_t c)
{
    return static_cast<char32_t>(previous) >= 0xD800 && static_cast<char32_t>(previous) <= 0xDBFF &&
           static_cast<char32_t>(c) >= 0xDC00 && static_cast<char32_t>(c) <= 0xDFFF;
}

constexpr size_t kSurrogateRefLength = 8; // &#xDC00;

// The reference "&#xHHHH;" of a code unit, written to buffer (kSurrogateRefLength + 1 units).
const wchar_t* SurrogateReference(wchar_t c, wchar_t* buffer)
{
    constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    const auto unit = static_cast<unsigned>(c);
    buffer[0] = L'&';
    buffer[1] = L'#';
    buffer[2] = L'x';
    for (int i = 0; i < 4; ++i)
        buffer[3 + i] = kHex[(unit >> (12 - 4 * i)) & 0xF];
    buffer[7] = L';';
    buffer[8] = L'\0';
    return buffer;
}

// Wide text.
class CWideOut
{
public:
    explicit CWideOut(std::wstring& out) : m_out(out) {}
    void Put(wchar_t c) { m_out.push_back(c); }
    void Repeat(wchar_t c, size_t count) { m_out.append(count, c); }
    void Text(std::wstring_view text) { m_out.append(text); }
    // Text with the references of refs (by ASCII character) in place of their characters, and
    // a low surrogate that follows a high one as a character reference (see SplitsPair).
    void Escaped(std::wstring_view text, const wchar_t* const* refs, size_t)
    {
        size_t run = 0;
        for (size_t i = 0; i < text.size(); ++i)
        {
            const auto c = static_cast<unsigned>(text[i]);
            const wchar_t* ref = nullptr;
            wchar_t pairRef[kSurrogateRefLength + 1];
            if (c < 128)
                ref = refs[c];
            else if (i > 0 && SplitsPair(text[i - 1], text[i]))
                ref = SurrogateReference(text[i], pairRef);
            if (ref == nullptr)
                continue;
            m_out.append(text.substr(run, i - run));
            m_out.append(ref);
            run = i + 1;
        }
        m_out.append(text.substr(run));
    }

private:
    std::wstring& m_out;
};

// UTF-16 LE bytes, written through a pointer into a string grown in large steps.
class CUtf16Out
{
public:
    explicit CUtf16Out(std::string& out) : m_out(out), m_used(out.size()) {}
    ~CUtf16Out() { m_out.resize(m_used); }
    CUtf16Out(const CUtf16Out&) = delete;
    CUtf16Out& operator=(const CUtf16Out&) = delete;

    void Put(wchar_t c)
    {
        char* w = Need(2);
        w[0] = static_cast<char>(c & 0xFF);
        w[1] = static_cast<char>((c >> 8) & 0xFF);
        m_used += 2;
    }
    void Repeat(wchar_t c, size_t count)
    {
        char* w = Need(count * 2);
        for (size_t i = 0; i < count; ++i)
        {
            w[2 * i] = static_cast<char>(c & 0xFF);
            w[2 * i + 1] = static_cast<char>((c >> 8) & 0xFF);
        }
        m_used += count * 2;
    }
    void Text(std::wstring_view text)
    {
        char* const start = Need(text.size() * 4);
        char* w = start;
        for (const wchar_t wc : text)
            w = Unit(w, wc);
        m_used += static_cast<size_t>(w - start);
    }
    // longest: the length of the longest reference in refs or of a surrogate's reference.
    void Escaped(std::wstring_view text, const wchar_t* const* refs, size_t longest)
    {
        char* const start = Need(text.size() * std::max<size_t>(longest, 2) * 2);
        char* w = start;
        wchar_t previous = 0;
        for (const wchar_t wc : text)
        {
            const auto c = static_cast<unsigned>(wc);
            if (c < 128 && refs[c] != nullptr)
            {
                for (const wchar_t* r = refs[c]; *r != 0; ++r)
                    w = Unit(w, *r);
            }
            else if (c >= 0xDC00 && SplitsPair(previous, wc)) [[unlikely]]
            {
                wchar_t pairRef[kSurrogateRefLength + 1];
                for (const wchar_t* r = SurrogateReference(wc, pairRef); *r != 0; ++r)
                    w = Unit(w, *r);
            }
            else
            {
                w = Unit(w, wc);
            }
            previous = wc;
        }
        m_used += static_cast<size_t>(w - start);
    }

private:
    // One character as UTF-16 LE: beyond U+FFFF a surrogate pair, beyond U+10FFFF U+FFFD.
    static char16_t Le(char32_t unit)
    {
        if constexpr (std::endian::native == std::endian::big)
            unit = ((unit & 0xFF) << 8) | ((unit >> 8) & 0xFF);
        return static_cast<char16_t>(unit);
    }
    static char* Unit(char* w, wchar_t wc)
    {
        auto cp = static_cast<char32_t>(wc);
        if (cp < 0x10000) [[likely]]
        {
            const char16_t unit = Le(cp);
            std::memcpy(w, &unit, 2);
            return w + 2;
        }
        if (cp > 0x10FFFF)
            return Unit(w, static_cast<wchar_t>(0xFFFD));
        cp -= 0x10000;
        const char16_t pair[2] = {Le(0xD800 + (cp >> 10)), Le(0xDC00 + (cp & 0x3FF))};
        std::memcpy(w, pair, 4);
        return w + 4;
    }

    char* Need(size_t bytes)
    {
        if (m_used + bytes > m_out.size()) [[unlikely]]
            Grow(bytes);
        return m_out.data() + m_used;
    }
    [[gnu::noinline]] void Grow(size_t bytes)
    {
        m_out.resize(std::max({m_out.capacity(), m_out.size() * 2, m_used + bytes + 4096}));
    }

    std::string& m_out;
    size_t m_used;
};

// Writes text with the references of the entity table in place of their characters; the
// runs between them go out in one piece. Characters that the reader would not give back as
// they are also go out as references: a carriage return (read as a line feed) and, in
// attribute values, tabs and line breaks (read as blanks).
class CEscaper
{
public:
    explicit CEscaper(const DISP_OPT& opt)
    {
        if (!opt.reference_value || opt.entitys == nullptr)
            return;
        m_table = opt.entitys;
        for (size_t i = 0; i < m_table->count; ++i)
        {
            const XENTITY& e = m_table->entries[i];
            if (static_cast<unsigned>(e.entity) < 128)
            {
                if (m_text[e.entity] == nullptr)
                    m_text[e.entity] = e.ref;
            }
            else
            {
                m_beyondAscii = true;
            }
        }
        std::copy(std::begin(m_text), std::end(m_text), std::begin(m_attribute));
        if (m_text[L'\r'] == nullptr)
            m_text[L'\r'] = L"&#13;";
        constexpr std::pair<wchar_t, const wchar_t*> kAttribute[] = {
            {L'\t', L"&#9;"}, {L'\n', L"&#10;"}, {L'\r', L"&#13;"}};
        for (const auto& [c, ref] : kAttribute)
        {
            if (m_attribute[c] == nullptr)
                m_attribute[c] = ref;
        }
        m_longest = kSurrogateRefLength;
        for (const wchar_t* ref : m_attribute)
            m_longest = std::max(m_longest, ref != nullptr ? std::wcslen(ref) : 0);
        for (const wchar_t* ref : m_text)
            m_longest = std::max(m_longest, ref != nullptr ? std::wcslen(ref) : 0);
    }

    template <typename Out> void Write(Out& out, std::wstring_view text, bool attribute) const
    {
        if (m_table == nullptr)
        {
            out.Text(text);
            return;
        }
        const wchar_t* const* refs = attribute ? m_attribute : m_text;
        if (!m_beyondAscii)
        {
            out.Escaped(text, refs, m_longest);
            return;
        }
        size_t run = 0;
        for (size_t i = 0; i < text.size(); ++i)
        {
            wchar_t pairRef[kSurrogateRefLength + 1];
            const wchar_t* ref = Reference(text[i], refs);
            if (ref == nullptr && i > 0 && SplitsPair(text[i - 1], text[i]))
                ref = SurrogateReference(text[i], pairRef);
            if (ref == nullptr)
                continue;
            out.Text(text.substr(run, i - run));
            out.Text(ref);
            run = i + 1;
        }
        out.Text(text.substr(run));
    }

    // The text of an element with child elements. Blanks alone there read as layout between
    // the elements, so the first of them goes out as a character reference.
    template <typename Out> void WriteBesideChildren(Out& out, std::wstring_view text) const
    {
        const bool blank = !text.empty() && text.find_first_not_of(L" \t\n") == text.npos;
        if (m_table == nullptr || !blank)
        {
            Write(out, text, false);
            return;
        }
        out.Text(text[0] == L' ' ? L"&#32;" : text[0] == L'\t' ? L"&#9;" : L"&#10;");
        Write(out, text.substr(1), false);
    }

private:
    const wchar_t* Reference(wchar_t c, const wchar_t* const* refs) const
    {
        if (static_cast<unsigned>(c) < 128)
            return refs[c];
        for (size_t i = 0; i < m_table->count; ++i)
        {
            if (m_table->entries[i].entity == c)
                return m_table->entries[i].ref;
        }
        return nullptr;
    }

    const XENTITYS* m_table = nullptr;
    const wchar_t* m_text[128] = {};
    const wchar_t* m_attribute[128] = {};
    size_t m_longest = 0;
    bool m_beyondAscii = false;
};

template <typename Out> class CWriter
{
public:
    CWriter(Out& out, const DISP_OPT& opt) : m_out(out), m_opt(opt), m_escaper(opt) {}

    void Write(const XNode& root)
    {
        struct Frame
        {
            const XNode* node;
            size_t next;
            int depth;
            bool newline;      // this element's own line break and indentation
            bool innerNewline; // its children's
        };
        std::vector<Frame> stack;
        const auto open = [&](const XNode& node, int depth, bool newline)
        {
            if (node.name.empty())
                return;
            if (newline)
                Indent(depth);
            m_out.Put(L'<');
            m_out.Text(node.name);
            for (const auto& [attrName, attrValue] : node.GetAttrs())
            {
                m_out.Put(L' ');
                m_out.Text(attrName);
                m_out.Put(L'=');
                m_out.Put(m_opt.value_quotation_mark);
                m_escaper.Write(m_out, attrValue, true);
                m_out.Put(m_opt.value_quotation_mark);
            }
            const auto& children = XNodeAccess::Children(node);
            if (node.value.empty() && children.empty())
            {
                m_out.Put(L'/');
                m_out.Put(L'>');
                if (newline)
                    LineBreak();
                return;
            }
            m_out.Put(L'>');
            if (children.empty())
                m_escaper.Write(m_out, node.value, false);
            else
                m_escaper.WriteBesideChildren(m_out, node.value);
            if (children.empty())
            {
                CloseTag(node, newline);
                return;
            }
            // Text beside child elements would gain the layout's blanks on the next load,
            // so such an element is written on one line.
            const bool inner = newline && node.value.empty();
            if (inner)
                LineBreak();
            stack.push_back({&node, 0, depth, newline, inner});
        };

        open(root, m_opt.tab_base, m_opt.newline);
        while (!stack.empty())
        {
            Frame& frame = stack.back();
            const auto& children = XNodeAccess::Children(*frame.node);
            if (frame.next < children.size())
            {
                const XNode& child = *children[frame.next++];
                open(child, frame.depth + 1, frame.innerNewline);
                continue;
            }
            const Frame done = frame;
            stack.pop_back();
            if (done.innerNewline)
                Indent(done.depth);
            CloseTag(*done.node, done.newline);
        }
    }

private:
    void Indent(int depth)
    {
        m_out.Repeat(L'\t', static_cast<size_t>(std::clamp(depth, 0, XNode::kMaxIndent)));
    }
    void LineBreak()
    {
        m_out.Put(L'\r');
        m_out.Put(L'\n');
    }
    void CloseTag(const XNode& node, bool newline)
    {
        m_out.Put(L'<');
        m_out.Put(L'/');
        m_out.Text(node.name);
        m_out.Put(L'>');
        if (newline)
            LineBreak();
    }

    Out& m_out;
    const DISP_OPT& m_opt;
    CEscaper m_escaper;
};

} // namespace

const XENTITYS entityDefault = {kDefaultEntities, std::size(kDefaultEntities)};
const PARSEINFO piDefault{};
const DISP_OPT optDefault{};

XNode::XNode() = default;

XNode::XNode(std::wstring tagName, std::wstring text)
    : name(std::move(tagName)), value(std::move(text))
{
}

XNode::~XNode()
{
    // The subtree is taken apart level by level, so that no destructor runs deep.
    // Leaves go at once; only nodes with children wait on the list.
    std::vector<std::unique_ptr<XNode>> pending = std::move(m_children);
    while (!pending.empty())
    {
        std::unique_ptr<XNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->m_children)
        {
            if (!child->m_children.empty())
                pending.push_back(std::move(child));
            else if (child->m_inArena && child->HoldsNothing())
                (void)child.release(); // its block goes with the arena; nothing else to free
        }
        node->m_children.clear();
    }
}

bool XNode::HoldsNothing() const
{
    // Texts in the block or empty, no attribute and no child list: the destructor would free
    // nothing.
    return !name.m_own && !value.m_own && m_attrs.capacity() == 0 && m_children.capacity() == 0 &&
           !m_arena;
}

XNode::XNode(const XNode& other) : name(other.name), value(other.value), m_attrs(other.m_attrs)
{
    std::vector<std::pair<const XNode*, XNode*>> pending{{&other, this}};
    while (!pending.empty())
    {
        const auto [from, to] = pending.back();
        pending.pop_back();
        to->m_children.reserve(from->m_children.size());
        for (const auto& child : from->m_children)
        {
            auto copy = std::make_unique<XNode>(child->name, child->value);
            copy->m_attrs = child->m_attrs;
            pending.emplace_back(child.get(), copy.get());
            to->AppendChild(std::move(copy));
        }
    }
}

XNode& XNode::operator=(const XNode& other)
{
    if (this != &other)
    {
        XNode copy(other);
        name = std::move(copy.name);
        value = std::move(copy.value);
        m_attrs = std::move(copy.m_attrs);
        std::swap(m_children, copy.m_children);
        for (auto& child : m_children)
            child->m_parent = this;
    }
    return *this;
}

XParseResult XNode::Load(std::wstring_view text, const PARSEINFO* pi)
{
    CParser<wchar_t> parser(text.data(), text.data() + text.size(),
                            pi != nullptr ? *pi : piDefault);
    return parser.Run(*this);
}

XParseResult XNode::LoadUtf16Le(std::string_view bytes, const PARSEINFO* pi)
{
    const PARSEINFO& info = pi != nullptr ? *pi : piDefault;
    const size_t count = bytes.size() / 2;
    // Aligned little-endian bytes are read as they are; others are copied first.
    if (std::endian::native == std::endian::little &&
        reinterpret_cast<uintptr_t>(bytes.data()) % alignof(char16_t) == 0)
    {
        const auto* units = reinterpret_cast<const Utf16Unit*>(bytes.data());
        return CParser<Utf16Unit>(units, units + count, info).Run(*this);
    }
    std::u16string units(count, u'\0');
    std::memcpy(units.data(), bytes.data(), count * 2);
    if constexpr (std::endian::native == std::endian::big)
    {
        for (char16_t& unit : units)
            unit = static_cast<char16_t>((unit >> 8) | (unit << 8));
    }
    const auto* begin = reinterpret_cast<const Utf16Unit*>(units.data());
    return CParser<Utf16Unit>(begin, begin + count, info).Run(*this);
}

void XNode::Close()
{
    name.clear();
    value.clear();
    m_attrs.clear();
    m_children.clear();
    m_arena.reset();
}

void XNode::operator delete(XNode* node, std::destroying_delete_t)
{
    const bool inArena = node->m_inArena;
    node->~XNode();
    if (!inArena)
        ::operator delete(node);
}

XNode* XNode::GetChild(std::wstring_view tagName) const
{
    for (const auto& child : m_children)
    {
        if (child->name == tagName)
            return child.get();
    }
    return nullptr;
}

XNode* XNode::GetChild(size_t index) const
{
    return index < m_children.size() ? m_children[index].get() : nullptr;
}

std::vector<XNode*> XNode::GetChilds() const
{
    std::vector<XNode*> children;
    children.reserve(m_children.size());
    for (const auto& child : m_children)
        children.push_back(child.get());
    return children;
}

const wchar_t* XNode::GetChildValue(std::wstring_view tagName) const
{
    const XNode* child = GetChild(tagName);
    return child != nullptr ? child->value.c_str() : nullptr;
}

const wchar_t* XNode::GetAttrValue(std::wstring_view attrName) const
{
    for (const auto& attr : m_attrs)
    {
        if (attr.first == attrName)
            return attr.second.c_str();
    }
    return nullptr;
}

void XNode::AppendAttr(std::wstring attrName, std::wstring attrValue)
{
    m_attrs.emplace_back(std::move(attrName), std::move(attrValue));
}

std::unique_ptr<XNode> XNode::CreateNode(std::wstring tagName, std::wstring text)
{
    return std::make_unique<XNode>(std::move(tagName), std::move(text));
}

XNode* XNode::AppendChild(std::unique_ptr<XNode> node)
{
    if (!node)
        return nullptr;
    node->m_parent = this;
    m_children.push_back(std::move(node));
    return m_children.back().get();
}

XNode* XNode::AppendChild(std::wstring tagName, std::wstring text)
{
    return AppendChild(CreateNode(std::move(tagName), std::move(text)));
}

bool XNode::RemoveChild(XNode* node)
{
    if (node == nullptr || node->m_parent != this)
        return false;
    const auto it = std::find_if(m_children.begin(), m_children.end(),
                                 [node](const auto& child) { return child.get() == node; });
    if (it == m_children.end())
        return false;
    m_children.erase(it);
    return true;
}

std::wstring XNode::GetXML(const DISP_OPT& opt) const
{
    std::wstring text;
    CWideOut out(text);
    CWriter<CWideOut>(out, opt).Write(*this);
    return text;
}

void XNode::AppendXMLUtf16Le(std::string& bytes, const DISP_OPT& opt) const
{
    CUtf16Out out(bytes);
    CWriter<CUtf16Out>(out, opt).Write(*this);
}

bool XNode::operator==(const XNode& other) const
{
    std::vector<std::pair<const XNode*, const XNode*>> pending{{this, &other}};
    while (!pending.empty())
    {
        const auto [a, b] = pending.back();
        pending.pop_back();
        if (a->name != b->name || a->value != b->value || a->m_attrs != b->m_attrs ||
            a->m_children.size() != b->m_children.size())
            return false;
        for (size_t i = 0; i < a->m_children.size(); ++i)
            pending.emplace_back(a->m_children[i].get(), b->m_children[i].get());
    }
    return true;
}

} // namespace RUROR
