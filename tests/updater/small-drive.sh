#!/usr/bin/env bash
# small-drive.sh mount|unmount FOLDER
# A 1 MiB file system for the test of a write that runs out of space. Needs
# the right to mount; without it the folder stays an ordinary one and the
# test that uses it skips itself.
set -u
folder=$2
case $1 in
mount)
    mkdir -p "$folder"
    mountpoint -q "$folder" && umount "$folder"
    if ! mount -t tmpfs -o size=1m zelmoria-small-drive "$folder" 2>/dev/null; then
        echo "small-drive: cannot mount a small file system at $folder"
    fi
    ;;
unmount)
    mountpoint -q "$folder" && umount "$folder"
    rmdir "$folder" 2>/dev/null
    ;;
esac
exit 0
