#include "platform/SoundDevices.h"

#include "platform/DebugOutput.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cstdlib>
#include <dlfcn.h>
#include <memory>
#include <string>

namespace rz
{
namespace
{

// ALSA's device hints, loaded when the devices are first asked for: only the station page and
// its commands need them, and a window that never shows that page does not map the library.
struct CAlsa
{
    decltype(&snd_device_name_hint) nameHint = nullptr;
    decltype(&snd_device_name_get_hint) getHint = nullptr;
    decltype(&snd_device_name_free_hint) freeHint = nullptr;

    // Null when the machine has no ALSA library: it then has no sound devices to offer.
    static const CAlsa* Get()
    {
        static const CAlsa alsa = Load();
        return alsa.nameHint != nullptr ? &alsa : nullptr;
    }

private:
    static CAlsa Load()
    {
        CAlsa alsa;
        // Kept loaded: ALSA's configuration cache lives in the library.
        void* library = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr)
        {
            OutputDebugString(std::string("No sound devices: ") + ::dlerror() + "\n");
            return alsa;
        }
        alsa.nameHint =
            reinterpret_cast<decltype(nameHint)>(::dlsym(library, "snd_device_name_hint"));
        alsa.getHint =
            reinterpret_cast<decltype(getHint)>(::dlsym(library, "snd_device_name_get_hint"));
        alsa.freeHint =
            reinterpret_cast<decltype(freeHint)>(::dlsym(library, "snd_device_name_free_hint"));
        if (alsa.getHint == nullptr || alsa.freeHint == nullptr)
            alsa.nameHint = nullptr;
        return alsa;
    }
};

// A hint's field, freed with free() as ALSA asks; null when the hint has no such field.
using HintText = std::unique_ptr<char, decltype(&std::free)>;

HintText HintField(const CAlsa& alsa, const void* hint, const char* field)
{
    return HintText(alsa.getHint(hint, field), &std::free);
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
    const CAlsa* alsa = CAlsa::Get();
    void** hints = nullptr;
    // Card -1: every card, then the devices of the configuration. ALSA reads its
    // configuration files again when they changed since the last call.
    if (alsa == nullptr || alsa->nameHint(-1, "pcm", &hints) < 0 || hints == nullptr)
        return devices;
    const auto add = [](std::vector<std::wstring>& names, const std::wstring& name)
    {
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    };
    for (void** hint = hints; *hint != nullptr; ++hint)
    {
        const HintText description = HintField(*alsa, *hint, "DESC");
        if (description == nullptr)
            continue;
        const std::wstring name = SoundDeviceName(description.get());
        if (name.empty())
            continue;
        const HintText ioid = HintField(*alsa, *hint, "IOID");
        if (Works(ioid.get(), SoundDirection::Input))
            add(devices.inputs, name);
        if (Works(ioid.get(), SoundDirection::Output))
            add(devices.outputs, name);
    }
    alsa->freeHint(hints);
    return devices;
}

std::vector<std::wstring> SoundDeviceNames(SoundDirection direction)
{
    CSoundDevices devices = SoundDevices();
    return direction == SoundDirection::Input ? std::move(devices.inputs)
                                              : std::move(devices.outputs);
}

} // namespace rz
