# Debian packages Quillon needs to build, test and run its demo. Sourced by the scripts.
QUILLON_PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  nlohmann-json3-dev libplist-dev libfmt-dev libpng-dev
  qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins
  libxcb1-dev libxcb-randr0-dev libxcb-composite0-dev libxcb-xfixes0-dev libxcb-xtest0-dev
  libxcb-res0-dev libxcb-shape0-dev libxcb-render0-dev libxcb-xinput-dev libxcb-xkb-dev libxcb-screensaver0-dev
  xvfb xauth x11-utils x11-xserver-utils trayer openbox tint2 picom imagemagick fonts-noto-cjk
  ccache clang-format-14 clang-tidy-14
)

# Installs whatever is missing; runs apt-get update at most once per call.
quillon_ensure_packages() {
  local missing=() pkg
  for pkg in "${QUILLON_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
