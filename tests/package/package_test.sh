#!/usr/bin/env bash
# The README's "Installing" route, run as a user would: a Release configure and build of the
# program in a fresh build folder, `cpack`, and `cmake --install` into a temporary prefix. Then
# the package is judged as Debian would: lintian (no error, no warning), appstreamcli and
# desktop-file-validate on the files as packaged, man pages that render without warnings, the
# files it must hold and the runtime packages it must depend on.
# Usage: package_test.sh SOURCE_DIR WORK_DIR   (WORK_DIR is emptied first)
# A compiler launcher (ccache) reaches the build through CMAKE_CXX_COMPILER_LAUNCHER.
set -uo pipefail
src=$(cd "$1" && pwd)
work=$2
rm -rf "$work" && mkdir -p "$work" || exit 1
work=$(cd "$work" && pwd)
failures=0
fail() {  # what, got, expected
    echo "FAIL: $1"
    echo "  got:      $2"
    echo "  expected: $3"
    failures=$((failures + 1))
}

for tool in lintian appstreamcli desktop-file-validate dpkg-deb man; do
    command -v "$tool" > /dev/null || { echo "FAIL: $tool is missing (scripts/setup.sh installs it)"; exit 1; }
done

# The commands of the README, with the build folder in the work folder.
build=$work/build
(
    set -e
    cd "$src"
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DPOMVEX_BUILD_TESTS=OFF
    cmake --build "$build" -j2
    (cd "$build" && cpack)
    cmake --install "$build" --prefix "$work/prefix"
) > "$work/build.log" 2>&1 || { tail -40 "$work/build.log"; echo "FAIL: the README's build commands"; exit 1; }

debs=("$build"/pomvex_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || { echo "FAIL: cpack wrote no pomvex_*.deb in $build"; exit 1; }
echo "package: $(basename "$deb")"
[ -x "$work/prefix/bin/pomvex" ] || fail "cmake --install" "no bin/pomvex under the prefix" "an executable"

# lintian: every tag is shown, down to the pedantic ones; errors and warnings fail.
lintian --display-info --display-experimental --pedantic --tag-display-limit 0 "$deb" > "$work/lintian.log" 2>&1
cat "$work/lintian.log"
bad=$(grep -E '^[EW]: ' "$work/lintian.log")
[ -z "$bad" ] || fail "lintian" "$bad" "no E: and no W: lines"

# The files as packaged.
root=$work/root
dpkg-deb -x "$deb" "$root"
listing=$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|')
metainfo=/usr/share/metainfo/io.github.pomvex.Pomvex.metainfo.xml
required=(
    /usr/bin/pomvex
    /usr/share/man/man1/pomvex.1.gz
    /usr/share/man/ja/man1/pomvex.1.gz
    /usr/share/applications/pomvex.desktop
    "$metainfo"
    /usr/share/doc/pomvex/copyright
    /usr/share/doc/pomvex/changelog.gz
    /usr/share/icons/hicolor/scalable/apps/pomvex.svg
)
for size in 16 32 48 64 128 256; do required+=("/usr/share/icons/hicolor/${size}x${size}/apps/pomvex.png"); done
for f in "${required[@]}"; do
    grep -qxF "$f" <<< "$listing" || fail "file list" "no $f" "$f in the package"
done

out=$(appstreamcli validate --no-net "$root$metainfo" 2>&1) || fail "appstreamcli validate" "$out" "success"
# Offline, appstreamcli fails on every address it cannot reach; the project has no public home
# yet, so the file names none (and validation never needs the network).
out=$(grep -n 'https\?://' "$root$metainfo") && fail "addresses in the AppStream file" "$out" "none"
out=$(desktop-file-validate "$root/usr/share/applications/pomvex.desktop" 2>&1)
[ -z "$out" ] || fail "desktop-file-validate" "$out" "no message"
for page in man1/pomvex.1.gz ja/man1/pomvex.1.gz; do
    out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/$page" 2>&1 > /dev/null)
    [ -z "$out" ] || fail "man --warnings $page" "$out" "no message"
done

# Runtime packages the library scan cannot see (plugins, fonts, translations, certificates).
depends=$(dpkg-deb -f "$deb" Depends)
for want in libqt6widgets6 libqt6dbus6 libqt6svg6 libcurl4 qt6-translations-l10n \
    "fonts-ipafont-gothic | fonts-noto-cjk" ca-certificates; do
    grep -qF "$want" <<< "$depends" || fail "Depends" "$depends" "it to name $want"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
[ "$recommends" = "fcitx5-frontend-qt6 | ibus" ] || fail "Recommends" "$recommends" "fcitx5-frontend-qt6 | ibus"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package checks passed"
