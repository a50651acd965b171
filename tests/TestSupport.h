#pragma once

#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

namespace rztest
{

// A fresh folder below the system's temporary folder. It is removed when the test passed
// and kept, with its path printed, when it failed.
class CTempDir
{
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // The path of a name inside the folder.
    std::string File(const std::string& name) const;

private:
    std::string m_path;
};

// The whole content of a file, or empty.
std::string ReadBytes(const std::string& path);
// Writes bytes to a file, replacing it.
void WriteBytes(const std::string& path, std::string_view bytes);
// The names in a folder, sorted.
std::vector<std::string> Entries(const std::string& folder);
// UTF-16 LE bytes of a wide text (no byte-order mark).
std::string Utf16(std::wstring_view text);

// A configuration document as the gateway stores it: UTF-16 LE with a byte-order mark, the
// declaration <?xml version="1.0" encoding="UTF-16"?> and a line break, then the text.
std::string Utf16Document(std::wstring_view text);

using Bytes = std::vector<uint8_t>;
// Bytes written as pairs of hex digits, spaces between them allowed: "7E 03 00".
Bytes Hex(const char* text);

// The sample configuration document shipped in examples/.
std::string SampleDocumentPath();
// The sample tool folder (ini files, language files) shipped in examples/.
std::string SampleToolDir();

// What a program that ran printed and how it ended.
struct CProgramRun
{
    int status = -1; // its exit status; -1 when it did not start or did not exit
    std::string out;
    std::string err;
};
// Starts a program with an argument vector (argv[0] a path or a name looked up in PATH),
// collects its standard output and error and waits for it.
CProgramRun RunProgramCaptured(const std::vector<std::string>& argv);

// Sets an environment variable for the life of the object and restores it afterwards.
class CScopedEnv
{
public:
    CScopedEnv(const char* name, const std::string& value);
    ~CScopedEnv();
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;

private:
    std::string m_name;
    bool m_had = false;
    std::string m_old;
};

} // namespace rztest
