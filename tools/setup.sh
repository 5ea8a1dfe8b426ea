#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: install the Debian packages that are missing, then
# configure and build. Sourced with the repository root as the working directory.
set -euo pipefail

oomori_install_deps() {
  local missing=() pkg
  while read -r pkg; do
    [ -z "$pkg" ] && continue
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' deps.txt)
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# oomori_build DIR [cmake options...]
oomori_build() {
  local dir=$1; shift
  local launcher=()
  # A compiler cache, where one is installed, makes rebuilds of the two trees cheap.
  command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" -j2
}
