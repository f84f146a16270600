// Image decoding ahead of use: worker threads decode the files a start-up is about to load.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include "engine/core/DisplayFormat.h"
#include "engine/core/PixelFormats.h"

// Decodes the listed files on worker threads, in list order, as
// LoadGFX(name, ImageConversion::ForDisplay, display) would (decoding and conversion to the
// display's format), while the caller uploads the images already decoded and sets up its
// layers. LoadGFX takes its image from the installed prefetch. A name never listed, not
// started yet or whose decoding failed is decoded by the caller as before, so every error is
// raised there, in order, with its text.
class ImagePrefetch {
public:
    // Workers pause while the decoded images nobody has taken yet hold more than
    // maxWaitingBytes, so memory stays bounded when the caller falls behind.
    ImagePrefetch(std::vector<std::string> names, const DisplayFormat& display, unsigned threads,
                  size_t maxWaitingBytes = 32u << 20);
    // Stops the workers once the image each is on is done; untaken images are dropped.
    ~ImagePrefetch();
    ImagePrefetch(const ImagePrefetch&) = delete;
    ImagePrefetch& operator=(const ImagePrefetch&) = delete;

    // True with what LoadGFX(name, conversion, display) returns (waiting while a worker is still
    // on it), after replaying the log lines its decoding wrote. False when there is none to
    // take (the name is then never decoded ahead any more: the caller does it) or it was
    // made for another pixel format.
    bool Take(const std::string& name, ImageConversion conversion, const DisplayFormat& display,
              std::vector<uint8_t>& pixels, uint32_t& width, uint32_t& height);

    // Images decoded so far and taken so far (for tests and the log).
    size_t GetDecodedCount() const;
    size_t GetTakenCount() const;

private:
    enum class State { Waiting, Decoding, Done, Failed, Claimed };
    struct Item {
        std::string name;
        State state = State::Waiting;
        std::vector<uint8_t> pixels;
        uint32_t width = 0;
        uint32_t height = 0;
        std::vector<std::string> log;
    };

    void Work();

    const DisplayFormat display_;
    std::vector<Item> items_;
    size_t next_ = 0;  // the first item no worker has started
    size_t waitingBytes_ = 0;
    size_t maxWaitingBytes_;
    size_t decoded_ = 0;
    size_t taken_ = 0;
    bool stopping_ = false;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::thread> workers_;
};

// The prefetch LoadGFX asks first (nullptr: none): installed for the time of a start-up.
void SetImagePrefetch(ImagePrefetch* prefetch);
ImagePrefetch* GetImagePrefetch();
