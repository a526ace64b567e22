# Binary dataset file: loading a .qrn3 of more than 1 GB against cat of the same
# page-cached file (target: at most 1.5x), and a load-and-save against dd with
# fdatasync (the writer syncs the new file before it replaces anything).
df_file="$WORK/datafile_big.qrn3"
df_out="$WORK/datafile_out.qrn3"
if [ ! -s "$df_file" ]; then
    "$BIN/qrn_datafile_tool" gen "$df_file" 1100
fi
df_mb=$(( $(stat -L -c %s "$df_file") / 1000000 ))

# Best wall time of five runs, in seconds.
df_best() {
    local best="" t0 t1 i
    for i in 1 2 3 4 5; do
        t0=$(date +%s%N)
        "$@" > /dev/null || { echo "failed"; return; }
        t1=$(date +%s%N)
        if [ -z "$best" ] || [ $(( t1 - t0 )) -lt "$best" ]; then best=$(( t1 - t0 )); fi
    done
    awk -v n="$best" 'BEGIN{printf "%.3f", n/1e9}'
}
df_ratio() { awk -v a="$1" -v b="$2" 'BEGIN{ if (b > 0) printf "%.2fx", a/b; else print "-" }'; }
df_dd_sync() { dd if="$1" of="$2" bs=64M conv=fdatasync status=none; }

cat "$df_file" > /dev/null
df_cat=$(df_best cat "$df_file")
df_load=$(df_best "$BIN/qrn_datafile_tool" load "$df_file")
row "datafile load ${df_mb} MB .qrn3 (s)" "$df_load" "$df_cat cat" "$(df_ratio "$df_load" "$df_cat")"
if [ -x "$BIN/qrnconv" ] && "$BIN/qrnconv" info "$df_file" > /dev/null 2>&1; then
    df_info=$(df_best "$BIN/qrnconv" info "$df_file")
    row "qrnconv info ${df_mb} MB .qrn3 (s)" "$df_info" "$df_cat cat" "$(df_ratio "$df_info" "$df_cat")"
fi

df_dd=$(df_best df_dd_sync "$df_file" "$df_out")
df_save=$(df_best "$BIN/qrn_datafile_tool" save "$df_file" "$df_out")
row "datafile load+save ${df_mb} MB (s)" "$df_save" "$df_dd dd" "$(df_ratio "$df_save" "$df_dd")"
if [ -x "$BIN/qrnconv" ] && "$BIN/qrnconv" save "$df_file" "$df_out" > /dev/null 2>&1; then
    df_conv=$(df_best "$BIN/qrnconv" save "$df_file" "$df_out")
    row "qrnconv save ${df_mb} MB .qrn3 (s)" "$df_conv" "$df_dd dd" "$(df_ratio "$df_conv" "$df_dd")"
fi
rm -f "$df_out"
