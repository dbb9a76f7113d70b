#!/usr/bin/env bash
# Writes the fuzz targets' seed corpus (tests/fuzz/corpus/*/seed-*), all of
# it made here: small movies from kibu-swfgen, their bytecode, and text.
#   scripts/fuzz-seeds.sh path/to/kibu-swfgen
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
swfgen=${1:?usage: fuzz-seeds.sh path/to/kibu-swfgen}
corpus=$here/tests/fuzz/corpus
for t in abc answer as3host contentrange swf textfile updateoffer; do
  mkdir -p "$corpus/$t"
  rm -f "$corpus/$t"/seed-*
done

small=(--frames 3 --size 40x30)
"$swfgen" "${small[@]}" "$corpus/swf/seed-plain.swf"
"$swfgen" "${small[@]}" --compress zlib --action 1:trace=hi "$corpus/swf/seed-zlib.swf"
"$swfgen" "${small[@]}" --compress lzma --version 13 "$corpus/swf/seed-lzma.swf"
"$swfgen" "${small[@]}" --version 10 --class Main --action 2:trace-frame "$corpus/as3host/seed-class.swf"
"$swfgen" "${small[@]}" --version 10 --as3 "$corpus/as3host/seed-noclass.swf"
"$swfgen" "${small[@]}" --version 10 --class game.Sub --class-base flash.display.Sprite \
  --compress zlib "$corpus/as3host/seed-sprite.swf"
"$swfgen" "${small[@]}" --version 10 --class Last --final "$corpus/as3host/seed-final.swf"
cp "$corpus/as3host/seed-class.swf" "$corpus/swf/seed-as3.swf"

# The bytecode of each DoABC tag (code 82: flags, a name, then the ABC).
python3 - "$corpus/as3host" "$corpus/abc" <<'PY'
import pathlib, struct, sys
src, out = map(pathlib.Path, sys.argv[1:])
for swf in sorted(src.glob("seed-*.swf")):
    data = swf.read_bytes()
    if data[:1] != b"F":
        continue
    rect_bits = 5 + 4 * (data[8] >> 3)
    pos = 8 + (rect_bits + 7) // 8 + 4
    while pos + 2 <= len(data):
        code_len = struct.unpack_from("<H", data, pos)[0]
        code, length = code_len >> 6, code_len & 0x3F
        pos += 2
        if length == 0x3F:
            length = struct.unpack_from("<I", data, pos)[0]
            pos += 4
        if code == 82:
            body = data[pos:pos + length]
            name_end = body.index(b"\0", 4)
            (out / (swf.stem + ".abc")).write_bytes(body[name_end + 1:])
        pos += length
PY

cd "$corpus/answer"
printf 'HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-9/100\r\nContent-Length: 10\r\nETag: "v1"' >seed-206
printf 'HTTP/1.0 200 OK\r\nContent-Length: 5, 5\r\nConnection: keep-alive' >seed-repeated
printf 'HTTP/1.1 204 No Content\r\nConnection: close' >seed-204
printf 'HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked' >seed-chunked
printf 'HTTP/1.1 200 OK\r\nTransfer-Encoding:\r\nTransfer-Encoding: chunked\r\nContent-Length: 4' >seed-two-codings
printf 'HTTP/1.1 100 Continue' >seed-100
cd "$corpus/contentrange"
printf 'bytes 0-9/100' >seed-part
printf 'bytes */100' >seed-unsatisfied
printf 'bytes 9-0/5' >seed-backwards
printf 'bytes 0-9223372036854775807/9223372036854775807' >seed-huge
cd "$corpus/textfile"
printf '儿歌,1\r\n故事,2\r\n\r\n' | iconv -f UTF-8 -t GBK >seed-list
printf '"小星星.swf",3\n\r拼音' | iconv -f UTF-8 -t GBK >seed-quoted
printf '\x81\x20\xff\x80a\xa1' >seed-broken
cd "$corpus/updateoffer"
digest=$(printf x | sha256sum | cut -c1-64)
printf '1.3.1,%s\r\n' "$digest" >seed-plain
printf '\r\n  "1,3" , "%s"' "${digest^^}" >seed-quoted
printf '1.3.1\r\n' >seed-mark-only
printf '"1.3,%s' "$digest" >seed-open-quote
