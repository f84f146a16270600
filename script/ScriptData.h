// The parsed script in memory: settings, time blocks and their layer operations.
#pragma once
#include <string>
#include <vector>
#include "engine/layers/LayerOperation.h"

struct TimeBlock {
    bool fired = false;
    float time = 0.0f;  // seconds from the start of playback; may be negative
    std::string description;
    std::vector<LayerOperation> operations;
    int line = 0;  // script line of its TIME
};

// Everything the script file sets.
struct Script {
    std::vector<TimeBlock> blocks;  // sorted by time after parsing
    std::string musicFile;
    bool showFrameRate = false;
    bool showTime = false;
    bool showDescriptions = false;
    bool logScript = false;
    bool timeStretch = false;
    std::string loadingImage;
    std::string fileName;  // the file it was read from (empty for text parsed directly)
};
