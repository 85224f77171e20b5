#!/usr/bin/env bash
# package_test.sh BUILD_DIR: installs the finished build into a temporary root and checks what
# went where, validates the desktop entry, then packs the same build as a Debian package and
# checks its file list and fields. Nothing is compiled here.
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
problem() {
    echo "FAIL: $*" >&2
    fail=1
}

sizes=(16 24 32 48 64 128 256)
files=(usr/libexec/foldex/foldex usr/libexec/foldex/FOLDEX.html usr/bin/foldex
       usr/share/applications/foldex.desktop)
for s in "${sizes[@]}"; do files+=("usr/share/icons/hicolor/${s}x${s}/apps/foldex.png"); done

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
root=$work/root
for f in "${files[@]}"; do [[ -e $root/$f ]] || problem "not installed: /$f"; done
[[ -L $root/usr/bin/foldex &&
   $(readlink -f "$root/usr/bin/foldex") == "$root/usr/libexec/foldex/foldex" ]] ||
    problem "/usr/bin/foldex is not a link to the program beside its help page"
version=$("$root/usr/bin/foldex" --version 2>&1) || problem "the installed program does not start"
[[ $version == *6.0* ]] || problem "unexpected version text: $version"
for s in "${sizes[@]}"; do
    icon=$root/usr/share/icons/hicolor/${s}x${s}/apps/foldex.png
    [[ -e $icon ]] || continue
    got=$(identify -format '%m %wx%h' "$icon")
    [[ $got == "PNG ${s}x${s}" ]] || problem "icon ${s}x${s} is $got"
done
desktop=$root/usr/share/applications/foldex.desktop
desktop-file-validate "$desktop" || problem "desktop entry does not validate"
for line in 'Exec=foldex %f' 'Icon=foldex' 'Terminal=false' 'Categories=Utility;'; do
    grep -qxF "$line" "$desktop" || problem "desktop entry lacks: $line"
done
grep -q '^Name\[ja\]=' "$desktop" && grep -q '^Comment\[ja\]=' "$desktop" ||
    problem "desktop entry lacks its Japanese name or comment"

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log" >&2; problem "cpack failed"; }
debs=("$work"/pkg/foldex_*.deb)
if [[ -f ${debs[0]} ]]; then
    listing=$(dpkg-deb -c "${debs[0]}" | awk '{print $6}')
    for f in "${files[@]}"; do grep -qxF "./$f" <<<"$listing" || problem "not in the package: /$f"; done
    [[ $(dpkg-deb -f "${debs[0]}" Package) == foldex ]] || problem "package name"
    [[ $(dpkg-deb -f "${debs[0]}" Section) == utils ]] || problem "section"
    depends=$(dpkg-deb -f "${debs[0]}" Depends)
    for d in fonts-ipafont-gothic fonts-ipafont-mincho fonts-liberation2 libqt6widgets6 libc6; do
        grep -q "\\b$d\\b" <<<"$depends" || problem "Depends lacks $d: $depends"
    done
else
    problem "no foldex_*.deb was made"
fi
exit $fail
