# An install staged in a temporary folder holds every file, and the menu
# entry, the metainfo and the icons are valid and name each other.
source "$(dirname "$0")/PackagingTest.sh"

stage_install "$work/root"
usr="$work/root/usr"

while read -r file; do
    [ -f "$usr/$file" ] || fail "not installed: /usr/$file"
done < <(expected_files)

entry="$usr/share/applications/velmora-rehber.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects the menu entry"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
[ "$exec_line" = "/usr/libexec/velmora-rehber/velmora-rehber-launch %U" ] || fail "Exec=$exec_line"
launcher=${exec_line% %U}
[ -x "$work/root$launcher" ] || fail "the entry's launcher is not installed executable"
grep -qx 'StartupWMClass=velmora-rehber' "$entry" || fail "StartupWMClass is not the window's class"
grep -qx 'Icon=velmora-rehber' "$entry" || fail "Icon is not the installed icon's name"
grep -qx 'MimeType=x-scheme-handler/tel;text/vcard;text/x-vcard;text/csv;' "$entry" \
    || fail "the entry does not take tel: links and contact files"

# Checks the metainfo and that its launchable names the installed entry.
appstreamcli validate-tree --no-net "$usr" || fail "appstreamcli rejects the metainfo"

for size in $icon_sizes; do
    file -b "$usr/share/icons/hicolor/${size}x${size}/apps/velmora-rehber.png" \
        | grep -q "^PNG image data, $size x $size," || fail "the ${size}x${size} icon has another size"
done
for page in "$usr"/share/man/man1/*.gz "$usr"/share/doc/velmora-rehber/changelog.gz; do
    gzip -t "$page" || fail "$page is not gzip"
done
echo PASS
