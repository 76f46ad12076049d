#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Quillmark needs.
# Only packages that are missing are installed, so a second run costs a few dpkg queries.
set -euo pipefail

packages=(
    # build tools
    build-essential cmake ninja-build pkg-config ccache
    # the C libraries under the logic
    libsqlite3-dev libxml2-dev libxslt1-dev libcurl4-openssl-dev
    # guessing the encoding of feeds that declare none
    libuchardet-dev
    # the Chromium bookmark file (JSON)
    nlohmann-json3-dev
    # windows
    qt6-base-dev libgl-dev qt6-webengine-dev
    # icons by their freedesktop names, Qt's own Chinese texts (standard buttons and dialogs)
    adwaita-icon-theme qt6-translations-l10n
    # looking at the windows without a desktop
    xvfb xauth
    # the desktop files' validators (run as tests), redrawing the icon (desktop/render-icons.sh),
    # and the freedesktop tools that hand links to the program
    desktop-file-utils appstream librsvg2-bin xdg-utils
    # fuzzing (libFuzzer comes with clang's runtime libraries)
    clang-14 libclang-rt-14-dev
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev sqlite3
    # the peers that bench/compare_parse.sh measures feed parsing against (feedparser also
    # reads the exported favorites in the tests)
    libxml2-utils python3-feedparser
    # Chinese text in the windows
    fonts-noto-cjk
    # the article editor: Markdown to HTML (with GitHub's tables, strike-through and autolinks)
    # and English spell checking
    libcmark-gfm-dev libcmark-gfm-extensions-dev libhunspell-dev hunspell-en-us
    # compiling e-books (chmcmd), and reading them back in the tests (extract_chmLib)
    fp-utils libchm-bin
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
