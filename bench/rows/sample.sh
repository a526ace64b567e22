# Sample analysis writer: qrnconv sample producing a text history of more than
# 1 GB (with the same history as .f24 and the binary .f08 beside it), against
# cat copying the same bytes. Sourced by bench/run; never fails the run.

smp_now() { date +%s.%N; }
smp_dir="$WORK/sample_big"
if [ -x "$BIN/qrnconv" ]; then
    rm -rf "$smp_dir"
    smp_t0=$(smp_now)
    if "$BIN/qrnconv" sample "$smp_dir" --cables 12 --nodes 400 --steps 4000 >/dev/null 2>&1; then
        smp_t1=$(smp_now)
        smp_bytes=$(cat "$smp_dir"/run1.his "$smp_dir"/run1.f24 "$smp_dir"/run1.f08 | wc -c)
        smp_his_mb=$(( $(stat -c %s "$smp_dir/run1.his") / 1000000 ))
        smp_t2=$(smp_now)
        for f in run1.his run1.f24 run1.f08; do cat "$smp_dir/$f" > "$smp_dir/copy.$f"; done
        smp_t3=$(smp_now)
        smp_ours=$(awk -v a="$smp_t0" -v b="$smp_t1" 'BEGIN { print b - a }')
        smp_ref=$(awk -v a="$smp_t2" -v b="$smp_t3" 'BEGIN { print b - a }')
        row "qrnconv sample his ${smp_his_mb}MB, all $((smp_bytes / 1000000))MB (s)" \
            "$(printf '%.2f' "$smp_ours")" "$(printf '%.2f cat' "$smp_ref")" \
            "$(awk -v a="$smp_ours" -v b="$smp_ref" 'BEGIN { if (b > 0) printf "%.2fx", a / b }')"
    fi
    rm -rf "$smp_dir"
fi
