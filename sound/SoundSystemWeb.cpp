// Music playback on the browser's Web Audio (the web build): the page's sound object
// (app/web/starfall-page.js, Module.starfallSound) decodes the MP3 bytes and plays them.
#include <emscripten.h>
#include "engine/core/Fatal.h"
#include "sound/SoundSystem.h"

namespace {

enum ErrorCode { kNoError = 0, kInitFailed = 1, kBadData = 2 };

bool g_initialised = false;
int g_lastError = kNoError;
bool g_paused = false;

}  // namespace

// An audio context exists (the page made it, inside the user's click when there was one).
EM_JS(int, starfall_sound_init, (), {
    return Module.starfallSound && Module.starfallSound.init() ? 1 : 0;
});
EM_JS(void, starfall_sound_start, (), { Module.starfallSound.start(); });
// Copies the bytes (the browser decodes asynchronously) and answers a handle.
EM_JS(int, starfall_sound_create, (const uint8_t* data, int length), {
    return Module.starfallSound.create(HEAPU8.slice(data, data + length));
});
EM_JS(void, starfall_sound_play, (int handle, double offset), { Module.starfallSound.play(handle, offset); });
EM_JS(void, starfall_sound_pause, (int paused), { Module.starfallSound.pause(paused != 0); });
EM_JS(void, starfall_sound_stop, (), { Module.starfallSound.stop(); });
EM_JS(void, starfall_sound_free, (int handle), { Module.starfallSound.free(handle); });
EM_JS(int, starfall_sound_playing, (), { return Module.starfallSound.isPlaying() ? 1 : 0; });

void SoundSystem::Init()
{
    if (g_initialised) return;
    if (!starfall_sound_init()) {
        g_lastError = kInitFailed;
        RaiseAppError("Can't initialize digital sound system");
    }
    g_initialised = true;
}

void SoundSystem::Start()
{
    if (g_initialised) starfall_sound_start();
}

uint32_t SoundSystem::StreamCreate(const uint8_t* data, size_t length)
{
    if (!g_initialised || data == nullptr || length == 0 || length > INT32_MAX) {
        g_lastError = kBadData;
        return 0;
    }
    // Data the browser cannot decode is known only later: the page then stops the
    // production with "Unknown SoundSystem error.".
    const int handle = starfall_sound_create(data, static_cast<int>(length));
    if (handle <= 0) {
        g_lastError = kBadData;
        return 0;
    }
    return static_cast<uint32_t>(handle);
}

int SoundSystem::ErrorGetCode()
{
    return g_lastError;
}

void SoundSystem::StreamPlay(uint32_t stream)
{
    StreamPlayFrom(stream, 0.0);
}

void SoundSystem::StreamPlayFrom(uint32_t stream, double seconds)
{
    if (g_initialised && stream != 0) starfall_sound_play(static_cast<int>(stream), seconds > 0.0 ? seconds : 0.0);
}

// Suspending the audio context also stops the audio clock the demo clock follows.
void SoundSystem::PauseMusic()
{
    if (g_initialised && !g_paused) starfall_sound_pause(1);
    g_paused = g_initialised;
}

void SoundSystem::ResumeMusic()
{
    if (g_initialised && g_paused) starfall_sound_pause(0);
    g_paused = false;
}

bool SoundSystem::IsMusicPaused()
{
    return g_paused;
}

// The page does not report where the music is; callers treat -1 as unknown.
double SoundSystem::StreamPosition(uint32_t)
{
    return -1.0;
}

void SoundSystem::Stop()
{
    if (g_initialised) starfall_sound_stop();
}

void SoundSystem::StreamFree(uint32_t stream)
{
    if (g_initialised && stream != 0) starfall_sound_free(static_cast<int>(stream));
}

void SoundSystem::Shutdown()
{
    if (!g_initialised) return;
    starfall_sound_stop();
    g_initialised = false;
    g_paused = false;
    g_lastError = kNoError;
}

bool SoundSystem::IsInitialised()
{
    return g_initialised;
}

bool SoundSystem::IsPlaying()
{
    return g_initialised && starfall_sound_playing() != 0;
}
