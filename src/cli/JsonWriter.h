#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Builds one compact JSON text. Keys and values are UTF-8; the writer places commas itself.
class CJsonWriter
{
public:
    CJsonWriter& BeginObject();
    CJsonWriter& EndObject();
    CJsonWriter& BeginArray();
    CJsonWriter& EndArray();
    // The key of the next member of the current object.
    CJsonWriter& Key(std::string_view key);
    CJsonWriter& String(std::string_view value);
    CJsonWriter& Number(int64_t value);
    CJsonWriter& Bool(bool value);
    CJsonWriter& Null();

    const std::string& Text() const { return m_text; }

    // A JSON string literal for value, quotes included.
    static std::string Quote(std::string_view value);

private:
    void BeforeValue();

    std::string m_text;
    bool m_needComma = false;
};
