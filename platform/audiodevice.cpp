#include "audiodevice.h"
#include "musiclayout.h"

namespace AudioDevice {

std::string startAudio()
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return SDL_GetError();
    return {};
}

void stopAudio()
{
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

SDL_AudioDeviceID open(SDL_AudioCallback callback, void *userdata, std::string &why)
{
    SDL_AudioSpec want;
    SDL_memset(&want, 0, sizeof(want));
    want.freq = MusicFile::sampleRate;
    want.format = AUDIO_F32LSB;
    want.channels = MusicFile::channels;
    want.samples = MusicFile::framesPerCallback;
    want.userdata = userdata;
    want.callback = callback;
    SDL_AudioSpec have;
    // No change allowed: SDL converts for a device that wants another
    // format, so the callback always fills float stereo at 44100 Hz, the
    // music file's own samples.
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        why = SDL_GetError();
        return 0;
    }
    // A device opens paused.
    SDL_PauseAudioDevice(device, 0);
    return device;
}

void close(SDL_AudioDeviceID device)
{
    if (device != 0)
        SDL_CloseAudioDevice(device);
}

} // namespace AudioDevice
