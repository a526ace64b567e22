# CSV export speed: the writer alone (qrn_csv_bench, a synthetic analysis) and
# the whole qrnconv csv process on a sample of at least 200 MB of CSV, against
# cat copying the same bytes. Sourced by bench/run; never fails the run.

csv_now() { date +%s.%N; }
csv_rate() { awk -v b="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.0f MB/s", b / 1e6 / s; else print "-" }'; }

if [ -x "$BIN/qrn_csv_bench" ]; then
    "$BIN/qrn_csv_bench" --benchmark_format=csv 2>/dev/null | tail -n +2 > "$WORK/csv_micro.csv" || true
    while IFS=, read -r name iters real cpu unit bps rest; do
        name=${name//\"/}
        name=${name%%/*}
        [ -n "$bps" ] || continue
        # Wall-clock rate, and the rate over the process's own CPU time (what a
        # machine shared with other jobs still shows).
        row "$name" "$(csv_rate "$bps" 1)" \
            "$(awk -v b="$bps" -v r="$real" -v c="$cpu" 'BEGIN { if (c > 0) printf "cpu %.0f MB/s", b * r / c / 1e6 }')" ""
    done < "$WORK/csv_micro.csv"
fi

# Writes a sample with $1 steps into $csv_dir; sets csv_his and csv_src (the
# binary dataset file when qrnconv save works, so that the csv run is mostly export).
csv_make_sample() {
    rm -rf "$csv_dir" && mkdir -p "$csv_dir" || return 1
    "$BIN/qrnconv" sample "$csv_dir" --cables 10 --nodes 100 --steps "$1" >/dev/null 2>&1 || return 1
    csv_his=$(ls "$csv_dir"/*.his 2>/dev/null | head -n 1 || true)
    [ -n "$csv_his" ] || return 1
    csv_src=$csv_his
    if "$BIN/qrnconv" save "$csv_his" "$csv_dir/sample.qrn3" >/dev/null 2>&1; then
        csv_src="$csv_dir/sample.qrn3"
    fi
}

# Times qrnconv csv of $1 and cat of its output; sets csv_bytes, csv_ours, csv_ref.
csv_time() {
    local t0 t1 t2 t3
    t0=$(csv_now)
    "$BIN/qrnconv" csv "$1" "$csv_dir/out.csv" --nodes all --tension >/dev/null 2>&1 || return 1
    t1=$(csv_now)
    csv_bytes=$(stat -c %s "$csv_dir/out.csv")
    t2=$(csv_now)
    cat "$csv_dir/out.csv" > "$csv_dir/copy.csv"
    t3=$(csv_now)
    rm -f "$csv_dir/out.csv" "$csv_dir/copy.csv"
    csv_ours=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
    csv_ref=$(awk -v a="$t2" -v b="$t3" 'BEGIN { print b - a }')
}

csv_row() {
    row "qrnconv csv $1 all+tension $((csv_bytes / 1000000))MB" "$(csv_rate "$csv_bytes" "$csv_ours")" \
        "$(csv_rate "$csv_bytes" "$csv_ref") cat" \
        "$(awk -v a="$csv_ours" -v b="$csv_ref" 'BEGIN { if (a > 0) printf "%.2f", b / a }')"
}

if "$BIN/qrnconv" sample --help >/dev/null 2>&1 && "$BIN/qrnconv" csv --help >/dev/null 2>&1; then
    csv_dir="$WORK/csv_sample"
    csv_steps=6000
    if csv_make_sample "$csv_steps" && csv_time "$csv_src"; then
        # Scale the sample once if its CSV falls short of 200 MB.
        if [ "$csv_bytes" -lt 200000000 ] && [ "$csv_bytes" -gt 0 ]; then
            csv_steps=$((csv_steps * (200000000 / csv_bytes + 1)))
            csv_make_sample "$csv_steps" && csv_time "$csv_src" || true
        fi
        csv_row "${csv_src##*.}"
        if [ "$csv_src" != "$csv_his" ] && csv_time "$csv_his"; then csv_row his; fi
    fi
    rm -rf "$csv_dir"
fi
