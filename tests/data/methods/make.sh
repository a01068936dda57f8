#!/usr/bin/env bash
# Writes the archives of the compression method tests with the writers
# people use. They are kept in the repository (a few KiB each), so the tests
# need none of these tools; run this again only to renew them.
#   7zz-<method>.zip   7-Zip, -mm=BZip2, LZMA, PPMd, Deflate64
#   python-<method>.zip  Python zipfile, ZIP_BZIP2 and ZIP_LZMA (the latter
#                      with the end marker, flag bit 1)
#   helper-xz.zip, helper-zstd.zip  the streams of the xz and zstd programs
#                      as entries of method 95 and 93 (bench/raw_method_zip.py)
#   helper-<method>-streams.zip  each entry two streams one after the other,
#                      its first 500 bytes and the rest, as parallel writers
#                      make them: xz with stream padding between, Zstandard
#                      with a skippable frame between, bzip2
#   helper-ppmd-o2.zip, helper-ppmd-o8.zip  PPMd streams of python3-ppmd as
#                      entries of method 98: order 2 in 64 MiB, and order 8
#                      in 1 MiB that fills up and is cut back (restoration
#                      method 1), which 7-Zip does not write
# Every archive holds a-small.txt, b-big.txt and c-last.txt, in that order;
# b-big.txt is large enough for several bzip2 blocks, so a cut inside it
# leaves blocks that decode.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'PY'
import sys
folder = sys.argv[1]
words = ['salvage', 'archive', 'block', 'header', 'stream', 'entry', 'bytes', 'window']
def text(lines):
    # Lines that repeat every 2500 (some 50 kB: beyond the 32 KiB deflate
    # reaches back, within the 64 KiB of Deflate64). They compress well,
    # while a bzip2 block still holds no more than 100 kB of them.
    return ''.join('%d %s %s\n' % (i * 7919 % 2500, words[i * 3 % 5], words[4 + i % 4])
                   for i in range(lines))
open(folder + '/a-small.txt', 'w').write(text(40))
# A first stretch that packs to almost nothing: the blocks of every method
# after it then hold most of the packed bytes, and a cut at 60% leaves some
# whole blocks before it.
open(folder + '/b-big.txt', 'w').write('the same line again\n' * 7000 + text(14000))
open(folder + '/c-last.txt', 'w').write(text(30))
PY
rm -f ./*.zip
names=(a-small.txt b-big.txt c-last.txt)
for method in BZip2 LZMA PPMd Deflate64; do
    lower=$(echo "$method" | tr 'A-Z' 'a-z')
    # -mx=1: bzip2 blocks of 100 kB, so that the big file has several.
    level=9
    [ "$method" = BZip2 ] && level=1
    (cd "$work" && 7zz a -tzip -mm=$method -mx=$level "$work/7zz-$lower.zip" "${names[@]}" >/dev/null)
    cp "$work/7zz-$lower.zip" .
done
python3 - "$work" <<'PY'
import os, sys, zipfile
folder = sys.argv[1]
names = ['a-small.txt', 'b-big.txt', 'c-last.txt']
for kind, method in (('bzip2', zipfile.ZIP_BZIP2), ('lzma', zipfile.ZIP_LZMA)):
    with zipfile.ZipFile('python-%s.zip' % kind, 'w') as archive:
        for name in names:
            info = zipfile.ZipInfo(name, (2024, 1, 2, 3, 4, 6))
            # Level 1: bzip2 blocks of 100 kB.
            archive.writestr(info, open(os.path.join(folder, name), 'rb').read(),
                             compress_type=method, compresslevel=1 if kind == 'bzip2' else None)
PY
helper=../../../bench/raw_method_zip.py
python3 "$helper" helper-xz.zip 95 "xz -1 -c --check=crc32" "${names[@]/#/$work/}"
python3 "$helper" helper-zstd.zip 93 "zstd -1 -c -q --no-check" "${names[@]/#/$work/}"
# Packs the first 500 bytes and the rest apart; `between` goes between.
two_streams() {
    local command=$1 between=$2
    echo "sh -c \"dd bs=500 count=1 iflag=fullblock status=none | $command; printf '$between'; $command\""
}
python3 "$helper" helper-xz-streams.zip 95 "$(two_streams "xz -1 -c --check=crc32" '\\0\\0\\0\\0')" "${names[@]/#/$work/}"
python3 "$helper" helper-zstd-streams.zip 93 "$(two_streams "zstd -1 -c -q --no-check" '\\120\\52\\115\\30\\4\\0\\0\\0skip')" "${names[@]/#/$work/}"
python3 "$helper" helper-bzip2-streams.zip 12 "$(two_streams "bzip2 -1 -c" '')" "${names[@]/#/$work/}"
# Debian's python3-ppmd lives in the system interpreter.
ppmd="/usr/bin/python3 ../../../bench/ppmd_stream.py"
python3 "$helper" helper-ppmd-o2.zip 98 "$ppmd 2 64 0" "${names[@]/#/$work/}"
python3 "$helper" helper-ppmd-o8.zip 98 "$ppmd 8 1 1" "${names[@]/#/$work/}"
ls -l ./*.zip
