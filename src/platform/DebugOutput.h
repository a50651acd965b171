#pragma once

#include <functional>
#include <string_view>

// The debugger output channel: lines that only a developer looks at. They go to stderr when
// RAVIRAZAZU_DEBUG is set, and to a sink that a test installs.
namespace rz
{

using DebugSink = std::function<void(std::string_view)>;

// Sends one piece of text to the debugger output.
void OutputDebugString(std::string_view text);

// Installs a sink that receives every piece of debugger output (an empty function removes
// it); returns the previous sink.
DebugSink SetDebugOutputSink(DebugSink sink);

} // namespace rz
