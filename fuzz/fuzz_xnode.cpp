// XNode's reader and writer: UTF-16 LE bytes in, the tree written back out and read again.
//
// Properties: nothing crashes or reads out of bounds; the two writers (wide text and UTF-16
// bytes) write the same text; and a tree with a root element, complete or partly read, is
// written as XML that reads back as the very same tree, by either reader.

#include "FuzzSupport.h"
#include "config/XNode.h"
#include "platform/TextCodec.h"

#include <cstddef>
#include <cstdint>
#include <string>

using RUROR::XNode;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    XNode first;
    const RUROR::XParseResult parsed = first.LoadUtf16Le(bytes);
    RZ_FUZZ_CHECK(!parsed || !first.name.empty());

    const std::wstring text = first.GetXML();
    std::string written;
    first.AppendXMLUtf16Le(written);
    RZ_FUZZ_CHECK(written == rz::WideToUtf16Le(text));

    XNode second;
    const RUROR::XParseResult reparsed = second.LoadUtf16Le(written);
    XNode third;
    const RUROR::XParseResult wideParsed = third.Load(text);
    if (first.name.empty())
    {
        // Nothing was read, and nothing is written.
        RZ_FUZZ_CHECK(text.empty());
        return 0;
    }
    RZ_FUZZ_CHECK(reparsed);
    RZ_FUZZ_CHECK(second == first);
    RZ_FUZZ_CHECK(wideParsed);
    RZ_FUZZ_CHECK(third == first);
    return 0;
}
