#!/usr/bin/env bash
# Seeds and corpora of the fuzz targets, made from the test fixtures.
#
#   make-corpus.sh seeds CLI         rewrites the committed seeds in tests/fuzz/seeds/ (small
#                                    movies, the first pictures of each elementary stream,
#                                    handset files converted from the movies by CLI)
#   make-corpus.sh corpus OUT CLI    fills OUT/<target>/ with every fixture of the target's
#                                    kind (and the handset files CLI makes of the movies);
#                                    the fuzzers read them beside the seeds and grow them
#
# CLI is a kinolite-cli of any build. Needs ffmpeg (scripts/install-deps).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fixtures=$here/../fixtures
seeds=$here/seeds

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# first_pictures IN OUT N: the stream headers and the first N pictures of an MPEG-4 or H.263
# elementary stream (cut in front of the picture start code of picture N + 1).
first_pictures() {
  python3 - "$1" "$2" "$3" <<'EOF'
import sys
data = open(sys.argv[1], "rb").read()
n = int(sys.argv[3])
h263 = sys.argv[1].endswith(".h263")
starts = []
for i in range(len(data) - 3):
    if data[i] != 0 or data[i + 1] != 0:
        continue
    if h263 and data[i + 2] & 0xFC == 0x80:  # picture start code (byte aligned here)
        starts.append(i)
    elif not h263 and data[i + 2] == 1 and data[i + 3] == 0xB6:  # VOP start code
        starts.append(i)
open(sys.argv[2], "wb").write(data[:starts[n]] if len(starts) > n else data)
EOF
}

# handset_of SOURCE DIR CLI: converts SOURCE into DIR (at the lowest bit rate, which keeps
# the file small); prints the handset file's path.
handset_of() {
  local name
  name=$(basename "${1%.*}")
  "$3" convert -q -y -b 50000 -o "$2/" "$1" </dev/null >/dev/null 2>&1 || true
  [ -f "$2/${name}_new.mp4" ] && echo "$2/${name}_new.mp4"
}

make_seeds() {
  local cli=$1 work
  work=$(mktemp -d)
  trap 'rm -rf "$work"' RETURN
  rm -rf "$seeds"
  mkdir -p "$seeds/movie" "$seeds/es" "$seeds/handset"
  # Movies of a little more than a second (shorter tracks have no frame rate) at 128x96,
  # re-encoded from the fixtures with their audio copied: every container and codec kind
  # the converter takes, each a few kilobytes.
  local d=$fixtures/demux
  ff -i "$d/mp4v_amr.3gp" -t 1.1 -vf scale=128:96 -c:v libxvid -bf 0 -qscale:v 24 -c:a copy \
    -f 3gp "$seeds/movie/mp4v_amr.3gp"
  ff -i "$d/h263_amr102.3gp" -t 1.2 -vf scale=128:96,fps=8 -c:v h263 -qscale:v 24 -c:a copy \
    -f 3gp "$seeds/movie/h263_amr102.3gp"
  ff -i "$d/mp4v_amr74_moov_last.3gp" -t 1.2 -vf scale=128:96,fps=8 -c:v libxvid -bf 0 \
    -qscale:v 24 -c:a copy -f 3gp "$seeds/movie/mp4v_amr74_moov_last.3gp"
  for aac in aac_s44k aac_m8k; do
    ff -i "$d/mp4v_$aac.mp4" -t 1.2 -vf scale=128:96,fps=8 -c:v libxvid -bf 0 -qscale:v 24 \
      -c:a copy -f mp4 "$seeds/movie/mp4v_$aac.mp4"
  done
  # The library decoders' kinds: H.264 with B-frames and AMR-WB, MPEG-4 with B-VOPs and
  # quarter-pel and MP3.
  ff -f lavfi -i "testsrc2=size=128x96:rate=8:duration=1.2" -i "$fixtures/amr/tone_wb_1265.awb" \
    -t 1.2 -c:v libx264 -profile:v main -bf 2 -crf 40 -c:a copy -f 3gp "$seeds/movie/h264_amrwb.3gp"
  ff -f lavfi -i "testsrc2=size=128x96:rate=8:duration=1.2" \
    -f lavfi -i "sine=frequency=660:sample_rate=22050:duration=1.2" -c:v mpeg4 -bf 2 -flags +qpel \
    -qscale:v 24 -c:a libmp3lame -b:a 32k -ac 1 -f mov "$seeds/movie/mpeg4asp_mp3.mov"
  # Elementary streams: the stream headers and three pictures of each decoder fixture.
  for es in "$fixtures"/vdec/*; do
    first_pictures "$es" "$seeds/es/$(basename "$es")" 3
  done
  # Handset files: two movies converted.
  for movie in mp4v_amr.3gp mp4v_aac_m8k.mp4; do
    out=$(handset_of "$seeds/movie/$movie" "$work" "$cli")
    mv "$out" "$seeds/handset/${movie%.*}_new.mp4"
  done
  du -sh "$seeds"
}

make_corpus() {
  local out=$1 cli=$2
  mkdir -p "$out"/{demux,job,audio,decode,handset}
  cp "$fixtures"/demux/* "$out/demux/"
  cp "$fixtures"/demux/* "$out/audio/"
  # Whole jobs on the two-second fixtures take long; the job target starts from the first
  # second and a half of each fixture.
  for movie in "$fixtures"/demux/*; do
    local name ext
    name=$(basename "$movie")
    ext=${name##*.}
    ff -i "$movie" -map 0:v? -map 0:a? -t 1.5 -c copy -f "$([ "$ext" = mp4 ] && echo mp4 || echo 3gp)" \
      "$out/job/short_$name" 2>/dev/null || rm -f "$out/job/short_$name"
  done
  cp "$fixtures"/vdec/* "$out/decode/"
  for movie in "$fixtures"/demux/*; do
    handset_of "$movie" "$out/handset" "$cli" >/dev/null || true
  done
}

case "${1:-}" in
  seeds) make_seeds "${2:?CLI}" ;;
  corpus) make_corpus "${2:?OUT}" "${3:?CLI}" ;;
  *) sed -n '2,12p' "$0" >&2; exit 2 ;;
esac
