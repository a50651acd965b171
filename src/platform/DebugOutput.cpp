#include "platform/DebugOutput.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace rz
{
namespace
{

std::mutex& SinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

DebugSink& Sink()
{
    static DebugSink sink;
    return sink;
}

} // namespace

void OutputDebugString(std::string_view text)
{
    static const bool toStderr = std::getenv("RAVIRAZAZU_DEBUG") != nullptr;
    std::lock_guard lock(SinkMutex());
    if (toStderr)
    {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    }
    if (Sink())
        Sink()(text);
}

DebugSink SetDebugOutputSink(DebugSink sink)
{
    std::lock_guard lock(SinkMutex());
    DebugSink previous = std::move(Sink());
    Sink() = std::move(sink);
    return previous;
}

} // namespace rz
