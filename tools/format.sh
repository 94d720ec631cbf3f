#!/bin/bash
# Formats every C++ file of the repository with clang-format-14 and the
# repository's .clang-format. With --check it changes nothing and fails,
# naming the places, when a file is not formatted.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
mode=(-i)
[ "${1:-}" = "--check" ] && mode=(--dry-run --Werror)
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 "${mode[@]}"
