#!/usr/bin/env python3
"""Writes the 64-bit float default values of method parameters into a type
library made by widl.

widl cannot lex a floating-point literal inside an attribute list and has no
encoder for VT_R8 default values: for `[defaultvalue(2)] double Radius` it
warns "can't write value of type 5 yet", sets PARAMFLAG_FHASDEFAULT and leaves
the default-value slot at -1, which oleaut32 then decodes as garbage (and
GetFuncDesc fails for the whole method). This tool reads every
`defaultvalue(N)] double Name` of the IDL, finds the matching parameters whose
slot is still -1, appends one VT_R8 record per value to the custom-data segment
and points the slots at them.

usage: fix_tlb_double_defaults.py file.idl file.tlb
"""
import re
import struct
import sys

VT_R8 = 5


def idl_double_defaults(idl_text):
    """{(method, param): value} for every double parameter with a default."""
    out = {}
    text = re.sub(r'//[^\n]*', '', idl_text)
    for m in re.finditer(r'HRESULT\s+(\w+)\s*\(([^;]*?)\)\s*;', text, re.S):
        method, args = m.group(1), m.group(2)
        for a in re.finditer(r'defaultvalue\(([^)]*)\)\s*\]\s*double\s+(\w+)', args):
            out[(method, a.group(2))] = float(a.group(1))
    return out


def main():
    idl_path, tlb_path = sys.argv[1], sys.argv[2]
    wanted = idl_double_defaults(open(idl_path, encoding='utf-8').read())
    data = bytearray(open(tlb_path, 'rb').read())
    i32 = lambda off: struct.unpack_from('<i', data, off)[0]
    u16 = lambda off: struct.unpack_from('<H', data, off)[0]

    if data[:4] != b'MSFT':
        sys.exit('not an MSFT type library')
    varflags, ntypeinfos = i32(0x14), i32(0x20)
    pos = 0x54 + (4 if varflags & 0x100 else 0) + 4 * ntypeinfos
    segdir = pos                      # 15 entries of (offset, length, res, res)
    seg = lambda n: (i32(segdir + 16 * n), i32(segdir + 16 * n + 4))
    ti_off, ti_len = seg(0)
    name_off, _ = seg(7)
    cust_off, cust_len = seg(11)
    if cust_off < 0:
        sys.exit('type library has no custom-data segment')

    def name_at(n):
        intro = name_off + n
        length = data[intro + 8]
        return data[intro + 12:intro + 12 + length].decode('latin-1')

    # (slot file offset, value) for every parameter to fix
    fixes = []
    for t in range(ti_len // 0x64):
        base = ti_off + t * 0x64
        memoffset, celement = i32(base + 4), i32(base + 0x18)
        nfuncs, nvars = celement & 0xffff, (celement >> 16) & 0xffff
        if nfuncs == 0 or memoffset >= len(data):
            continue
        block = i32(memoffset)
        names = memoffset + 4 + block + 4 * (nfuncs + nvars)
        rec = memoffset + 4
        for f in range(nfuncs):
            size = u16(rec)
            fkccic, nargs = i32(rec + 16), u16(rec + 20)
            if fkccic & 0x1000:
                extra = (size - 24 - nargs * 16) // 4
                fname = name_at(i32(names + 4 * f))
                for a in range(nargs):
                    slot = rec + 24 + 4 * extra + 4 * a
                    param = rec + 24 + 4 * extra + 4 * nargs + 12 * a
                    dtype, pname_off, pflags = struct.unpack_from('<iii', data, param)
                    if (pflags & 0x20 and i32(slot) == -1
                            and (dtype & 0xffffffff) == (0x80000000 | VT_R8 << 16 | VT_R8)):
                        key = (fname, name_at(pname_off))
                        if key not in wanted:
                            sys.exit('no default value in the IDL for %s(%s)' % key)
                        fixes.append((slot, wanted[key], key))
            rec += size

    if not fixes:
        return
    # Append the records at the end of the custom-data segment and move
    # everything behind it.
    insert_at = cust_off + cust_len
    blob = bytearray()
    slots = []
    for slot, value, key in fixes:
        slots.append((slot, cust_len + len(blob)))
        blob += struct.pack('<Hd', VT_R8, value) + b'\x57\x57'
    delta = len(blob)
    for n in range(15):
        off = i32(segdir + 16 * n)
        if off >= insert_at:
            struct.pack_into('<i', data, segdir + 16 * n, off + delta)
    struct.pack_into('<i', data, segdir + 16 * 11 + 4, cust_len + delta)
    for t in range(ti_len // 0x64):
        base = ti_off + t * 0x64
        if i32(base + 4) >= insert_at:
            struct.pack_into('<i', data, base + 4, i32(base + 4) + delta)
    # The slots lie in the function records, which sit behind the segments.
    fixed = data[:insert_at] + blob + data[insert_at:]
    for slot, rel in slots:
        struct.pack_into('<i', fixed, slot + delta if slot >= insert_at else slot, rel)
    open(tlb_path, 'wb').write(fixed)
    for _, value, key in fixes:
        print('%s(%s) = %r' % (key[0], key[1], value))


if __name__ == '__main__':
    main()
