#pragma once

#include "config/XNode.h"

#include <cstddef>
#include <string>

namespace rz
{
class CFileReplacement;
}

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
            CannotOpen,    // error holds the errno (see rz::ReadWholeFile); nothing is loaded
            TooShort,      // 82 bytes or less: the tree is empty
            NotUtf16,      // not UTF-16 little-endian text: the tree is what could be read
            ParseError,    // the tree is what the parser built before offset
            TooDeep,       // elements nested deeper than kMaxDepth: the outer levels only
        };
        Status status = Ok;
        int error = 0;
        // Where parsing stopped, in UTF-16 code units from the start of the file.
        std::ptrdiff_t offset = 0;
        std::string description;
        // The Language element was missing and "English" was added.
        bool languageAdded = false;
        // Something other than blanks follows the root element (more elements, text,
        // comments). It is not read, but kept and written back as it was.
        bool trailingContent = false;
        // Surrogate code units without their partner (broken UTF-16). Each is kept in its
        // text and written back as it was.
        size_t loneSurrogates = 0;

        explicit operator bool() const { return status == Ok || status == AlreadyLoaded; }
        // A sentence for a person: what is wrong, or "loaded".
        std::string Describe() const;
    };

    // The number of code units of the header that the loader skips.
    static constexpr size_t kHeaderUnits = 41;
    // The deepest nesting of elements that is read, the root being level 1; no real
    // document comes near it.
    static constexpr size_t kMaxDepth = 256;

    // The one document of the process, used by the window and its pages.
    static CGatewayConfigDoc& Instance();

    // Reads the document. Marks it loaded as soon as the file is open, so a partly read
    // document is loaded too; the result tells the caller whether it is safe to overwrite.
    LoadResult Load(const std::string& path);
    // Writes the tree back to the path it was loaded from: 1, or -1 when nothing is loaded
    // or the file cannot be written (the old file is then unchanged; LastSaveError says why).
    // LastSaveInPlace tells whether the file had to be written in place, not atomically
    // (see rz::CFileReplacement).
    int Save();
    // The first step of a save that the caller commits together with other files: prepares
    // replacement with the document's bytes. 0, or an errno (EINVAL when nothing is loaded).
    int PrepareSave(rz::CFileReplacement& replacement) const;
    // The bytes that a save writes: the kept header, the tree, what followed the root.
    std::string SavedBytes() const;
    // Drops the tree and the handles; the document is not loaded afterwards.
    void Unload();
    // Unload, then load.
    LoadResult Reload(const std::string& path);

    bool IsLoaded() const { return m_loaded; }
    const std::string& Path() const { return m_path; }
    const std::wstring& Header() const { return m_header; }
    int LastSaveError() const { return m_lastSaveError; }
    bool LastSaveInPlace() const { return m_lastSaveInPlace; }

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
    bool m_lastSaveInPlace = false;
    // The bytes after the root element, kept when the root was read completely.
    std::string m_trailer;
    bool m_hasTrailer = false;
    size_t m_loadedSize = 0;
    RUROR::XNode* m_gatewayConfig = nullptr;
    RUROR::XNode* m_stations = nullptr;
    RUROR::XNode* m_radioServers = nullptr;
    RUROR::XNode* m_language = nullptr;
};
