# shellcheck shell=bash
# The benchmarks' detailed clip, sourced by formats.sh and one-file.sh: a
# camera panning over a detailed picture (the whole Mandelbrot set, twice the
# 1280x720 frame's size) with a test card moving over it and a little sensor
# noise, 30 fps, and two chords over pink noise in stereo.
#
# pan_clip FOLDER SECONDS SAMPLE_RATE OUTPUT_OPTIONS... OUTPUT: the still
# goes to FOLDER/still.png; the options are the output's (codecs, format).
pan_clip() {
  local folder=$1 seconds=$2 rate=$3
  shift 3
  ffmpeg -nostdin -v error -y \
    -f lavfi -i "mandelbrot=size=2560x1440:rate=1:maxiter=256:start_scale=2.2" -frames:v 1 \
    "$folder/still.png"
  ffmpeg -nostdin -v error -y -loop 1 -framerate 30 -i "$folder/still.png" \
    -f lavfi -i "testsrc2=size=320x180:rate=30" \
    -f lavfi -i "aevalsrc=0.2*sin(2*PI*220*t)+0.15*sin(2*PI*277*t)|0.2*sin(2*PI*330*t)+0.1*sin(2*PI*415*t):s=$rate" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.05:sample_rate=$rate" \
    -filter_complex "[0:v]crop=1280:720:x='(iw-1280)*(0.5+0.5*sin(t/4))':y='(ih-720)*(0.5+0.5*sin(t/6))'[bg];[bg][1:v]overlay=x='(W-w)*(0.5+0.5*sin(t/3))':y='(H-h)*(0.5+0.5*cos(t/5))',noise=alls=1:allf=t,format=yuv420p[v];[2:a][3:a]amerge=inputs=2,pan=stereo|c0=c0+c2|c1=c1+c2[a]" \
    -map '[v]' -map '[a]' -t "$seconds" "$@"
}
