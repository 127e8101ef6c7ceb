#!/usr/bin/env bash
# Builds the Debian package from a built tree, unpacks it into a scratch root as dpkg
# would install it, and checks what a user gets: exactly the executable, the desktop
# entry and the icon (no sample apps, tools or tests), and an executable that answers
# --version and --help without a display.
#   check_debian_package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, got: ${debs[*]}"
deb=${debs[0]}
[ "$(dpkg-deb -f "$deb" Package)" = quillon ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libxcb1 qt6-qpa-plugins; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

dpkg -x "$deb" "$work/root"
files=$(cd "$work/root" && find . -type f -o -type l | sort)
expected=$'./usr/bin/quillon\n./usr/share/applications/quillon.desktop\n./usr/share/icons/hicolor/256x256/apps/quillon.png'
[ "$files" = "$expected" ] || fail "files in the package:"$'\n'"$files"

entry="$work/root/usr/share/applications/quillon.desktop"
for line in 'Type=Application' 'Exec=quillon' 'Icon=quillon' 'Name=Quillon'; do
    grep -qx "$line" "$entry" || fail "desktop entry lacks $line"
done
icon="$work/root/usr/share/icons/hicolor/256x256/apps/quillon.png"
[ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "the icon is no PNG"

# No display and a fresh home: neither answer may need one or write anything.
run() { env -i HOME="$work/home" PATH=/usr/bin:/bin LANG="$1" "$work/root/usr/bin/quillon" "${@:2}"; }
[ "$(run C.UTF-8 --version)" = "quillon $version" ] || fail "--version printed: $(run C.UTF-8 --version)"
run en_US.UTF-8 --help | grep -q -- '--onboarding  open the first-run guide' || fail "English --help"
run ja_JP.UTF-8 --help | grep -q -- '起動時に「はじめに」の案内を開きます' || fail "Japanese --help"
[ ! -e "$work/home" ] || fail "--help or --version wrote into the home directory"
echo "package ok: $(basename "$deb")"
