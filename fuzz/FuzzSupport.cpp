#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace rzfuzz
{
namespace
{

class CWorkDir
{
public:
    CWorkDir()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/rzfuzz.XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
        {
            std::perror("mkdtemp");
            std::abort();
        }
        m_path = pattern;
        for (const char* name : {"appdata", "config", "state", "runtime"})
            std::filesystem::create_directory(m_path + "/" + name);
        ::setenv("RAVIRAZAZU_COMMON_APPDATA", (m_path + "/appdata").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_path + "/config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (m_path + "/state").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (m_path + "/runtime").c_str(), 1);
        ::unsetenv("RAVIRAZAZU_DEBUG");
    }
    ~CWorkDir()
    {
        std::error_code error;
        std::filesystem::remove_all(m_path, error);
    }
    CWorkDir(const CWorkDir&) = delete;
    CWorkDir& operator=(const CWorkDir&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace

const std::string& WorkDir()
{
    static const CWorkDir dir;
    return dir.Path();
}

void WriteFile(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
    {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Fail(const char* file, int line, const char* what)
{
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, what);
    std::abort();
}

} // namespace rzfuzz
