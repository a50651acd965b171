#include "app/FontStart.h"

#include <dlfcn.h>
#include <malloc.h>
#include <system_error>
#include <thread>

namespace rz
{
namespace
{

struct CFontStart
{
    std::thread thread;

    // A process that ends without having waited still lets the thread finish first.
    ~CFontStart()
    {
        if (thread.joinable())
            thread.join();
    }
};

CFontStart& State()
{
    static CFontStart state;
    return state;
}

} // namespace

void BeginFontStart()
{
    CFontStart& state = State();
    if (state.thread.joinable())
        return;
    // Looked up rather than linked: the toolkit's library brings the font system in, and a
    // toolkit without it needs no head start.
    using Init = int (*)();
    auto* init = reinterpret_cast<Init>(::dlsym(RTLD_DEFAULT, "FcInit"));
    if (init == nullptr)
        return;
    try
    {
        state.thread = std::thread(init);
    }
    catch (const std::system_error&)
    {
        // No thread to be had: the toolkit reads the configuration itself, as without this.
    }
}

void AwaitFontStart()
{
    CFontStart& state = State();
    if (!state.thread.joinable())
        return;
    state.thread.join();
    // Most of what the reading allocated was for the moment, on that thread's own heap,
    // which the window's thread never allocates from: it goes back to the system.
    ::malloc_trim(0);
}

} // namespace rz
