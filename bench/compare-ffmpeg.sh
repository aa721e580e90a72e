#!/usr/bin/env bash
# Side-by-side timing of kinolite-cli and ffmpeg (single-threaded) doing the same work on
# the same input in one run; prints both times and the ratio ours / ffmpeg.
#
#   bench/compare-ffmpeg.sh MODE [BUILD_DIR]
#
# Modes are added as the subsystems they measure land.
set -euo pipefail
mode=${1:-}
build=${2:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
cli="$root/$build/cli/kinolite-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# seconds MIN-OF-N COMMAND...: best wall time of three runs, in seconds.
seconds() {
  local best=""
  for _ in 1 2 3; do
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s.%N)
    best=$(python3 -c "a='$best'; d=$t1-$t0; print(d if a=='' else min(float(a), d))")
  done
  echo "$best"
}

report() {  # report NAME OURS FFMPEG
  python3 -c "print('%-8s kinolite %.3f s   ffmpeg %.3f s   ratio %.2f' % ('$1', $2, $3, $2 / $3))"
}

case "$mode" in
  convert)
    # The whole conversion of a 60-second 176x144 15 fps MPEG-4 + AAC stereo 3GP.
    src="$work/convert-src.3gp"
    ff -f lavfi -i "testsrc2=size=176x144:rate=15:duration=60" \
      -f lavfi -i "sine=frequency=440:sample_rate=44100:beep_factor=2:duration=60" \
      -c:v libxvid -bf 0 -b:v 256k -c:a aac -ac 2 -b:a 64k -f 3gp "$src"
    mkdir -p "$work/out"
    ours=$(seconds "$cli" convert -q -y -s 176x144 -o "$work/out" "$src")
    theirs=$(seconds ffmpeg -nostdin -hide_banner -loglevel error -y -threads 1 -i "$src" \
      -vf scale=176:144 -r 8 -c:v mpeg4 -b:v 100k -c:a adpcm_ima_wav -ar 16000 -ac 1 "$work/out.avi")
    report convert "$ours" "$theirs"
    ;;
  decode)
    # The same 176 x 144 MPEG-4 stream (1200 frames, an intra VOP every 250) decoded to raw
    # YUV 4:2:0 pictures.
    ff -f lavfi -i "testsrc2=size=176x144:rate=25" -frames:v 1200 -c:v libxvid -g 250 \
       -q:v 4 -f m4v "$work/in.m4v"
    ours=$(seconds "$cli" decode "$work/in.m4v" "$work/ours.yuv")
    theirs=$(seconds ffmpeg -nostdin -hide_banner -loglevel error -y -threads 1 \
             -i "$work/in.m4v" -f rawvideo -pix_fmt yuv420p "$work/theirs.yuv")
    report decode "$ours" "$theirs"
    ;;
  encode)
    # 1000 frames of 176x144 natural-looking motion, as the video decoder leaves them;
    # both encoders code every frame at 100 kbit/s.
    ff -f lavfi -i "testsrc2=size=176x144:rate=8,noise=alls=8:allf=t" -frames:v 1000 \
      -pix_fmt yuv420p -f rawvideo "$work/in.yuv"
    ours=$(seconds "$cli" encode --source-size 176x144 --source-fps 8 --size 176x144 \
      --bitrate 100000 "$work/in.yuv" "$work/ours.m4v")
    theirs=$(seconds ffmpeg -nostdin -hide_banner -loglevel error -y -f rawvideo -pix_fmt yuv420p \
      -s 176x144 -r 8 -i "$work/in.yuv" -threads 1 -c:v mpeg4 -b:v 100k "$work/ffmpeg.m4v")
    report encode "$ours" "$theirs"
    ;;
  batch)
    # A batch of 8 sources (10 s each, 176x144 15 fps MPEG-4 + AAC stereo) converted with
    # -j 1 and -j 2, against ffmpeg doing the same 8 conversions one after the other,
    # single-threaded. Prints the load of the machine first: the figures depend on it.
    uptime
    srcs=()
    for i in 1 2 3 4 5 6 7 8; do
      src="$work/batch-src$i.3gp"
      ff -f lavfi -i "testsrc2=size=176x144:rate=15:duration=10" \
        -f lavfi -i "sine=frequency=$((300 + 40 * i)):sample_rate=44100:duration=10" \
        -c:v libxvid -bf 0 -b:v 256k -c:a aac -ac 2 -b:a 64k -f 3gp "$src"
      srcs+=("$src")
    done
    mkdir -p "$work/out1" "$work/out2"
    one=$(seconds "$cli" convert -y -j 1 -s 176x144 -o "$work/out1" "${srcs[@]}")
    two=$(seconds "$cli" convert -y -j 2 -s 176x144 -o "$work/out2" "${srcs[@]}")
    ffbatch() {
      for s in "${srcs[@]}"; do
        ffmpeg -nostdin -hide_banner -loglevel error -y -threads 1 -i "$s" -vf scale=176:144 \
          -r 8 -c:v mpeg4 -b:v 100k -c:a adpcm_ima_wav -ar 16000 -ac 1 "$work/$(basename "$s").avi"
      done
    }
    theirs=$(seconds ffbatch)
    report "batch-j1" "$one" "$theirs"
    report "batch-j2" "$two" "$theirs"
    python3 -c "print('-j 2 is %.2fx faster than -j 1' % ($one / $two))"
    for s in "${srcs[@]}"; do
      n=$(basename "${s%.*}")_new.mp4
      cmp -s "$work/out1/$n" "$work/out2/$n" || { echo "batch: $n differs between -j 1 and -j 2"; exit 1; }
    done
    uptime
    ;;
  hd)
    # A phone recording: 30 s of 1080p 30 fps H.264 high profile with AAC stereo, converted
    # to 176x144 (area-averaged reduction, then the linear scaler), against ffmpeg's
    # single-threaded transcode with its area scaler. Prints the peak memory of ours too.
    uptime
    src="$work/hd-src.mp4"
    ff -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=30" \
      -f lavfi -i "sine=frequency=440:sample_rate=48000:beep_factor=2:duration=30" \
      -c:v libx264 -profile:v high -preset veryfast -b:v 8M -pix_fmt yuv420p \
      -c:a aac -ac 2 -b:a 128k "$src"
    mkdir -p "$work/out"
    ours=$(seconds "$cli" convert -q -y -s 176x144 -o "$work/out" "$src")
    theirs=$(seconds ffmpeg -nostdin -hide_banner -loglevel error -y -threads 1 -i "$src" \
      -vf scale=176:144:flags=area -r 8 -c:v mpeg4 -b:v 100k -c:a adpcm_ima_wav -ar 16000 -ac 1 \
      "$work/out.avi")
    report hd "$ours" "$theirs"
    peak=$( { /usr/bin/time -f '%M' "$cli" convert -q -y -s 176x144 -o "$work/out" "$src" \
      >/dev/null; } 2>&1 | tail -1)
    python3 -c "print('hd       kinolite peak memory %.1f MB' % ($peak / 1024))"
    uptime
    ;;
  *)
    echo "usage: bench/compare-ffmpeg.sh MODE [BUILD_DIR]" >&2
    exit 2
    ;;
esac
