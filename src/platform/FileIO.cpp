#include "platform/FileIO.h"

#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rz
{
namespace
{

// Closes a descriptor at the end of a scope.
class CFdCloser
{
public:
    explicit CFdCloser(int fd) : m_fd(fd) {}
    ~CFdCloser()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CFdCloser(const CFdCloser&) = delete;
    CFdCloser& operator=(const CFdCloser&) = delete;
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool HasSuffixNoCase(const std::string& name, const std::string& suffix)
{
    return name.size() >= suffix.size() &&
           EqualsNoCase(std::string_view(name).substr(name.size() - suffix.size()), suffix);
}

} // namespace

int WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty())
    {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

int ReadWholeFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    CFdCloser closer(fd);
    struct stat st
    {
    };
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode))
        return EISDIR;
    if (st.st_size > 0)
        bytes.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;)
    {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return 0;
}

int ReplaceFile(const std::string& path, std::string_view bytes)
{
    // Write through a link to the file it names, so that the link stays a link.
    std::string target = path;
    if (char resolved[PATH_MAX]; ::realpath(path.c_str(), resolved) != nullptr)
        target = resolved;

    const auto slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : target.substr(0, slash);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = JoinPath(folder, "." + base + ".XXXXXX");

    struct stat old
    {
    };
    const bool hadOld = ::stat(target.c_str(), &old) == 0;

    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return errno;
    CFdCloser closer(fd);
    auto fail = [&temp](int error)
    {
        ::unlink(temp.c_str());
        return error;
    };

    if (const int error = WriteAll(fd, bytes); error != 0)
        return fail(error);
    if (hadOld)
    {
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            return fail(errno);
        // Only root may give the file away; anyone else keeps it as their own.
        if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
            ::fchown(fd, old.st_uid, old.st_gid) != 0 && ::geteuid() == 0)
            return fail(errno);
    }
    else
    {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd, 0644 & ~mask) != 0)
            return fail(errno);
    }
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::close(closer.Release()) != 0)
        return fail(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0)
        return fail(errno);
    return 0;
}

bool FileExists(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

namespace
{

enum class EntryKind
{
    File,
    Folder,
    Any,
};

// The entry of folder named name without regard to case, preferring an exact match and then
// the first spelling in name order.
std::optional<std::string> FindEntryNoCase(const std::string& folder, const std::string& name,
                                           EntryKind kind)
{
    const auto fits = [kind](const std::string& path)
    {
        struct stat st
        {
        };
        if (::stat(path.c_str(), &st) != 0)
            return false;
        return kind == EntryKind::Any ||
               (kind == EntryKind::Folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode));
    };
    const std::string exact = JoinPath(folder, name);
    if (fits(exact))
        return exact;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(dir))
    {
        const std::string candidate = entry->d_name;
        const std::string path = JoinPath(folder, candidate);
        if (EqualsNoCase(candidate, name) && fits(path) && (!found || path < *found))
            found = path;
    }
    ::closedir(dir);
    return found;
}

} // namespace

std::string ResolvePathNoCase(const std::string& folder, const std::string& relative)
{
    std::string path = folder;
    size_t start = 0;
    while (start <= relative.size())
    {
        const size_t slash = relative.find('/', start);
        const bool last = slash == std::string::npos;
        const std::string part = relative.substr(start, last ? std::string::npos : slash - start);
        if (!part.empty())
            path = FindEntryNoCase(path, part, last ? EntryKind::Any : EntryKind::Folder)
                       .value_or(JoinPath(path, part));
        if (last)
            break;
        start = slash + 1;
    }
    return path;
}

std::optional<std::string> FindFileNoCase(const std::string& folder, const std::string& name)
{
    return FindEntryNoCase(folder, name, EntryKind::File);
}

std::vector<std::string> ListFilesWithSuffix(const std::string& folder, const std::string& suffix)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent* entry = ::readdir(dir))
    {
        const std::string name = entry->d_name;
        if (HasSuffixNoCase(name, suffix) && FileExists(JoinPath(folder, name)))
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace rz
