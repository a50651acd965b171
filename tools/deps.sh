# Sourced by tools/check and tools/demo: installs the Debian packages the project needs,
# and only when one is missing, so that a second run starts at once.

RZ_PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev
  libpugixml-dev
  libsystemd-dev
  libasound2-dev
  libgtest-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev qt6-translations-l10n
  iproute2 util-linux dbus-daemon
  xvfb xauth fonts-dejavu-core
  python3
)

rz_missing_packages() {
  local pkg
  for pkg in "${RZ_PACKAGES[@]}"; do
    if [ "$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null)" != "install ok installed" ]; then
      printf '%s\n' "$pkg"
    fi
  done
}

rz_install_packages() {
  local missing
  mapfile -t missing < <(rz_missing_packages)
  [ "${#missing[@]}" -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local run=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then
      run=(sudo)
    else
      echo "These Debian packages are missing and this user cannot install them: ${missing[*]}" >&2
      return 1
    fi
  fi
  "${run[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${run[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
