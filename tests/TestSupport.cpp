#include "TestSupport.h"

#include "platform/TextCodec.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>

namespace rztest
{

CTempDir::CTempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "rztest.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

CTempDir::~CTempDir()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (info != nullptr && info->result() != nullptr && info->result()->Failed())
    {
        std::cerr << "kept the failed test's folder " << m_path << "\n";
        return;
    }
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

std::string CTempDir::File(const std::string& name) const
{
    return m_path + "/" + name;
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Utf16(std::wstring_view text)
{
    return rz::WideToUtf16Le(text);
}

std::string SampleDocumentPath()
{
    return std::string(RZ_EXAMPLES_DIR) + "/appdata/Quorix/MXR Gateway 4.5/GatewayConfig.XML";
}

std::string SampleToolDir()
{
    return std::string(RZ_EXAMPLES_DIR) + "/tool/";
}

CScopedEnv::CScopedEnv(const char* name, const std::string& value) : m_name(name)
{
    if (const char* old = std::getenv(name))
    {
        m_had = true;
        m_old = old;
    }
    ::setenv(name, value.c_str(), 1);
}

CScopedEnv::~CScopedEnv()
{
    if (m_had)
        ::setenv(m_name.c_str(), m_old.c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
}

} // namespace rztest
