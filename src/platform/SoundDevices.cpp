#include "platform/SoundDevices.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cstdlib>
#include <memory>

namespace rz
{
namespace
{

// A hint's field, freed with free() as ALSA asks; null when the hint has no such field.
using HintText = std::unique_ptr<char, decltype(&std::free)>;

HintText HintField(const void* hint, const char* field)
{
    return HintText(snd_device_name_get_hint(hint, field), &std::free);
}

bool Works(const char* ioid, SoundDirection direction)
{
    if (ioid == nullptr)
        return true;
    return std::string_view(ioid) == (direction == SoundDirection::Input ? "Input" : "Output");
}

} // namespace

std::wstring SoundDeviceName(std::string_view description)
{
    std::wstring name;
    size_t start = 0;
    while (start <= description.size())
    {
        size_t end = description.find('\n', start);
        if (end == std::string_view::npos)
            end = description.size();
        const std::wstring line =
            std::wstring(TrimBlanks(Utf8ToWide(description.substr(start, end - start))));
        if (!line.empty())
            name += (name.empty() ? L"" : L" - ") + line;
        start = end + 1;
    }
    return name;
}

CSoundDevices SoundDevices()
{
    CSoundDevices devices;
    void** hints = nullptr;
    // Card -1: every card, then the devices of the configuration. ALSA reads its
    // configuration files again when they changed since the last call.
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr)
        return devices;
    const auto add = [](std::vector<std::wstring>& names, const std::wstring& name)
    {
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    };
    for (void** hint = hints; *hint != nullptr; ++hint)
    {
        const HintText description = HintField(*hint, "DESC");
        if (description == nullptr)
            continue;
        const std::wstring name = SoundDeviceName(description.get());
        if (name.empty())
            continue;
        const HintText ioid = HintField(*hint, "IOID");
        if (Works(ioid.get(), SoundDirection::Input))
            add(devices.inputs, name);
        if (Works(ioid.get(), SoundDirection::Output))
            add(devices.outputs, name);
    }
    snd_device_name_free_hint(hints);
    return devices;
}

std::vector<std::wstring> SoundDeviceNames(SoundDirection direction)
{
    CSoundDevices devices = SoundDevices();
    return direction == SoundDirection::Input ? std::move(devices.inputs)
                                              : std::move(devices.outputs);
}

} // namespace rz
