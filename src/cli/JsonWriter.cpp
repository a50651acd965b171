#include "cli/JsonWriter.h"

#include "platform/TextCodec.h"

#include <cstdio>

void CJsonWriter::BeforeValue()
{
    if (m_needComma)
        m_text += ',';
    m_needComma = true;
}

CJsonWriter& CJsonWriter::BeginObject()
{
    BeforeValue();
    m_text += '{';
    m_needComma = false;
    return *this;
}

CJsonWriter& CJsonWriter::EndObject()
{
    m_text += '}';
    m_needComma = true;
    return *this;
}

CJsonWriter& CJsonWriter::BeginArray()
{
    BeforeValue();
    m_text += '[';
    m_needComma = false;
    return *this;
}

CJsonWriter& CJsonWriter::EndArray()
{
    m_text += ']';
    m_needComma = true;
    return *this;
}

CJsonWriter& CJsonWriter::Key(std::string_view key)
{
    BeforeValue();
    m_text += Quote(key);
    m_text += ':';
    m_needComma = false;
    return *this;
}

CJsonWriter& CJsonWriter::String(std::string_view value)
{
    BeforeValue();
    m_text += Quote(value);
    return *this;
}

CJsonWriter& CJsonWriter::Number(int64_t value)
{
    BeforeValue();
    m_text += std::to_string(value);
    return *this;
}

CJsonWriter& CJsonWriter::Bool(bool value)
{
    BeforeValue();
    m_text += value ? "true" : "false";
    return *this;
}

CJsonWriter& CJsonWriter::Null()
{
    BeforeValue();
    m_text += "null";
    return *this;
}

std::string CJsonWriter::Quote(std::string_view text)
{
    // JSON is UTF-8: bytes that are not (a file name on Linux may hold any) are written as
    // U+FFFD, so that the output stays valid for any path.
    std::string repaired;
    std::string_view value = text;
    if (!rz::IsValidUtf8(text))
    {
        repaired = rz::WideToUtf8(rz::Utf8ToWide(text));
        value = repaired;
    }
    std::string out = "\"";
    for (char c : value)
    {
        switch (c)
        {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
            {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            }
            else
            {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}
