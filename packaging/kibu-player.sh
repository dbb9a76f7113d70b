#!/bin/sh
# Starts the installed player; its files lie in ../lib/kibu-player beside
# this launcher, wherever the package was unpacked.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../lib/kibu-player/kibu-player" "$@"
