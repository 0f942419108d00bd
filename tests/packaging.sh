#!/usr/bin/env bash
# packaging.sh BUILD_DIR SOURCE_DIR VERSION
# Validates the launcher and the AppStream data, builds the Debian package from
# the build into a scratch folder, unpacks it into a scratch root and checks
# that everything lands where a desktop and a shell look for it, that the
# manual pages render, that Debian's checker (lintian) finds nothing to warn
# about, and that apt could install the package on this machine.
set -euo pipefail

build=$(cd "$1" && pwd)
source_dir=$2
version=$3
app_id=org.example.OrvaneNameEditor
limit=240

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

# Both manual pages, compressed, render without a warning from groff.
for page in orvane-names orvane-name-editor; do
    man_file=$root/usr/share/man/man1/$page.1.gz
    [ -f "$man_file" ] || fail "manual page missing: usr/share/man/man1/$page.1.gz"
    warnings=$(MANWIDTH=80 timeout "$limit" man -l --warnings "$man_file" 2>&1 >/dev/null) \
        || fail "man -l cannot render $page.1.gz: $warnings"
    [ -z "$warnings" ] || fail "$page.1.gz renders with warnings: $warnings"
done
# orvane-names(1) comes from the program's --help: its synopsis names every
# command of the usage lines, and the added sections are there.
names_page=$(MANWIDTH=200 man -l "$root/usr/share/man/man1/orvane-names.1.gz" 2>/dev/null)
synopsis=$(sed -n '/^SYNOPSIS/,/^DESCRIPTION/p' <<<"$names_page")
commands=$("$root/usr/bin/orvane-names" --help | sed -n '/^Usage:/,/^$/s/^.*orvane-names \([a-z]*\).*/\1/p')
[ -n "$commands" ] || fail "orvane-names --help shows no usage lines"
for command in $commands; do
    grep -q "orvane-names $command" <<<"$synopsis" || fail "orvane-names(1) synopsis lacks $command: $synopsis"
done
for section in "EXIT STATUS" EXAMPLES "SEE ALSO"; do
    grep -qx "$section" <<<"$names_page" || fail "orvane-names(1) has no $section section"
done

# The completion where bash-completion loads it on demand, by the command's name.
cmp -s "$root/usr/share/bash-completion/completions/orvane-names" \
    "$source_dir/packaging/orvane-names.bash-completion" \
    || fail "usr/share/bash-completion/completions/orvane-names is missing or not the completion"

# The package's changelog is Debian's format and starts at this version.
zcat "$root/usr/share/doc/orvane-name-editor/changelog.gz" >"$scratch/changelog"
[ "$(dpkg-parsechangelog -l "$scratch/changelog" -S Version)" = "$version" ] \
    || fail "changelog.gz does not start at version $version"

# Debian's checker: any error or warning fails. An override in the package
# must say why, in a comment on the line above.
overrides=$root/usr/share/lintian/overrides/orvane-name-editor
if [ -f "$overrides" ]; then
    awk '!/^#/ && NF && prev !~ /^#/ { exit 1 } { prev = $0 }' "$overrides" \
        || fail "a lintian override without a comment saying why: $overrides"
fi
# --no-cfg: a developer's own lintianrc cannot hide a tag here.
lintian_out=$(timeout "$limit" lintian --no-cfg --fail-on error,warning --display-info "$deb" 2>&1) \
    || fail "lintian:"$'\n'"$lintian_out"
echo "lintian:${lintian_out:+$'\n'}$lintian_out"

# Would apt install it here? A dependency that Debian lacks fails here. A
# simulation needs no lock, so another apt at work does not get in the way.
apt_out=$(timeout "$limit" apt-get install --simulate -q -o Debug::NoLocking=1 "$deb" 2>&1) \
    || fail "apt-get install --simulate:"$'\n'"$apt_out"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libgettextpo0 fonts-wine; do
    [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed: $depends"
done

echo "Package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
echo "Depends: $depends"
