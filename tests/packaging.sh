#!/usr/bin/env bash
# packaging.sh BUILD_DIR SOURCE_DIR VERSION
# Validates the launcher and the AppStream data, builds the two Debian packages
# (orvane-name-editor, the window; orvane-names, the command) from the build
# into a scratch folder, unpacks each into a scratch root of its own and checks
# that everything lands where a desktop and a shell look for it, in the package
# it belongs to and in no other, that the manual pages render, that Debian's
# checker (lintian) finds nothing to warn about in either, and that apt could
# install both on this machine.
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
# Two packages and no more: an install() without a component would make a
# third.
shopt -s nullglob
all_debs=("$scratch"/out/*.deb)
editor_debs=("$scratch"/out/orvane-name-editor_*_*.deb)
cli_debs=("$scratch"/out/orvane-names_*_*.deb)
[ ${#all_debs[@]} -eq 2 ] && [ ${#editor_debs[@]} -eq 1 ] && [ ${#cli_debs[@]} -eq 1 ] \
    || fail "expected orvane-name-editor and orvane-names packages, found: ${all_debs[*]:-none}"
editor_deb=${editor_debs[0]}
cli_deb=${cli_debs[0]}

# Each package in a root of its own, named as the package, so a file in the
# wrong one is missed.
roots=$scratch/roots
editor_root=$roots/orvane-name-editor
cli_root=$roots/orvane-names
mkdir "$roots"
timeout "$limit" dpkg -x "$editor_deb" "$editor_root"
timeout "$limit" dpkg -x "$cli_deb" "$cli_root"

# dpkg refuses to install a package that holds a file another one holds.
shared=$(comm -12 <(cd "$editor_root" && find . ! -type d | sort) <(cd "$cli_root" && find . ! -type d | sort))
[ -z "$shared" ] || fail "files in both packages: $shared"

[ -x "$editor_root/usr/bin/orvane-name-editor" ] || fail "usr/bin/orvane-name-editor is missing or not executable"
[ -x "$cli_root/usr/bin/orvane-names" ] || fail "orvane-names package: usr/bin/orvane-names is missing or not executable"
[ -f "$editor_root/usr/share/applications/$app_id.desktop" ] || fail "launcher missing from usr/share/applications"
[ -f "$editor_root/usr/share/metainfo/$app_id.metainfo.xml" ] || fail "metainfo missing from usr/share/metainfo"
for size in 16 32 48 128; do
    icon=$editor_root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
    [ -f "$icon" ] || fail "icon missing: ${icon#"$editor_root"/}"
    # A picture of the wrong size is scaled, blurred, by the desktop.
    file -b "$icon" | grep -q "PNG image data, $size x $size," || fail "$icon is not a ${size}x$size PNG"
done

# The launcher and the metainfo must name what the package installs.
grep -qx "Exec=orvane-name-editor" "$editor_root/usr/share/applications/$app_id.desktop" \
    || fail "launcher does not start usr/bin/orvane-name-editor"
grep -qx "Icon=$app_id" "$editor_root/usr/share/applications/$app_id.desktop" || fail "launcher names another icon"
grep -q "<release version=\"$version\"" "$editor_root/usr/share/metainfo/$app_id.metainfo.xml" \
    || fail "metainfo does not carry version $version"

# Each manual page, compressed, in its program's package, renders without a
# warning from groff; a file under /usr/share/doc that it names is in that
# package too.
for page in orvane-names orvane-name-editor; do
    man_file=$roots/$page/usr/share/man/man1/$page.1.gz
    [ -f "$man_file" ] || fail "$page package: manual page missing: usr/share/man/man1/$page.1.gz"
    warnings=$(MANWIDTH=80 timeout "$limit" man -l --warnings "$man_file" 2>&1 >/dev/null) \
        || fail "man -l cannot render $page.1.gz: $warnings"
    [ -z "$warnings" ] || fail "$page.1.gz renders with warnings: $warnings"
    for doc in $(zcat "$man_file" | sed 's/\\-/-/g' | grep -o '/usr/share/doc/[^ ]*[^ .]' | sort -u); do
        [ -f "$roots/$page$doc" ] || fail "$page.1.gz names $doc, which its package does not hold"
    done
done
# orvane-names(1) comes from the program's --help: its synopsis names every
# command of the usage lines, and the added sections are there.
names_page=$(MANWIDTH=200 man -l "$cli_root/usr/share/man/man1/orvane-names.1.gz" 2>/dev/null)
synopsis=$(sed -n '/^SYNOPSIS/,/^DESCRIPTION/p' <<<"$names_page")
commands=$("$cli_root/usr/bin/orvane-names" --help | sed -n '/^Usage:/,/^$/s/^.*orvane-names \([a-z]*\).*/\1/p')
[ -n "$commands" ] || fail "orvane-names --help shows no usage lines"
for command in $commands; do
    grep -q "orvane-names $command" <<<"$synopsis" || fail "orvane-names(1) synopsis lacks $command: $synopsis"
done
for section in "EXIT STATUS" EXAMPLES "SEE ALSO"; do
    grep -qx "$section" <<<"$names_page" || fail "orvane-names(1) has no $section section"
done

# The completion where bash-completion loads it on demand, by the command's name.
cmp -s "$cli_root/usr/share/bash-completion/completions/orvane-names" \
    "$source_dir/packaging/orvane-names.bash-completion" \
    || fail "orvane-names package: usr/share/bash-completion/completions/orvane-names is missing or not the completion"

for package in orvane-name-editor orvane-names; do
    doc=$roots/$package/usr/share/doc/$package
    [ -f "$doc/copyright" ] || fail "$package package: usr/share/doc/$package/copyright is missing"
    # The changelog is Debian's format and starts at this version.
    [ -f "$doc/changelog.gz" ] || fail "$package package: usr/share/doc/$package/changelog.gz is missing"
    zcat "$doc/changelog.gz" >"$scratch/changelog"
    [ "$(dpkg-parsechangelog -l "$scratch/changelog" -S Version)" = "$version" ] \
        || fail "$package package: changelog.gz does not start at version $version"

    # Debian's checker: any error or warning fails. An override in the
    # package must say why, in a comment on the line above.
    overrides=$roots/$package/usr/share/lintian/overrides/$package
    if [ -f "$overrides" ]; then
        awk '!/^#/ && NF && prev !~ /^#/ { exit 1 } { prev = $0 }' "$overrides" \
            || fail "a lintian override without a comment saying why: $overrides"
    fi
done
# --no-cfg: a developer's own lintianrc cannot hide a tag here.
for deb in "$editor_deb" "$cli_deb"; do
    lintian_out=$(timeout "$limit" lintian --no-cfg --fail-on error,warning --display-info "$deb" 2>&1) \
        || fail "lintian $(basename "$deb"):"$'\n'"$lintian_out"
    echo "lintian $(basename "$deb"):${lintian_out:+$'\n'}$lintian_out"
done

# Would apt install both here, together? A dependency that Debian lacks, or
# two packages that clash, fails here. A simulation needs no lock, so another
# apt at work does not get in the way.
apt_out=$(timeout "$limit" apt-get install --simulate -q -o Debug::NoLocking=1 "$editor_deb" "$cli_deb" 2>&1) \
    || fail "apt-get install --simulate:"$'\n'"$apt_out"

depends=$(dpkg-deb -f "$editor_deb" Depends)
for needed in libqt6widgets6 libqt6gui6 libqt6core6 fonts-wine; do
    [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "orvane-name-editor Depends lacks $needed: $depends"
done
# PO files are read and written by the core's own code: no gettext library.
cli_depends=$(dpkg-deb -f "$cli_deb" Depends)
[[ $cli_depends != *libgettextpo* ]] || fail "orvane-names Depends names gettext's PO library: $cli_depends"

for deb in "$editor_deb" "$cli_deb"; do
    echo "Package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
    echo "Depends: $(dpkg-deb -f "$deb" Depends)"
done

# Last, so that when it fails everything above has passed: the command is for
# machines without a desktop, and must not bring Qt along.
[[ $cli_depends != *libqt6* ]] || fail "orvane-names Depends names Qt: $cli_depends"
