#include "TestSupport.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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

std::vector<std::string> Entries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Utf16(std::wstring_view text)
{
    return rz::WideToUtf16Le(text);
}

std::string Utf16Document(std::wstring_view text)
{
    return Utf16(L"\uFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n" + std::wstring(text));
}

Bytes Hex(const char* text)
{
    Bytes bytes;
    for (const char* p = text; *p != '\0';)
    {
        if (*p == ' ')
        {
            ++p;
            continue;
        }
        bytes.push_back(static_cast<uint8_t>(std::stoul(std::string(p, 2), nullptr, 16)));
        p += 2;
    }
    return bytes;
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

CProgramRun RunProgramCaptured(const std::vector<std::string>& args)
{
    if (args.empty())
        return {};
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (auto& arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    std::array<int, 2> out{};
    std::array<int, 2> err{};
    if (::pipe(out.data()) != 0)
        return {};
    if (::pipe(err.data()) != 0)
    {
        ::close(out[0]);
        ::close(out[1]);
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);

    // Both pipes are read together, so that a program filling one never waits on the other.
    CProgramRun run;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    for (int open = 2; open > 0 && ::poll(fds, 2, -1) > 0;)
    {
        for (int i = 0; i < 2; ++i)
        {
            if (fds[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0)
            {
                fds[i].fd = -1;
                --open;
                continue;
            }
            (i == 0 ? run.out : run.err).append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    if (spawned != 0)
        return run;
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace rztest
