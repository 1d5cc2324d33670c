#!/bin/sh
# Regenerates every file in assets/ from the seeded generators in this folder.
# Same machine packages, same bytes.  Usage: tools/art/generate.sh [OUTDIR]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/../../assets}
mkdir -p "$out"
out=$(cd "$out" && pwd)

# Debian packages the generators need
need=""
/usr/bin/python3 -c 'import numpy' 2>/dev/null || need="$need python3-numpy"
/usr/bin/python3 -c 'import PIL' 2>/dev/null || need="$need python3-pil"
command -v sox >/dev/null 2>&1 || need="$need sox"
if [ -n "$need" ]; then
    echo "generate.sh: installing$need"
    if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $need
fi

py=/usr/bin/python3
cd "$here"
echo "hearth: background, flame strips, preview"
nice $py hearth.py "$out"
echo "panel: gadget bar"
$py panel.py "$out"
echo "crackle: sound loop"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
$py crackle.py "$tmp/crackle.wav"
sox -R -D "$tmp/crackle.wav" -e ms-adpcm "$out/SoundName.wav"
echo "done: $out"
