#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rz
{
namespace
{

std::string EnvOr(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    return (value != nullptr && *value != '\0') ? std::string(value) : fallback;
}

std::string HomeDir()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return "/tmp";
}

std::string& ToolDirOverride()
{
    static std::string folder;
    return folder;
}

} // namespace

void SetToolDir(const std::string& folder)
{
    ToolDirOverride() = folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

std::string ToolDir()
{
    if (!ToolDirOverride().empty())
        return ToolDirOverride();
    std::string buffer(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return "./";
    buffer.resize(static_cast<size_t>(n));
    const auto slash = buffer.rfind('/');
    return slash == std::string::npos ? std::string("./") : buffer.substr(0, slash + 1);
}

std::string CommonAppDataDir()
{
    return EnvOr("RAVIRAZAZU_COMMON_APPDATA", "/var/lib");
}

std::string DocumentFolder()
{
    return JoinPath(JoinPath(CommonAppDataDir(), "Quorix"), "MXR Gateway 4.5");
}

std::string DocumentPath()
{
    return JoinPath(DocumentFolder(), "GatewayConfig.XML");
}

bool EnsureDocumentFolders(std::string* error)
{
    if (MakeDirs(DocumentFolder()))
        return true;
    if (error != nullptr)
        *error = std::strerror(errno);
    return false;
}

std::string UserConfigDir()
{
    return EnvOr("XDG_CONFIG_HOME", JoinPath(HomeDir(), ".config"));
}

std::string LogFolder()
{
    const std::string state = EnvOr("XDG_STATE_HOME", JoinPath(HomeDir(), ".local/state"));
    return JoinPath(JoinPath(state, "RaviraZazu"), "log");
}

std::string RuntimeDir()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime != nullptr && *runtime != '\0')
        return runtime;
    const std::string folder = "/tmp/ravirazazu-" + std::to_string(getuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return "/tmp";
    return folder;
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

bool MakeDirs(const std::string& path)
{
    if (path.empty())
        return false;
    struct stat st
    {
    };
    if (stat(path.c_str(), &st) == 0)
    {
        if (S_ISDIR(st.st_mode))
            return true;
        errno = ENOTDIR;
        return false;
    }
    const auto slash = path.find_last_of('/', path.size() > 1 ? path.size() - 2 : 0);
    if (slash != std::string::npos && slash > 0 && !MakeDirs(path.substr(0, slash)))
        return false;
    if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST)
        return true;
    return false;
}

} // namespace rz
