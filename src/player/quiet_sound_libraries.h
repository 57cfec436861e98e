// The libraries beneath SDL print their own errors on stderr: ALSA's default handler writes eight
// "ALSA lib ..." lines each time no card opens, which is every second while the sound server is
// away, over zirvak-cli's progress line. What reaches the user are Zirvak's own messages, which
// already say why there is no sound; the libraries' lines are dropped at their source, through
// each library's own hook, so nothing else written to stderr (by any thread) is lost.
#pragma once

namespace zirvak {

// Points ALSA's and JACK's error printing at handlers that drop it, and sets PipeWire's log
// level to nothing, before SDL loads its backends: each library is loaded here and stays
// loaded, so the backend SDL opens later gets this very instance, as set here. Once per process;
// thread-safe; a library that is not installed is left alone.
void QuietSoundLibraries();

}  // namespace zirvak
