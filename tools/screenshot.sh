#!/usr/bin/env bash
# Makes the README's picture: the main window showing a sample document, on a virtual display.
#   tools/screenshot.sh [OUT.png]      (docs/tresorin.png by default)
# The sample is made by tresorin-cli from a CSV written here (no real password in it), opened by
# the program with English texts in folders of its own (the user's settings are never touched),
# captured with ImageMagick and reduced to 256 colours to stay small in the repository.
# TRESORIN_BUILD_DIR names the build folder (build by default); it is built when the programs
# are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/tresorin.png}")
build=${TRESORIN_BUILD_DIR:-build}

need=(xvfb xauth xdotool imagemagick)
missing=()
for p in "${need[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if ((${#missing[@]})); then
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi
if [ ! -x "$build/src/tresorin" ] || [ ! -x "$build/src/tresorin-cli" ]; then
    tools/deps.sh build
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target tresorin tresorin-cli
fi
bin=$(realpath "$build/src")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/data" "$work/run"
chmod 700 "$work/run"
export TRESORIN_INI="$work/Tresorin.ini" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
    XDG_RUNTIME_DIR="$work/run" HOME="$work" LANG=en_US.UTF-8
unset LC_ALL LC_MESSAGES
# Window size, list columns and tree width as a first start leaves them, a bit roomier.
printf '[Pos]\r\nSize=1\r\nH=560\r\nW=900\r\nPanel=1\r\nArbo=200\r\nInfo=110\r\n' > "$TRESORIN_INI"

cat > "$work/Sample.csv" <<'CSV'
"Group","Title","Username","Password","URL","Notes"
"Root/Bank","My bank","jane.doe","kT7#vQ2!mZ9wL4pX","https://bank.example.com","Customer number 0042-1789"
"Root/Bank","Savings","jane.doe","Rb8$hN3@qW6eJ1sY","https://savings.example.com",""
"Root/Bank","Credit card","","","","Card ending 4242, expires 09/29"
"Root/Mail","Webmail","jane@example.org","Gc5%uM8&tF2rK7vB","https://mail.example.org","Recovery codes in the safe"
"Root/Mail","Work mail","jdoe","Pz4^xC9*wH6nT3aD","https://outlook.example.net",""
"Root/Shopping","Bookshop","jane.doe","Ly2!dS7#gV5kQ8mR","https://books.example.com",""
"Root/Shopping","Groceries","jane@example.org","Hw9@bE4$zN1pU6cJ","https://food.example.com","Delivery on Tuesdays"
CSV
printf 'sample\nsample\n' | "$bin/tresorin-cli" import "$work/Sample.csv" "$work/Sample.pass" 2>/dev/null

cat > "$work/inside.sh" <<'INSIDE'
set -euo pipefail
"$1/tresorin" "$2" 2>/dev/null &
app=$!
trap 'kill "$app" 2>/dev/null || true' EXIT
# The question for the meta password has the keyboard (there is no window manager to give it).
xdotool search --sync --onlyvisible --name "^Meta password$" >/dev/null
sleep 0.5
xdotool type --delay 40 sample
xdotool key Return
main=$(xdotool search --sync --onlyvisible --name "^Tresorin - Sample" | head -n 1)
sleep 1
# The first group (Bank) and its first item selected, as someone reading their passwords would
# have it.
xdotool mousemove --window "$main" 320 83 click 1
sleep 1
import -window "$main" -strip -colors 256 "PNG8:$3"
INSIDE
mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 1024x700x24" bash "$work/inside.sh" "$bin" "$work/Sample.pass" "$out"
echo "screenshot.sh: $out ($(stat -c %s "$out") bytes)"
