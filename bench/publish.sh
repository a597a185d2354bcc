#!/usr/bin/env bash
# Times `vxrelease publish` on a synthetic product of about 600 files and 350 MB
# (bench/make-product.py): three runs into an empty tree, median reported by hyperfine.
#   bench/publish.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
work=${VX_BENCH_DIR:-/tmp/vxrelease-bench}
[ -d "$work/product" ] || python3 "$root/bench/make-product.py" "$work/product"
hyperfine --runs 3 --prepare "rm -rf '$work/tree'" --export-json "$work/publish.json" \
  "'$build/bin/vxrelease' publish '$work/product' --product orladesk --version 1.0.0.0 --channel stable --out '$work/tree'"
# A second publish of the same folder only hashes: every package is reused.
hyperfine --runs 3 --export-json "$work/republish.json" \
  "'$build/bin/vxrelease' publish '$work/product' --product orladesk --version 1.0.0.0 --channel stable --out '$work/tree'"
