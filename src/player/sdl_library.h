// SDL2 is loaded when the first audio device opens, not when the program starts: commands
// that play nothing (decoding to a file, reading tags, --help) then start without loading the
// sound libraries and the dozens of libraries behind them, which cost more time than a short
// decode.
#pragma once

#include <SDL.h>

#include <string>

namespace zirvak {

// The SDL calls the audio device makes.
struct SdlLibrary {
    decltype(&::SDL_SetHint) SetHint;
    decltype(&::SDL_InitSubSystem) InitSubSystem;
    decltype(&::SDL_QuitSubSystem) QuitSubSystem;
    decltype(&::SDL_GetError) GetError;
    decltype(&::SDL_OpenAudioDevice) OpenAudioDevice;
    decltype(&::SDL_CloseAudioDevice) CloseAudioDevice;
    decltype(&::SDL_PauseAudioDevice) PauseAudioDevice;
    decltype(&::SDL_GetAudioDeviceStatus) GetAudioDeviceStatus;
    decltype(&::SDL_GetCurrentAudioDriver) GetCurrentAudioDriver;
    decltype(&::SDL_GetNumAudioDrivers) GetNumAudioDrivers;
    decltype(&::SDL_GetAudioDriver) GetAudioDriver;
};

// The library, loaded on the first call and kept for the process (thread-safe); null when it
// cannot be loaded, with the reason in `why`. Neither SDL nor the sound libraries it loads
// print on stderr: Zirvak says itself what went wrong with the sound.
const SdlLibrary* LoadSdlLibrary(std::string& why);

}  // namespace zirvak
