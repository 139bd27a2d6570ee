#!/bin/bash
# The main job: installs, builds the release configuration and runs what the built code shows.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)"
if [ -x build/release/tools/qor-host/qor-host ]; then
  exec build/release/tools/qor-host/qor-host --bundle build/release/QOR.component --info
fi
echo "QOR Editor: built. (The stand-in host is not built yet.)"
