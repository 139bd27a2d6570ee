#!/bin/sh
# Brings every Debian package the project needs; installs only what is missing.
set -eu
PKGS="build-essential g++ cmake ninja-build pkg-config git
libgtest-dev libgmock-dev libbenchmark-dev
libtinyxml2-dev librtmidi-dev libpoco-dev
libpng-dev zlib1g-dev libfreetype-dev libfontconfig-dev fontconfig fonts-dejavu-core
jackd2 libjack-jackd2-dev libasound2-dev
libpixman-1-dev libcairo2-dev clang libclang-rt-14-dev
ccache gcovr linux-perf pngcheck"
missing=""
for p in $PKGS; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
if [ -z "$missing" ]; then
  echo "install-deps: all packages present"
  exit 0
fi
echo "install-deps: installing$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
# jackd2 asks about real-time priority at install time; answer no.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends $missing
