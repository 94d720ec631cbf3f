// scanweaver-demo-assets [--copies K] OUTDIR: writes the demo's textures,
// sound and courtyard model into OUTDIR; with --copies the model holds K x K
// courtyards around the original.
#include <cstdio>
#include <string>

#include "courtyard_grid.h"
#include "demo_assets.h"

namespace {

const char* const usageText = "usage: scanweaver-demo-assets [options] OUTDIR\n";

const char* const helpText =
    "\n"
    "Writes the demo data into OUTDIR, creating it as needed: texture.bmp, cool.bmp,\n"
    "bileet3.wav and the courtyard scene in models/qorvelin-sponza/.\n"
    "\n"
    "  --copies K   K x K courtyards around the original (K from 1 to 4)\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the version and exit\n";

int wrongArguments(const std::string& what) {
    if (!what.empty()) std::fprintf(stderr, "scanweaver-demo-assets: %s\n", what.c_str());
    std::fprintf(stderr, "%s", usageText);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string outDir;
    int copies = 1;
    bool haveOutDir = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::printf("%s%s", usageText, helpText);
            return 0;
        } else if (arg == "--version") {
            std::printf("scanweaver-demo-assets %s\n", SCANWEAVER_VERSION);
            return 0;
        } else if (arg == "--copies") {
            if (i + 1 == argc) return wrongArguments("--copies needs a value");
            if (!demo_assets::parseCopies(argv[++i], copies)) {
                return wrongArguments("--copies takes a whole number from 1 to " +
                                      std::to_string(demo_assets::kMaxCopies) + ", not '" + argv[i] + "'");
            }
        } else if (!arg.empty() && arg[0] == '-') {
            return wrongArguments("unknown option '" + arg + "'");
        } else if (haveOutDir) {
            return wrongArguments("one OUTDIR only, not also '" + arg + "'");
        } else {
            outDir = arg;
            haveOutDir = true;
        }
    }
    if (!haveOutDir) return wrongArguments("");

    const demo_assets::DemoAssetSummary summary = demo_assets::writeDemoAssets(outDir, copies);
    if (!summary.ok) {
        std::fprintf(stderr, "scanweaver-demo-assets: %s\n", summary.error.c_str());
        return 1;
    }
    std::printf("%s\n", summary.describe().c_str());
    return 0;
}
