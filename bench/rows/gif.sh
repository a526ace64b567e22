# GIF export: 500 synthetic line-art frames of 678x445 drawn and written by us,
# against ImageMagick building the same animation from the same frames as PNG,
# and our file's size against what gifsicle -O3 makes of it.
# Sourced by bench/run ($BIN, $WORK, row).
gif_run() {
    local dir="$WORK/gif" frames=500 ours im ours_size o3_size im_size TIMEFORMAT
    qrn_install_deps imagemagick gifsicle || { row "gif export" "skipped" "no imagemagick" ""; return; }
    rm -rf "$dir" && mkdir -p "$dir/policy"
    # Debian's ImageMagick policy caps the pixel cache far below 500 frames.
    cat > "$dir/policy/policy.xml" <<'XML'
<policymap>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="disk" value="16GiB"/>
  <policy domain="resource" name="area" value="4GP"/>
</policymap>
XML
    export QT_QPA_PLATFORM=offscreen
    "$BIN/qrn_gifbench" png "$dir/png" "$frames" 2>/dev/null

    # Wall-clock and CPU (user + system) seconds; CPU is the steadier figure on a busy machine.
    TIMEFORMAT='%R %U %S'
    ours=$( { time "$BIN/qrn_gifbench" export "$dir/ours.gif" "$frames" 2>/dev/null; } 2>&1 )
    im=$( { time MAGICK_CONFIGURE_PATH="$dir/policy" convert -delay 10 -loop 0 \
        "$dir"/png/f*.png -layers Optimize "$dir/im.gif" 2>"$dir/convert.err"; } 2>&1 )

    gifsicle -O3 "$dir/ours.gif" -o "$dir/o3.gif"
    ours_size=$(stat -c %s "$dir/ours.gif")
    o3_size=$(stat -c %s "$dir/o3.gif")
    im_size=$(stat -c %s "$dir/im.gif")

    gif_times() {  # $1 label, $2 ours "R U S", $3 reference "R U S", $4 awk expr picking the figure
        row "$1" "$(echo "$2" | awk "{printf \"%.2f s\", $4}")" "$(echo "$3" | awk "{printf \"%.2f s\", $4}")" \
            "$(printf '%s\n%s\n' "$2" "$3" | awk "NR==1{a=$4} NR==2{b=$4} END{printf \"%.1fx\", b/(a>0?a:0.001)}")"
    }
    gif_times "gif export 500x 678x445 vs convert (wall)" "$ours" "$im" '$1'
    gif_times "gif export 500x 678x445 vs convert (CPU)" "$ours" "$im" '$2+$3'
    row "gif size vs gifsicle -O3 of ours" "$(awk -v s="$ours_size" 'BEGIN{printf "%.2f MB", s/1e6}')" \
        "$(awk -v s="$o3_size" 'BEGIN{printf "%.2f MB", s/1e6}')" \
        "$(awk -v a="$ours_size" -v b="$o3_size" 'BEGIN{printf "%.3f", a/b}')"
    row "gif size vs convert -layers Optimize" "$(awk -v s="$ours_size" 'BEGIN{printf "%.2f MB", s/1e6}')" \
        "$(awk -v s="$im_size" 'BEGIN{printf "%.2f MB", s/1e6}')" \
        "$(awk -v a="$ours_size" -v b="$im_size" 'BEGIN{printf "%.3f", a/b}')"
}
gif_run
