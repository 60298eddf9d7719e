# Shared by scripts/demo and scripts/test: where things are, and installing what is missing.

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
jobs="$(nproc 2>/dev/null || echo 2)"

# Debian packages the build, the tests and the demo need.
base_packages=(cmake ninja-build g++ pkg-config zlib1g-dev qt6-base-dev libgl-dev
    nlohmann-json3-dev)
# The window tests and the headless demo: a private X server, input and window tools, the
# dialog's font (Liberation Sans has Arial's metrics), and a screenshot tool; xcb's DAMAGE
# headers for bench/startup_bench, which sees the start-up notice drawn.
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev xvfb xauth
    xdotool x11-utils fonts-liberation libxcb-damage0-dev)
demo_packages=(xvfb xauth xdotool x11-utils imagemagick fonts-liberation)
# The Debian package (scripts/package): shlibdeps and the build flags, the file type
# check shlibdeps relies on, and the icon's renderer.
package_packages=(dpkg-dev file librsvg2-bin)
# The desktop tests: the login manager's mock on a private bus, and the validators of the
# menu entry, the software-centre description and the package; man for the manual page.
desktop_packages=(dbus-daemon dbus-bin python3-dbusmock desktop-file-utils appstream lintian man-db)
# The Windows build: cross compiler, zlib for it, wine to run its tests, GoogleTest sources,
# the JSON headers (the same for every target; the build copies them), zip for the portable
# package (and unzip to list it), and the renderer of a build's own icon.
windows_packages=(g++-mingw-w64-x86-64 libz-mingw-w64-dev wine64 googletest nlohmann-json3-dev zip
    unzip librsvg2-bin)
# The Windows program's session test under wine: a private X server, input and window
# tools, the dialog's font, and a screenshot tool.
session_packages=(xvfb xauth xdotool x11-utils fonts-liberation imagemagick)
# The Ansible module's tests: ansible-playbook over local hosts (it brings python3).
ansible_packages=(ansible-core)
# The real-kernel rig: QEMU, the guest's shell and tools, the initramfs packer, depmod, and
# xz to cut the uncompressed kernel out of Debian's image; python3 for a bare open of a node.
kernel_rig_packages=(qemu-system-x86 busybox-static cpio kmod xz-utils python3 sg3-utils)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "error: '$*' needs root and sudo is not installed" >&2
        return 1
    fi
}

# ensure_packages PKG...: installs the packages that are not installed yet. Safe to run
# again: when everything is there it does nothing.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing missing packages: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# configure_and_build PRESET [CMAKE ARGS...]: the build of that preset of CMakePresets.json,
# in build/PRESET.
configure_and_build() {
    local preset="$1"
    shift
    (cd "$root" && cmake --preset "$preset" "$@" >/dev/null &&
        cmake --build --preset "$preset" -j "$jobs")
}
