# Shared by run.sh and test.sh: install what is missing, configure, build.
# Sourced, not run.

QUELMORA_PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev
  libjpeg62-turbo-dev
  libgtest-dev
  libminizip-dev libxlsxwriter-dev python3-openpyxl
  fonts-liberation fonts-wqy-microhei
  qt6-translations-l10n
  xvfb xauth x11-xserver-utils x11-utils
  python3
  pybind11-dev python3-dev python3-numpy python3-pytest python3-pandas
  clang libclang-rt-14-dev
  xdotool imagemagick openbox
  desktop-file-utils
  locales
)

# The locales the tests run the program under.
QUELMORA_LOCALES=(en_US de_DE fr_FR sv_SE zh_CN)

quelmora_install() {
  local missing=() p
  for p in "${QUELMORA_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
  quelmora_locales "$sudo"
}

# Generates the UTF-8 locales of QUELMORA_LOCALES that `locale -a` lacks.
quelmora_locales() {
  local sudo=$1 have l wanted=()
  have=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z')
  for l in "${QUELMORA_LOCALES[@]}"; do
    grep -qx "$(echo "$l" | tr 'A-Z' 'a-z')\.utf-\?8" <<<"$have" || wanted+=("$l")
  done
  [ ${#wanted[@]} -eq 0 ] && return 0
  echo "Generating locales: ${wanted[*]}"
  for l in "${wanted[@]}"; do
    if grep -q "^# *$l\.UTF-8 UTF-8" /etc/locale.gen; then
      $sudo sed -i "s/^# *\($l\.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    elif ! grep -q "^$l\.UTF-8 UTF-8" /etc/locale.gen; then
      echo "$l.UTF-8 UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
    fi
  done
  $sudo locale-gen >/dev/null
}

# quelmora_build BUILD_DIR [cmake options...]
quelmora_build() {
  local dir=$1; shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  fi
  cmake --build "$dir" -j"$(nproc)"
}
