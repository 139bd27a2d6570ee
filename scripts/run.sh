#!/bin/bash
# The main job: installs, builds the release configuration and runs what the built code shows.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)"
if [ -x build/release/tools/qor-host/qor-host ]; then
  build/release/tools/qor-host/qor-host --bundle build/release/QOR.component --info
  # The editor of the real plug-in at the three UI sizes, in a data folder of its own: what a
  # newcomer sees on opening it in a host.
  shots=build/release/screenshots
  mkdir -p "$shots"
  data=$(mktemp -d)
  trap 'rm -rf "$data"' EXIT
  for size in small normal large; do
    QOR_DATA_FOLDER="$data" build/release/tools/qor-host/qor-host \
      --bundle build/release/QOR.component \
      "uisize $size; open; editor-open; tick; screenshot $shots/editor-$size.png; editor-close; close" |
      grep '^screenshot:' | sed 's/^screenshot: /Screenshot: /'
  done
  exit 0
fi
echo "QOR Editor: built. (The stand-in host is not built yet.)"
