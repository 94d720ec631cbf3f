#include "tools/render/options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/startup.h"

namespace {

const char* const usageText =
    "usage: scanweaver-render --time T --out FILE [--depth-view] [--as-shown] [--depth-out FILE] [--model PATH]"
    " [--quiet]\n"
    "       scanweaver-render --bench N [--stages] [--model PATH] [--quiet]\n";

const char* const optionsText =
    "\n"
    "Draws the window program's frames without a window. Run it in the data directory.\n"
    "\n"
    "  --time T          draw the frame at T seconds after start-up (T >= 1)\n"
    "  --out FILE        write that frame to FILE; its ending, .png, .bmp or .tga, picks the format\n"
    "  --depth-view      draw the frame as the depth view (the V key) shows it\n"
    "  --as-shown        blend every pixel over black by its alpha, as the window shows it\n"
    "  --depth-out FILE  also write the depth buffer as grey levels stretched over the depths drawn\n"
    "  --model PATH      load this OBJ file instead of models/qorvelin-sponza/sponza.obj\n"
    "  --bench N         time N frames (2 <= N <= 1000000) spread over the 30-second animation\n"
    "  --stages          with --bench, also where each path's frame goes (scanweaver-render-stages only)\n"
    "  --quiet           print nothing but errors, warnings and the bench figures\n"
    "  -h, --help        print this help and exit\n"
    "  --version         print the version and exit\n";

[[noreturn]] void wrongArgument(const std::string& what) {
    std::fprintf(stderr, "scanweaver-render: %s\n%s", what.c_str(), usageText);
    std::exit(2);
}

std::string quoted(const std::string& text) { return "'" + text + "'"; }

double parseTime(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value < 1.0) {
        wrongArgument("--time " + quoted(text) + " is not a number of seconds of at least 1");
    }
    return value;
}

long parseFrames(const std::string& text) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 2 || value > 1000000) {
        wrongArgument("--bench " + quoted(text) + " is not a whole number of frames from 2 to 1000000");
    }
    return value;
}

OutputFile parseOutput(const std::string& option, const std::string& path) {
    OutputFile file{path};
    if (!imageFormatOf(path, file.format)) {
        wrongArgument(option + " " + quoted(path) + " does not end in .png, .bmp or .tga");
    }
    return file;
}

// The combinations of options that make one run.
void checkCombination(const Options& options) {
    const bool bench = options.benchFrames != 0;
    if (bench && options.haveTime) wrongArgument("--time and --bench exclude each other");
    if (!bench && !options.haveTime) wrongArgument("give --time T with --out FILE, or --bench N");
    if (options.haveTime && options.out.path.empty()) wrongArgument("--time needs --out FILE");
    if (options.stages && !bench) wrongArgument("--stages goes with --bench only");
#ifndef SCANWEAVER_STAGE_COUNTERS
    if (options.stages) wrongArgument("--stages needs the counting build, scanweaver-render-stages");
#endif
    if (!bench) return;
    const struct {
        const char* name;
        bool given;
    } frameOptions[] = {{"--out", !options.out.path.empty()},
                        {"--depth-out", !options.depthOut.path.empty()},
                        {"--depth-view", options.depthView},
                        {"--as-shown", options.asShown}};
    for (const auto& option : frameOptions) {
        if (option.given) wrongArgument(std::string(option.name) + " does not go with --bench");
    }
}

}  // namespace

Options parseOptions(int argc, char** argv) {
    Options options;
    options.model = sceneModelPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool takesValue =
            arg == "--time" || arg == "--bench" || arg == "--model" || arg == "--out" || arg == "--depth-out";
        if (takesValue && i + 1 >= argc) wrongArgument(arg + " needs a value");
        const std::string value = takesValue ? argv[++i] : "";
        if (arg == "-h" || arg == "--help") {
            std::printf("%s%s", usageText, optionsText);
            std::exit(0);
        } else if (arg == "--version") {
            std::printf("scanweaver-render %s\n", SCANWEAVER_VERSION);
            std::exit(0);
        } else if (arg == "--time") {
            options.time = parseTime(value);
            options.haveTime = true;
        } else if (arg == "--bench") {
            options.benchFrames = parseFrames(value);
        } else if (arg == "--model") {
            options.model = value;
            options.modelGiven = true;
        } else if (arg == "--out") {
            options.out = parseOutput(arg, value);
        } else if (arg == "--depth-out") {
            options.depthOut = parseOutput(arg, value);
        } else if (arg == "--depth-view") {
            options.depthView = true;
        } else if (arg == "--as-shown") {
            options.asShown = true;
        } else if (arg == "--stages") {
            options.stages = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (!arg.empty() && arg[0] == '-') {
            wrongArgument("unknown option " + quoted(arg));
        } else {
            wrongArgument("unexpected argument " + quoted(arg));
        }
    }
    checkCombination(options);
    return options;
}
