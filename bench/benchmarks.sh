# What bench/run and bench/compare share: the benchmark programs, in the order they run, and how a tree is
# built for them (Release, no sanitizers, only their targets). Sourced, not run.

BENCHMARKS=(bench_key_latency bench_key_to_skype bench_idle_program bench_notification_burst)

# bench_build SOURCE BUILD: configures and builds the benchmarks of the tree at SOURCE in BUILD.
bench_build() {
    local source=$1 build=$2
    echo "== building the benchmarks of $source in $build (Release, no sanitizers)"
    cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPHONEDOCK_SANITIZE= >/dev/null &&
        cmake --build "$build" -j2 --target "${BENCHMARKS[@]}" | grep -Ev '^\[[0-9]+/[0-9]+\] '
    return "${PIPESTATUS[0]}"
}

# bench_one BUILD PROGRAM: runs one benchmark, ended after 10 minutes should it hang; answers its exit
# status (124 when it was ended).
bench_one() {
    local build=$1 program=$2 started=$SECONDS
    timeout 600 "$build/bin/$program"
    local status=$?
    echo "== $program: exit status $status, $((SECONDS - started)) s"
    return "$status"
}
