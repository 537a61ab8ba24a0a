# Sourced by the scripts: the project's Wine environment.
export WINEPREFIX="${QARVEX_WINEPREFIX:-$HOME/.local/share/qarvex-wine}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
