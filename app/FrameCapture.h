// Capture of presented frames as numbered PNG files, encoded on a pool of worker threads.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// PNG of 8-bit RGB rows (top row first, width * 3 bytes each) into png. False with a reason.
bool EncodeRgbPng(const std::vector<uint8_t>& rgb, int width, int height, std::vector<uint8_t>& png,
                  std::string& error);
// Writes bytes to path.part in the same folder, then renames it to path, so path never holds
// a partial file. False with a reason (the temporary file removed).
bool WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
// EncodeRgbPng, then WriteFileWhole.
bool WriteRgbPng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height,
                 std::string& error);

class FrameCapture {
public:
    // Creates the folder when missing (an application error when that fails). threads = 0:
    // one worker per processor core.
    explicit FrameCapture(const std::string& folder, unsigned threads = 0);
    // Stops the workers: frames not yet written are dropped, never left under a final name.
    ~FrameCapture();
    FrameCapture(const FrameCapture&) = delete;
    FrameCapture& operator=(const FrameCapture&) = delete;

    // Queues RGB rows (top first) for folder/frame_NNNNNN.png, numbered from 0; waits while
    // the workers are behind. Frames appear complete and in order of their numbers. An
    // application error naming the file when an earlier frame could not be written.
    void WriteFrame(std::vector<uint8_t> rgb, int width, int height);
    // Waits until every queued frame is written; the application error of the first frame
    // that failed.
    void Finish();

    // After Finish, numbers the next frame `index` (a run that starts part-way or seeks).
    void Restart(long index);

    std::string FramePath(long index) const;
    long GetFrameCount() const { return next_; }
    unsigned GetWorkerCount() const { return static_cast<unsigned>(workers_.size()); }

private:
    struct Job {
        long index = 0;
        std::vector<uint8_t> rgb;
        int width = 0, height = 0;
    };
    void WorkerLoop();
    // Encodes and writes one frame; its rename waits for the frames before it.
    void Write(Job& job);
    void RaiseIfFailed();  // called with the lock not held

    std::string folder_;
    long next_ = 0;
    size_t capacity_ = 2;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> queue_;
    long nextRename_ = 0;  // frames below it are finished (written or failed)
    long finished_ = 0;
    bool stopping_ = false;
    std::string error_;  // the first failure, as the application error says it
    std::vector<std::thread> workers_;
};
