#!/usr/bin/env bash
# Builds what a release holds for one Windows build preset (both plug-ins, our host and the help
# file) in a build folder and installs the plug-ins and the help file into a folder.
# Usage: scripts/build-deliverables.sh PRESET BUILD_FOLDER INSTALL_FOLDER
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
preset=$1 build=$2 prefix=$3

cmake --preset "$preset" -B "$build" >/dev/null
cmake --build "$build" --target kel_deliverables
cmake --install "$build" --prefix "$prefix" >/dev/null
