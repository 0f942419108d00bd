# Shared by scripts/run and scripts/test: installs what is missing, then builds.
# Sourced, not run.

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$repo/build"

# Debian packages the build, the tests and the program need.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev zlib1g-dev fonts-wine xvfb xauth x11-utils
          imagemagick xdotool
          dpkg-dev file desktop-file-utils appstream
          lintian help2man man-db bash-completion
          at-spi2-core python3-pyatspi dbus-daemon
          python3 xclip x11-xkb-utils procps iproute2
          clang libclang-rt-dev hyperfine)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo=(sudo)
        else
            echo "These Debian packages are missing. Run, as root:" >&2
            echo "  apt-get install -y ${missing[*]}" >&2
            exit 1
        fi
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# build_tree DIR [cmake options...]: configures once, then rebuilds what changed.
build_tree() {
    local dir=$1
    shift
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$repo" -B "$dir" -G Ninja "$@"
    fi
    cmake --build "$dir" -j 2
}
