#!/usr/bin/env bash
# A package upgrade, simulated with two default folders beside an installed
# executable: the user's own folder is made from the first; then the user
# changes one list and adds a favourite; the second defaults change two
# lists and the version mark. At the next start the list the user never
# changed is the new one, the changed one stays theirs, the favourites are
# untouched and the version mark is the package's.
#   upgrade.sh PLAYER MAKE_APP_FOLDER SWFGEN DEMO_DIR ENGINE_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"
e2e_begin "$@"
pkg="$work/pkg"
mkdir -p "$pkg/res"
cp "$player" "$pkg/kibu-player"
cp -r "$app/res/ruffle" "$pkg/res/ruffle"
"$4" "$demo" "$pkg/defaults" >/dev/null
export HOME="$work/home"
unset XDG_DATA_HOME
user="$HOME/.local/share/kibu-player"
gbk() { printf '%s\r\n' "$@" | iconv -f UTF-8 -t GBK; }

# Started as installed: no folder named, the user's own is used.
start_installed() {
  app="" player="$pkg/kibu-player" e2e_start
  e2e_stop
}

start_installed
[ -s "$user/cons/b01.inb" ] || fail "no user's folder from the first defaults"
gbk 自己的节目 >>"$user/cons/b02.inb"
mine=$(md5sum <"$user/cons/b02.inb")
gbk 收藏的节目 >"$user/cons/shoucang.inb"
favourites=$(md5sum <"$user/cons/shoucang.inb")

# The upgrade: new programs in the first two categories, a new version.
gbk 新节目一 >>"$pkg/defaults/cons/b01.inb"
gbk 新节目二 >>"$pkg/defaults/cons/b02.inb"
printf '1.4.0\r\n' >"$pkg/defaults/cons/update.inb"
start_installed
cmp -s "$pkg/defaults/cons/b01.inb" "$user/cons/b01.inb" || fail "the unchanged list was not replaced"
[ "$(md5sum <"$user/cons/b02.inb")" = "$mine" ] || fail "the list the user changed was replaced"
[ "$(md5sum <"$user/cons/shoucang.inb")" = "$favourites" ] || fail "the favourites were touched"
[ "$(tr -d '\r' <"$user/cons/update.inb")" = 1.4.0 ] || fail "the version mark did not follow"
echo "PASS: after the upgrade new lists came, the user's changes and favourites stayed"
