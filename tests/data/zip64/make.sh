#!/usr/bin/env bash
# Writes the Zip64 archives of the engine tests with the writers people use.
# They are kept in the repository (a few KiB), so the tests need none of
# these tools; run this again only to renew them.
#   python-zip64.zip         Python zipfile, force_zip64, to a file: Zip64
#                            fields with both sizes, stored
#   python-zip64-stream.zip  Python zipfile, force_zip64, to a pipe: flag
#                            bit 3, Zip64 fields of zeros, Zip64 descriptors
#   zip-pipe.zip             zip reading from a pipe: Zip64 field,
#                            Zip64 end records
#   zip-pipe-stream.zip      zip from a pipe to a pipe: Zip64 field
#                            of zeros, Zip64 descriptor
#   bsdtar-zip64.zip         bsdtar --options zip:zip64: Zip64 fields and
#                            descriptors, Zip64 end records
# a.txt and b.bin are the files they hold ("-" is a.txt from the pipe).
set -euo pipefail
cd "$(dirname "$0")"
python3 -c "
import random
open('a.txt', 'w').write('hello zip64 world\n' * 200)
random.seed(18)
open('b.bin', 'wb').write(bytes(random.randrange(256) for _ in range(3000)))
"
rm -f ./*.zip
python3 - <<'PY'
import io, zipfile

with zipfile.ZipFile('python-zip64.zip', 'w') as archive:
    for name in ('a.txt', 'b.bin'):
        with archive.open(name, 'w', force_zip64=True) as out:
            out.write(open(name, 'rb').read())

class Pipe(io.RawIOBase):
    def __init__(self, file):
        self.file = file
    def writable(self):
        return True
    def write(self, data):
        return self.file.write(data)

with open('python-zip64-stream.zip', 'wb') as raw:
    with zipfile.ZipFile(Pipe(raw), 'w', compression=zipfile.ZIP_DEFLATED) as archive:
        for name in ('a.txt', 'b.bin'):
            with archive.open(name, 'w', force_zip64=True) as out:
                out.write(open(name, 'rb').read())
PY
cat a.txt | zip -q zip-pipe.zip -
cat a.txt | zip -q - - | cat >zip-pipe-stream.zip
bsdtar --format zip --options zip:zip64 -cf bsdtar-zip64.zip a.txt b.bin
