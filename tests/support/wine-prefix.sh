# Sourced by every script that runs Korvane under Wine (the tests, the
# benchmark, the screenshots, the start command), so that all of them get the
# same prefix and the same virtual display.
#
#   korvane_display WxH        a virtual X display of that size; exports DISPLAY
#   korvane_prefix DIR [WxH]   a prefix in DIR (made once, kept if it exists);
#                              with WxH, windows live on Wine's own desktop
#   korvane_stop               ends Wine's server and the virtual display

export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG="${WINEDEBUG:--all}"

korvane_display() {
  local number displayfd
  # Xvfb picks a free display number and writes it to the descriptor.
  exec {displayfd}<> <(:)
  Xvfb -displayfd "$displayfd" -screen 0 "$1x24" -nolisten tcp >/dev/null 2>&1 &
  korvane_xvfb=$!
  read -r -t 20 -u "$displayfd" number
  exec {displayfd}<&-
  export DISPLAY=":$number"
}

# The title bar's buttons are drawn from Marlett; a prefix without it shows
# them as "0", "1" and "r". Wine does not take it from where Debian's
# fonts-wine (scripts/setup.sh) installs it, so every prefix gets a copy in its
# own Fonts folder, which Wine reads at start. Without fonts-wine, the package
# is fetched and unpacked once into a cache.
korvane_marlett() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  [[ -f "$fonts/marlett.ttf" ]] && return
  local font=/usr/share/wine/fonts/marlett.ttf
  if [[ ! -f "$font" ]]; then
    local cache="${XDG_CACHE_HOME:-$HOME/.cache}/korvane"
    font="$cache/marlett.ttf"
    if [[ ! -f "$font" ]]; then
      local unpack
      unpack="$(mktemp -d)"
      (cd "$unpack" && apt-get download fonts-wine >/dev/null 2>&1 && dpkg-deb -x fonts-wine_*.deb fonts) &&
        mkdir -p "$cache" && cp "$unpack/fonts/usr/share/wine/fonts/marlett.ttf" "$cache/"
      rm -rf "$unpack"
    fi
  fi
  if [[ -f "$font" ]]; then
    mkdir -p "$fonts" && cp "$font" "$fonts/"
  else
    echo "fonts-wine is not available: the title bar's buttons will show as letters" >&2
  fi
}

korvane_prefix() {
  export WINEPREFIX="$1"
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    WINEARCH=win64 wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  korvane_marlett
  if [[ -n "${2:-}" ]]; then
    # Without a window manager, hiding an X window waits two seconds for a
    # confirmation that never comes; Wine's own desktop answers at once.
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$2" /f >/dev/null 2>&1
    wineserver -w
  fi
}

korvane_stop() {
  [[ -n "${WINEPREFIX:-}" ]] && wineserver -k 2>/dev/null
  [[ -n "${korvane_xvfb:-}" ]] && kill "$korvane_xvfb" 2>/dev/null
  return 0
}
