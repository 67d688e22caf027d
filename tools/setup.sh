# Shared by run.sh and test.sh: install what is missing, configure, build.
# Sourced, not run.

QUELMORA_PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev
  libjpeg62-turbo-dev
  libgtest-dev
  fonts-liberation fonts-wqy-microhei
  qt6-translations-l10n
  xvfb xauth x11-xserver-utils x11-utils
  python3
  clang libclang-rt-14-dev
  xdotool imagemagick
  desktop-file-utils
)

quelmora_install() {
  local missing=() p
  for p in "${QUELMORA_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# quelmora_build BUILD_DIR [cmake options...]
quelmora_build() {
  local dir=$1; shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  fi
  cmake --build "$dir" -j"$(nproc)"
}
