#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need (only the missing ones).
set -euo pipefail
pkgs=(build-essential cmake pkg-config ninja-build
      qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev libgsf-1-dev libisal-dev libfontconfig-dev fonts-liberation2
      libgtest-dev libbenchmark-dev libxcb1-dev
      dpkg-dev file gzip)
if [ "${1:-}" = "--tests" ]; then
    pkgs+=(xvfb xauth libreoffice-calc-nogui gnumeric poppler-utils clang libclang-rt-14-dev
           default-jre-headless libapache-poi-java python3-xlrd
           appstream desktop-file-utils groff-base xdotool exfatprogs exfat-fuse
           lintian clang-format clang-tidy)
fi
if [ "${1:-}" = "--reference" ]; then
    # scripts/make-reference-workbooks.sh: LibreOffice driven through UNO, Gnumeric to check.
    pkgs+=(libreoffice-calc-nogui python3-uno gnumeric)
fi
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
