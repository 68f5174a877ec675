# Shared by the packaging tests: a temporary folder removed on exit, the
# files an install must hold, and a staged install of this build.
set -euo pipefail

: "${VELMORA_BUILD_DIR:?}" "${VELMORA_SOURCE_DIR:?}" "${VELMORA_APPSTREAM_ID:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The files an install holds, relative to its prefix, one a line.
expected_files() {
    printf '%s\n' \
        bin/velmora-rehber \
        bin/velmora-rehber-db \
        libexec/velmora-rehber/velmora-rehber-launch \
        share/applications/velmora-rehber.desktop \
        "share/metainfo/$VELMORA_APPSTREAM_ID.metainfo.xml" \
        share/icons/hicolor/scalable/apps/velmora-rehber.svg \
        share/doc/velmora-rehber/copyright \
        lib/systemd/system/velmora-rehber-ldap.service \
        share/doc/velmora-rehber/changelog.gz
    local size page
    for size in $icon_sizes; do
        echo "share/icons/hicolor/${size}x${size}/apps/velmora-rehber.png"
    done
    for page in "$VELMORA_SOURCE_DIR"/packaging/man/*.1; do
        echo "share/man/man1/$(basename "$page").gz"
    done
}
icon_sizes="16 22 24 32 48 64 128 256"

# Installs this build under the prefix /usr, staged in the folder $1.
stage_install() {
    DESTDIR="$1" cmake --install "$VELMORA_BUILD_DIR" --prefix /usr > "$work/install.log" \
        || { cat "$work/install.log" >&2; fail "cmake --install failed"; }
}
