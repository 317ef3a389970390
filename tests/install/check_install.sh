#!/usr/bin/env bash
# Installs the build into a staging root (DESTDIR) and checks it as a desktop user's
# system would use it: the programs start from the install and find their library there,
# the menu entry is valid, .zdb files get their type, and every icon is there.
# usage: check_install.sh CMAKE BUILD_DIR DEMO_HOME_PROGRAM BINDIR LIBRARY_DIR DATADIR WITH_GUI
# (the three folders as absolute install paths). Exit 77 (skipped) when only a tool is missing.
set -uo pipefail
cmake=$1 build=$2 demo_home=$3 bindir=$4 libdir=$5 datadir=$6 with_gui=$7

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage
failures=0 missing_tools=()
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
have() { command -v "$1" >/dev/null || { missing_tools+=("$1"); return 1; }; }

DESTDIR=$stage "$cmake" --install "$build" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; echo "FAIL: cmake --install"; exit 1; }
bin=$stage$bindir share=$stage$datadir

check_programs() {
    local programs=(zelkon-cli zelshell)
    [ "$with_gui" = 1 ] && programs+=(zelkon)
    for p in "${programs[@]}"; do [ -x "$bin/$p" ] || fail "no program $bin/$p"; done
    for l in libzelcore.so libzelshell.so; do
        [ -f "$stage$libdir/$l" ] || fail "no $l in $stage$libdir"
    done
}

# zelkon-cli run from the staged bin/ finds the library through the install's layout.
check_cli_runs() {
    "$demo_home" "$work/home" >/dev/null || { fail "cannot make the demo home"; return; }
    local out
    out=$("$bin/zelkon-cli" --home "$work/home" systems 2>&1) || fail "systems: $out"
    grep -q '^SGENESIS' <<<"$out" && grep -q '^NES' <<<"$out" || fail "systems listed: $out"
    # A checksum computed through the library names the ROM.
    out=$("$bin/zelkon-cli" --home "$work/home" --no-cache identify --system SGENESIS \
        "$work/home/roms/genesis/racer.bin" 2>&1)
    grep -q 'Demo Racer (World)' <<<"$out" || fail "identify through the library: $out"
    # A library beside the program comes first, even a broken one: its error is shown.
    echo 'not a library' >"$bin/libzelcore.so"
    out=$("$bin/zelkon-cli" --home "$work/home" systems 2>&1)
    [ $? -eq 3 ] && grep -qF "$bin/libzelcore.so" <<<"$out" ||
        fail "the library beside the program was not the one loaded: $out"
    rm -f "$bin/libzelcore.so"
    # zelshell finds its library in the install and reads a database through it.
    out=$("$bin/zelshell" tip --machine "$work/home/databases/SGENESIS.zdb" 2>&1)
    grep -q '"system":"Sega Genesis' <<<"$out" || fail "zelshell tip from the install: $out"
}

check_desktop_entry() {
    local entry=$share/applications/zelkon.desktop
    [ -f "$entry" ] || { fail "no $entry"; return; }
    have desktop-file-validate && { desktop-file-validate "$entry" || fail "invalid $entry"; }
}

# The type of FILE as the desktop sees it with only the staged share/ installed.
content_type() {
    XDG_DATA_HOME=$work/no-data XDG_DATA_DIRS=$share gio info -a standard::content-type "$1" |
        sed -n 's/^ *standard::content-type: //p'
}

check_mime_type() {
    local package=$share/mime/packages/zelkon-zdb.xml
    [ -f "$package" ] || { fail "no $package"; return; }
    python3 -c 'import sys, xml.dom.minidom as m; m.parse(sys.argv[1])' "$package" ||
        fail "$package is not well-formed XML"
    have update-mime-database || return
    update-mime-database "$share/mime" || { fail "update-mime-database"; return; }
    grep -qx '60:application/x-zelkon-zdb:\*\.zdb' "$share/mime/globs2" ||
        fail "no case-blind *.zdb glob in globs2: $(grep zelkon "$share/mime/globs2")"
    have gio || return
    cp "$work/home/databases/SGENESIS.zdb" "$work/lower.zdb"
    cp "$work/home/databases/SGENESIS.zdb" "$work/UPPER.ZDB"
    for sample in "$work/lower.zdb" "$work/UPPER.ZDB"; do
        local type
        type=$(content_type "$sample")
        [ "$type" = application/x-zelkon-zdb ] || fail "$(basename "$sample") is '$type'"
    done
}

# A PNG's width and height, from its header.
png_size() {
    python3 -c 'import sys, struct; h = open(sys.argv[1], "rb").read(24)
print("%dx%d" % struct.unpack(">II", h[16:]) if h[1:4] == b"PNG" else "not a PNG")' "$1"
}

check_icons() {
    local hicolor=$share/icons/hicolor
    for icon in apps/zelkon mimetypes/application-x-zelkon-zdb; do
        [ -f "$hicolor/scalable/$icon.svg" ] || fail "no scalable $icon.svg"
        for size in 16 24 32 48 64 128 256; do
            local png=$hicolor/${size}x$size/$icon.png
            if [ ! -f "$png" ]; then fail "no $png"; continue; fi
            [ "$(png_size "$png")" = "${size}x$size" ] || fail "$png is $(png_size "$png")"
        done
    done
}

# The completions and the manual page, generated from the program's own options.
check_cli_docs() {
    for f in bash-completion/completions/zelkon-cli zsh/vendor-completions/_zelkon-cli \
        man/man1/zelkon-cli.1; do
        [ -s "$share/$f" ] || fail "no $share/$f"
    done
}

check_programs
check_cli_runs
check_cli_docs
check_desktop_entry
check_mime_type
check_icons

if [ "$failures" -gt 0 ]; then echo "$failures check(s) failed"; exit 1; fi
if [ ${#missing_tools[@]} -gt 0 ]; then
    echo "skipped: the checks that need ${missing_tools[*]} (see scripts/install-deps)"
    exit 77
fi
echo "install checked in $stage"
