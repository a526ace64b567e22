# Video export: 500 images of the bundled sample at the real viewer's default
# picture size (580x412), 0 .. 14.97 s every 0.03 s at speed 0.6 (20 per second).
# Ours is the whole qrnconv video job (read, draw, convert, encode, write);
# the reference is the ffmpeg command line encoding the same pictures from raw
# BGRA written beforehand, with the same codec, preset and CRF (target: ours at
# most 1.1x its time; the machine is shared, so medians of five runs). File
# sizes beside the WebM and the GIF of the same images.
# Sourced by bench/run ($BIN, $WORK, row); never fails the run.

vd_run() {
    local dir="$WORK/video" frames=500 size=580x412 in="$BIN/run1.his"
    local opts=(--every 0.03 --to 14.97 --speed 0.6)
    command -v ffmpeg > /dev/null || qrn_install_deps ffmpeg ||
        { row "video export" "skipped" "no ffmpeg" ""; return; }
    rm -rf "$dir" && mkdir -p "$dir"
    "$BIN/qrnconv" gif "$in" "$dir/ours.gif" "${opts[@]}" 2> /dev/null || return
    # The GIF holds every picture exactly (its palette has the colours drawn).
    ffmpeg -v error -i "$dir/ours.gif" -fps_mode passthrough -f rawvideo -pix_fmt bgra \
        "$dir/frames.bgra" || return
    [ "$(stat -c %s "$dir/frames.bgra")" -eq $((frames * 580 * 412 * 4)) ] ||
        { row "video export" "skipped" "frame count" ""; return; }

    # Median wall time of five runs (after one warm-up) and mean CPU seconds, by hyperfine.
    local csv="$dir/times.csv" ow oc rw rc
    hyperfine -N --warmup 1 --runs 5 --export-csv "$csv" \
        "$BIN/qrnconv video $in $dir/ours.mp4 ${opts[*]}" \
        "ffmpeg -y -v error -f rawvideo -pix_fmt bgra -s $size -r 20 -i $dir/frames.bgra \
-c:v libx264 -preset medium -crf 18 -pix_fmt yuv420p -movflags +faststart $dir/ref.mp4" \
        > /dev/null 2>&1 || { row "video export" "failed" "" ""; return; }
    read -r ow oc <<< "$(awk -F, 'NR==2 { printf "%.2f %.2f", $4, $5 + $6 }' "$csv")"
    read -r rw rc <<< "$(awk -F, 'NR==3 { printf "%.2f %.2f", $4, $5 + $6 }' "$csv")"
    row "mp4 500x 580x412 vs ffmpeg rawvideo (wall)" "$ow s" "$rw s" \
        "$(awk -v a="$ow" -v b="$rw" 'BEGIN { if (b > 0) printf "%.2fx", a / b }')"
    row "  same, CPU s" "$oc s" "$rc s" \
        "$(awk -v a="$oc" -v b="$rc" 'BEGIN { if (b > 0) printf "%.2fx", a / b }')"

    mb() { awk -v s="$(stat -c %s "$1")" 'BEGIN { printf "%.2f MB", s / 1e6 }'; }
    row "mp4 size vs ffmpeg's" "$(mb "$dir/ours.mp4")" "$(mb "$dir/ref.mp4")" \
        "$(awk -v a="$(stat -c %s "$dir/ours.mp4")" -v b="$(stat -c %s "$dir/ref.mp4")" \
            'BEGIN { printf "%.3f", a / b }')"
    local webm
    webm=$( { TIMEFORMAT='%R'; time "$BIN/qrnconv" video "$in" "$dir/ours.webm" "${opts[@]}" \
        > /dev/null 2>&1; } 2>&1 ) || return
    row "webm (VP9 CRF 32), GIF of the same: size" "$(mb "$dir/ours.webm")" \
        "$(mb "$dir/ours.gif") gif" "${webm} s"
    rm -f "$dir/frames.bgra"
}
vd_run
