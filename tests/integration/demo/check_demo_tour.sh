#!/usr/bin/env bash
# Runs scripts/demo's tour on its embedded desktop against the built tree and checks
# that it ran to the end with a screenshot per stage and the contact sheet, and that
# the stages of what the product already does saw their result. The screenshots stay
# in test-artifacts/demo for a person to look at; nothing compares their pixels.
#   check_demo_tour.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir=$1 build=$2
out="$build/test-artifacts/demo"
fail() { echo "FAIL: $*" >&2; exit 1; }

# A home of its own stands for the user's: the demo must leave it alone.
home=$(mktemp -d "${TMPDIR:-/tmp}/quillon-demo-home.XXXXXX")
trap 'rm -rf "$home"' EXIT
log=$(env -u DISPLAY -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" QUILLON_BUILD_DIR="$build" \
    QUILLON_DEMO_SKIP_BUILD=1 QUILLON_DEMO_OUT="$out" "$source_dir/scripts/demo" 2>&1)
status=$?
echo "$log"
touched=$(find "$home" -name com.quillon.app -o -name autostart)
[ -z "$touched" ] || fail "the demo wrote into the user's home: $touched"
[ $status -eq 0 ] || fail "the demo ended with status $status"
[[ $log == *"Demo data folder: $out/data"* ]] || fail "the demo did not use a data folder of its own"
[ -d "$out/data/share/com.quillon.app" ] || fail "quillon's data directory is not in the demo's folder"
grep -q 'com.quillon.registeredApps' "$out/data/config/com.quillon.app/defaults.ini" || fail "the registry is not in the demo's folder"

# 04 sees the live image on the current card, 07 the kept image on the card of the app
# the first gesture started from.
for stage in 01-desktop 02-menu 03-menu-switch 04-carousel 05-carousel-step 06-gesture-switch 07-carousel-kept; do
    [[ $log == *"tour: $stage.png — ok"* ]] || fail "stage $stage did not see its result"
done
# The later stages, whatever their numbers: the settings window, then the guide's pages,
# each with a heading of its own, then it closed.
for stage in settings guide guide-2 guide-3 guide-4 guide-done; do
    [[ $log =~ tour:\ [0-9]{2}-$stage\.png\ —\ ok ]] || fail "the guide's stage $stage did not see its result"
done
shots=$(find "$out" -maxdepth 1 -name '[0-9][0-9]-*.png' | wc -l)
((shots >= 8)) || fail "only $shots screenshots"
for shot in "$out"/[0-9][0-9]-*.png; do
    grep -q "src=\"$(basename "$shot")\"" "$out/index.html" || fail "the contact sheet lacks $(basename "$shot")"
done
