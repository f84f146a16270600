// Music playback on SDL2_mixer: the only place that talks to the audio platform.
#include "sound/SoundSystem.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <map>
#include "engine/core/Fatal.h"

namespace {

enum ErrorCode { kNoError = 0, kInitFailed = 1, kBadData = 2 };

struct SoundState {
    bool initialised = false;
    int lastError = kNoError;
    uint32_t nextHandle = 1;
    std::map<uint32_t, Mix_Music*> streams;
};

SoundState& State() {
    static SoundState state;
    return state;
}

}  // namespace

void SoundSystem::Init() {
    SoundState& state = State();
    if (state.initialised) return;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        state.lastError = kInitFailed;
        RaiseAppError("Can't initialize digital sound system");
    }
    Mix_Init(MIX_INIT_MP3 | MIX_INIT_OGG);
    if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048) != 0) {
        state.lastError = kInitFailed;
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        RaiseAppError("Can't initialize digital sound system");
    }
    state.initialised = true;
}

void SoundSystem::Start() {
    if (!State().initialised) return;
    Mix_Resume(-1);
    if (Mix_PausedMusic()) Mix_ResumeMusic();
}

uint32_t SoundSystem::StreamCreate(const uint8_t* data, size_t length) {
    SoundState& state = State();
    if (!state.initialised || data == nullptr || length == 0 || length > INT32_MAX) {
        state.lastError = kBadData;
        return 0;
    }
    SDL_RWops* source = SDL_RWFromConstMem(data, static_cast<int>(length));
    if (source == nullptr) {
        state.lastError = kBadData;
        return 0;
    }
    // The stream decodes from the block while it plays; the caller keeps the block alive.
    Mix_Music* music = Mix_LoadMUS_RW(source, 1);
    if (music == nullptr) {
        state.lastError = kBadData;
        return 0;
    }
    const uint32_t handle = state.nextHandle++;
    state.streams[handle] = music;
    return handle;
}

int SoundSystem::ErrorGetCode() {
    return State().lastError;
}

void SoundSystem::StreamPlay(uint32_t stream) {
    SoundState& state = State();
    auto found = state.streams.find(stream);
    if (found == state.streams.end()) return;
    Mix_PlayMusic(found->second, 1);
}

void SoundSystem::StreamPlayFrom(uint32_t stream, double seconds) {
    if (seconds <= 0.0) {
        StreamPlay(stream);
        return;
    }
    SoundState& state = State();
    auto found = state.streams.find(stream);
    if (found == state.streams.end()) return;
    // A position past the end of the music: the production goes on in silence, as it
    // does when the music ends before the script.
    const double length = Mix_MusicDuration(found->second);
    if (length > 0.0 && seconds >= length) return;
    // Starting at the position (no fade) plays no moment of the music's beginning.
    Mix_FadeInMusicPos(found->second, 1, 0, seconds);
}

void SoundSystem::PauseMusic() {
    if (State().initialised) Mix_PauseMusic();
}

void SoundSystem::ResumeMusic() {
    if (State().initialised) Mix_ResumeMusic();
}

bool SoundSystem::IsMusicPaused() {
    return State().initialised && Mix_PausedMusic() != 0;
}

double SoundSystem::StreamPosition(uint32_t stream) {
    SoundState& state = State();
    auto found = state.streams.find(stream);
    if (found == state.streams.end()) return -1.0;
    return Mix_GetMusicPosition(found->second);
}

void SoundSystem::Stop() {
    if (!State().initialised) return;
    Mix_HaltMusic();
    Mix_HaltChannel(-1);
}

void SoundSystem::StreamFree(uint32_t stream) {
    SoundState& state = State();
    auto found = state.streams.find(stream);
    if (found == state.streams.end()) return;
    Mix_FreeMusic(found->second);  // halts it first when it is the playing one
    state.streams.erase(found);
}

void SoundSystem::Shutdown() {
    SoundState& state = State();
    if (!state.initialised) return;
    Mix_HaltMusic();
    for (auto& entry : state.streams) Mix_FreeMusic(entry.second);
    state.streams.clear();
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    state.initialised = false;
    state.lastError = kNoError;
}

bool SoundSystem::IsInitialised() {
    return State().initialised;
}

bool SoundSystem::IsPlaying() {
    return State().initialised && Mix_PlayingMusic() != 0;
}
