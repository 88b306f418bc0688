#!/usr/bin/env bash
# The launcher entry, the AppStream record, the manual pages and the user unit, as the desktop's
# own validators see them. Any complaint fails.
#   check-desktop-files.sh DATA_BUILD_DIR APP_ID UNIT SERVER_PROGRAM
set -euo pipefail
data="$(cd "$1" && pwd)" app_id="$2" unit="$3" server="$4"
status=0
complain() { echo "$1:"; echo "$2"; status=1; }

for tool in desktop-file-validate appstreamcli man systemd-analyze; do
    command -v "$tool" > /dev/null || { echo "$tool is missing (scripts/deps installs it)"; exit 1; }
done

out="$(desktop-file-validate "$data/$app_id.desktop" 2>&1)" || status=1
[ -z "$out" ] || complain "desktop-file-validate" "$out"

appstreamcli validate --no-net --no-color "$data/$app_id.metainfo.xml" > /tmp/appstream.$$ 2>&1 || \
    complain "appstreamcli validate" "$(cat /tmp/appstream.$$)"
rm -f /tmp/appstream.$$

for page in "$data"/man/man1/*.1; do
    out="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 > /dev/null)"
    [ -z "$out" ] || complain "man --warnings $(basename "$page")" "$out"
done

# The unit as installed, pointing at the program built here; the user manager's lookups need a
# runtime folder, and Documentation= needs the pages on the manual path.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
chmod 700 "$scratch"
sed "s|^ExecStart=.*|ExecStart=$server|" "$data/$unit" > "$scratch/$unit"
out="$(cd "$scratch" && XDG_RUNTIME_DIR="$scratch" MANPATH="$data/man" systemd-analyze verify --user "$scratch/$unit" 2>&1)" \
    || status=1
[ -z "$out" ] || complain "systemd-analyze verify --user" "$out"

[ "$status" -eq 0 ] && echo "desktop entry, AppStream record, manual pages and user unit: clean"
exit "$status"
