#ifndef AUDIODEVICE_H
#define AUDIODEVICE_H

#include <SDL.h>

#include <string>

// The one way the show and its tools play sound: SDL's audio subsystem and
// the default output device, asked for the music file's samples as they are
// (its rate, stereo 32-bit float, buffers of MusicFile::framesPerCallback
// frames) and fed by a callback on SDL's audio thread. Plain C++ and SDL, no
// Qt.
namespace AudioDevice {

// Starts SDL's audio subsystem, without SDL's own SIGINT and SIGTERM
// handlers: they only post an event that nobody reads, and the signals are
// the application's. Returns SDL's reason when it cannot, else nothing.
std::string startAudio();

// Stops the subsystem that startAudio() started (SDL counts the starts).
void stopAudio();

// Opens the default output device and starts it playing: from then on the
// audio thread calls callback(userdata, buffer, bytes) for every buffer.
// Returns the device, or 0 with SDL's reason in `why`.
SDL_AudioDeviceID open(SDL_AudioCallback callback, void *userdata, std::string &why);

// Closes an open device (0 is none). A callback that is running is waited
// for, and none runs after it.
void close(SDL_AudioDeviceID device);

} // namespace AudioDevice

#endif // AUDIODEVICE_H
