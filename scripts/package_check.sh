#!/usr/bin/env bash
# Builds the Debian package from a configured and built build folder and checks
# it: its contents and control data, then the programs as installed from it
# (unpacked into a throwaway root, run from there against a settings file).
#   scripts/package_check.sh build/gcc
set -euo pipefail

build=${1:?usage: scripts/package_check.sh BUILD_DIR}
build=$(cd "$build" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

(cd "$build" && cpack -G DEB >/dev/null 2>&1) || (cd "$build" && cpack -G DEB)
deb=$(ls -t "$build"/vemtaro_*.deb | head -n 1)
echo "-- $(basename "$deb")"

dpkg-deb --info "$deb" >"$root/info"
grep -q '^ Package: vemtaro$' "$root/info"
grep -q '^ Depends: .*libqt6serialport6' "$root/info"
grep -q '^ Depends: .*libqt6charts6' "$root/info"
grep -q '^ Depends: .*qt6-translations-l10n' "$root/info"
dpkg-deb --contents "$deb" >"$root/contents"
for f in ./usr/bin/vemtaro ./usr/bin/vemtaro-cli ./usr/bin/vemtaro-sim \
         ./usr/share/applications/vemtaro.desktop \
         ./usr/share/icons/hicolor/scalable/apps/vemtaro.svg \
         ./usr/share/mime/packages/vemtaro.xml \
         ./usr/share/man/man1/vemtaro-cli.1.gz \
         ./usr/share/doc/vemtaro/guide.md ./usr/share/doc/vemtaro/screenshots/splash.png; do
  if ! grep -q " $f\$" "$root/contents"; then
    echo "the package lacks $f" >&2
    exit 1
  fi
done

# Installed by dpkg into an empty root of its own (its dependencies are those
# of this system, checked below by the dynamic linker).
mkdir -p "$root/fs/var/lib/dpkg/info" "$root/fs/var/lib/dpkg/updates"
touch "$root/fs/var/lib/dpkg/status"
dpkg --root="$root/fs" --force-depends --force-not-root --force-script-chrootless \
  --log=/dev/null --install "$deb" >"$root/dpkg.log" 2>&1 || { cat "$root/dpkg.log" >&2; exit 1; }
grep -q '^Status: install ok installed$' "$root/fs/var/lib/dpkg/status"
bin="$root/fs/usr/bin"
for program in vemtaro vemtaro-cli vemtaro-sim; do
  if ldd "$bin/$program" | grep 'not found' >/dev/null; then
    echo "$program needs a library the system lacks" >&2
    exit 1
  fi
done
"$bin/vemtaro" --version | grep '^Vemtaro 9.01.6$' >/dev/null
"$bin/vemtaro-cli" --version >/dev/null
"$bin/vemtaro-cli" new --firmware 15 -o "$root/site.dat"
"$bin/vemtaro-cli" show "$root/site.dat" | grep '^firmware: 15$' >/dev/null
"$bin/vemtaro-sim" --help >/dev/null
zcat "$root/fs/usr/share/man/man1/vemtaro-cli.1.gz" | grep '^.TH VEMTARO-CLI 1' >/dev/null
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/fs/usr/share/applications/vemtaro.desktop"
fi
echo "-- the package installs and its programs run"
