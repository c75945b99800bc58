#!/usr/bin/env bash
# Builds the tool and runs an export and then an import of the bundled sample
# in a scratch working directory inside the build tree (never the real one).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target transhorval

work="$root/build/default/sample"
rm -rf "$work"
mkdir -p "$work/HTEMP"
cp samples/centro.xml "$work/centro.xml"
tool="$root/build/default/app/cli/transhorval"
export LC_ALL=es_ES.UTF-8

echo "== Exportación: $work/centro.xml -> $work/HTEMP"
"$tool" export "$work/centro.xml" --dir "$work/HTEMP"

echo
echo "== Importación: SOLUC.DBF de ejemplo -> documento de resultado"
cp samples/SOLUC.DBF "$work/HTEMP/SOLUC.DBF"
"$tool" import "$work/centro.xml" --dir "$work/HTEMP"

echo
echo "== $work/ResultadoHorvalcentro.xml"
cat "$work/ResultadoHorvalcentro.xml"
