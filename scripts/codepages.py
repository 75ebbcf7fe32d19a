#!/usr/bin/env python3
"""Writes platform/sim/codepages/NNN.bin from Windows' NLS tables
(c_NNN.nls, as Debian's wine ships them), for the simulated machine.

A .bin file is little-endian 16-bit words:
  the 13 header words of the NLS file (size, code page, maximum character
  size, default char, Unicode default char, the two translated defaults,
  lead-byte ranges), the 256 single-byte entries, the number of lead bytes
  followed, per lead byte, by the byte and its 256 trail entries, then the
  count of pairs (two words, low first) and the (unit, bytes) pairs by which
  the table from UTF-16 differs from the one derived from the bytes: the
  first byte sequence (ascending) that gives a unit, the default char for
  units no sequence gives. Best fit lives in those pairs.
"""
import argparse
import os
import struct
import sys

PAGES = [437, 850, 852, 866, 874, 932, 936, 949, 950] + list(range(1250, 1259))


def parse(path):
    """The NLS layout, in words: the header (its size first), the offset
    of the table from UTF-16, the 256 single-byte entries, a glyph-table
    flag (and 256 glyphs), the DBCS flag with 256 per-lead offsets and the
    trail tables, then the table from UTF-16: bytes for a single-byte code
    page, words (lead << 8 | trail) for a double-byte one."""
    data = open(path, 'rb').read()
    w = struct.unpack('<%dH' % (len(data) // 2), data)
    hsize = w[0]
    header = list(w[:hsize])
    p = hsize
    wc_at = p + 1 + w[p]
    p += 1
    mb = list(w[p:p + 256])
    p += 256
    glyphs = w[p]
    p += 1 + (256 if glyphs else 0)
    dbcs = {}
    if w[p]:
        offsets = w[p + 1:p + 257]
        for lead in range(256):
            if offsets[lead]:
                at = p + 1 + offsets[lead]
                dbcs[lead] = list(w[at:at + 256])
    if header[2] == 1:
        wc = list(data[wc_at * 2:wc_at * 2 + 65536])
    else:
        wc = list(w[wc_at:wc_at + 65536])
    if len(wc) != 65536:
        sys.exit('%s: short table from UTF-16' % path)
    return header, mb, dbcs, wc


def derive(header, mb, dbcs):
    table = [None] * 65536
    for b in range(256):
        if b not in dbcs and table[mb[b]] is None:
            table[mb[b]] = b
        if b in dbcs:
            for t in range(256):
                u = dbcs[b][t]
                if table[u] is None:
                    table[u] = (b << 8) | t
    return [header[3] if v is None else v for v in table]


def encode(header, mb, dbcs, wc):
    derived = derive(header, mb, dbcs)
    pairs = [(u, wc[u]) for u in range(65536) if wc[u] != derived[u]]
    words = header + mb + [len(dbcs)]
    for lead in sorted(dbcs):
        words += [lead] + dbcs[lead]
    words += [len(pairs) & 0xFFFF, len(pairs) >> 16]
    for u, v in pairs:
        words += [u, v]
    return struct.pack('<%dH' % len(words), *words), len(pairs)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--nls', default='/usr/share/wine/nls')
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument('--out', default=os.path.join(root, 'platform/sim/codepages'))
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    for cp in PAGES:
        header, mb, dbcs, wc = parse(os.path.join(args.nls, 'c_%d.nls' % cp))
        if header[1] != cp:
            sys.exit('c_%d.nls names code page %d' % (cp, header[1]))
        blob, count = encode(header, mb, dbcs, wc)
        with open(os.path.join(args.out, '%d.bin' % cp), 'wb') as f:
            f.write(blob)
        print('%d: %d lead bytes, %d pairs, %d bytes' % (cp, len(dbcs), count, len(blob)))


if __name__ == '__main__':
    main()
