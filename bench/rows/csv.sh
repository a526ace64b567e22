# CSV export speed: the writer alone (qrn_csv_bench, a synthetic analysis) and
# the whole qrnconv csv process on a large sample, each against cat copying the
# same number of bytes. Sourced by bench/run; never fails the run.

csv_now() { date +%s.%N; }
csv_rate() { awk -v b="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.0f MB/s", b / 1e6 / s; else print "-" }'; }
csv_ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a > 0) printf "%.2f", b / a; else print "-" }'; }

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

if "$BIN/qrnconv" sample --help >/dev/null 2>&1 && "$BIN/qrnconv" csv --help >/dev/null 2>&1; then
    csv_dir="$WORK/csv_sample"
    rm -rf "$csv_dir"
    mkdir -p "$csv_dir"
    if "$BIN/qrnconv" sample "$csv_dir" --cables 10 --nodes 100 --steps 6000 >/dev/null 2>&1; then
        csv_in=$(ls "$csv_dir"/*.his 2>/dev/null | head -n 1 || true)
        # Reading the text history is timed by its own row; the binary dataset
        # file loads in bulk, so the csv row measures mostly the export.
        csv_src=$csv_in
        if [ -n "$csv_in" ] &&
            "$BIN/qrnconv" save "$csv_in" "$csv_dir/sample.qrn3" >/dev/null 2>&1; then
            csv_src="$csv_dir/sample.qrn3"
        fi
        for csv_input in "$csv_src" "$csv_in"; do
            [ -n "$csv_input" ] || continue
            t0=$(csv_now)
            if "$BIN/qrnconv" csv "$csv_input" "$csv_dir/out.csv" --nodes all --tension \
                >/dev/null 2>&1; then
                t1=$(csv_now)
                csv_bytes=$(stat -c %s "$csv_dir/out.csv")
                t2=$(csv_now)
                cat "$csv_dir/out.csv" > "$csv_dir/copy.csv"
                t3=$(csv_now)
                csv_ours=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
                csv_ref=$(awk -v a="$t2" -v b="$t3" 'BEGIN { print b - a }')
                row "qrnconv csv ${csv_input##*.} all+tension $((csv_bytes / 1000000))MB" \
                    "$(csv_rate "$csv_bytes" "$csv_ours")" "$(csv_rate "$csv_bytes" "$csv_ref") cat" \
                    "$(csv_ratio "$csv_ref" "$csv_ours")"
            fi
            rm -f "$csv_dir/out.csv" "$csv_dir/copy.csv"
            [ "$csv_input" != "$csv_in" ] || break
        done
    fi
    rm -rf "$csv_dir"
fi
