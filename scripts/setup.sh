#!/usr/bin/env bash
# Installs what building, testing and running the plug-ins needs on a Debian machine.
# Safe to run again: it installs only what is missing. Needs root (or sudo).
set -euo pipefail

packages=(
    cmake ninja-build g++ git
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64 wine32:i386
    xvfb xauth
    googletest libbenchmark-dev
    sox
    python3 xdotool
    librsvg2-bin fonts-dejavu-core fonts-dejavu-extra fonts-liberation2
    fp-utils
    zip unzip
    clang libclang-rt-14-dev
    g++-multilib qemu-user-static
    pkg-config lv2-dev liblilv-dev lilv-utils lv2file sordi
    libfreetype-dev libfontconfig-dev
    libx11-dev x11-utils xrestop libxcb1-dev
    jalv jackd2 x11-apps x42-plugins libgl1-mesa-dri
    xdg-utils xclip
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
# jackd2 asks whether JACK may raise its real-time priority; the tests' dummy server runs
# without it.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $sudo debconf-set-selections
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
