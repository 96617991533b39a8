#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a user's machine meets it: CPack builds the .deb from the programs of
# this build folder (nothing is compiled again), lintian judges it, and its unpacked files are
# checked where they land: programs that run from there, the udev rule, the desktop entry, the
# icons, the AppStream metainfo, the record type and the man pages.
#
# usage: check-package.sh BUILD_DIR SOURCE_DIR VERSION CPACK [SANITIZE]
# Exit status 0 passed, 1 failed, 77 skipped (a tool is missing; the reason is printed).
set -uo pipefail

build=$1 source=$2 version=$3 cpack=$4 sanitize=${5:-}
scratch=$build/package-test
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
skip() {
    echo "SKIP: $*"
    exit 77
}

if [ -n "$sanitize" ]; then
    skip "a package holds release programs; this is a sanitizer build ($sanitize)"
fi
for tool in dpkg-deb dpkg-shlibdeps file lintian desktop-file-validate appstreamcli \
    update-mime-database mimetype gzip readelf timeout; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps installs it)"
done
[ -d "$build/packaging/man" ] || skip "scdoc was not found when the build was configured: no man pages"

rm -rf "$scratch"
mkdir -p "$scratch/out" "$scratch/root" "$scratch/control" "$scratch/data" "$scratch/run"
chmod 700 "$scratch/run"

# ---- Build the package from this build folder ----
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    echo "FAIL: cpack (are all programs built? cmake --build $build)"
    exit 1
fi
debs=("$scratch"/out/halvik_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "FAIL: expected one halvik_*.deb, found: ${debs[*]}"
    exit 1
fi
deb=${debs[0]}
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "halvik_${version}-1_${arch}.deb" ] ||
    fail "package file $(basename "$deb"), expected halvik_${version}-1_${arch}.deb"

# ---- lintian: no error, no warning (kept ones are overridden with a reason in the package) ----
lintian --show-overrides "$deb" >"$scratch/lintian.log" 2>&1
cat "$scratch/lintian.log"
if grep -E '^[EW]: ' "$scratch/lintian.log"; then
    fail "lintian reports errors or warnings (above)"
fi

# ---- The control part: version, computed dependencies, the udev reload ----
[ "$(dpkg-deb -f "$deb" Version)" = "${version}-1" ] || fail "Version $(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6charts6 libudev1 libjpeg62-turbo libc6; do
    [[ "$depends" == *"$library "* ]] || fail "Depends lacks $library: $depends"
done
dpkg-deb -e "$deb" "$scratch/control"
for script in postinst postrm; do
    [ -x "$scratch/control/$script" ] || fail "$script missing or not executable"
    grep -q 'udevadm control --reload-rules' "$scratch/control/$script" ||
        fail "$script does not reload udev's rules"
done

# ---- The files, where they land ----
dpkg-deb -x "$deb" "$scratch/root"
root=$scratch/root
top=$(cd "$root" && find . -mindepth 1 -maxdepth 1 | sort | tr '\n' ' ')
[ "$top" = "./usr " ] || fail "files outside /usr: $top"

programs=(halvik halvik-demo halvik-card-sim)
[ -x "$build/bin/halvik-cli" ] && programs+=(halvik-cli)
for program in "${programs[@]}"; do
    [ -x "$root/usr/bin/$program" ] || fail "/usr/bin/$program missing"
    readelf -d "$root/usr/bin/$program" | grep -qE 'RUNPATH|RPATH' && fail "$program has a run path"
    [ -f "$root/usr/share/man/man1/$program.1.gz" ] && gzip -t "$root/usr/share/man/man1/$program.1.gz" ||
        fail "man page of $program missing or broken"
done
for doc in copyright changelog.Debian.gz; do
    [ -f "$root/usr/share/doc/halvik/$doc" ] || fail "/usr/share/doc/halvik/$doc missing"
done

rule=$root/usr/lib/udev/rules.d/70-halvik-logger.rules
cmp -s "$rule" "$source/packaging/70-halvik-logger.rules" || fail "udev rule missing or changed: $rule"

desktop=$root/usr/share/applications/halvik.desktop
if [ -f "$desktop" ]; then
    # desktop-file-validate exits 0 on some errors and on hints: any output is a finding.
    out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
    grep -qx 'Exec=halvik %f' "$desktop" || fail "desktop entry does not run 'halvik %f'"
    grep -qx 'Icon=halvik' "$desktop" || fail "desktop entry's icon is not 'halvik'"
    grep -Eq '^MimeType=(.*;)?application/x-halvik-record;' "$desktop" ||
        fail "desktop entry does not open application/x-halvik-record"
else
    fail "desktop entry missing"
fi

icons=("$root"/usr/share/icons/hicolor/*/apps/halvik.png)
[ ${#icons[@]} -ge 6 ] || fail "only ${#icons[@]} icon sizes: ${icons[*]}"
for size in 16 48 256; do
    [ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/halvik.png" ] || fail "no ${size}x${size} icon"
done
for icon in "${icons[@]}"; do
    folder=$(basename "$(dirname "$(dirname "$icon")")")  # NxN
    file -b "$icon" | grep -q "^PNG image data, ${folder/x/ x }," ||
        fail "$icon is not a ${folder} PNG: $(file -b "$icon")"
done

metainfos=("$root"/usr/share/metainfo/*.metainfo.xml)
if [ ${#metainfos[@]} -eq 1 ] && [ -f "${metainfos[0]}" ]; then
    metainfo=${metainfos[0]}
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate: $metainfo"
    id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$metainfo")
    [ "$(basename "$metainfo")" = "$id.metainfo.xml" ] || fail "metainfo file name is not its id $id"
    grep -q '<launchable type="desktop-id">halvik.desktop</launchable>' "$metainfo" ||
        fail "metainfo does not launch halvik.desktop"
    newest=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d'"' -f2)
    [ "$newest" = "$version" ] ||
        fail "the newest release notes are for $newest, the project is $version: add them"
    grep -q '<screenshot type="default">' "$metainfo" || fail "metainfo has no screenshot"
else
    fail "expected one metainfo file: ${metainfos[*]}"
fi

# The record type as the desktop resolves it: by name, by content without a name, and JSON that
# is not a record stays JSON.
mime=$root/usr/share/mime/packages/halvik.xml
if [ -f "$mime" ]; then
    mkdir -p "$scratch/data/mime/packages"
    cp "$mime" "$scratch/data/mime/packages/"
    XDG_DATA_HOME=$scratch/data update-mime-database "$scratch/data/mime" || fail "update-mime-database rejects $mime"
    record='{"format":"halvik-record","version":1}'
    printf '%s\n' "$record" >"$scratch/week-2.halvik"
    printf '%s\n' "$record" >"$scratch/no-extension"
    printf '{"format":"other"}\n' >"$scratch/plain.json"
    for file in week-2.halvik no-extension plain.json; do
        want=application/x-halvik-record
        [ "$file" = plain.json ] && want=application/json
        got=$(XDG_DATA_HOME=$scratch/data XDG_DATA_DIRS=/usr/share mimetype -b "$scratch/$file")
        [ "$got" = "$want" ] || fail "$file is $got, expected $want"
    done
else
    fail "shared-mime-info type missing"
fi

# ---- The unpacked programs run ----
if [ -x "$root/usr/bin/halvik-cli" ]; then
    cli=$root/usr/bin/halvik-cli
    out=$("$cli" --version 2>&1) || fail "halvik-cli --version failed: $out"
    [[ "$out" == *"$version"* ]] || fail "halvik-cli --version says '$out', not $version"
    # The man page and the program's help describe the same subcommands and options.
    page=$source/packaging/man/halvik-cli.1.scd
    for command in list download show export report verify records; do
        help=$("$cli" "$command" --help 2>&1) || fail "halvik-cli $command --help failed: $help"
        for option in $(grep -oE -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
            [ "$option" = --help ] || grep -qF -- "*$option*" "$page" ||
                fail "halvik-cli $command has $option, which its man page does not describe"
        done
    done
fi

# Every program says its version, without a display.
for program in halvik halvik-demo; do
    if [ -x "$root/usr/bin/$program" ]; then
        out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/$program" --version 2>&1) ||
            fail "$program --version failed: $out"
        [ "$out" = "$program $version" ] || fail "$program --version says '$out', not $version"
    fi
done

# A card of 240 readings: header (PID, 08:00:00 on 12 Jan 2026, count 0x00F0), then 4.0 °C each.
card=$scratch/card.bin
{
    printf '\001\002\003\004\005\010\000\000\014\001\032'
    printf '\000%.0s' {1..8}
    printf '\000\360'
    printf '\000%.0s' {1..43}
    for _ in $(seq 240); do printf '\201\000'; done
} >"$card"
out=$(env -i PATH=/usr/bin:/bin HOME="$scratch" XDG_RUNTIME_DIR="$scratch/run" \
    QT_QPA_PLATFORM=offscreen timeout 120 "$root/usr/bin/halvik-demo" --exit-after-download "$card" 2>&1)
status=$?
[ $status -eq 0 ] && [[ "$out" == *"halvik-demo: Downloaded"* ]] ||
    fail "unpacked halvik-demo did not download (status $status): $out"
compgen -G "$scratch/.local/share/halvik/records/*.halvik" >/dev/null ||
    fail "unpacked halvik-demo kept no record of its download"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed; the package is $deb"
    exit 1
fi
echo "package $deb: all checks passed"
