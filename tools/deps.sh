#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine, only when something is missing.
set -euo pipefail

packages=(build-essential g++ clang cmake ninja-build pkg-config
          libgtest-dev libgmock-dev libbenchmark-dev
          zlib1g-dev libx11-dev libxtst-dev x11-utils dpf-plugins-vst libfreetype-dev libfontconfig-dev fonts-dejavu-core
          libsndfile1-dev libpng-dev libclang-rt-14-dev locales xvfb xauth
          librsvg2-dev librsvg2-bin)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The locale tests need a decimal-comma locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  "${sudo_cmd[@]}" sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
