#!/bin/sh
# Runs one fuzz target for $FUZZ_SECONDS (default 60) over its seeds and its
# growing corpus:  run_fuzzer.sh PROGRAM NAME BUILD_FOLDER
# A crash, a leak, a sanitizer report or an input slower than 10 seconds
# fails the run and leaves the input in BUILD_FOLDER/artifacts.
set -eu
program=$1 name=$2 dir=$3
# Inputs no larger than what exercises every part of the format: the text
# readers' work grows with the input, and beyond a few kilobytes a larger
# file repeats structure already reached while the rate falls with its size.
# Paradox and SQLite keep room for a header and a few blocks or pages.
case $name in
  richtext | csv) max_len=4096 ;;
  paradox | sqlite) max_len=8192 ;;
  cli) max_len=1024 ;;
  *) max_len=65536 ;;
esac
mkdir -p "$dir/corpus/$name" "$dir/seeds/$name" "$dir/artifacts"
exec nice -n 10 "$program" -max_total_time="${FUZZ_SECONDS:-60}" -timeout=10 -rss_limit_mb=2048 \
  -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$dir/artifacts/$name-" \
  "$dir/corpus/$name" "$dir/seeds/$name"
