#!/usr/bin/env bash
# Checks that every tracked C++ file is laid out as .clang-format says, with
# Debian's clang-format. Lists the files that differ and fails; silent when
# all is in order. `clang-format -i FILE` mends one.
#
#   scripts/check-format.sh
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null; then
    echo "clang-format is missing: scripts/install-deps.sh installs it." >&2
    exit 1
fi

mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
if [ "${#files[@]}" -eq 0 ]; then
    exit 0
fi

# clang-format names each place that differs as FILE:LINE:COLUMN: error: ...
status=0
report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1 >/dev/null) || status=$?
if [ "$status" -eq 0 ]; then
    exit 0
fi
differ=$(sed -nE 's/^(.*):[0-9]+:[0-9]+: error: code should be clang-formatted.*/\1/p' <<<"$report" | sort -u)
if [ -z "$differ" ]; then
    echo "clang-format failed:" >&2
    head -n 20 <<<"$report" >&2
    exit 1
fi
echo "These files differ from .clang-format (clang-format -i FILE mends one):"
while IFS= read -r file; do
    echo "    $file"
done <<<"$differ"
exit 1
