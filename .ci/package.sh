#!/usr/bin/env bash
# Packaging stage: the Debian package from a release build of its own, checked
# with lintian, unpacked into a scratch root and run once from there; then the
# Windows zip from the cross build (build-win, made here when the Windows stage
# has not made it), which must hold the example files.
#
# Runs alone too: bash .ci/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

bash scripts/bootstrap dpkg-dev lintian fakeroot zip ninja-build g++-mingw-w64-x86-64-posix

echo "== Debian package (release build in build-pkg)"
rm -f build-pkg/vellary_*.deb
cmake -S . -B build-pkg -DCMAKE_BUILD_TYPE=Release -DVELLARY_TESTS=OFF -DVELLARY_WERROR=ON \
  >/dev/null
cmake --build build-pkg -j2 --target package
debs=(build-pkg/vellary_*_*.deb)
deb=${debs[0]}
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "$deb"

echo "== the installed program, from a scratch root"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch"
"$scratch/usr/bin/vellary" examples/app.log --sk DEBUG -t >"$scratch/app.out"
echo "exit code 0, $(wc -l <"$scratch/app.out") lines written"
completed=$(bash -c 'source "$1" && COMP_WORDS=(vellary app.log --s) COMP_CWORD=2 && _vellary &&
  echo "${COMPREPLY[*]}"' _ "$scratch/usr/share/bash-completion/completions/vellary")
echo "bash completes 'vellary app.log --s' to: $completed"
case " $completed " in
*" --skip-line "*) ;;
*)
  echo "the installed bash completion does not offer --skip-line" >&2
  exit 1
  ;;
esac

echo "== Windows zip (cross build in build-win)"
if [ ! -f build-win/CMakeCache.txt ]; then
  cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DVELLARY_WERROR=ON >/dev/null
fi
rm -f build-win/vellary-*-win64.zip
cmake --build build-win -j2 --target package
zips=(build-win/vellary-*-win64.zip)
listing=$(cmake -E tar tf "${zips[0]}")
echo "$listing"
# The program, its documents and every file of examples/, which the Windows
# page tells its reader to try.
for file in vellary.exe README.md LICENSE README-Windows.txt examples/*; do
  echo "$listing" | grep -q "/$file\$" || { echo "${zips[0]} lacks $file" >&2; exit 1; }
done
echo "== packaging stage took $((SECONDS - started)) s"
