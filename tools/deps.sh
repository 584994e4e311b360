#!/usr/bin/env bash
# Installs the Debian packages this project needs, only those missing, so a second call is quick.
# Usage: tools/deps.sh build|test|sanitize|package
set -euo pipefail
# libxdo-dev, libx11-dev, libxkbcommon-dev: auto-type's X11 layer (keys through XTest, keysym tables).
need=(qt6-base-dev qt6-base-dev-tools libcurl4-openssl-dev libssl-dev libsodium-dev libzxcvbn-dev pkg-config cmake ninja-build g++
      qt6-qpa-plugins help2man qt6-translations-l10n ccache libxdo-dev libx11-dev libxkbcommon-dev)
case "${1:-build}" in
    # keepassxc: its keepassxc-cli is the peer of the import and export round-trip tests.
    # openbox, x11-xkb-utils: the auto-type test's window manager and keyboard layouts on its Xvfb.
    test) need+=(lld python3-pyftpdlib xvfb xauth dpkg-dev desktop-file-utils appstream bash-completion lintian
                 keepassxc proftpd-core proftpd-mod-crypto rclone openssh-client openssh-server openbox x11-xkb-utils) ;;
    # The full run builds both configurations, so it needs what the normal tests need as well.
    sanitize) need+=(lld python3-pyftpdlib xvfb xauth dpkg-dev desktop-file-utils appstream bash-completion
                     lintian keepassxc proftpd-core proftpd-mod-crypto rclone openssh-client openssh-server openbox
                     x11-xkb-utils clang libclang-rt-14-dev) ;;
    package) need+=(dpkg-dev desktop-file-utils appstream lintian) ;;
esac
missing=()
for p in "${need[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=""
    [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi
