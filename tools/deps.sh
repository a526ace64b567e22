# Sourced by ./run and ./test: installs the Debian packages that are missing.
# Usage: qrn_install_deps [extra packages...]

QRN_PACKAGES=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libgl-dev libgif-dev
              fonts-noto-cjk pkg-config libhdf5-dev qt6-charts-dev qt6-svg-dev
              libqt6opengl6-dev)
# The video export (FFmpeg's libraries).
QRN_PACKAGES+=(libavcodec-dev libavformat-dev libswscale-dev libavutil-dev)
# ./run --package only: dpkg-shlibdeps (dpkg-dev) and file, which CPack's DEB generator runs.
QRN_PACKAGE_PACKAGES=(dpkg-dev file)
# Qt's own translations: file dialogs and standard buttons in Japanese.
QRN_PACKAGES+=(qt6-translations-l10n)
# fuzz/run only: clang with the libFuzzer and sanitizer runtimes, llvm-cov.
QRN_FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev llvm-14)

qrn_install_deps() {
    local want=("${QRN_PACKAGES[@]}" "$@") missing=() p
    for p in "${want[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Run this once, then try again:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        return 1
    fi
    echo "Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq || return 1
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || return 1
}
