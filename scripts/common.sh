# Shared by scripts/run, scripts/test, scripts/page, bench/run and tools/make-demo-image:
# installs what is missing, and configures then builds. Sourced, not run.

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$repo/build"

# Debian packages that building and running the programs need (help2man
# because the build's configuration looks for it, for the manual page; the
# JSON parser is used header-only).
packages=(cmake ninja-build g++ pkg-config qt6-base-dev zlib1g-dev libisal-dev libfmt-dev nlohmann-json3-dev
          fonts-wine help2man)
# What the tests, the benchmarks and the package's checks need besides;
# scripts/test and bench/run add them.
test_packages=(xvfb xauth x11-utils
          imagemagick xdotool
          dpkg-dev file desktop-file-utils appstream
          lintian man-db bash-completion
          at-spi2-core python3-pyatspi dbus-daemon
          python3 xclip x11-xkb-utils procps iproute2
          clang libclang-rt-dev hyperfine bindfs
          gettext strace
          chromium chromium-driver python3-selenium
          firefox-esr libfirefox-marionette-perl)
# What the page needs: Debian's emscripten compiles the core to WebAssembly
# (fmt and the JSON parser header-only), and Python serves it.
# The browser tests above drive it in Debian's own Chromium and Firefox ESR.
web_packages=(cmake ninja-build libfmt-dev nlohmann-json3-dev emscripten python3)

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

# build_web DIR [cmake options...]: the page, in a tree of its own that
# emcmake configures (again only when given options); its files end up in
# DIR/page. JOBS as for build_tree.
build_web() {
    local dir=$1
    shift
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        emcmake cmake -S "$repo/web" -B "$dir" -G Ninja "$@"
    elif [ $# -gt 0 ]; then
        emcmake cmake -S "$repo/web" -B "$dir" "$@" >/dev/null
    fi
    cmake --build "$dir" -j "${JOBS:-2}"
}

# build_tree DIR [cmake options...] [-- TARGET...]: configures (again only
# when given options), then rebuilds what changed, of everything or of the targets after "--" alone.
# JOBS sets how many compile at once (2 unless set). Sends cmake's and the
# build's reports to standard output, and errors to standard error.
build_tree() {
    local dir=$1 options=() targets=() target
    shift
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        options+=("$1")
        shift
    done
    [ $# -eq 0 ] || shift
    for target in "$@"; do
        targets+=(--target "$target")
    done
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$repo" -B "$dir" -G Ninja "${options[@]}"
    elif [ ${#options[@]} -gt 0 ]; then
        # A tree made earlier without them takes the options now.
        cmake -S "$repo" -B "$dir" "${options[@]}" >/dev/null
    fi
    cmake --build "$dir" -j "${JOBS:-2}" "${targets[@]}"
}
