// scanweaver-demo-assets [--copies K] OUTDIR: writes the demo's textures,
// sound and courtyard model into OUTDIR; with --copies the model holds K x K
// courtyards around the original.
#include <cstdio>
#include <cstring>

#include "courtyard_grid.h"
#include "demo_assets.h"

int main(int argc, char** argv) {
    int copies = 1;
    int outDirArg = 1;
    if (argc == 4 && std::strcmp(argv[1], "--copies") == 0) {
        if (!demo_assets::parseCopies(argv[2], copies)) {
            std::fprintf(stderr, "scanweaver-demo-assets: --copies takes a whole number from 1 to %d, not '%s'\n",
                         demo_assets::kMaxCopies, argv[2]);
            return 2;
        }
        outDirArg = 3;
    }
    if (argc != outDirArg + 1) {
        std::fprintf(stderr, "usage: %s [--copies K] OUTDIR\n", argc > 0 ? argv[0] : "scanweaver-demo-assets");
        return 1;
    }
    const demo_assets::DemoAssetSummary summary = demo_assets::writeDemoAssets(argv[outDirArg], copies);
    if (!summary.ok) {
        std::fprintf(stderr, "scanweaver-demo-assets: %s\n", summary.error.c_str());
        return 1;
    }
    std::printf("%s\n", summary.describe().c_str());
    return 0;
}
