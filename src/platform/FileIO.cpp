#include "platform/FileIO.h"

#include "platform/Paths.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

namespace
{

// The file type errors shared by reads and saves: 0 for a regular file.
int TypeError(mode_t mode)
{
    if (S_ISREG(mode))
        return 0;
    if (S_ISDIR(mode))
        return EISDIR;
    if (S_ISFIFO(mode) || S_ISSOCK(mode))
        return ESPIPE;
    return ENODEV;
}

constexpr size_t kSuffixLength = 6;

// True for ".NAME.XXXXXX": a temporary file that a save of NAME made.
bool IsTemporaryOf(std::string_view entry, std::string_view base)
{
    if (entry.size() != base.size() + 2 + kSuffixLength || entry[0] != '.' ||
        entry.substr(1, base.size()) != base || entry[base.size() + 1] != '.')
        return false;
    const std::string_view suffix = entry.substr(base.size() + 2);
    return std::all_of(suffix.begin(), suffix.end(),
                       [](char c) {
                           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                  (c >= '0' && c <= '9');
                       });
}

// Removes the temporary files of earlier saves of base that were killed before they ended.
// A save holds a lock on its temporary file while it lives, so one that is still running
// keeps its file.
void RemoveStaleTemporaries(const std::string& folder, const std::string& base)
{
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return;
    CFdCloser dirCloser(dirFd);
    DIR* dir = ::fdopendir(::dup(dirFd));
    if (dir == nullptr)
        return;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir))
    {
        if (IsTemporaryOf(entry->d_name, base))
            stale.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& name : stale)
    {
        const int fd =
            ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        CFdCloser closer(fd);
        struct stat st
        {
        };
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(dirFd, name.c_str(), 0);
    }
}

std::string RandomSuffix()
{
    static constexpr char kAlphabet[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char random[kSuffixLength] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
    {
        const auto seed = static_cast<unsigned long>(::getpid()) ^
                          static_cast<unsigned long>(::time(nullptr)) ^
                          reinterpret_cast<uintptr_t>(&random);
        for (size_t i = 0; i < kSuffixLength; ++i)
            random[i] = static_cast<unsigned char>(seed >> (i * 5));
    }
    std::string suffix;
    for (unsigned char r : random)
        suffix.push_back(kAlphabet[r % (sizeof kAlphabet - 1)]);
    return suffix;
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
    // Non-blocking, so that a FIFO without a writer is refused rather than waited for.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno;
    CFdCloser closer(fd);
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0)
        return errno;
    if (const int error = TypeError(st.st_mode); error != 0)
        return error;
    if (static_cast<unsigned long long>(st.st_size) > kMaxReadBytes)
        return EFBIG;
    // One byte more than the size, so that the end is seen in one read; a file that grows
    // meanwhile (or one that tells no size, as in /proc) is read on up to the limit.
    bytes.resize(static_cast<size_t>(st.st_size) + 1);
    size_t used = 0;
    for (;;)
    {
        if (used == bytes.size())
        {
            if (used > kMaxReadBytes)
            {
                bytes.clear();
                return EFBIG;
            }
            bytes.resize(std::min(std::max(used * 2, size_t{65536}), kMaxReadBytes + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            const int error = errno;
            bytes.clear();
            return error;
        }
        if (n == 0)
            break;
        used += static_cast<size_t>(n);
    }
    bytes.resize(used);
    return 0;
}

std::string FileErrorText(int error)
{
    switch (error)
    {
    case EISDIR:
        return "it is a folder, not a regular file";
    case ESPIPE:
        return "it is a FIFO or socket, not a regular file";
    case ENODEV:
        return "it is a device, not a regular file";
    case EFBIG:
        return "it is larger than 256 MiB";
    default:
        return std::strerror(error);
    }
}

CFileReplacement::~CFileReplacement()
{
    Discard();
}

CFileReplacement::CFileReplacement(CFileReplacement&& other) noexcept
{
    *this = std::move(other);
}

CFileReplacement& CFileReplacement::operator=(CFileReplacement&& other) noexcept
{
    if (this != &other)
    {
        Discard();
        m_fd = std::exchange(other.m_fd, -1);
        m_inPlace = std::exchange(other.m_inPlace, false);
        m_target = std::move(other.m_target);
        m_folder = std::move(other.m_folder);
        m_tempName = std::move(other.m_tempName);
        m_bytes = std::move(other.m_bytes);
    }
    return *this;
}

void CFileReplacement::Discard()
{
    if (m_fd >= 0)
    {
        if (!m_tempName.empty())
            ::unlink(JoinPath(m_folder, m_tempName).c_str());
        ::close(m_fd);
    }
    m_fd = -1;
    m_tempName.clear();
    m_bytes.clear();
}

int CFileReplacement::Prepare(const std::string& path, std::string_view bytes)
{
    Discard();
    m_inPlace = false;
    // Write through a link to the file it names, so that the link stays a link.
    m_target = path;
    if (char resolved[PATH_MAX]; ::realpath(path.c_str(), resolved) != nullptr)
        m_target = resolved;
    const auto slash = m_target.rfind('/');
    m_folder = slash == std::string::npos ? std::string(".")
               : slash == 0               ? std::string("/")
                                          : m_target.substr(0, slash);
    const std::string base = slash == std::string::npos ? m_target : m_target.substr(slash + 1);

    struct stat old
    {
    };
    const bool hadOld = ::stat(m_target.c_str(), &old) == 0;
    if (!hadOld && errno != ENOENT)
        return errno;
    if (hadOld)
    {
        if (const int error = TypeError(old.st_mode); error != 0)
            return error;
        // The file's own permission decides, as the effective user sees it, whatever the
        // folder would allow a rename to do.
        if (::faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0)
            return errno;
    }
    RemoveStaleTemporaries(m_folder, base);
    // A folder closed by its permissions leaves the writable file to be written in place. One
    // closed by other means (immutable, a security policy: EPERM, EROFS) is a refusal.
    if (::faccessat(AT_FDCWD, m_folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    {
        const int error = errno;
        if (!hadOld || error != EACCES)
            return error;
        return PrepareInPlace(bytes);
    }
    const int error = PrepareTemporary(base, bytes, hadOld, old);
    if (error == EPERM && hadOld)
        return PrepareInPlace(bytes);
    return error;
}

// EPERM when the old file's owner, group or mode cannot be given to a new file.
int CFileReplacement::PrepareTemporary(const std::string& base, std::string_view bytes, bool hadOld,
                                       const struct stat& old)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t newMode = 0644 & ~mask;
    int fd = ::open(m_folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
    {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return errno;
        // No unnamed files here: a named one, locked so that no other save takes it as stale.
        for (int attempt = 0; attempt < 100 && fd < 0; ++attempt)
        {
            m_tempName = "." + base + "." + RandomSuffix();
            fd = ::open(JoinPath(m_folder, m_tempName).c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0 && errno != EEXIST)
                break;
        }
        if (fd < 0)
        {
            m_tempName.clear();
            return errno;
        }
    }
    m_fd = fd;
    ::flock(fd, LOCK_EX | LOCK_NB);
    const auto fail = [this](int error)
    {
        Discard();
        return error;
    };
    if (const int error = WriteAll(fd, bytes); error != 0)
        return fail(error);
    if (hadOld)
    {
        if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
            ::fchown(fd, old.st_uid, old.st_gid) != 0)
            return fail(errno);
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            return fail(errno);
        // The kernel may drop a set-group-ID bit silently; then the mode is not kept.
        struct stat made
        {
        };
        if (::fstat(fd, &made) != 0)
            return fail(errno);
        if ((made.st_mode & 07777) != (old.st_mode & 07777) || made.st_uid != old.st_uid ||
            made.st_gid != old.st_gid)
            return fail(EPERM);
    }
    else if (::fchmod(fd, newMode) != 0)
    {
        return fail(errno);
    }
    if (::fsync(fd) != 0)
        return fail(errno);
    return 0;
}

int CFileReplacement::PrepareInPlace(std::string_view bytes)
{
    const int fd = ::open(m_target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return errno;
    CFdCloser closer(fd);
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0)
        return errno;
    if (const int error = TypeError(st.st_mode); error != 0)
        return error;
    // Reserve the blocks now, so that a full file system refuses the save before the old
    // content is touched.
    if (!bytes.empty() &&
        ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.size())) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    m_bytes.assign(bytes);
    m_fd = closer.Release();
    m_inPlace = true;
    return 0;
}

int CFileReplacement::Commit()
{
    if (m_fd < 0)
        return EINVAL;
    if (m_inPlace)
    {
        int error = 0;
        std::string_view rest = m_bytes;
        off_t offset = 0;
        while (error == 0 && !rest.empty())
        {
            const ssize_t n = ::pwrite(m_fd, rest.data(), rest.size(), offset);
            if (n < 0 && errno != EINTR)
                error = errno;
            else if (n == 0)
                error = EIO;
            if (n > 0)
            {
                rest.remove_prefix(static_cast<size_t>(n));
                offset += n;
            }
        }
        if (error == 0 && ::ftruncate(m_fd, offset) != 0)
            error = errno;
        if (error == 0 && ::fsync(m_fd) != 0)
            error = errno;
        Discard();
        return error;
    }

    if (m_tempName.empty())
    {
        // An unnamed file gets a name only now; it cannot be linked over the old file, so
        // it is linked beside it and renamed.
        const std::string procPath = "/proc/self/fd/" + std::to_string(m_fd);
        const auto slash = m_target.rfind('/');
        const std::string base = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
        for (int attempt = 0; attempt < 100; ++attempt)
        {
            const std::string name = "." + base + "." + RandomSuffix();
            const std::string full = JoinPath(m_folder, name);
            if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, full.c_str(), AT_SYMLINK_FOLLOW) ==
                    0 ||
                ::linkat(m_fd, "", AT_FDCWD, full.c_str(), AT_EMPTY_PATH) == 0)
            {
                m_tempName = name;
                break;
            }
            if (errno != EEXIST)
            {
                const int error = errno;
                Discard();
                return error;
            }
        }
        if (m_tempName.empty())
        {
            Discard();
            return EEXIST;
        }
    }
    if (::rename(JoinPath(m_folder, m_tempName).c_str(), m_target.c_str()) != 0)
    {
        const int error = errno;
        Discard();
        return error;
    }
    m_tempName.clear();
    Discard();
    // The rename is durable once the folder is; an error here changes nothing any more.
    if (const int dirFd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0)
    {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return 0;
}

int ReplaceFile(const std::string& path, std::string_view bytes, bool* inPlace)
{
    CFileReplacement replacement;
    int error = replacement.Prepare(path, bytes);
    if (error == 0)
        error = replacement.Commit();
    if (inPlace != nullptr)
        *inPlace = replacement.InPlace();
    return error;
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
