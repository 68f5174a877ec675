# The menu's launcher, installed in a temporary folder: the first start makes
# the data folder and an empty contacts database there, later starts never
# replace the file, and a Jet file of the earlier Windows version is left
# alone. The window is replaced by a stand-in that records where it started.
source "$(dirname "$0")/PackagingTest.sh"

stage_install "$work/root"
launcher="$work/root/usr/libexec/velmora-rehber/velmora-rehber-launch"
cat > "$work/root/usr/bin/velmora-rehber" <<STANDIN
#!/bin/sh
pwd > "$work/started-in"
STANDIN

# start_from_menu XDG_DATA_HOME: runs the launcher as the menu would, with
# HOME at $work/home, and checks the program started in the folder $expected.
start_from_menu() {
    rm -f "$work/started-in"
    env -u XDG_DATA_HOME ${1:+XDG_DATA_HOME="$1"} HOME="$work/home" "$launcher" \
        || fail "the launcher failed (XDG_DATA_HOME=$1)"
    [ "$(cat "$work/started-in")" = "$expected" ] || fail "started in $(cat "$work/started-in"), not $expected"
}

count_contacts() {
    sqlite3 "$expected/fihrist.mdb" 'SELECT count(*) FROM DBASE'
}

# First start: folder and empty database made; a second start keeps the contact added since.
for xdg in "" "$work/data" "relative/data"; do
    case $xdg in
        /*) expected="$xdg/velmora" ;;
        *) expected="$work/home/.local/share/velmora" ;;   # unset or not absolute: ignored
    esac
    rm -rf "$work/home" "$work/data"
    start_from_menu "$xdg"
    [ "$(stat -c %a "$expected")" = 700 ] || fail "the new data folder is open to others"
    [ "$(count_contacts)" = 0 ] || fail "the new database is not an empty contacts database"
    sqlite3 "$expected/fihrist.mdb" "INSERT INTO DBASE (Ad) VALUES ('Ayşe')"
    start_from_menu "$xdg"
    [ "$(count_contacts)" = 1 ] || fail "a second start replaced the database"
done

# A Jet file stays byte for byte as it was; the window reports it.
rm -rf "$work/home"
expected="$work/home/.local/share/velmora"
mkdir -p "$expected"
printf '\0\1\0\0Standard Jet DB\0' > "$expected/fihrist.mdb"
cp "$expected/fihrist.mdb" "$work/jet.mdb"
start_from_menu ""
cmp -s "$expected/fihrist.mdb" "$work/jet.mdb" || fail "the launcher changed a Jet fihrist.mdb"
echo PASS
