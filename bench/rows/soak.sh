# Writers soak: 200 cycles of complete and cancelled writes of the dataset file,
# a CSV and a split CSV set (qrn_soak). Resident memory after cycle 10 and 200,
# open files, files left over, ms per cycle at the start and the end. Sourced by
# bench/run; never fails the run.
if [ -x "$BIN/qrn_soak" ]; then
    soak_dir="$WORK/soak"
    rm -rf "$soak_dir" && mkdir -p "$soak_dir/out"
    if "$BIN/qrnconv" sample "$soak_dir" --cables 4 --nodes 50 --steps 400 >/dev/null 2>&1 &&
        "$BIN/qrnconv" save "$soak_dir/run1.his" "$soak_dir/in.qrn3" >/dev/null 2>&1 &&
        soak=$("$BIN/qrn_soak" "$soak_dir/in.qrn3" "$soak_dir/out" 2>/dev/null); then
        read -r rss10 rss200 fd10 fd200 left cancelled ms10 ms200 <<<"$soak"
        row "soak 200 writes+cancels RSS kB c10/c200" "$rss200" "$rss10" \
            "$(awk -v a="$rss200" -v b="$rss10" 'BEGIN { printf "%.3f", a / b }')"
        row "soak open files c10/c200, leftovers" "$fd200 fds, $left left" "$fd10 fds" ""
        row "soak ms per cycle first/last 10 ($cancelled cancels)" "$ms200" "$ms10" \
            "$(awk -v a="$ms200" -v b="$ms10" 'BEGIN { if (b > 0) printf "%.2f", a / b }')"
    fi
    rm -rf "$soak_dir"
fi
