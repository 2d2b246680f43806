#!/usr/bin/env bash
# scripts/install-deps.sh tests says which npm package it could not fetch, and why, when npm
# fails (offline, the registry down), and stops with a failure; it stopped with status 1 and no
# word. The real scripts run on a copy of the scripts folder in an empty project, where dpkg
# reports every package installed, the German locale is there, and npm fails as it does offline.
set -uo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/project/scripts" "$work/bin"
cp "$here"/scripts/{install-deps.sh,packages.sh} "$work/project/scripts/"
cat >"$work/bin/dpkg-query" <<'EOF2'
#!/bin/sh
format=$2
shift 2
for package in "$@"; do
  if [ "$format" = "-f=\${Status}" ]; then printf 'install ok installed'; else printf '%s install ok installed\n' "$package"; fi
done
EOF2
printf '#!/bin/sh\necho de_DE.utf8\n' >"$work/bin/locale"
# npm as it answers offline: an error on standard error unless told to be silent, status 1.
cat >"$work/bin/npm" <<'EOF2'
#!/bin/sh
for argument in "$@"; do [ "$argument" = --silent ] && exit 1; done
echo "npm error code EAI_AGAIN" >&2
echo "npm error request to https://registry.example/$3 failed, reason: getaddrinfo EAI_AGAIN" >&2
exit 1
EOF2
chmod +x "$work/bin/"*

output=$(cd "$work/project" && PATH="$work/bin:$PATH" scripts/install-deps.sh tests 2>&1)
status=$?
first=$(. "$work/project/scripts/packages.sh" && echo "${test_npm_packages[0]%% *}")
problems=()
[ $status -ne 0 ] || problems+=("it ended with status 0")
grep -qF "$first: npm could not fetch the package" <<<"$output" || problems+=("it did not name $first")
grep -q "EAI_AGAIN" <<<"$output" || problems+=("it did not show npm's error")
[ ! -e "$work/project/build/npm/node_modules" ] || [ -z "$(ls -A "$work/project/build/npm/node_modules")" ] ||
  problems+=("it left a package folder behind")
if [ ${#problems[@]} -eq 0 ]; then
  echo "ok: a failing npm is reported: $(grep -F "$first" <<<"$output")"
  exit 0
fi
echo "FAILED: ${problems[*]}"
sed 's/^/    /' <<<"$output"
exit 1
