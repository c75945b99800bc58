#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, where it is missing.
# Runs as root, or through sudo when available.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libxml2-dev libgtest-dev libgmock-dev googletest
  libxml2-utils python3 python3-dbfread
  fp-compiler fp-units-db fp-units-fcl
  locales
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n fonts-liberation
  libxcb1-dev libxcb-xtest0-dev xvfb xchm
  clang libclang-rt-14-dev
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Instalando: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

# A Spanish locale, as a school's office runs the tool: decimal comma, Spanish dates.
if ! locale -a 2>/dev/null | grep -qi '^es_ES\.utf-\?8$'; then
  as_root sed -i 's/^# *\(es_ES.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^es_ES.UTF-8 UTF-8' /etc/locale.gen || echo 'es_ES.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
fi
