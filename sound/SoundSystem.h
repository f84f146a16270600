// Music playback: one output device and one compressed stream played once from memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class SoundSystem {
public:
    // Opens the default output at 44100 Hz. Raises the application error
    // "Can't initialize digital sound system" when there is no usable output.
    static void Init();
    // Starts (or resumes) output.
    static void Start();
    // A stream that plays from the memory block, which must stay alive until the stream
    // is freed. 0 when the data cannot be decoded.
    static uint32_t StreamCreate(const uint8_t* data, size_t length);
    // Code of the last failure (0 = none).
    static int ErrorGetCode();
    // Plays the stream from its beginning, once.
    static void StreamPlay(uint32_t stream);
    // Plays the stream once from `seconds` into it (seeking); past its end nothing plays.
    static void StreamPlayFrom(uint32_t stream, double seconds);
    // Pauses and resumes the music where it is.
    static void PauseMusic();
    static void ResumeMusic();
    static bool IsMusicPaused();
    // Seconds into the stream the music plays at; -1 when unknown.
    static double StreamPosition(uint32_t stream);
    // Stops all output.
    static void Stop();
    // Frees a stream (after Stop); 0 is ignored.
    static void StreamFree(uint32_t stream);
    // Closes the output (tests; the production never shuts sound down).
    static void Shutdown();

    static bool IsInitialised();
    // Whether a stream is currently playing.
    static bool IsPlaying();

    // Reads the whole file through the library's file access into musicData ("Cannot open
    // [%s]"), creates a stream from it ("Unknown SoundSystem error.") and plays it.
    // musicData must outlive the stream. Plays from `position` seconds into the music
    // (0: its beginning). Returns the stream.
    static uint32_t PlayMusicFile(const std::string& fileName, std::vector<uint8_t>& musicData,
                                  double position = 0.0);
};
