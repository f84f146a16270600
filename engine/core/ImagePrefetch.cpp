// Image decoding ahead of use: the workers, the hand-over to LoadGFX and the installed prefetch.
#include "engine/core/ImagePrefetch.h"

#include <algorithm>
#include <utility>
#include "engine/core/ExceptionGuard.h"
#include "engine/core/Fatal.h"
#include "engine/core/Image.h"
#include "engine/core/Log.h"

namespace {
ImagePrefetch* g_prefetch = nullptr;
}

void SetImagePrefetch(ImagePrefetch* prefetch)
{
    g_prefetch = prefetch;
}

ImagePrefetch* GetImagePrefetch()
{
    return g_prefetch;
}

ImagePrefetch::ImagePrefetch(std::vector<std::string> names, const DisplayFormat& display, unsigned threads,
                             size_t maxWaitingBytes)
    : display_(display), maxWaitingBytes_(maxWaitingBytes)
{
    for (std::string& name : names) {
        const bool known = std::any_of(items_.begin(), items_.end(), [&](const Item& item) { return item.name == name; });
        if (!known && !name.empty()) {
            items_.emplace_back();
            items_.back().name = std::move(name);
        }
    }
    threads = std::min<unsigned>(threads, static_cast<unsigned>(items_.size()));
    for (unsigned i = 0; i < threads; ++i)
        workers_.emplace_back([this] { Work(); });
}

ImagePrefetch::~ImagePrefetch()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
    if (g_prefetch == this)
        g_prefetch = nullptr;
}

void ImagePrefetch::Work()
{
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        changed_.wait(guard, [this] {
            while (next_ < items_.size() && items_[next_].state != State::Waiting)
                ++next_;
            return stopping_ || next_ == items_.size() || waitingBytes_ <= maxWaitingBytes_;
        });
        if (stopping_ || next_ == items_.size())
            return;
        Item& item = items_[next_++];
        item.state = State::Decoding;
        const std::string name = item.name;
        guard.unlock();

        std::vector<uint8_t> pixels;
        uint32_t width = 0, height = 0;
        std::vector<std::string> log;
        bool decoded = false;
        {
            // A failure is dropped here, a processor fault included: the caller decodes the
            // file again and reports it, with its own trace. (The guards install the same
            // handler the caller's guard has installed for the whole run.)
            QuietFatalErrors quiet;
            DeferredLog capture;
            try {
                RunGuarded([&] {
                    std::vector<uint8_t> rgb = DecodeImage(name.c_str(), width, height);
                    pixels = ConvertForDisplay(std::move(rgb), width * height, ImageConversion::ForDisplay, display_);
                });
                decoded = true;
            } catch (...) {
            }
            log = capture.Take();
        }

        guard.lock();
        item.state = decoded ? State::Done : State::Failed;
        if (decoded) {
            item.pixels = std::move(pixels);
            item.width = width;
            item.height = height;
            item.log = std::move(log);
            waitingBytes_ += item.pixels.size();
            ++decoded_;
        }
        changed_.notify_all();
    }
}

bool ImagePrefetch::Take(const std::string& name, ImageConversion conversion, const DisplayFormat& display,
                         std::vector<uint8_t>& pixels, uint32_t& width, uint32_t& height)
{
    const DisplayLayout layout = LayoutForDisplay(conversion, display);
    if (layout != LayoutForDisplay(ImageConversion::ForDisplay, display_) ||
        (layout == DisplayLayout::RGB16 && display.redMask != display_.redMask))
        return false;
    std::vector<std::string> log;
    {
        std::unique_lock<std::mutex> guard(lock_);
        auto item = std::find_if(items_.begin(), items_.end(), [&](const Item& i) { return i.name == name; });
        if (item == items_.end())
            return false;
        changed_.wait(guard, [&] { return item->state != State::Decoding; });
        const bool done = item->state == State::Done;
        item->state = State::Claimed;
        if (!done)
            return false;
        waitingBytes_ -= item->pixels.size();
        ++taken_;
        pixels = std::move(item->pixels);
        width = item->width;
        height = item->height;
        log = std::move(item->log);
        item->pixels = {};
    }
    changed_.notify_all();
    for (const std::string& line : log)
        LogLine("%s", line.c_str());
    return true;
}

size_t ImagePrefetch::GetDecodedCount() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return decoded_;
}

size_t ImagePrefetch::GetTakenCount() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return taken_;
}
