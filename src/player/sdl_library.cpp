#include "sdl_library.h"

#include <dlfcn.h>

#include "quiet_sound_libraries.h"

namespace zirvak {

namespace {

// The run-time name of SDL 2's library, the one its package installs.
constexpr const char* kSdlSoname = "libSDL2-2.0.so.0";

struct Loaded {
    SdlLibrary calls{};
    std::string why;  // empty when loaded
};

void DropSdlLog(void*, int, SDL_LogPriority, const char*) {}

template <class F>
bool Resolve(void* library, const char* name, F& call, std::string& why) {
    call = reinterpret_cast<F>(dlsym(library, name));
    if (call == nullptr && why.empty()) why = std::string(kSdlSoname) + " has no " + name;
    return call != nullptr;
}

Loaded Load() {
    Loaded l;
    QuietSoundLibraries();
    void* library = dlopen(kSdlSoname, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* error = dlerror();
        l.why = std::string("the SDL 2 library could not be loaded (") +
                (error ? error : kSdlSoname) + ")";
        return l;
    }
    SdlLibrary& c = l.calls;
    const bool all =
        Resolve(library, "SDL_SetHint", c.SetHint, l.why) &&
        Resolve(library, "SDL_InitSubSystem", c.InitSubSystem, l.why) &&
        Resolve(library, "SDL_QuitSubSystem", c.QuitSubSystem, l.why) &&
        Resolve(library, "SDL_GetError", c.GetError, l.why) &&
        Resolve(library, "SDL_OpenAudioDevice", c.OpenAudioDevice, l.why) &&
        Resolve(library, "SDL_CloseAudioDevice", c.CloseAudioDevice, l.why) &&
        Resolve(library, "SDL_PauseAudioDevice", c.PauseAudioDevice, l.why) &&
        Resolve(library, "SDL_GetAudioDeviceStatus", c.GetAudioDeviceStatus, l.why) &&
        Resolve(library, "SDL_GetCurrentAudioDriver", c.GetCurrentAudioDriver, l.why) &&
        Resolve(library, "SDL_GetNumAudioDrivers", c.GetNumAudioDrivers, l.why) &&
        Resolve(library, "SDL_GetAudioDriver", c.GetAudioDriver, l.why);
    // SDL's own log lines (a backend's complaint, a thread priority it could not get) go
    // nowhere; what matters reaches the device through SDL_GetError.
    decltype(&::SDL_LogSetOutputFunction) setLogOutput = nullptr;
    if (all && Resolve(library, "SDL_LogSetOutputFunction", setLogOutput, l.why))
        setLogOutput(&DropSdlLog, nullptr);
    // The library stays loaded for the process even when it is unusable: SDL may have
    // started threads of its own.
    if (!l.why.empty()) l.calls = {};
    return l;
}

}  // namespace

const SdlLibrary* LoadSdlLibrary(std::string& why) {
    static const Loaded loaded = Load();
    if (!loaded.why.empty()) {
        why = loaded.why;
        return nullptr;
    }
    return &loaded.calls;
}

}  // namespace zirvak
