#!/usr/bin/env bash
# Checks which folder includes which: every #include "folder/File.h" in the
# tracked C++ files against the directions that HACKING.md gives ("Which
# folder may include which"), written below as a map. Prints each include
# that runs against them, and each file in a folder the map does not know,
# and fails; silent when all is in order.
#
#   scripts/check-layout.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# Each folder and the folders whose headers it may include besides its own;
# what those may include comes with them. A new folder gets a line here and
# its place in HACKING.md.
declare -A uses=(
    [platform/core]=""
    [platform/widgets]="platform/core"
    [platform/telephony]="platform/core"
    [platform/automation]="platform/core"
    [store]="platform/core"
    [contacts]="store"
    [contacts/jet]="contacts"
    [sync]="contacts"
    [export]="store platform/automation"
    [dialer]="store platform/widgets platform/telephony"
    [app]="sync contacts contacts/jet export dialer platform/widgets platform/telephony platform/automation"
    [ldap]="contacts"
    [tools]="ldap sync contacts contacts/jet export dialer"
    # Tests, benchmarks and fuzz targets may read every product folder, not
    # each other's: what they share is a library of its own (tests/support).
    [tests]="app tools"
    [bench]="app tools"
    [fuzz]="app tools"
)

# Follows the map down from a folder; prints every folder reached, itself too.
reach() {
    local folder=$1 next
    echo "$folder"
    for next in ${uses[$folder]}; do
        reach "$next"
    done
}

allowed=""
for folder in "${!uses[@]}"; do
    allowed+="$folder $(reach "$folder" | sort -u | tr '\n' ' ')"$'\n'
done
# Includes that start with one of these name a folder from the source root;
# others are relative to the file or to tests/ ("support/TestHome.h").
roots="$( (git ls-files | grep / | cut -d/ -f1; printf '%s\n' "${!uses[@]}" | cut -d/ -f1) | sort -u | tr '\n' ' ')"

# Two inputs: the tracked C++ files, then their includes as path:line:text.
awk -v allowedText="$allowed" -v rootsText="$roots" '
    # The folder of the map a path lies in: the longest one that is a prefix.
    function folderOf(path,    best, f) {
        best = ""
        for (f in may)
            if (index(path, f "/") == 1 && length(f) > length(best))
                best = f
        return best
    }
    BEGIN {
        n = split(allowedText, lines, "\n")
        for (i = 1; i <= n; i++) {
            if (lines[i] == "") continue
            k = split(lines[i], words, " ")
            may[words[1]] = 1
            for (j = 2; j <= k; j++) ok[words[1], words[j]] = 1
        }
        split(rootsText, r, " ")
        for (i in r) root[r[i]] = 1
        bad = 0
    }
    FNR == NR {
        from[$0] = folderOf($0)
        if (from[$0] == "") {
            printf "%s: its folder is not in the map of scripts/check-layout.sh\n", $0
            bad = 1
        }
        next
    }
    {
        path = $0; sub(/:.*/, "", path)
        if (from[path] == "") next
        header = $0; sub(/^[^"]*"/, "", header); sub(/".*/, "", header)
        if (header !~ /\//) next
        top = header; sub(/\/.*/, "", top)
        if (!(top in root)) next
        to = folderOf(header)
        line = $0; sub(/^[^:]*:/, "", line); sub(/:.*/, "", line)
        if (to == "") {
            printf "%s:%s: includes \"%s\", from a folder that is not in the map\n", path, line, header
            bad = 1
        } else if (!((from[path], to) in ok)) {
            printf "%s:%s: %s may not include \"%s\" (%s)\n", path, line, from[path], header, to
            bad = 1
        }
    }
    END {
        if (bad) {
            print "These run against the directions of HACKING.md (\"Which folder may include which\"),"
            print "which scripts/check-layout.sh holds as a map."
        }
        exit bad
    }' \
    <(git ls-files -- '*.cpp' '*.h') \
    <(git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' /dev/null)
