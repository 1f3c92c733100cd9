#!/usr/bin/env bash
# The compiler launcher of every build: ccache, keyed so that a second clone (anywhere) finds what the first
# compiled. Paths are made relative to the source folder and the working folder is left out of the key.
#
# A precompiled header is a file of 150 to 250 MB that every object of its target includes: ccache would hash it
# whole for each of them, which costs as much as compiling a small file again. Once the header is compiled its
# checksum is written next to it (NAME.gch.sum), and ccache hashes that instead.
#
#   compiler-cache.sh CCACHE SOURCE_DIR COMPILER ARGUMENT...
set -u
ccache=$1
export CCACHE_BASEDIR=$2 CCACHE_NOHASHDIR=1 CCACHE_PCH_EXTSUM=1
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
shift 2
output=""
previous=""
for argument; do
    [ "$previous" = -o ] && output=$argument
    previous=$argument
done
case "$output" in
*.gch)
    # No checksum of an older header may outlive a failed compilation: without one ccache hashes the header.
    rm -f "$output.sum"
    "$ccache" "$@" || exit
    md5sum <"$output" >"$output.sum.new" && mv "$output.sum.new" "$output.sum"
    ;;
*) exec "$ccache" "$@" ;;
esac
