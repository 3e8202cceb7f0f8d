#!/bin/sh
# Installs what KANDRIX needs to build, run and test on Debian 12. Safe to run again.
set -e
# Beside the build: the media tools the program runs (ffmpeg, dvdauthor,
# vcdimager, cdrdao), the font of the disc menus (DejaVu Sans), and the
# readers the tests check discs with, which no one here wrote (lsdvd,
# isoinfo, udfinfo, 7z, libdvdread, libdvdnav's player machine,
# desktop-file-validate, appstreamcli); dpkg-dev and file, with which
# `make package` finds the libraries the package depends on.
PACKAGES="g++ cmake make pkg-config ccache qt6-base-dev libgl-dev libgtest-dev libgmock-dev nlohmann-json3-dev fonts-dejavu-core
ffmpeg dvdauthor vcdimager cdrdao libburn-dev libxxhash-dev libdvdread-dev
lsdvd genisoimage udftools p7zip-full desktop-file-utils appstream dpkg-dev file xvfb xauth libdvdnav-dev"
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing:$missing"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y $missing
