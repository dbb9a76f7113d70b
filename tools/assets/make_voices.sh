#!/usr/bin/env bash
# Speaks each category's name into resources/sounds/SOUNDnn.wav, the little
# voice a child hears when pointing at a category tile.
#
# The clips are plain 16 kHz mono 16-bit PCM RIFF/WAVE: QSoundEffect plays
# that everywhere, and it keeps each clip a few tens of kilobytes. Running the
# script again simply rewrites the same files.
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
out="$repo/resources/sounds"

# Same order as the category tiles 101..114: the label, then its reading.
#
# Debian's espeak-ng turns characters into pinyin first, but its plain "cmn"
# voice then reads many of those syllables as English ("wen2" comes out as
# "wen two"). Feeding tone-numbered pinyin to the pinyin flavour of the
# Mandarin voice avoids that and pins down the readings we want.
labels=(
  "中文儿歌|zhong1 wen2 er2 ge1"
  "中文童谣|zhong1 wen2 tong2 yao2"
  "英文儿歌|ying1 wen2 er2 ge1"
  "小故事|xiao3 gu4 shi4"
  "童话故事|tong2 hua4 gu4 shi4"
  "学英语|xue2 ying1 yu3"
  "学古诗|xue2 gu3 shi1"
  "学拼音|xue2 pin1 yin1"
  "识字|shi2 zi4"
  "益智游戏|yi4 zhi4 you2 xi4"
  "涂色拼图|tu2 se4 pin1 tu2"
  "数学游戏|shu4 xue2 you2 xi4"
  "语文游戏|yu3 wen2 you2 xi4"
  "英语游戏|ying1 yu3 you2 xi4"
)
voice=cmn-latn-pinyin

"$repo/scripts/ensure-packages.sh" espeak-ng sox

mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

for i in "${!labels[@]}"; do
  n=$(printf '%02d' $((i + 1)))
  reading=${labels[$i]#*|}
  # A touch slower and higher than the default voice: easier for small
  # children to follow, and friendlier.
  espeak-ng -v "$voice" -s 160 -p 60 -w "$tmp/raw.wav" "$reading"
  # -G avoids clipping while resampling; -D skips dithering so that a rerun
  # rewrites byte-identical files instead of churning them in git.
  # Trim silence at both ends (the reverse trick trims the tail). Levelling and
  # fading need the trimmed length, hence the second pass: every clip comes out
  # equally loud, and the faded edges keep the cut from clicking.
  sox -G -D "$tmp/raw.wav" -r 16000 -c 1 -b 16 -e signed-integer "$tmp/trimmed.wav" \
    silence 1 0.02 0.5% reverse silence 1 0.02 0.5% reverse
  sox -D "$tmp/trimmed.wav" "$tmp/clip.wav" norm -1 fade t 0.01 -0 0.02
  mv "$tmp/clip.wav" "$out/SOUND$n.wav"
done

echo "wrote ${#labels[@]} clips to $out"
