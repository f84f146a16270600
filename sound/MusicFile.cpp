// Reading the music file and starting it: the same on every sound back end.
#include "engine/core/Fatal.h"
#include "engine/core/File.h"
#include "sound/SoundSystem.h"

uint32_t SoundSystem::PlayMusicFile(const std::string& fileName, std::vector<uint8_t>& musicData,
                                    double position) {
    File file;
    // The name alone does not say it is the music the script asks for.
    if (!file.Open(fileName.c_str()))
        ReportFatal("Cannot open [%s]\r\n(the music file named by MUSICSTREAM)", fileName.c_str());
    const long length = file.Seek(0, 2) >= 0 ? file.Tell() : 0;
    file.Seek(0, 0);
    musicData.resize(length > 0 ? static_cast<size_t>(length) : 0);
    if (!musicData.empty()) musicData.resize(file.Read(musicData.data(), static_cast<uint32_t>(musicData.size())));
    const uint32_t stream = StreamCreate(musicData.data(), musicData.size());
    if (stream == 0) {
        ErrorGetCode();
        ReportFatal("Unknown SoundSystem error.");
    }
    Start();
    StreamPlayFrom(stream, position);
    return stream;
}
