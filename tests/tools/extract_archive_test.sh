#!/bin/bash
# The extract-archive tool's exit codes and effects, on archives made by Python's zipfile.
# usage: extract_archive_test.sh PATH-TO-extract-archive TEST-DATA-FOLDER
set -u
tool=$1
data=$2
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work"
passed=0 failed=0

expect() {  # expect CODE DESCRIPTION -- COMMAND...
  local want=$1 what=$2
  shift 3
  "$@" >out.log 2>err.log
  local got=$?
  if [ "$got" = "$want" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $what: exit $got, expected $want"
    cat out.log err.log
  fi
}
check() {  # check DESCRIPTION -- COMMAND...
  local what=$1
  shift 2
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; fi
}

python3 - <<'PY'
import io, struct, zipfile
with zipfile.ZipFile("good.zip", "w") as z:
    z.writestr("dir/", "")
    z.writestr("dir/a.txt", "alpha\n", zipfile.ZIP_DEFLATED)
    z.writestr("b.bin", bytes(range(256)) * 300, zipfile.ZIP_STORED)
    z.writestr("empty.txt", "")
data = open("good.zip", "rb").read()
# A CRC mismatch: one byte of the stored entry's data changed.
at = data.index(bytes(range(256)))
open("crc.zip", "wb").write(data[:at] + b"\xff" + data[at + 1:])
# Data ending early: the last central header declares more data than there is.
central = data.rindex(b"PK\x01\x02")
cut = bytearray(data)
struct.pack_into("<I", cut, central + 20, 0x100000)
open("short.zip", "wb").write(bytes(cut))
with zipfile.ZipFile("escape.zip", "w") as z:
    z.writestr("../escaped.txt", "out")
    z.writestr("inside.txt", "in")
open("notzip.zip", "wb").write(b"this is not an archive" * 10)

# Damaged directories; NAME.at holds the offset where reading must stop.
def central_headers(data):
    at, headers = data.index(b"PK\x01\x02"), []
    while data[at:at + 4] == b"PK\x01\x02":
        n, x, m = struct.unpack_from("<HHH", data, at + 28)
        headers.append((at, data[at:at + 46 + n + x + m]))
        at += 46 + n + x + m
    return headers
with zipfile.ZipFile("three.zip", "w") as z:
    for name in ("a.txt", "b.txt", "c.txt"):
        z.writestr(name, name * 3, zipfile.ZIP_DEFLATED)
three = open("three.zip", "rb").read()
end = three.rindex(b"PK\x05\x06")
heads = central_headers(three)
# The end record counts 1 of the 3 entries.
count = bytearray(three)
struct.pack_into("<HH", count, end + 8, 1, 1)
open("count.zip", "wb").write(bytes(count))
open("count.at", "w").write(str(heads[1][0]))
# A second central header for a.txt (a rebuild from the local headers), and the local
# signature of c.txt spoiled: the rebuild stops there.
spoiled = bytearray(three[:heads[0][0]])
local_c = three.index(b"c.txt") - 30
spoiled[local_c + 2] = ord("X")
central = heads[0][1] + b"".join(h for _, h in heads)
tail = bytearray(three[end:])
struct.pack_into("<HHI", tail, 8, 4, 4, len(central))
open("spoiled.zip", "wb").write(bytes(spoiled) + central + bytes(tail))
open("spoiled.at", "w").write(str(local_c))

# Entries with data descriptors (written to a stream that cannot seek), and a second
# central header for the first: the rebuild steps over every descriptor.
class Unseekable(io.RawIOBase):
    def __init__(self): self.data = bytearray()
    def writable(self): return True
    def write(self, b): self.data += b; return len(b)
out = Unseekable()
with zipfile.ZipFile(out, "w") as z:
    z.writestr("x.txt", "x" * 500, zipfile.ZIP_DEFLATED)
    z.writestr("y.bin", bytes(range(256)) * 4, zipfile.ZIP_STORED)
    z.writestr("z.txt", "", zipfile.ZIP_DEFLATED)
described = bytes(out.data)
heads = central_headers(described)
end = described.rindex(b"PK\x05\x06")
tail = bytearray(described[end:])
struct.pack_into("<HHI", tail, 8, 4, 4, end - heads[0][0] + len(heads[0][1]))
open("described.zip", "wb").write(described[:end] + heads[0][1] + bytes(tail))
PY

expect 1 "no arguments" -- "$tool"
expect 1 "unknown option" -- "$tool" -q good.zip
expect 0 "list" -- "$tool" -l good.zip
check "list shows names and CRCs" -- grep -q "dir/a.txt" out.log
expect 0 "test" -- "$tool" -t good.zip
check "test writes nothing" -- test ! -e dir -a ! -e b.bin
expect 0 "extract" -- "$tool" -x good.zip dest
check "extracted contents" -- test "$(cat dest/dir/a.txt)" = alpha -a -d dest/dir -a -f dest/empty.txt
expect 2 "missing archive" -- "$tool" -t missing.zip
expect 2 "not a zip archive" -- "$tool" -l notzip.zip
expect 3 "CRC mismatch" -- "$tool" -t crc.zip
check "CRC mismatch is named" -- grep -q "b.bin: CRC error" err.log
expect 3 "CRC mismatch on extraction" -- "$tool" -x crc.zip dest2
check "the bad file is deleted, the others kept" -- test ! -e dest2/b.bin -a -f dest2/dir/a.txt
expect 4 "data ending early" -- "$tool" -t short.zip
expect 3 "a name leaving the destination" -- "$tool" -x escape.zip inner/dest
check "nothing written outside" -- test ! -e inner/escaped.txt -a ! -e escaped.txt -a -f inner/dest/inside.txt
expect 3 "a name leaving the destination, verified" -- "$tool" -t escape.zip
chmod a-w dest/dir/a.txt
expect 3 "a read-only file is not replaced" -- "$tool" -x good.zip dest
expect 0 "help" -- "$tool" --help
check "help states the exit rule" -- grep -q "damaged directory" out.log

# A damaged directory: the entries found are listed, verified or extracted, then the
# offset where reading stopped is named and the exit status is 2.
for archive in count spoiled; do
  stop="reading stopped at offset $(cat $archive.at) "
  for mode in -l -t -x; do
    args=("$mode" "$archive.zip")
    [ "$mode" = -x ] && args+=("out-$archive")
    expect 2 "$archive.zip $mode" -- "$tool" "${args[@]}"
    check "$archive.zip $mode names the offset" -- grep -q "$stop" err.log
  done
done
check "every entry counted or not" -- test -f out-count/c.txt -a "$(cat out-count/b.txt)" = b.txtb.txtb.txt
check "the entries before the stop extracted" -- test -f out-spoiled/b.txt -a ! -e out-spoiled/c.txt
expect 0 "data descriptors in a rebuild" -- "$tool" -t described.zip
check "every described entry verified" -- grep -q "3 of 3 entries verified, 0 failed" out.log

# The real archives of the tests: the same verdict as Info-ZIP's test wherever it knows
# the method (its exit code 81: an unsupported method, here Reduce, which must verify).
# Without a password the encrypted archive fails for both.
if command -v unzip >/dev/null; then
  for archive in "$data"/*.zip "$data"/*.ZIP; do
    [ -f "$archive" ] || continue
    unzip -tqq "$archive" </dev/null >/dev/null 2>&1
    verdict=$?
    [ "$verdict" = 81 ] && verdict=0
    "$tool" -t "$archive" >/dev/null 2>&1
    ours=$?
    check "the verdict on $(basename "$archive") (ours $ours, Info-ZIP $verdict)" -- \
      test "$((ours == 0))" = "$((verdict == 0))"
  done
else
  echo "unzip is not installed: the verdicts on the real archives are not compared"
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
