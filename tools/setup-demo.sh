#!/bin/bash
# Sets up scanweaver on a Debian machine and starts the demo: installs the
# missing packages, builds build-release, generates the demo data into data/
# at the repository root and runs the program there. Files already in data/
# (a real scene, say) are kept; only missing ones are generated.
# With --no-launch it stops after preparing data/. Without a display it
# renders one still picture instead of opening the window.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-release"
data="$root/data"

bash "$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target scanweaver scanweaver-render scanweaver-demo-assets

generated=$(mktemp -d)
trap 'rm -rf "$generated"' EXIT
"$build/tools/demo_assets/scanweaver-demo-assets" "$generated"
mkdir -p "$data"
for file in texture.bmp cool.bmp bileet3.wav; do
    [ -e "$data/$file" ] || cp "$generated/$file" "$data/"
done
scene="$data/models/qorvelin-sponza"
if [ ! -e "$scene/sponza.obj" ]; then
    mkdir -p "$scene"
    cp -R "$generated/models/qorvelin-sponza/." "$scene/"
fi
echo "Demo data ready in $data"

[ "${1:-}" = "--no-launch" ] && exit 0
cd "$data"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    "$build/tools/scanweaver-render" --time 5 --as-shown --out "$build/preview.png" >/dev/null
    echo "No display: wrote a still of the scene at 5 s to $build/preview.png."
    echo "Start the window program from a desktop session with: cd $data && $build/scanweaver"
    exit 0
fi
exec "$build/scanweaver"
