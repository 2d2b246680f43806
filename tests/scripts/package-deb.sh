#!/usr/bin/env bash
# scripts/package.sh on a build tree: it builds parloquin_<version>_amd64.deb, which lintian
# passes without errors (the script fails otherwise), and the package holds the program and its
# plugin stripped, the menu entry naming /usr/bin/parloquin, the icon, the metainfo, the manual
# page, the copyright file and the changelog, all owned by root, with the dependencies of the libraries it links.
#   package-deb.sh BUILD-TREE
set -uo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
tree="$(cd "${1:?usage: $0 BUILD-TREE}" && pwd)"
for tool in cpack dpkg-deb dpkg-shlibdeps lintian readelf; do
  command -v "$tool" >/dev/null || { echo "no $tool here: nothing to check"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
stripped() { ! readelf -S --wide "$1" | grep -qE ' \.(symtab|debug_info) '; }

"$here/scripts/package.sh" --tree "$tree" --output "$work" || { echo "FAIL: scripts/package.sh"; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt")
deb="$work/parloquin_${version}_amd64.deb"
[ -f "$deb" ] || { echo "FAIL: no $(basename "$deb") in $(ls "$work")"; exit 1; }

echo "Contents of $(basename "$deb"):"
dpkg-deb -c "$deb" | tee "$work/contents" | sed 's/^/  /'
paths=$(awk '{ print $6 }' "$work/contents")
for path in ./usr/bin/parloquin \
  ./usr/share/applications/parloquin.desktop \
  ./usr/share/icons/hicolor/scalable/apps/parloquin.svg \
  ./usr/share/icons/hicolor/48x48/apps/parloquin.png \
  ./usr/share/icons/hicolor/256x256/apps/parloquin.png \
  ./usr/share/metainfo/org.parloquin.parloquin.metainfo.xml \
  ./usr/share/man/man1/parloquin.1.gz \
  ./usr/share/doc/parloquin/copyright \
  ./usr/share/doc/parloquin/changelog.gz; do
  echo "$paths" | grep -qxF "$path" || fail "the package has no $path"
done
echo "$paths" | grep -qE '^\./usr/lib/([^/]+/)?parloquin/libplatform_ml_torch\.so$' || fail "the package has no plugin below /usr/lib"
! awk '{ print $2 }' "$work/contents" | grep -vqx 'root/root' || fail "files not owned by root"

for field in Package Version Architecture; do echo "$field: $(dpkg-deb -f "$deb" "$field")"; done
[ "$(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version) $(dpkg-deb -f "$deb" Architecture)" = "parloquin $version amd64" ] ||
  fail "the package's name, version or architecture is wrong"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in libqt6widgets6 libtorch libopenblas0-pthread libc6; do
  echo "$depends" | grep -qE "(^|, )$package" || fail "the package does not depend on $package"
done

dpkg-deb -x "$deb" "$work/root"
stripped "$work/root/usr/bin/parloquin" || fail "the program is not stripped"
for plugin in "$work"/root/usr/lib/*parloquin/libplatform_ml_torch.so "$work"/root/usr/lib/*/parloquin/libplatform_ml_torch.so; do
  [ ! -f "$plugin" ] || stripped "$plugin" || fail "the plugin is not stripped"
done
grep -qxF 'Exec=/usr/bin/parloquin' "$work/root/usr/share/applications/parloquin.desktop" ||
  fail "the menu entry does not start /usr/bin/parloquin"

[ "$failures" -eq 0 ] || exit 1
echo "The package is complete."
