#!/bin/sh
# The size of the tests against the size of the product code, part of make lint:
#   sh scripts/test-ratio.sh
# Counts the non-blank lines of the files git tracks (text files only): the product is
# tool/ cmdline/ tinyfs/ host/, the tests are tests/ and fuzz/ without the fuzz seed
# corpora (fuzz/corpus/). Prints both counts and the ratio; fails when the tests are
# more than TEST_RATIO_MAX (default 0.36) of the product.
set -eu
cd "$(dirname "$0")/.."
lines() {
    git ls-files -- "$@" | grep -v '^fuzz/corpus/' | while IFS= read -r file; do
        [ ! -f "$file" ] || grep -I -c -v '^[[:space:]]*$' "$file" || true
    done | awk '{ total += $1 } END { print total + 0 }'
}
product=$(lines tool cmdline tinyfs host)
tests=$(lines tests fuzz)
limit=${TEST_RATIO_MAX:-0.36}
awk -v t="$tests" -v p="$product" -v m="$limit" 'BEGIN {
    r = sprintf("%.2f", p ? t / p : 0)
    printf "product code: %d lines; tests: %d lines; tests/product = %s (at most %s)\n", p, t, r, m
    exit !(r + 0 <= m + 0)
}'
