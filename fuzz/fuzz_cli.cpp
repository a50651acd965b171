// The command line: the fuzzer's bytes, split at zero bytes, as the arguments of
// ravirazazu-cli, run against a copy of the sample document and tool folder.
//
// Only commands that work on files run: an input that names the service, the adapters or the
// connection test anywhere is passed over, and so are arguments that would point the command
// line at another document or tool folder.
//
// Properties: nothing crashes; the exit status is one of done, refused, usage or document
// error; a command that does not succeed leaves every file as it was, and one that succeeds
// leaves a document that loads completely.

#include "FuzzSupport.h"
#include "cli/CliApp.h"
#include "platform/TextCodec.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace
{

constexpr size_t kMaxArguments = 48;

// The files a command may change, with their sample content.
struct CSample
{
    std::string folder;
    std::string document;
    std::string tool;
    std::vector<std::pair<std::string, std::string>> files; // path, bytes

    CSample()
        : folder(rzfuzz::WorkDir() + "/cli"), document(folder + "/GatewayConfig.XML"),
          tool(folder + "/tool")
    {
        std::filesystem::create_directories(tool);
        std::filesystem::copy(RZ_SAMPLE_TOOL_DIR, tool,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        files.emplace_back(document, rzfuzz::ReadFile(RZ_SAMPLE_DOCUMENT));
        for (const char* name : {"Gateway.ini", "RaviraZazu_Gateway.ini", "MXRServiceDog.ini"})
            files.emplace_back(tool + "/" + name, rzfuzz::ReadFile(tool + "/" + name));
    }

    void Restore() const
    {
        for (const auto& [path, bytes] : files)
            rzfuzz::WriteFile(path, bytes);
    }
    bool Unchanged() const
    {
        for (const auto& [path, bytes] : files)
        {
            if (rzfuzz::ReadFile(path) != bytes)
                return false;
        }
        return true;
    }
};

bool Excluded(const std::string& argument)
{
    // Another document or tool folder, in any of the spellings the parser takes.
    for (const char* option : {"--document", "--tool-dir"})
    {
        if (argument.rfind(option, 0) == 0)
            return true;
    }
    return false;
}

bool Unsafe(const std::string& argument)
{
    for (const char* command : {"service", "adapters", "test-connection"})
    {
        if (rz::EqualsNoCase(argument, command))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const CSample sample;

    std::vector<std::string> args = {"--document", sample.document, "--tool-dir", sample.tool};
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= bytes.size() && args.size() < kMaxArguments)
    {
        size_t end = bytes.find('\0', start);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string argument(bytes.substr(start, end - start));
        if (Unsafe(argument))
            return 0;
        if (!Excluded(argument))
            args.push_back(std::move(argument));
        start = end + 1;
    }

    sample.Restore();
    std::ostringstream out;
    std::ostringstream err;
    CCliApp app(out, err);
    const int status = app.Run(args);
    RZ_FUZZ_CHECK(status == CCliApp::kDone || status == CCliApp::kRefused ||
                  status == CCliApp::kUsage || status == CCliApp::kDocumentError);
    if (status != CCliApp::kDone)
    {
        RZ_FUZZ_CHECK(sample.Unchanged());
        return 0;
    }
    CGatewayConfigDoc document;
    const auto loaded = document.Load(sample.document);
    RZ_FUZZ_CHECK(loaded.status == CGatewayConfigDoc::LoadResult::Ok);
    return 0;
}
