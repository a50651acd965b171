#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Whole-file reads and safe replacement of files.
namespace rz
{

// Reads a whole file. Returns 0, or the errno of the failing call.
int ReadWholeFile(const std::string& path, std::string& bytes);

// Writes all bytes to a descriptor, retrying after interruptions. Returns 0 or an errno.
int WriteAll(int fd, std::string_view bytes);

// Replaces a file's content by writing a temporary file beside it and renaming it over the
// old one. The old file's permissions (and owner, where allowed) are kept; a new file gets
// 0644 less the umask. When anything fails the old file is left exactly as it was.
// Returns 0, or the errno of the failing call.
int ReplaceFile(const std::string& path, std::string_view bytes);

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
