#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and the sanitizers, runs each for a bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
secs=${FUZZ_SECONDS:-60}
if [[ ! -f "$build/build.ninja" ]]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DVRQ_FUZZ=ON -DBUILD_TESTING=OFF \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target fuzzers
status=0
for bin in "$build"/bin/fuzz_*; do
    name=$(basename "$bin"); name=${name#fuzz_}
    corpus="$root/fuzz/corpus/$name"
    mkdir -p "$corpus" "$build/artifacts/$name"
    echo "fuzz: $name for ${secs}s"
    # New inputs go to a scratch folder; the corpus in the tree stays small.
    scratch="$build/corpus/$name"; mkdir -p "$scratch"
    if ! QT_QPA_PLATFORM=offscreen VRQ_UNATTENDED=1 "$bin" -max_total_time="$secs" -max_len=4096 \
        -artifact_prefix="$build/artifacts/$name/" "$scratch" "$corpus" >"$build/$name.log" 2>&1; then
        echo "fuzz: $name FAILED, see $build/$name.log and $build/artifacts/$name/"
        status=1
    fi
done
exit $status
