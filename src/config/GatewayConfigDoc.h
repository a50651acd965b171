#pragma once

#include "config/XNode.h"

#include <cstddef>
#include <string>

// The gateway configuration document GatewayConfig.XML: UTF-16 LE text whose first 41 code
// units are a header (byte-order mark and XML declaration) that is kept and written back as
// it was, followed by the root element MXRGateways. One in-memory tree with four handles
// into it; pages read and change the tree in place and own nothing they attach.
class CGatewayConfigDoc
{
public:
    // What a load found. Converts to true when the document was read completely.
    struct LoadResult
    {
        enum Status
        {
            Ok,
            AlreadyLoaded, // a second load without an unload does nothing
            CannotOpen,    // error holds the errno; nothing is loaded
            TooShort,      // 82 bytes or less: the tree is empty
            NotUtf16,      // not UTF-16 little-endian text: the tree is what could be read
            ParseError,    // the tree is what the parser built before offset
        };
        Status status = Ok;
        int error = 0;
        // Where parsing stopped, in UTF-16 code units from the start of the file.
        std::ptrdiff_t offset = 0;
        std::string description;
        // The Language element was missing and "English" was added.
        bool languageAdded = false;

        explicit operator bool() const { return status == Ok || status == AlreadyLoaded; }
        // A sentence for a person: what is wrong, or "loaded".
        std::string Describe() const;
    };

    // The number of code units of the header that the loader skips.
    static constexpr size_t kHeaderUnits = 41;

    // The one document of the process, used by the window and its pages.
    static CGatewayConfigDoc& Instance();

    // Reads the document. Marks it loaded as soon as the file is open, so a partly read
    // document is loaded too; the result tells the caller whether it is safe to overwrite.
    LoadResult Load(const std::string& path);
    // Writes the tree back to the path it was loaded from: 1, or -1 when nothing is loaded
    // or the file cannot be written (the old file is then unchanged; LastSaveError says why).
    int Save();
    // Drops the tree and the handles; the document is not loaded afterwards.
    void Unload();
    // Unload, then load.
    LoadResult Reload(const std::string& path);

    bool IsLoaded() const { return m_loaded; }
    const std::string& Path() const { return m_path; }
    const std::wstring& Header() const { return m_header; }
    int LastSaveError() const { return m_lastSaveError; }

    // The whole tree; the root node stands for MXRGateways.
    RUROR::XNode& Root() { return m_root; }
    const RUROR::XNode& Root() const { return m_root; }

    // The well-known handles, each null when its element is missing.
    RUROR::XNode* GatewayConfig() const { return m_gatewayConfig; }
    RUROR::XNode* Stations() const { return m_stations; }
    RUROR::XNode* RadioServers() const { return m_radioServers; }
    RUROR::XNode* Language() const { return m_language; }

    // The text of a child of GatewayConfig, or null when GatewayConfig or the child is missing.
    const wchar_t* GetSetting(std::wstring_view name) const;
    // Set-or-create: replaces the text of the named child of GatewayConfig, or appends a new
    // child at its end; GatewayConfig itself is created when missing.
    void SetSetting(const std::wstring& name, const std::wstring& value);

    // For writers: the elements, created where missing, with the handles updated.
    RUROR::XNode* EnsureGatewayConfig();
    RUROR::XNode* EnsureStations();
    RUROR::XNode* EnsureRadioServers();

private:
    void SetHandles();

    RUROR::XNode m_root;
    bool m_loaded = false;
    std::wstring m_header;
    std::string m_path;
    int m_lastSaveError = 0;
    RUROR::XNode* m_gatewayConfig = nullptr;
    RUROR::XNode* m_stations = nullptr;
    RUROR::XNode* m_radioServers = nullptr;
    RUROR::XNode* m_language = nullptr;
};
