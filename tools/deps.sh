#!/usr/bin/env bash
# Installs, on a Debian machine, the packages that building and testing vorn
# need, plus any named as arguments; does nothing for packages already there.
set -euo pipefail

packages=(g++ cmake make binutils libgtest-dev libgmock-dev libbenchmark-dev valgrind libmimalloc-dev tmux "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" </dev/null
fi
