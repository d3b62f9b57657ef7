# shellcheck shell=bash
# Debian packages the build, the tests and the run command need; sourced by scripts/test and
# scripts/run. Installs only what is missing, without questions.
KORVEL_PACKAGES=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev
  qt6-base-dev
  fonts-dejavu-core fonts-liberation
  xvfb xauth
  twm  # scripts/screenshots: a window manager, so a shot shows the window's caption
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64 imagemagick  # scripts/wine-check: the Windows program under Wine, its screenshots
  nsis  # the Windows setup program (cpack -G NSIS), checked by scripts/windows-setup-check
  dpkg-dev lintian
  shellcheck  # scripts/test: every shell script of the project
  python3 librsvg2-bin  # scripts/render-diagrams: the wiring diagrams from resources/diagrams/
  clang libclang-rt-dev  # scripts/fuzz: the libFuzzer harnesses
)

korvel_install_packages() {
  local missing=()
  local p
  for p in "${KORVEL_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The build type and warnings of the working tree build/release (programs and tests), which
# scripts/test, scripts/run and the measuring scripts share. The package is built apart, as Release
# (scripts/package).
KORVEL_TREE_FLAGS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEL_WERROR=ON)

# Builds TARGETS in BUILD_DIR, configuring it first (as above) when it is new:
#   korvel_build_tree BUILD_DIR TARGET...
# A tree that is already configured keeps its own settings.
korvel_build_tree() {
  local dir=$1
  shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    korvel_install_packages
    echo "Configuring $dir (${KORVEL_TREE_FLAGS[*]})" >&2
    cmake -S "$(dirname "${BASH_SOURCE[0]}")/.." -B "$dir" "${KORVEL_TREE_FLAGS[@]}" >/dev/null
  fi
  cmake --build "$dir" -j "$(nproc)" --target "$@" >&2
}
