#include "config/GatewayConfigDoc.h"

#include "platform/FileIO.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cerrno>

using RUROR::XNode;

namespace
{

constexpr std::wstring_view kStandardHeader = L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>";

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// True when the bytes read as UTF-16 LE: a byte-order mark FF FE, or an ASCII first
// character whose high byte is zero.
bool LooksLikeUtf16Le(const std::string& bytes)
{
    if (bytes.size() < 2)
        return false;
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    return (b0 == 0xFF && b1 == 0xFE) || (b0 != 0 && b0 < 0x80 && b1 == 0);
}

} // namespace

std::string CGatewayConfigDoc::LoadResult::Describe() const
{
    switch (status)
    {
    case Ok:
        return "loaded";
    case AlreadyLoaded:
        return "already loaded";
    case CannotOpen:
        return "cannot be opened: " + rz::FileErrorText(error);
    case TooShort:
        return "holds no document (82 bytes or less)";
    case NotUtf16:
        return "is not UTF-16 little-endian text";
    case ParseError:
        return "does not parse: " + description + " at character " + std::to_string(offset);
    case TooDeep:
        return "is nested deeper than " + std::to_string(kMaxDepth) + " levels at character " +
               std::to_string(offset) + ": only the levels above were read";
    }
    return {};
}

CGatewayConfigDoc& CGatewayConfigDoc::Instance()
{
    static CGatewayConfigDoc document;
    return document;
}

CGatewayConfigDoc::LoadResult CGatewayConfigDoc::Load(const std::string& path)
{
    LoadResult result;
    if (m_loaded)
    {
        result.status = LoadResult::AlreadyLoaded;
        return result;
    }
    std::string bytes;
    if (const int error = rz::ReadWholeFile(path, bytes); error != 0)
    {
        result.status = LoadResult::CannotOpen;
        result.error = error;
        return result;
    }
    m_loaded = true;
    m_path = path;
    m_header.clear();
    m_trailer.clear();
    m_hasTrailer = false;
    m_loadedSize = bytes.size();
    m_root.Close();

    const size_t headerBytes = kHeaderUnits * 2;
    if (bytes.size() <= headerBytes)
    {
        result.status = LoadResult::TooShort;
        SetHandles();
        return result;
    }
    const bool utf16 = LooksLikeUtf16Le(bytes);

    // The header: the first 41 code units (fewer when a zero unit comes first), cut after
    // the last '>' among them.
    std::wstring head = rz::Utf16LeToWide(std::string_view(bytes).substr(0, headerBytes));
    if (const auto zero = head.find(L'\0'); zero != std::wstring::npos)
        head.resize(zero);
    const auto lastClose = head.rfind(L'>');
    m_header = lastClose == std::wstring::npos ? std::wstring() : head.substr(0, lastClose + 1);

    // The loader skips 41 code units. A document whose root begins earlier (a short
    // declaration or none) is read from the end of its declaration instead, so that nothing
    // of it is lost; it is written back in the usual layout.
    size_t declEnd = (!head.empty() && head[0] == 0xFEFF) ? 1 : 0;
    if (head.compare(declEnd, 2, L"<?") == 0)
    {
        const auto close = head.find(L"?>", declEnd);
        declEnd = close == std::wstring::npos ? head.size() : close + 2;
    }
    size_t bodyUnits = kHeaderUnits;
    bool early = false;
    for (size_t i = declEnd; i < head.size(); ++i)
        early = early || !IsBlank(head[i]);
    if (early)
    {
        bodyUnits = declEnd;
        // Only a declaration is kept; a byte-order mark alone gets the usual header, as a
        // document without either does, so that the next load finds the same header.
        m_header = declEnd > 0 && head[declEnd - 1] == L'>' ? head.substr(0, declEnd) : L"";
    }

    RUROR::PARSEINFO parseInfo = RUROR::piDefault;
    parseInfo.max_depth = kMaxDepth;
    const auto parsed =
        m_root.LoadUtf16Le(std::string_view(bytes).substr(bodyUnits * 2), &parseInfo);
    result.loneSurrogates = parsed.loneSurrogates;
    if (!utf16)
    {
        result.status = LoadResult::NotUtf16;
    }
    else if (!parsed)
    {
        result.status = parsed.tooDeep ? LoadResult::TooDeep : LoadResult::ParseError;
        result.offset = static_cast<std::ptrdiff_t>(bodyUnits) + parsed.offset;
        result.description = parsed.description;
    }
    else
    {
        // What follows the root element is kept as bytes and written back as it was.
        m_trailer = bytes.substr(bodyUnits * 2 + static_cast<size_t>(parsed.end) * 2);
        m_hasTrailer = true;
        const std::wstring trailer = rz::Utf16LeToWide(m_trailer);
        result.trailingContent =
            m_trailer.size() % 2 != 0 ||
            std::any_of(trailer.begin(), trailer.end(), [](wchar_t c) { return !IsBlank(c); });
    }

    SetHandles();
    if (m_gatewayConfig != nullptr && m_language == nullptr)
    {
        m_language = m_gatewayConfig->AppendChild(L"Language", L"English");
        result.languageAdded = true;
    }
    return result;
}

void CGatewayConfigDoc::SetHandles()
{
    m_gatewayConfig = m_root.GetChild(L"GatewayConfig");
    m_stations = nullptr;
    m_radioServers = nullptr;
    m_language = nullptr;
    if (m_gatewayConfig == nullptr)
        return;
    if (XNode* quorix = m_gatewayConfig->GetChild(L"QuorixStations"))
        m_stations = quorix->GetChild(L"Stations");
    m_radioServers = m_gatewayConfig->GetChild(L"RadioServers");
    m_language = m_gatewayConfig->GetChild(L"Language");
}

std::string CGatewayConfigDoc::SavedBytes() const
{
    std::wstring head = m_header.empty() ? std::wstring(kStandardHeader) : m_header;
    // The root must start at code unit 41 or later, where the loader begins to read.
    if (head.size() + 2 < kHeaderUnits)
        head.append(kHeaderUnits - 2 - head.size(), L' ');
    head += L"\r\n";
    std::string bytes;
    bytes.reserve(m_loadedSize + m_loadedSize / 8 + 4096);
    rz::AppendUtf16Le(bytes, head);
    m_root.AppendXMLUtf16Le(bytes, RUROR::optDefault);
    if (m_hasTrailer && !m_root.name.empty())
    {
        // The writer ends the root with a line break; what followed the root in the file
        // takes its place.
        constexpr std::string_view kLineBreak("\r\0\n\0", 4);
        if (std::string_view(bytes).ends_with(kLineBreak))
            bytes.resize(bytes.size() - kLineBreak.size());
        bytes += m_trailer;
    }
    return bytes;
}

int CGatewayConfigDoc::PrepareSave(rz::CFileReplacement& replacement) const
{
    if (!m_loaded)
        return EINVAL;
    return replacement.Prepare(m_path, SavedBytes());
}

int CGatewayConfigDoc::Save()
{
    m_lastSaveError = 0;
    m_lastSaveInPlace = false;
    if (!m_loaded)
        return -1;
    rz::CFileReplacement replacement;
    int error = PrepareSave(replacement);
    if (error == 0)
        error = replacement.Commit();
    m_lastSaveInPlace = replacement.InPlace();
    if (error != 0)
    {
        m_lastSaveError = error;
        return -1;
    }
    return 1;
}

void CGatewayConfigDoc::Unload()
{
    m_gatewayConfig = nullptr;
    m_stations = nullptr;
    m_radioServers = nullptr;
    m_language = nullptr;
    m_loaded = false;
    m_trailer.clear();
    m_hasTrailer = false;
    m_root.Close();
}

CGatewayConfigDoc::LoadResult CGatewayConfigDoc::Reload(const std::string& path)
{
    Unload();
    return Load(path);
}

const wchar_t* CGatewayConfigDoc::GetSetting(std::wstring_view name) const
{
    return m_gatewayConfig != nullptr ? m_gatewayConfig->GetChildValue(name) : nullptr;
}

void CGatewayConfigDoc::SetSetting(const std::wstring& name, const std::wstring& value)
{
    XNode* config = EnsureGatewayConfig();
    if (XNode* child = config->GetChild(name))
        child->value = value;
    else
        config->AppendChild(name, value);
    if (name == L"Language")
        m_language = config->GetChild(L"Language");
}

XNode* CGatewayConfigDoc::EnsureGatewayConfig()
{
    if (m_root.name.empty())
        m_root.name = L"MXRGateways";
    if (m_gatewayConfig == nullptr)
    {
        m_gatewayConfig = m_root.AppendChild(L"GatewayConfig", L"");
        SetHandles();
    }
    return m_gatewayConfig;
}

XNode* CGatewayConfigDoc::EnsureStations()
{
    XNode* config = EnsureGatewayConfig();
    if (m_stations == nullptr)
    {
        XNode* quorix = config->GetChild(L"QuorixStations");
        if (quorix == nullptr)
            quorix = config->AppendChild(L"QuorixStations", L"");
        m_stations = quorix->AppendChild(L"Stations", L"");
    }
    return m_stations;
}

XNode* CGatewayConfigDoc::EnsureRadioServers()
{
    XNode* config = EnsureGatewayConfig();
    if (m_radioServers == nullptr)
        m_radioServers = config->AppendChild(L"RadioServers", L"");
    return m_radioServers;
}
