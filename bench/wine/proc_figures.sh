# Sourced by bench/wine-run: the idle cost of a program under Wine read from outside, from /proc (each Wine
# process is a host process and each of its threads a host thread).
#
#   proc_find_wine_process NAME      the host pid of the Windows program NAME (e.g. phonedock.exe) running in
#                                    this run's prefix ($WINEPREFIX); fails when there is none
#   proc_sample PID                  one line per thread: TID TICKS SWITCHES VOLUNTARY RUNTIME_NS NAME, where
#                                    TICKS is utime+stime in clock ticks, SWITCHES the voluntary plus the
#                                    involuntary context switches, RUNTIME_NS the scheduler's run time
#                                    (0 where the kernel keeps none)
#   proc_compare FIRST SECOND SECONDS LABEL
#                                    prints the rates between two samples, for the process and per thread,
#                                    and sets proc_switches_per_second and proc_cpu_ms_per_second

proc_find_wine_process() {
    local name=$1 dir
    for dir in /proc/[0-9]*; do
        # A process may end while it is looked at.
        { tr '\0' ' ' <"$dir/cmdline"; } 2>/dev/null | grep -qiF -- "$name" || continue
        { tr '\0' '\n' <"$dir/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
        echo "${dir#/proc/}"
        return 0
    done
    return 1
}

proc_sample() {
    local pid=$1 task tid stat fields voluntary involuntary runtime name
    for task in /proc/"$pid"/task/*; do
        tid=${task##*/}
        stat=$(cat "$task/stat" 2>/dev/null) || continue
        # The fields after the name, which may hold spaces: state is field 3, utime 14, stime 15.
        read -r -a fields <<<"${stat##*) }"
        voluntary=$(awk '/^voluntary_ctxt_switches/ {print $2}' "$task/status" 2>/dev/null)
        involuntary=$(awk '/^nonvoluntary_ctxt_switches/ {print $2}' "$task/status" 2>/dev/null)
        runtime=$(cut -d' ' -f1 "$task/schedstat" 2>/dev/null) || runtime=0
        name=$(tr ' ' '_' 2>/dev/null <"$task/comm")
        echo "$tid $((fields[11] + fields[12])) $((voluntary + involuntary)) $voluntary ${runtime:-0} ${name:-?}"
    done
}

proc_compare() {
    local first=$1 second=$2 seconds=$3 label=$4 totals
    totals=$(awk -v seconds="$seconds" -v hz="$(getconf CLK_TCK)" -v label="$label" '
        FNR == NR { ticks[$1] = $2; switches[$1] = $3; voluntary[$1] = $4; runtime[$1] = $5; next }
        {
            # A thread that began between the samples counts from zero.
            dt = $2 - ticks[$1]; ds = $3 - switches[$1]; dv = $4 - voluntary[$1]; dr = $5 - runtime[$1]
            lines[++n] = sprintf("    thread %-8s %-16s %8.2f switches/s (%5.2f voluntary), %7.3f ms/s run time, %4d ticks",
                                 $1, $6, ds / seconds, dv / seconds, dr / 1e6 / seconds, dt)
            total_ticks += dt; total_switches += ds; total_voluntary += dv; total_runtime += dr
            seen[$1] = 1
        }
        END {
            for (tid in ticks) if (!(tid in seen)) gone++
            printf "  %s: %d threads over %.1f s%s\n", label, n, seconds, gone ? sprintf(" (%d ended meanwhile, not counted)", gone) : ""
            printf "    context switches %.2f/s (%.2f/s voluntary); processor time %.3f ms/s (utime+stime %d ticks of %d ms), run time %.3f ms/s\n",
                   total_switches / seconds, total_voluntary / seconds, total_ticks * 1000 / hz / seconds, total_ticks, 1000 / hz,
                   total_runtime / 1e6 / seconds
            for (i = 1; i <= n; i++) print lines[i]
            printf "TOTALS %.4f %.4f\n", total_switches / seconds, total_ticks * 1000 / hz / seconds
        }' <(echo "$first") <(echo "$second"))
    grep -v '^TOTALS ' <<<"$totals"
    read -r _ proc_switches_per_second proc_cpu_ms_per_second < <(grep '^TOTALS ' <<<"$totals")
}
