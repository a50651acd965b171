#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

// Whole-file reads and safe replacement of files.
namespace rz
{

// The largest file ReadWholeFile reads: far beyond any configuration document.
constexpr size_t kMaxReadBytes = size_t{256} << 20;

// Reads a whole regular file of at most kMaxReadBytes. Returns 0, or an errno: that of the
// failing call, EISDIR for a folder, ESPIPE for a FIFO or socket, ENODEV for a device, EFBIG
// for a file larger than kMaxReadBytes. A FIFO is refused without waiting for a writer.
int ReadWholeFile(const std::string& path, std::string& bytes);

// A sentence for a person about an error of ReadWholeFile or of a save ("is a FIFO, not a
// regular file", "is larger than 256 MiB", otherwise strerror's text).
std::string FileErrorText(int error);

// Writes all bytes to a descriptor, retrying after interruptions. Returns 0 or an errno.
int WriteAll(int fd, std::string_view bytes);

// Replaces one file's content in two steps, so that a caller can write several files
// all-or-nothing: Prepare each of them, and Commit them only when every Prepare succeeded.
//
// Prepare(path, bytes) does everything that can fail without touching the old file:
//  - it follows a symbolic link to the file it names, and refuses what is not a regular file;
//  - it refuses a file that the effective user may not write (as access(W_OK) says: root may
//    write anything on a writable file system), with that errno (EACCES, EROFS, ...), whatever
//    the folder allows;
//  - when the user may also write the folder, it writes and fsyncs the new content to a
//    temporary file in that folder (O_TMPFILE, which has no name and vanishes with the process;
//    where the file system lacks it, a file named ".NAME.XXXXXX" that the next Prepare for the
//    same file removes once its writer is gone), with the old file's mode, owner and group;
//  - when the folder's permissions do not let the user write it (EACCES; a folder closed by
//    other means, such as the immutable flag, is a refusal), or the old owner, group or mode
//    cannot be given to a new file, the file will be written in place instead: Prepare opens
//    it and reserves the space, and InPlace() is true. Such a save is not atomic; callers
//    should log that;
//  - a new file gets mode 0644 less the umask.
// On failure it returns the errno, and nothing is left behind.
//
// Commit() makes the new content the file's: it renames the temporary file over the old one
// and fsyncs the folder, or, in place, writes the bytes over the old content, truncates and
// fsyncs. Returns 0 or an errno. A failed rename leaves the old file as it was and removes the
// temporary file; a failed write in place may leave the file partly written (which is why such
// a save is reported). Commit without a successful Prepare returns EINVAL.
//
// Discard(), and destruction without Commit, leave the old file untouched and remove the
// temporary file. An object can be prepared again after Commit or Discard.
class CFileReplacement
{
public:
    CFileReplacement() = default;
    ~CFileReplacement();
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;
    CFileReplacement(CFileReplacement&& other) noexcept;
    CFileReplacement& operator=(CFileReplacement&& other) noexcept;

    int Prepare(const std::string& path, std::string_view bytes);
    int Commit();
    void Discard();

    // True when Prepare succeeded and Commit has not run yet.
    bool IsPrepared() const { return m_fd >= 0; }
    // True when the file is (or was, after Commit) written in place rather than replaced.
    bool InPlace() const { return m_inPlace; }
    // The file that is replaced: the path given to Prepare, with links followed.
    const std::string& Target() const { return m_target; }

private:
    int PrepareInPlace(std::string_view bytes);
    int PrepareTemporary(const std::string& base, std::string_view bytes, bool hadOld,
                         const struct stat& old);

    int m_fd = -1;
    bool m_inPlace = false;
    std::string m_target;
    std::string m_folder;
    std::string m_tempName; // the named temporary file, empty for O_TMPFILE and in place
    std::string m_bytes;    // what an in-place commit writes
};

// Prepare and Commit in one call: 0, or the errno of the failing step. When inPlace is given,
// it tells whether the file was written in place (see CFileReplacement).
int ReplaceFile(const std::string& path, std::string_view bytes, bool* inPlace = nullptr);

// True when a regular file (or a link to one) exists at path.
bool FileExists(const std::string& path);

// Finds a file in folder whose name equals name without regard to ASCII case; an exact
// match wins. Returns the full path, or nothing.
std::optional<std::string> FindFileNoCase(const std::string& folder, const std::string& name);

// Resolves a relative path of one or more '/'-separated parts below folder, matching each
// part without regard to ASCII case (an exact match wins). Parts that are not found are
// joined as given, so the result then names nothing.
std::string ResolvePathNoCase(const std::string& folder, const std::string& relative);

// Names of the regular files in folder whose names end with suffix (compared without regard
// to case), sorted by name.
std::vector<std::string> ListFilesWithSuffix(const std::string& folder, const std::string& suffix);

} // namespace rz
