// scanweaver-demo-assets OUTDIR: writes the demo's textures, sound and
// courtyard model into OUTDIR.
#include <cstdio>

#include "demo_assets.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argc > 0 ? argv[0] : "scanweaver-demo-assets");
        return 1;
    }
    const demo_assets::DemoAssetSummary summary = demo_assets::writeDemoAssets(argv[1]);
    if (!summary.ok) {
        std::fprintf(stderr, "scanweaver-demo-assets: %s\n", summary.error.c_str());
        return 1;
    }
    std::printf("%s\n", summary.describe().c_str());
    return 0;
}
