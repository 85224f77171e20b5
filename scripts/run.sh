#!/usr/bin/env bash
# Builds FOLDEX (the program only) and starts it; arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run
scripts/build.sh build --target foldex -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec build/foldex "$@"
