# The Debian package made by cpack from this build: its name, its computed
# dependencies, LibreOffice Calc and xdg-utils only recommended, every file under /usr,
# and a menu entry that names the launcher under /usr.
source "$(dirname "$0")/PackagingTest.sh"

cpack -G DEB --config "$VELMORA_BUILD_DIR/CPackConfig.cmake" -B "$work" > "$work/cpack.log" \
    || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(echo "$work"/velmora-rehber_*.deb)
[ -f "$deb" ] || fail "no velmora-rehber_*.deb"

[ "$(dpkg-deb -f "$deb" Package)" = velmora-rehber ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Recommends)" = "libreoffice-calc, xdg-utils" ] || fail "Recommends is not libreoffice-calc, xdg-utils"
tr ',' '\n' <<< "$(dpkg-deb -f "$deb" Suggests)" | awk '{print $1}' | grep -qx slapd || fail "Suggests lacks slapd"
depends=$(dpkg-deb -f "$deb" Depends)
dependencies=$(tr ',' '\n' <<< "$depends" | awk '{print $1}')
for library in libc6 libqt6widgets6 libqt6serialport6 libqt6dbus6 libsqlite3-0 qt6-translations-l10n libsecret-1-0 libsofia-sip-ua-glib3; do
    grep -qx "$library" <<< "$dependencies" || fail "Depends lacks $library: $depends"
done
! grep -q libreoffice-calc <<< "$dependencies" || fail "Depends holds libreoffice-calc: $depends"

dpkg-deb -c "$deb" | awk '{print $6}' > "$work/contents"
while read -r file; do
    grep -qx "\./usr/$file" "$work/contents" || fail "not in the package: /usr/$file"
done < <(expected_files)

dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/velmora-rehber.desktop \
    | grep -qx 'Exec=/usr/libexec/velmora-rehber/velmora-rehber-launch %U' \
    || fail "the packaged menu entry does not start the launcher under /usr"
echo PASS
