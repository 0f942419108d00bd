#!/usr/bin/env bash
# packaging.sh BUILD_DIR SOURCE_DIR VERSION
# Validates the launcher and the AppStream data, builds the Debian package from
# the build into a scratch folder, unpacks it into a scratch root and checks
# that everything lands where a desktop looks for it.
set -euo pipefail

build=$(cd "$1" && pwd)
source_dir=$2
version=$3
app_id=org.example.OrvaneNameEditor
limit=120

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

launcher=$source_dir/packaging/$app_id.desktop
metainfo=$build/packaging/$app_id.metainfo.xml

# desktop-file-validate prints hints even when the file is valid; only a
# non-zero status is a failure.
timeout "$limit" desktop-file-validate "$launcher" || fail "desktop-file-validate rejects $launcher"
timeout "$limit" appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"

# cpack stages its own install under -B, so no package lands in the build.
timeout "$limit" cpack -G DEB -B "$scratch/out" --config "$build/CPackConfig.cmake" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log" >&2; fail "cpack -G DEB"; }
shopt -s nullglob
debs=("$scratch"/out/orvane-name-editor_*_*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one package, found: ${debs[*]:-none}"
deb=${debs[0]}

root=$scratch/root
timeout "$limit" dpkg -x "$deb" "$root"

for exe in orvane-name-editor orvane-names; do
    [ -x "$root/usr/bin/$exe" ] || fail "usr/bin/$exe is missing or not executable"
done
[ -f "$root/usr/share/applications/$app_id.desktop" ] || fail "launcher missing from usr/share/applications"
[ -f "$root/usr/share/metainfo/$app_id.metainfo.xml" ] || fail "metainfo missing from usr/share/metainfo"
for size in 16 32 48 128; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
    [ -f "$icon" ] || fail "icon missing: ${icon#"$root"/}"
    # A picture of the wrong size is scaled, blurred, by the desktop.
    file -b "$icon" | grep -q "PNG image data, $size x $size," || fail "$icon is not a ${size}x$size PNG"
done

# The launcher and the metainfo must name what the package installs.
grep -qx "Exec=orvane-name-editor" "$root/usr/share/applications/$app_id.desktop" \
    || fail "launcher does not start usr/bin/orvane-name-editor"
grep -qx "Icon=$app_id" "$root/usr/share/applications/$app_id.desktop" || fail "launcher names another icon"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$app_id.metainfo.xml" \
    || fail "metainfo does not carry version $version"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6gui6 libqt6core6 fonts-wine; do
    [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed: $depends"
done

echo "Package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
echo "Depends: $depends"
