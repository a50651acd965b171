#pragma once

#include <string>
#include <string_view>

// Helpers that the fuzz targets share: a private folder for the files a target writes, and a
// check that stops the run like a crash, so that libFuzzer keeps the input that broke it.
namespace rzfuzz
{

// A folder below $TMPDIR (or /tmp) made on first use and removed when the process ends.
// Pointing the tool's data, profile, state and runtime folders there as well keeps every
// target away from the machine's own files.
const std::string& WorkDir();

// Writes bytes to a file, replacing it; aborts when that fails (the machine, not the input).
void WriteFile(const std::string& path, std::string_view bytes);

// The whole content of a file (empty when it cannot be read).
std::string ReadFile(const std::string& path);

// Prints what did not hold and aborts.
[[noreturn]] void Fail(const char* file, int line, const char* what);

} // namespace rzfuzz

// A property of the code under test that must hold for every input.
#define RZ_FUZZ_CHECK(condition)                                                                   \
    do                                                                                             \
    {                                                                                              \
        if (!(condition))                                                                          \
            ::rzfuzz::Fail(__FILE__, __LINE__, #condition);                                        \
    } while (false)
