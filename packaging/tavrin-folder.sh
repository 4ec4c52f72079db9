#!/bin/sh
# tavrin and tavrin-cli as installed: the program folder under /opt/tavrin
# belongs to root and is read-only, but the program writes com.ini, pw.bin,
# DataBase/, data/ and Reports/ into its folder. So each user gets a folder
# of their own, ${XDG_DATA_HOME:-~/.local/share}/tavrin, made on the first
# start: the executables and drivers linked to the installed ones (an update
# of the package updates them), the configuration and the description
# library copied (the user's to change). Later starts add what a newer
# package brought and never overwrite the user's files. The program is
# started through its link, so it takes the link's folder as its own.
#
# --folder DIR runs the installed program on DIR instead; --help and
# --version need no folder. TAVRIN_INSTALLED names another installed
# folder (the tests use one of their own).
set -eu
installed=${TAVRIN_INSTALLED:-/opt/tavrin}
name=$(basename "$0")
case "$name" in tavrin|tavrin-cli) ;; *) name=tavrin ;; esac

for a in "$@"; do
  case "$a" in
    --folder|--folder=*|--help|-h|--version|-v) exec "$installed/$name" "$@" ;;
    --) break ;;
    -*) ;;
    *) if [ "$name" = tavrin-cli ]; then break; fi ;;  # the commands begin
  esac
done

if [ -z "${HOME:-}" ] && [ -z "${XDG_DATA_HOME:-}" ]; then
  echo "$name: neither HOME nor XDG_DATA_HOME is set: no folder for your settings" >&2
  exit 1
fi
folder=${XDG_DATA_HOME:-$HOME/.local/share}/tavrin
mkdir -p "$folder/Driver" "$folder/Modbus" "$folder/Profibus" "$folder/DataBase" "$folder/data"

# Links: the programs and the drivers (renewed when they point elsewhere).
for exe in tavrin tavrin-cli tavrin-sim eddc; do
  [ -e "$installed/$exe" ] || continue
  [ "$(readlink "$folder/$exe" 2>/dev/null || true)" = "$installed/$exe" ] || ln -sfn "$installed/$exe" "$folder/$exe"
done
for lib in "$installed"/Driver/*.so; do
  [ -e "$lib" ] || continue
  link="$folder/Driver/$(basename "$lib")"
  [ "$(readlink "$link" 2>/dev/null || true)" = "$lib" ] || ln -sfn "$lib" "$link"
done
[ -e "$folder/profiles" ] || ln -s "$installed/profiles" "$folder/profiles"

# Copies: what the user may change, only where the user has none.
for f in com.ini device.cfg; do
  [ -e "$folder/$f" ] || cp "$installed/$f" "$folder/$f"
done
for library in Modbus Profibus; do
  for bin in "$installed/$library"/*; do
    [ -e "$bin" ] || continue
    [ -e "$folder/$library/$(basename "$bin")" ] || cp "$bin" "$folder/$library/"
  done
done

exec "$folder/$name" "$@"
