# Debian packages the build, the tests and the run command need; sourced by scripts/test and
# scripts/run. Installs only what is missing, without questions.
KORVEL_PACKAGES=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev
  qt6-base-dev
  fonts-dejavu-core fonts-liberation
  xvfb xauth
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64 imagemagick  # scripts/wine-check: the Windows program under Wine, its screenshots
  nsis  # the Windows setup program (cpack -G NSIS), checked by scripts/windows-setup-check
  dpkg-dev lintian
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
