#!/usr/bin/env bash
# cmake --install of a build tree into a staging folder (DESTDIR) with the prefix a package has
# (/usr), and the installed tree as a desktop reads it: the menu entry and the metainfo valid, the
# icon in every size, the programs stripped, the installed program starting, the plugin where the
# program looks for it with every library it links found, the manual page rendering and naming
# every option of --help, the copyright file with the notices.
#   install-tree.sh BUILD-TREE
set -uo pipefail
tree="${1:?usage: $0 BUILD-TREE}"
for tool in desktop-file-validate appstreamcli readelf man; do
  command -v "$tool" >/dev/null || { echo "no $tool here: nothing to check"; exit 77; }
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# Whether an ELF file has no symbol table and no debugging information left.
stripped() { ! readelf -S --wide "$1" | grep -qE ' \.(symtab|debug_info) '; }

if ! DESTDIR="$stage/root" cmake --install "$tree" --prefix /usr >"$stage/install.log" 2>&1; then
  cat "$stage/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi
root="$stage/root/usr"
echo "Installed:"
(cd "$stage/root" && find . -type f | sort | sed 's/^/  /')

program="$root/bin/parloquin"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt")
if [ -x "$program" ]; then
  stripped "$program" || fail "the program keeps its symbols or debugging information"
  said=$(QT_QPA_PLATFORM=offscreen timeout 60 "$program" --version 2>&1)
  status=$?
  echo "parloquin --version: $said"
  [ $status -eq 0 ] && [[ "$said" == "Parloquin $version"* ]] || fail "the installed program's --version: status $status"
else
  fail "no program at /usr/bin/parloquin"
fi
mapfile -t plugins < <(find "$root" -name 'libplatform_ml_torch.so')
if [ ${#plugins[@]} -ne 1 ]; then
  fail "the TorchScript plugin is installed ${#plugins[@]} times"
else
  plugin=${plugins[0]}
  echo "plugin: ${plugin#"$stage/root"}"
  stripped "$plugin" || fail "the plugin keeps its symbols or debugging information"
  # The program looks for it at the path compiled in, relative to its own folder.
  wanted=$(grep -o 'RARIVOREDU_TORCH_PLUGIN_INSTALLED=[^ ]*' "$tree/compile_commands.json" | head -n 1 |
    sed 's/^[^=]*=//; s/[\\"]//g')
  [ "$(realpath -m "$root/bin/$wanted")" = "$plugin" ] ||
    fail "the program looks for the plugin at $wanted beside it, not at ${plugin#"$stage/root"}"
  missing=$(ldd "$plugin" | grep 'not found')
  [ -z "$missing" ] || fail "libraries of the plugin are missing: $missing"
fi

entry="$root/share/applications/parloquin.desktop"
if [ -f "$entry" ]; then
  report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
  [ -z "$report" ] || echo "desktop-file-validate: $report"
  for line in 'Name=Parloquin' 'Name[de]=Parloquin' 'Exec=/usr/bin/parloquin' 'Icon=parloquin' \
    'Categories=Utility;Accessibility;AudioVideo;' 'X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input'; do
    grep -qxF "$line" "$entry" || fail "the menu entry has no line $line"
  done
  grep -q '^Comment\[de\]=' "$entry" || fail "the menu entry has no German comment"
else
  fail "no menu entry at /usr/share/applications/parloquin.desktop"
fi

metainfo="$root/share/metainfo/org.parloquin.parloquin.metainfo.xml"
if [ -f "$metainfo" ]; then
  # Errors and warnings fail; notes are shown (AppStream 1.0, on Debian 13, notes the tags that
  # 0.16, on Debian 12, asks for).
  report=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) || fail "appstreamcli validate: $report"
  ! echo "$report" | grep -qE '^[EW]:' || fail "appstreamcli has findings: $report"
  ! echo "$report" | grep -qE '^[IP]:' || echo "appstreamcli validate: $report"
  # The metainfo together with the menu entry it names.
  report=$(appstreamcli validate-tree --no-net --pedantic "$stage/root" 2>&1) || fail "appstreamcli validate-tree: $report"
  ! echo "$report" | grep -qE '^[EW]:' || fail "appstreamcli validate-tree has findings: $report"
  grep -qF "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
else
  fail "no metainfo at /usr/share/metainfo/org.parloquin.parloquin.metainfo.xml"
fi

icons="$root/share/icons/hicolor"
[ -f "$icons/scalable/apps/parloquin.svg" ] || fail "no SVG icon in the hicolor theme"
for size in 16 22 24 32 48 64 128 256 512; do
  png="$icons/${size}x${size}/apps/parloquin.png"
  if [ ! -f "$png" ]; then
    fail "no ${size}x${size} icon"
    continue
  fi
  # A PNG file's width and height are the big-endian numbers at bytes 16 and 20.
  read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
    awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }')
  [ "$width $height" = "$size $size" ] || fail "the ${size}x${size} icon is ${width}x${height}"
done

page="$root/share/man/man1/parloquin.1.gz"
if [ -f "$page" ]; then
  # Rendered as man shows it, with groff's warnings (as lintian reads it); every option that
  # --help lists is on the page.
  rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>"$stage/man-warnings")
  [ -n "$rendered" ] || fail "man -l renders nothing"
  [ ! -s "$stage/man-warnings" ] || fail "man -l warns: $(cat "$stage/man-warnings")"
  echo "$rendered" | grep -q '^NAME' && echo "$rendered" | grep -q '^OPTIONS' || fail "the manual page has no NAME or OPTIONS"
  if [ -x "$program" ]; then
    while read -r option; do
      echo "$rendered" | grep -qF -- "$option" || fail "the manual page does not name $option"
    done < <(QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 "$program" --help | grep -oE '^ +-[^ ]+( --[a-z-]+)?' | sed 's/^ *//; s/,$//')
  fi
else
  fail "no manual page at /usr/share/man/man1/parloquin.1.gz"
fi

copyright="$root/share/doc/parloquin/copyright"
if [ -f "$copyright" ]; then
  for text in 'License: GPL-3+' 'libtorch (PyTorch): BSD 3-Clause' 'eSpeak NG: GPL 3.0'; do
    grep -qF "$text" "$copyright" || fail "the copyright file does not say $text"
  done
else
  fail "no copyright file at /usr/share/doc/parloquin/copyright"
fi
gzip -t "$root/share/doc/parloquin/changelog.gz" 2>/dev/null || fail "no readable changelog.gz"

[ "$failures" -eq 0 ] || exit 1
echo "The installed tree is complete."
