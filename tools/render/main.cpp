// scanweaver-render: the program's start-up and frames without a window.
//
//   scanweaver-render --time T --out FILE [--depth-view] [--as-shown] [--depth-out FILE] [--model PATH] [--quiet]
//   scanweaver-render --bench N [--stages] [--model PATH] [--quiet]
//
// --stages also reports per path where the frame goes; only the counting
// build, scanweaver-render-stages, gathers those figures.
//
// Run in a data directory. Frames come from the same library calls the window
// program makes, so they are the pictures it shows.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <SDL_scancode.h>

#include "app/scene.h"
#include "app/startup.h"
#include "assets/model.h"
#include "base/platform.h"
#include "pipeline/render_context.h"
#include "pipeline/render_path.h"
#include "pipeline/stage_counters.h"
#include "tools/render/image_files.h"
#include "tools/render/options.h"

namespace {

void renderFrame(double elapsedTime) {
    renderContext.zbuffer.clear();
    renderContext.elapsedTime = elapsedTime;
    composeScene();
}

// ARGB8888 words as R, G, B, A bytes. As shown, SDL's default blending puts
// every pixel over the black render target by its alpha.
std::vector<uint8_t> framebufferBytes(bool asShown) {
    const uint32_t* pixels = renderContext.framebufferPixels;
    std::vector<uint8_t> bytes(static_cast<size_t>(frameWidth) * frameHeight * 4);
    for (size_t i = 0; i < static_cast<size_t>(frameWidth) * frameHeight; ++i) {
        const uint32_t p = pixels[i];
        const uint32_t a = p >> 24;
        const uint32_t rgb[3] = {(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF};
        for (int c = 0; c < 3; ++c) {
            bytes[4 * i + c] = static_cast<uint8_t>(asShown ? (rgb[c] * a + 127) / 255 : rgb[c]);
        }
        bytes[4 * i + 3] = static_cast<uint8_t>(asShown ? 255 : a);
    }
    return bytes;
}

// The depth buffer as grey levels stretched over the depths drawn: the
// smallest stored value among drawn cells becomes 32, the largest (the
// nearest) 255, undrawn cells 0. When every drawn cell holds the same value
// they are all 255.
std::vector<uint8_t> depthPicture() {
    const ZBuffer& zbuffer = renderContext.zbuffer;
    uint32_t lowest = UINT32_MAX;
    uint32_t highest = 0;
    for (int32_t y = 0; y < zbuffer.h; ++y) {
        for (int32_t x = 0; x < zbuffer.w; ++x) {
            const uint32_t d = zbuffer.get(x, y);
            if (d == 0) continue;
            lowest = std::min(lowest, d);
            highest = std::max(highest, d);
        }
    }
    std::vector<uint8_t> grey(static_cast<size_t>(zbuffer.w) * zbuffer.h, 0);
    for (int32_t y = 0; y < zbuffer.h; ++y) {
        for (int32_t x = 0; x < zbuffer.w; ++x) {
            const uint32_t d = zbuffer.get(x, y);
            if (d == 0) continue;
            grey[x + static_cast<size_t>(y) * zbuffer.w] =
                highest == lowest ? 255 : static_cast<uint8_t>(32 + uint64_t{d - lowest} * 223 / (highest - lowest));
        }
    }
    return grey;
}

int cannotWrite(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "scanweaver-render: cannot write %s: %s\n", path.c_str(), reason.c_str());
    return 1;
}

// Writes one picture and reports it; false after reporting a failure.
bool writePicture(const OutputFile& file, int channels, const std::vector<uint8_t>& pixels, bool quiet) {
    std::string reason;
    if (!writeImageFile(file, frameWidth, frameHeight, channels, pixels.data(), reason)) {
        cannotWrite(file.path, reason);
        return false;
    }
    if (!quiet) std::printf("wrote %s (%dx%d)\n", file.path.c_str(), frameWidth, frameHeight);
    return true;
}

int writeFrame(const Options& options) {
    static uint8_t keys[SDL_NUM_SCANCODES];
    keys[SDL_SCANCODE_V] = options.depthView ? 1 : 0;
    renderContext.keyboardState = keys;
    renderFrame(options.time);
    if (!writePicture(options.out, 4, framebufferBytes(options.asShown), options.quiet)) return 1;
    if (!options.depthOut.path.empty() && !writePicture(options.depthOut, 1, depthPicture(), options.quiet)) return 1;
    return 0;
}

// Median, smallest and largest of a list of frame times.
struct FrameTimes {
    double median, min, max;
};

FrameTimes summarise(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front(), ms.back()};
}

double timeFrame(double t) {
    const auto start = std::chrono::steady_clock::now();
    renderFrame(t);
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

#ifdef SCANWEAVER_STAGE_COUNTERS
// The stage figures of one path over its timed frames. The clock counts
// processor ticks; they become milliseconds by the wall time of the same span.
struct StageFigures {
    StageCounters counts;
    double msPerTick;
};

struct StageSpan {
    std::chrono::steady_clock::time_point start;

    StageSpan() {
        stageCounters = StageCounters{};
        start = std::chrono::steady_clock::now();
        stageCounters.since = __rdtsc();
    }

    StageFigures finish() const {
        SW_STAGE(other);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        uint64_t ticks = 0;
        for (const uint64_t t : stageCounters.ticks) ticks += t;
        return {stageCounters, ticks == 0 ? 0.0 : ms / static_cast<double>(ticks)};
    }
};

void printStages(RenderPath path, const StageFigures& f, long frames) {
    const StageCounters& c = f.counts;
    const double n = static_cast<double>(frames);
    const auto ms = [&](Stage s) { return static_cast<double>(c.ticks[static_cast<int>(s)]) * f.msPerTick / n; };
    std::printf("%s stages per frame: vertex_ms=%.3f setup_ms=%.3f pixel_ms=%.3f other_ms=%.3f\n", renderPathName(path),
                ms(Stage::vertex), ms(Stage::setup), ms(Stage::pixel), ms(Stage::other));
    const auto per = [n](uint64_t count) { return static_cast<double>(count) / n; };
    std::printf(
        "%s counts per frame: submitted=%.0f skipped=%.0f unclipped=%.0f dropped=%.0f crossing=%.0f reached_setup=%.0f"
        " rejected=%.0f scanned=%.0f box_pixels=%.0f covered=%.0f depth_passed=%.0f written=%.0f"
        " groups=%.0f\n",
        renderPathName(path), per(c.submitted), per(c.skipped), per(c.unclipped), per(c.dropped), per(c.crossing),
        per(c.reachedSetup), per(c.reachedSetup - c.scanned), per(c.scanned), per(c.boxPixels), per(c.covered),
        per(c.depthPassed), per(c.written), per(c.groups));
}
#endif

// Times N frames spread over the 30-second animation on the path the program
// uses. When that is not the reference path, the same N frames are first
// timed on the reference path, so that both medians come from the same run;
// each path gets its own warm-up frames, so that neither starts with caches
// the other one filled.
int bench(const Options& options) {
    static const uint8_t keys[SDL_NUM_SCANCODES] = {};
    renderContext.keyboardState = keys;
    const RenderPath used = currentRenderPath();
    const long n = options.benchFrames;
#ifdef SCANWEAVER_STAGE_COUNTERS
    StageFigures stages[2] = {};
#endif
    const auto timeFrames = [&](RenderPath path) {
        setRenderPath(path);
        for (int i = 0; i < 3; ++i) renderFrame(1.0);
        std::vector<double> ms;
        ms.reserve(static_cast<size_t>(n));
#ifdef SCANWEAVER_STAGE_COUNTERS
        const StageSpan span;
#endif
        for (long i = 0; i < n; ++i) {
            ms.push_back(timeFrame(1.0 + 29.0 * static_cast<double>(i) / static_cast<double>(n - 1)));
        }
#ifdef SCANWEAVER_STAGE_COUNTERS
        stages[path == RenderPath::reference ? 0 : 1] = span.finish();
#endif
        return summarise(ms);
    };
    const bool compare = used != RenderPath::reference;
    const FrameTimes reference = compare ? timeFrames(RenderPath::reference) : FrameTimes{};
    const FrameTimes times = timeFrames(used);
    if (compare) {
        std::printf("reference path: median_ms=%.3f\n", reference.median);
        std::printf("%s path: median_ms=%.3f ratio_to_reference=%.3f (%.2fx faster)\n", renderPathName(used),
                    times.median, times.median / reference.median, reference.median / times.median);
    } else {
        std::printf("reference path only: this processor has no faster one\n");
    }
#ifdef SCANWEAVER_STAGE_COUNTERS
    if (options.stages) {
        printStages(RenderPath::reference, stages[0], n);
        if (compare) printStages(used, stages[1], n);
    }
#endif
    std::printf("frames=%ld median_ms=%.3f min_ms=%.3f max_ms=%.3f\n", n, times.median, times.min, times.max);
    return 0;
}

// With --quiet the loader's statistics, which it prints on standard output,
// go to the null device: returns the descriptor to restore afterwards, or -1.
int muteStandardOutput() {
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (saved >= 0 && null >= 0) dup2(null, STDOUT_FILENO);
    if (null >= 0) close(null);
    return saved;
}

void restoreStandardOutput(int saved) {
    if (saved < 0) return;
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
}

size_t triangleCount(const Model& model) {
    size_t triangles = 0;
    for (const Mesh& mesh : model.meshes) triangles += mesh.triangleCount();
    return triangles;
}

}  // namespace

int main(int argc, char** argv) {
    enableFlushToZero();
    const Options options = parseOptions(argc, argv);
    for (const OutputFile* file : {&options.out, &options.depthOut}) {
        if (file->path.empty()) continue;
        const std::string reason = whyNotWritable(file->path);
        if (!reason.empty()) return cannotWrite(file->path, reason);
    }

    std::vector<uint8_t> framebufferStorage;
    createSurfaces(framebufferStorage, frameWidth, frameHeight);
    const int savedOutput = options.quiet ? muteStandardOutput() : -1;
    loadStartupTextures();
    Model* model = loadModel(options.model, 0, 1);
    restoreStandardOutput(savedOutput);
    // A model named on the command line must load; the program's own scene
    // may be missing, and then the cube is drawn alone.
    if (options.modelGiven && model == nullptr) return 1;
    if (options.modelGiven && triangleCount(*model) == 0) {
        std::fprintf(stderr, "scanweaver-render: %s: no triangles\n", options.model.c_str());
    }
    installSceneModel(model);

    return options.benchFrames != 0 ? bench(options) : writeFrame(options);
}
