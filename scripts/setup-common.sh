# Shared by scripts/run and scripts/test: install what is missing, then
# configure and build incrementally. Sourced, not run.

NVP_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
NVP_BUILD="${NVP_BUILD:-$NVP_ROOT/build}"
# desktop-file-utils and appstream validate the installed desktop files;
# dpkg-dev (dpkg-shlibdeps) and file find the Debian package's dependencies;
# qt6-translations-l10n holds Qt's own button texts in other languages;
# libusb-1.0 drives USB programmers.
NVP_PACKAGES=(cmake g++ make ninja-build pkg-config qt6-base-dev qt6-5compat-dev qt6-translations-l10n libgl-dev
    libusb-1.0-0-dev xvfb xauth desktop-file-utils appstream dpkg-dev file)

nvp_install_missing() {
    local missing=()
    for p in "${NVP_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

nvp_build() {
    if [ ! -f "$NVP_BUILD/CMakeCache.txt" ]; then
        local launcher=()
        # A compiler cache, when the machine has one, makes rebuilds of
        # several checkouts cheap; the build does not need it.
        command -v ccache >/dev/null 2>&1 &&
            launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
        cmake -S "$NVP_ROOT" -B "$NVP_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@"
    fi
    nvp_refresh_moc_after_new_headers
    cmake --build "$NVP_BUILD" -j2
}

# Qt's automatic moc step of a library does not notice a header that arrived
# after its last run (a pull or a merge adds a class with signals): the link
# then fails on a missing vtable. When the set of headers changed, make every
# library's moc step run again.
nvp_refresh_moc_after_new_headers() {
    local stamp="$NVP_BUILD/.nvp-header-list"
    local now
    now=$(cd "$NVP_ROOT" && find . -path ./build -prune -o -path './build-*' -prune -o -name '*.h' -print | sort | md5sum)
    if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$now" ]; then
        find "$NVP_BUILD" \( -path '*_autogen/timestamp' -o -path '*_autogen.dir/ParseCache.txt' \) -delete 2>/dev/null || true
        echo "$now" > "$stamp"
    fi
}
