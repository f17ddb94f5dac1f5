#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test the application,
# asking apt only for those that are missing. Safe to run repeatedly.
set -euo pipefail

packages=(
  # toolchain
  cmake ninja-build g++ pkg-config
  # the shell's libraries
  libgtk-3-dev libwebkit2gtk-4.1-dev libpoppler-glib-dev
  libtesseract-dev libleptonica-dev tesseract-ocr-eng tesseract-ocr-fra
  libicu-dev nlohmann-json3-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth dbus dbus-x11 tesseract-ocr poppler-utils libxtst-dev
  # checking the PDF files the page writes; openssl signs one for pdfsig to check
  qpdf openssl
  # desktop integration: icons drawn at build time, the validators, the Debian package,
  # a headless Wayland compositor
  librsvg2-bin desktop-file-utils appstream dpkg-dev weston
)

# The page's npm packages need npm; Debian's own (Node 18) is enough, and any npm
# already on the machine is used as it is.
command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "deps: missing packages (${missing[*]}) and no sudo to install them" >&2; exit 1; }
  sudo_cmd=(sudo)
fi

echo "deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
