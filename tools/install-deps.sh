#!/bin/bash
# Installs the Debian packages that building, running and testing scanweaver
# need, those that are not installed yet; does nothing when all are there.
# Uses apt-get directly as root, through sudo otherwise.
set -euo pipefail

packages=(
    # build and run
    cmake g++ make pkg-config
    libsdl2-dev libstb-dev libtinyobjloader-dev libglm-dev
    # tests: a real X server driven by keys, screenshots, memcheck, fuzzers
    libgtest-dev xvfb xdotool x11-apps imagemagick libgl1-mesa-dri
    valgrind clang-14 libclang-rt-14-dev clang-format-14
)

missing=()
for package in "${packages[@]}"; do
    if [ "$(dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null)" != "ii " ]; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
    as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
