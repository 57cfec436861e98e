#include "quiet_sound_libraries.h"

#include <dlfcn.h>

namespace zirvak {

namespace {

// snd_lib_error_set_handler() of libasound (alsa/error.h).
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int err,
                                  const char* fmt, ...);
using SetAlsaErrorHandler = int (*)(AlsaErrorHandler);
// jack_set_error_function() and jack_set_info_function() of libjack (jack/jack.h).
using JackMessageHandler = void (*)(const char* message);
using SetJackMessageHandler = void (*)(JackMessageHandler);
// pw_log_set_level() of libpipewire (pipewire/log.h); SPA_LOG_LEVEL_NONE is 0.
using SetPipeWireLogLevel = void (*)(int level);
constexpr int kPipeWireLogNothing = 0;

void DropAlsaError(const char*, int, const char*, int, const char*, ...) {}
void DropJackMessage(const char*) {}

// The library by its run-time name, the one SDL and ALSA's plugins load; never closed.
void* Keep(const char* soname) {
    return dlopen(soname, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
}

template <class F>
F Find(void* library, const char* name) {
    return library ? reinterpret_cast<F>(dlsym(library, name)) : nullptr;
}

bool Quiet() {
    // SDL's ALSA backend; also what the PulseAudio and JACK plugins of ALSA report through.
    void* alsa = Keep("libasound.so.2");
    if (auto set = Find<SetAlsaErrorHandler>(alsa, "snd_lib_error_set_handler"))
        set(&DropAlsaError);
    // Reached through ALSA's JACK plugin, or a JACK backend of SDL: "Cannot connect to server
    // socket" and the like, from every attempt while no JACK server runs.
    void* jack = Keep("libjack.so.0");
    if (auto set = Find<SetJackMessageHandler>(jack, "jack_set_error_function"))
        set(&DropJackMessage);
    if (auto set = Find<SetJackMessageHandler>(jack, "jack_set_info_function"))
        set(&DropJackMessage);
    // SDL's PipeWire backend: warnings and errors of an installation it finds incomplete. The
    // level holds through SDL's own pw_init, unless the user asks for more in PIPEWIRE_DEBUG.
    void* pipewire = Keep("libpipewire-0.3.so.0");
    if (auto set = Find<SetPipeWireLogLevel>(pipewire, "pw_log_set_level"))
        set(kPipeWireLogNothing);
    return true;
}

}  // namespace

void QuietSoundLibraries() {
    static const bool quiet = Quiet();
    (void)quiet;
}

}  // namespace zirvak
