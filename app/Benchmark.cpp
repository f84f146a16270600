// Benchmark mode: timing of frames and layer types, quantiles and the text and JSON reports.
#include "app/Benchmark.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include "app/CommandLine.h"
#include "app/PlaybackSection.h"
#include "engine/layers/Layer.h"
#include "script/ScriptData.h"

namespace {

double ClockSeconds(clockid_t id)
{
    timespec now{};
    clock_gettime(id, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::string Fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// JSON string body: quotes, backslashes and control characters escaped.
std::string JsonText(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

double BenchClock::Wall()
{
    return ClockSeconds(CLOCK_MONOTONIC);
}

double BenchClock::ThreadCpu()
{
    return ClockSeconds(CLOCK_THREAD_CPUTIME_ID);
}

BenchSection ChooseBenchSection(const CommandLineOptions& options, const Script& script)
{
    // A section given on the command line (--start, --end) narrows the whole production.
    const PlaybackSection section = PlaybackSection::FromOptions(options);
    return {static_cast<float>(section.start), static_cast<float>(section.StopTime(script, 0.0, 0))};
}

double Quantile(std::vector<double> times, double q)
{
    if (times.empty())
        return 0.0;
    std::sort(times.begin(), times.end());
    const size_t n = times.size();
    if (q == 0.5)
        return n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2.0;
    // Nearest rank: the smallest value with at least q of the values at or below it.
    size_t rank = static_cast<size_t>(std::ceil(q * static_cast<double>(n) - 1e-9));
    rank = std::clamp<size_t>(rank, 1, n);
    return times[rank - 1];
}

double FillLimitedRate(double fragmentsPerSecond, double screensPerFrame, double screenPixels)
{
    const double fragmentsPerFrame = screensPerFrame * screenPixels;
    if (!(fragmentsPerSecond > 0.0) || !(fragmentsPerFrame > 0.0))
        return 0.0;
    return fragmentsPerSecond / fragmentsPerFrame;
}

BenchRecorder::BenchRecorder(BenchClock& clock)
    : clock_(clock)
{
}

void BenchRecorder::MeasureWith(RenderDevice* device, double screenPixels, long every)
{
    measured_ = device;
    screenPixels_ = screenPixels;
    measureEvery_ = std::max(1L, every);
}

uint32_t BenchRecorder::TagOf(const std::string& type)
{
    auto found = tags_.find(type);
    if (found != tags_.end())
        return found->second;
    const auto tag = static_cast<uint32_t>(tagTypes_.size());
    tags_.emplace(type, tag);
    tagTypes_.push_back(type);
    tagSamples_.push_back(0);
    tagGpu_.push_back(0.0);
    return tag;
}

void BenchRecorder::BeginFrame(bool empty)
{
    empty_ = empty;
    frameStartWall_ = clock_.Wall();
    frameStartCpu_ = clock_.ThreadCpu();
    if (measured_ && !empty)
        frameStartCounters_ = measured_->GetDrawCounters();
    measuring_ = measured_ && !empty && GetFrames() % measureEvery_ == 0;
    if (measuring_) {
        ++measuredFrames_;
        measured_->BeginMeasure(0);
    }
}

void BenchRecorder::PictureDone()
{
    if (measuring_)
        measured_->EndMeasure();
}

void BenchRecorder::CollectMeasures(bool wait)
{
    if (!measured_)
        return;
    spans_.clear();
    measured_->TakeMeasures(spans_, wait);
    for (const RenderDevice::MeasuredSpan& span : spans_) {
        if (span.tag >= tagSamples_.size())
            continue;
        tagSamples_[span.tag] += span.samples;
        tagGpu_[span.tag] += span.gpuSeconds;
    }
}

void BenchRecorder::EndFrame()
{
    const double seconds = clock_.Wall() - frameStartWall_;
    if (empty_) {
        ++emptyFrames_;
        emptySeconds_ += seconds;
        return;
    }
    frameSeconds_.push_back(seconds);
    productionSeconds_ += seconds;
    frameCpuTotal_ += clock_.ThreadCpu() - frameStartCpu_;
    if (measured_) {
        const RenderDevice::DrawCounters now = measured_->GetDrawCounters();
        const RenderDevice::DrawCounters& start = frameStartCounters_;
        RenderDevice::DrawCounters& sum = productionCounters_;
        sum.counted = now.counted;
        sum.sent += now.sent - start.sent;
        sum.invisible += now.invisible - start.invisible;
        sum.offScreen += now.offScreen - start.offScreen;
        sum.uniforms += now.uniforms - start.uniforms;
        sum.writeBacks += now.writeBacks - start.writeBacks;
        sum.covered += now.covered - start.covered;
        sum.depthOnlyClears += now.depthOnlyClears - start.depthOnlyClears;
    }
    // Counts come in a frame or two behind; taking them as they arrive keeps the pool small.
    CollectMeasures(false);
}

namespace {

std::string TypeKey(const Layer& layer)
{
    const std::string& type = layer.GetTypeName();
    return type.empty() ? "(unnamed)" : type;
}

}  // namespace

void BenchRecorder::BeforeLayerFrame(const Layer& layer)
{
    if (measuring_)
        measured_->BeginMeasure(TagOf(TypeKey(layer)));
    layerStartCpu_ = clock_.ThreadCpu();
}

void BenchRecorder::AfterLayerFrame(const Layer& layer)
{
    const double spent = clock_.ThreadCpu() - layerStartCpu_;
    layerCpu_[TypeKey(layer)] += spent;
    if (measuring_)
        measured_->BeginMeasure(0);
}

BenchFigures BenchRecorder::Compute() const
{
    BenchFigures f;
    f.frames = GetFrames();
    f.seconds = productionSeconds_;
    f.framesPerSecond = f.seconds > 0.0 ? static_cast<double>(f.frames) / f.seconds : 0.0;
    f.medianMs = Quantile(frameSeconds_, 0.5) * 1000.0;
    f.p95Ms = Quantile(frameSeconds_, 0.95) * 1000.0;
    f.p99Ms = Quantile(frameSeconds_, 0.99) * 1000.0;
    f.maxMs = frameSeconds_.empty() ? 0.0 : *std::max_element(frameSeconds_.begin(), frameSeconds_.end()) * 1000.0;
    f.emptyFrames = emptyFrames_;
    f.emptyFramesPerSecond = emptySeconds_ > 0.0 ? static_cast<double>(emptyFrames_) / emptySeconds_ : 0.0;
    f.ratio = f.emptyFramesPerSecond > 0.0 ? f.framesPerSecond / f.emptyFramesPerSecond : 0.0;

    const double frameWall = productionSeconds_;
    // Counts come from the measured frames only; GPU seconds are scaled up to the whole run.
    const double frames = measuredFrames_ > 0 ? static_cast<double>(measuredFrames_) : 0.0;
    const double gpuScale = frames > 0.0 ? static_cast<double>(f.frames) / frames : 0.0;
    auto screens = [&](uint64_t samples) {
        return frames > 0.0 && screenPixels_ > 0.0 ? static_cast<double>(samples) / screenPixels_ / frames : 0.0;
    };
    double layersCpu = 0.0;
    for (const auto& [type, cpu] : layerCpu_) {
        LayerTypeTime row{type, cpu, frameWall > 0.0 ? cpu / frameWall : 0.0};
        auto tag = tags_.find(type);
        if (tag != tags_.end()) {
            row.gpuSeconds = tagGpu_[tag->second] * gpuScale;
            row.fillScreens = screens(tagSamples_[tag->second]);
        }
        f.layers.push_back(row);
        layersCpu += cpu;
    }
    if (measured_) {
        const RenderDevice::MeasureSupport support = measured_->GetMeasureSupport();
        f.fill.counted = support.samples;
        f.fill.timed = support.gpuTime;
    }
    uint64_t samples = 0;
    double gpu = 0.0;
    for (size_t tag = 0; tag < tagSamples_.size(); ++tag) {
        samples += tagSamples_[tag];
        gpu += tagGpu_[tag];
    }
    f.otherGpuSeconds = tagGpu_[0] * gpuScale;
    f.otherFillScreens = screens(tagSamples_[0]);
    f.fill.screensPerFrame = screens(samples);
    f.fill.gpuMsPerFrame = frames > 0.0 ? gpu * 1000.0 / frames : 0.0;
    f.fill.fragmentsPerSecond = fillRate_;
    if (f.fill.counted) {
        f.fill.fillLimitedFps = FillLimitedRate(fillRate_, f.fill.screensPerFrame, screenPixels_);
        f.fill.shareOfFillLimit = f.fill.fillLimitedFps > 0.0 ? f.framesPerSecond / f.fill.fillLimitedFps : 0.0;
        f.fill.texturedFragmentsPerSecond = texturedFillRate_;
        f.fill.texturedFillLimitedFps = FillLimitedRate(texturedFillRate_, f.fill.screensPerFrame, screenPixels_);
        f.fill.shareOfTexturedFillLimit =
            f.fill.texturedFillLimitedFps > 0.0 ? f.framesPerSecond / f.fill.texturedFillLimitedFps : 0.0;
    }
    const RenderDevice::DrawCounters& sum = productionCounters_;
    const double perFrame = f.frames > 0 ? 1.0 / static_cast<double>(f.frames) : 0.0;
    f.draws = {sum.counted && f.frames > 0,
               static_cast<double>(sum.sent) * perFrame,
               static_cast<double>(sum.invisible) * perFrame,
               static_cast<double>(sum.offScreen) * perFrame,
               static_cast<double>(sum.uniforms) * perFrame,
               static_cast<double>(sum.writeBacks) * perFrame,
               static_cast<double>(sum.covered) * perFrame,
               static_cast<double>(sum.depthOnlyClears) * perFrame};
    std::stable_sort(f.layers.begin(), f.layers.end(),
                     [](const LayerTypeTime& a, const LayerTypeTime& b) { return a.cpuSeconds > b.cpuSeconds; });
    f.otherCpuSeconds = std::max(0.0, frameCpuTotal_ - layersCpu);
    f.otherShare = frameWall > 0.0 ? f.otherCpuSeconds / frameWall : 0.0;
    return f;
}

std::string FormatBenchText(const BenchFigures& f)
{
    std::ostringstream out;
    out << "Benchmark: " << f.mode << ", fixed step " << Fixed(f.fixedStepFps, 2) << " frames/s, " << f.frames
        << " frames in " << Fixed(f.seconds, 2) << " s\n";
    out << "frames/s            " << Fixed(f.framesPerSecond, 1) << "\n";
    out << "empty frames/s      " << Fixed(f.emptyFramesPerSecond, 1) << " (" << f.emptyFrames
        << " frames between the production's)\n";
    out << "ratio to empty      " << Fixed(f.ratio, 3) << "\n";
    out << "frame time ms       median " << Fixed(f.medianMs, 2) << "  p95 " << Fixed(f.p95Ms, 2) << "  p99 "
        << Fixed(f.p99Ms, 2) << "  max " << Fixed(f.maxMs, 2) << "\n";
    out << "start-up ms         " << (f.startupMs < 0.0 ? std::string("unknown") : Fixed(f.startupMs, 0)) << "\n";
    out << "peak resident MiB   "
        << (f.peakResidentMb < 0.0 ? std::string("unknown") : Fixed(f.peakResidentMb, 1)) << "\n";
    const FillFigures& fill = f.fill;
    if (fill.counted) {
        out << "fill                " << Fixed(fill.screensPerFrame, 2) << " screens/frame (fragments drawn / pixels of "
            << f.mode << ")\n";
        out << "fill rate           "
            << (fill.fragmentsPerSecond > 0.0 ? Fixed(fill.fragmentsPerSecond / 1e6, 1) + " Mfragments/s" : "unknown")
            << " (full-screen blended quads, this run)\n";
        if (fill.fillLimitedFps > 0.0)
            out << "fill-limited rate   " << Fixed(fill.fillLimitedFps, 1) << " frames/s; the production runs at "
                << Fixed(fill.shareOfFillLimit * 100.0, 1) << " % of it\n";
        else
            out << "fill-limited rate   unknown\n";
        if (fill.texturedFillLimitedFps > 0.0)
            out << "textured fill       " << Fixed(fill.texturedFragmentsPerSecond / 1e6, 1)
                << " Mfragments/s (the same quads sampling a filtered texture); fill-limited "
                << Fixed(fill.texturedFillLimitedFps, 1) << " frames/s, the production runs at "
                << Fixed(fill.shareOfTexturedFillLimit * 100.0, 1) << " % of it\n";
    } else {
        out << "fill                unknown (the device counts no fragments)\n";
    }
    if (fill.timed)
        out << "GPU time            " << Fixed(fill.gpuMsPerFrame, 3) << " ms/frame"
            << (fill.softwareTimer ? " (software renderer: its timer does not time the drawing alone; compare on hardware)" : "")
            << "\n";
    if (f.draws.counted)
        out << "draws per frame     " << Fixed(f.draws.sent, 2) << " sent; dropped " << Fixed(f.draws.invisible, 2)
            << " invisible, " << Fixed(f.draws.offScreen, 2) << " off screen, " << Fixed(f.draws.covered, 2)
            << " covered; " << Fixed(f.draws.depthOnlyClears, 2) << " colour clears made depth-only; not sent again "
            << Fixed(f.draws.uniforms, 2) << " uniforms, " << Fixed(f.draws.writeBacks, 2) << " texture write-backs\n";
    out << "CPU time per layer type (main thread; share of the frame time)";
    out << (fill.timed ? ", GPU time" : "") << (fill.counted ? ", fill in screens/frame" : "") << ":\n";
    const double perFrame = f.frames > 0 ? 1000.0 / static_cast<double>(f.frames) : 0.0;
    auto row = [&](const std::string& name, double cpu, double share, double gpu, double screens) {
        std::string left = "  " + name;
        left.resize(std::max<size_t>(left.size() + 1, 26), ' ');
        out << left << Fixed(cpu * perFrame, 3) << " ms/frame  " << Fixed(share * 100.0, 1) << " %";
        if (fill.timed)
            out << "  GPU " << Fixed(gpu * perFrame, 3) << " ms/frame";
        if (fill.counted)
            out << "  fill " << Fixed(screens, 2);
        out << "\n";
    };
    for (const LayerTypeTime& layer : f.layers)
        row(layer.type, layer.cpuSeconds, layer.share, layer.gpuSeconds, layer.fillScreens);
    row("(device, present, rest)", f.otherCpuSeconds, f.otherShare, f.otherGpuSeconds, f.otherFillScreens);
    return out.str();
}

std::string FormatBenchJson(const BenchFigures& f)
{
    std::ostringstream out;
    out << "{\n";
    out << "  \"mode\": " << JsonText(f.mode) << ",\n";
    out << "  \"fixed_step_fps\": " << Fixed(f.fixedStepFps, 3) << ",\n";
    out << "  \"frames\": " << f.frames << ",\n";
    out << "  \"seconds\": " << Fixed(f.seconds, 4) << ",\n";
    out << "  \"frames_per_second\": " << Fixed(f.framesPerSecond, 2) << ",\n";
    out << "  \"frame_ms\": {\"median\": " << Fixed(f.medianMs, 3) << ", \"p95\": " << Fixed(f.p95Ms, 3)
        << ", \"p99\": " << Fixed(f.p99Ms, 3) << ", \"max\": " << Fixed(f.maxMs, 3) << "},\n";
    out << "  \"empty_frames\": " << f.emptyFrames << ",\n";
    out << "  \"empty_frames_per_second\": " << Fixed(f.emptyFramesPerSecond, 2) << ",\n";
    out << "  \"ratio_to_empty\": " << Fixed(f.ratio, 4) << ",\n";
    out << "  \"startup_ms\": " << (f.startupMs < 0.0 ? std::string("null") : Fixed(f.startupMs, 1)) << ",\n";
    out << "  \"peak_resident_mib\": "
        << (f.peakResidentMb < 0.0 ? std::string("null") : Fixed(f.peakResidentMb, 2)) << ",\n";
    // A figure the device cannot give is null, never a zero that reads as measured.
    auto orNull = [](bool known, double value, int decimals) { return known ? Fixed(value, decimals) : "null"; };
    const FillFigures& fill = f.fill;
    const bool rateKnown = fill.counted && fill.fillLimitedFps > 0.0;
    const bool texturedKnown = fill.counted && fill.texturedFillLimitedFps > 0.0;
    out << "  \"fill\": {\"screens_per_frame\": " << orNull(fill.counted, fill.screensPerFrame, 4)
        << ", \"fragments_per_second\": " << orNull(fill.fragmentsPerSecond > 0.0, fill.fragmentsPerSecond, 0)
        << ", \"fill_limited_fps\": " << orNull(rateKnown, fill.fillLimitedFps, 2)
        << ", \"share_of_fill_limited\": " << orNull(rateKnown, fill.shareOfFillLimit, 4)
        << ", \"textured_fragments_per_second\": "
        << orNull(texturedKnown, fill.texturedFragmentsPerSecond, 0)
        << ", \"textured_fill_limited_fps\": " << orNull(texturedKnown, fill.texturedFillLimitedFps, 2)
        << ", \"share_of_textured_fill_limited\": " << orNull(texturedKnown, fill.shareOfTexturedFillLimit, 4)
        << "},\n";
    out << "  \"gpu_ms_per_frame\": " << orNull(fill.timed, fill.gpuMsPerFrame, 4) << ",\n";
    out << "  \"gpu_timer_software\": " << (fill.softwareTimer ? "true" : "false") << ",\n";
    out << "  \"layer_cpu\": [";
    for (size_t i = 0; i < f.layers.size(); ++i) {
        out << (i ? ",\n    " : "\n    ") << "{\"type\": " << JsonText(f.layers[i].type)
            << ", \"cpu_seconds\": " << Fixed(f.layers[i].cpuSeconds, 6) << ", \"share\": "
            << Fixed(f.layers[i].share, 5) << ", \"gpu_seconds\": " << orNull(f.fill.timed, f.layers[i].gpuSeconds, 6)
            << ", \"fill_screens_per_frame\": " << orNull(f.fill.counted, f.layers[i].fillScreens, 4) << "}";
    }
    out << (f.layers.empty() ? "],\n" : "\n  ],\n");
    out << "  \"other_cpu_seconds\": " << Fixed(f.otherCpuSeconds, 6) << ",\n";
    out << "  \"other_share\": " << Fixed(f.otherShare, 5) << ",\n";
    out << "  \"other_gpu_seconds\": " << orNull(fill.timed, f.otherGpuSeconds, 6) << ",\n";
    out << "  \"other_fill_screens_per_frame\": " << orNull(fill.counted, f.otherFillScreens, 4) << ",\n";
    const DrawFigures& draws = f.draws;
    out << "  \"draws_per_frame\": {\"sent\": " << orNull(draws.counted, draws.sent, 3)
        << ", \"invisible\": " << orNull(draws.counted, draws.invisible, 3)
        << ", \"off_screen\": " << orNull(draws.counted, draws.offScreen, 3)
        << ", \"uniforms_not_sent\": " << orNull(draws.counted, draws.uniforms, 3)
        << ", \"write_backs_not_sent\": " << orNull(draws.counted, draws.writeBacks, 3)
        << ", \"covered\": " << orNull(draws.counted, draws.covered, 3)
        << ", \"depth_only_clears\": " << orNull(draws.counted, draws.depthOnlyClears, 3) << "}\n";
    out << "}\n";
    return out.str();
}

double MillisecondsSinceProcessStart()
{
    // Field 22 of /proc/self/stat: the start time in clock ticks after boot.
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');  // the command name may hold spaces
    if (close == std::string::npos)
        return -1.0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long startTicks = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 22) {
            startTicks = std::strtoull(field.c_str(), nullptr, 10);
            break;
        }
    }
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (startTicks == 0 || ticksPerSecond <= 0)
        return -1.0;
    const double started = static_cast<double>(startTicks) / static_cast<double>(ticksPerSecond);
    return (ClockSeconds(CLOCK_BOOTTIME) - started) * 1000.0;
}

double PeakResidentMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;  // the value is in kB
    }
    return -1.0;
}
