// Tests of music playback on the platform audio: initialisation, streams from memory, once-only play, stop.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include "support/TestMedia.h"
#include "engine/core/Fatal.h"
#include "sound/SoundSystem.h"

namespace {

// Runs a test body on a chosen SDL audio driver and puts the test driver back afterwards.
class AudioDriver {
public:
    explicit AudioDriver(const char* name) {
        SoundSystem::Shutdown();
        setenv("SDL_AUDIODRIVER", name, 1);
    }
    ~AudioDriver() {
        SoundSystem::Shutdown();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("SDL_DISKAUDIOFILE");
    }
};

void WaitMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

TEST(SoundSystem, DiskDriverReceivesTheMusicUntilItIsStopped) {
    namespace fs = std::filesystem;
    const fs::path output = fs::path(STARFALL_TEST_OUTPUT_DIR) / "sound" / "disk-audio.raw";
    fs::create_directories(output.parent_path());
    fs::remove(output);
    AudioDriver driver("disk");
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);

    SoundSystem::Init();
    const std::string wav = MakeSineWav(5.0);
    const std::vector<uint8_t> data(wav.begin(), wav.end());
    const uint32_t stream = SoundSystem::StreamCreate(data.data(), data.size());
    ASSERT_NE(stream, 0u);
    SoundSystem::Start();
    SoundSystem::StreamPlay(stream);
    WaitMs(400);
    EXPECT_TRUE(SoundSystem::IsPlaying());
    SoundSystem::Stop();
    EXPECT_FALSE(SoundSystem::IsPlaying());
    SoundSystem::StreamFree(stream);
    SoundSystem::Shutdown();

    // Signed 16-bit stereo samples: the tone reached the device at close to its amplitude.
    std::ifstream in(output, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 4096u);
    int peak = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const int sample = static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
        peak = std::max(peak, std::abs(sample));
    }
    EXPECT_GT(peak, 8000);
}

TEST(SoundSystem, StreamsPlayOnceAndBadDataIsRefused) {
    AudioDriver driver("dummy");
    EXPECT_EQ(SoundSystem::StreamCreate(nullptr, 0), 0u);  // before Init
    SoundSystem::Init();
    SoundSystem::Init();  // a second call changes nothing
    EXPECT_TRUE(SoundSystem::IsInitialised());

    const std::string junk = "definitely not a compressed stream";
    EXPECT_EQ(SoundSystem::StreamCreate(reinterpret_cast<const uint8_t*>(junk.data()), junk.size()), 0u);
    EXPECT_NE(SoundSystem::ErrorGetCode(), 0);

    const std::string wav = MakeSineWav(0.2);
    const std::vector<uint8_t> data(wav.begin(), wav.end());
    const uint32_t stream = SoundSystem::StreamCreate(data.data(), data.size());
    ASSERT_NE(stream, 0u);
    SoundSystem::Start();
    SoundSystem::StreamPlay(stream);
    EXPECT_TRUE(SoundSystem::IsPlaying());
    // Not looped: a short stream ends by itself.
    bool ended = false;
    for (int i = 0; i < 100 && !ended; ++i) {
        WaitMs(20);
        ended = !SoundSystem::IsPlaying();
    }
    EXPECT_TRUE(ended);
    SoundSystem::StreamFree(stream);
}

TEST(SoundSystem, MissingOutputIsAnApplicationError) {
    AudioDriver driver("no-such-driver");
    try {
        SoundSystem::Init();
        ADD_FAILURE() << "initialisation without an output must fail";
    } catch (const AppError& error) {
        EXPECT_STREQ(error.what(), "Can't initialize digital sound system");
    }
    EXPECT_FALSE(SoundSystem::IsInitialised());
}
