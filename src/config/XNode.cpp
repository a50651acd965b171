#include "config/XNode.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <pugixml.hpp>

namespace RUROR
{
namespace
{

constexpr XENTITY kDefaultEntities[] = {
    {L'&', L"&amp;"}, {L'<', L"&lt;"}, {L'>', L"&gt;"}, {L'"', L"&quot;"}, {L'\'', L"&apos;"},
};

std::wstring Widen(const char* utf8)
{
    return rz::Utf8ToWide(utf8 != nullptr ? std::string_view(utf8) : std::string_view());
}

void CopyElement(const pugi::xml_node& from, XNode& to, const PARSEINFO& pi)
{
    to.name = Widen(from.name());
    for (const auto& attr : from.attributes())
        to.AppendAttr(Widen(attr.name()), Widen(attr.value()));
    for (const auto& child : from.children())
    {
        switch (child.type())
        {
        case pugi::node_pcdata:
        case pugi::node_cdata:
            to.value += Widen(child.value());
            break;
        case pugi::node_element:
            CopyElement(child, *to.AppendChild(std::make_unique<XNode>()), pi);
            break;
        default:
            break; // comments, processing instructions and declarations are not kept
        }
    }
    if (pi.trim_value)
        to.value = std::wstring(rz::TrimBlanks(to.value));
}

unsigned ParseFlags(const PARSEINFO& pi)
{
    // A blank-only text that is an element's only content is a value; blanks between
    // elements are layout.
    unsigned flags = pugi::parse_default | pugi::parse_ws_pcdata_single;
    if (!pi.entity_value)
        flags &= ~pugi::parse_escapes;
    return flags;
}

XParseResult BuildFrom(XNode& node, const pugi::xml_document& doc,
                       const pugi::xml_parse_result& parsed, const PARSEINFO& pi)
{
    node.Close();
    // A failed parse leaves in doc what was built before the error; keep that too.
    if (const pugi::xml_node root = doc.document_element())
        CopyElement(root, node, pi);
    XParseResult result;
    result.ok = static_cast<bool>(parsed);
    result.offset = parsed.offset;
    result.description = parsed.description();
    return result;
}

void AppendEscaped(std::wstring& out, std::wstring_view text, const DISP_OPT& opt)
{
    if (!opt.reference_value || opt.entitys == nullptr)
    {
        out += text;
        return;
    }
    for (wchar_t c : text)
    {
        const XENTITY* begin = opt.entitys->entries;
        const XENTITY* end = begin + opt.entitys->count;
        const XENTITY* hit =
            std::find_if(begin, end, [c](const XENTITY& e) { return e.entity == c; });
        if (hit != end)
            out += hit->ref;
        else
            out.push_back(c);
    }
}

} // namespace

const XENTITYS entityDefault = {kDefaultEntities, std::size(kDefaultEntities)};
const PARSEINFO piDefault{};
const DISP_OPT optDefault{};

XNode::XNode(std::wstring tagName, std::wstring text)
    : name(std::move(tagName)), value(std::move(text))
{
}

XNode::~XNode() = default;

XNode::XNode(const XNode& other) : name(other.name), value(other.value), m_attrs(other.m_attrs)
{
    m_children.reserve(other.m_children.size());
    for (const auto& child : other.m_children)
        AppendChild(std::make_unique<XNode>(*child));
}

XNode& XNode::operator=(const XNode& other)
{
    if (this != &other)
    {
        XNode copy(other);
        name = std::move(copy.name);
        value = std::move(copy.value);
        m_attrs = std::move(copy.m_attrs);
        m_children = std::move(copy.m_children);
        for (auto& child : m_children)
            child->m_parent = this;
    }
    return *this;
}

XParseResult XNode::Load(std::wstring_view text, const PARSEINFO* pi)
{
    const PARSEINFO& info = pi != nullptr ? *pi : piDefault;
    pugi::xml_document doc;
    const auto parsed = doc.load_buffer(text.data(), text.size() * sizeof(wchar_t),
                                        ParseFlags(info), pugi::encoding_wchar);
    return BuildFrom(*this, doc, parsed, info);
}

XParseResult XNode::LoadUtf16Le(std::string_view bytes, const PARSEINFO* pi)
{
    const PARSEINFO& info = pi != nullptr ? *pi : piDefault;
    pugi::xml_document doc;
    const auto parsed = doc.load_buffer(bytes.data(), bytes.size() & ~size_t{1}, ParseFlags(info),
                                        pugi::encoding_utf16_le);
    return BuildFrom(*this, doc, parsed, info);
}

void XNode::Close()
{
    name.clear();
    value.clear();
    m_attrs.clear();
    m_children.clear();
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
    std::wstring out;
    WriteXML(out, opt, opt.tab_base);
    return out;
}

void XNode::WriteXML(std::wstring& out, const DISP_OPT& opt, int depth) const
{
    if (name.empty())
        return;
    if (opt.newline)
        out.append(static_cast<size_t>(std::max(depth, 0)), L'\t');
    out += L'<';
    out += name;
    for (const auto& [attrName, attrValue] : m_attrs)
    {
        out += L' ';
        out += attrName;
        out += L'=';
        out += opt.value_quotation_mark;
        AppendEscaped(out, attrValue, opt);
        out += opt.value_quotation_mark;
    }
    if (value.empty() && m_children.empty())
    {
        out += L"/>";
    }
    else
    {
        out += L'>';
        AppendEscaped(out, value, opt);
        if (!m_children.empty())
        {
            // Text beside child elements would gain the layout's blanks on the next load,
            // so such an element is written on one line.
            DISP_OPT inner = opt;
            inner.newline = opt.newline && value.empty();
            if (inner.newline)
                out += L"\r\n";
            for (const auto& child : m_children)
                child->WriteXML(out, inner, depth + 1);
            if (inner.newline)
                out.append(static_cast<size_t>(std::max(depth, 0)), L'\t');
        }
        out += L"</";
        out += name;
        out += L'>';
    }
    if (opt.newline)
        out += L"\r\n";
}

bool XNode::operator==(const XNode& other) const
{
    if (name != other.name || value != other.value || m_attrs != other.m_attrs ||
        m_children.size() != other.m_children.size())
        return false;
    for (size_t i = 0; i < m_children.size(); ++i)
    {
        if (!(*m_children[i] == *other.m_children[i]))
            return false;
    }
    return true;
}

} // namespace RUROR
