"""Applies BPS and IPS patches as a patching tool would, written apart from
the core's patch makers so that a test can check what those make. Strict:
anything a maker should never write is an error."""
import zlib


def apply_bps(source, patch):
    assert patch[:4] == b'BPS1', 'not a BPS patch'
    footer = len(patch) - 12
    at = 4

    def number():
        nonlocal at
        value, shift = 0, 1
        while True:
            assert at < footer, 'a number runs into the footer'
            byte = patch[at]
            at += 1
            value += (byte & 0x7F) * shift
            if byte & 0x80:
                return value
            shift <<= 7
            value += shift

    source_size, target_size, metadata = number(), number(), number()
    assert source_size == len(source), f'made for {source_size} bytes, given {len(source)}'
    at += metadata
    target = bytearray()
    source_at = target_at = 0
    while at < footer:
        data = number()
        command, length = data & 3, (data >> 2) + 1
        if command == 0:    # source read: the bytes at the same place
            target += source[len(target):len(target) + length]
        elif command == 1:  # target read: bytes from the patch
            target += patch[at:at + length]
            at += length
        elif command == 2:  # source copy, from a relative offset
            offset = number()
            source_at += -(offset >> 1) if offset & 1 else offset >> 1
            target += source[source_at:source_at + length]
            source_at += length
        else:               # target copy, which may overlap what it makes
            offset = number()
            target_at += -(offset >> 1) if offset & 1 else offset >> 1
            for _ in range(length):
                target.append(target[target_at])
                target_at += 1
    assert len(target) == target_size, f'made {len(target)} bytes, the header says {target_size}'
    crcs = [int.from_bytes(patch[footer + 4 * k:footer + 4 * k + 4], 'little') for k in range(3)]
    assert crcs[0] == zlib.crc32(source), 'the source CRC-32 is wrong'
    assert crcs[1] == zlib.crc32(target), 'the target CRC-32 is wrong'
    assert crcs[2] == zlib.crc32(patch[:-4]), 'the patch CRC-32 is wrong'
    return bytes(target)


def apply_ips(source, patch):
    assert patch[:5] == b'PATCH', 'not an IPS patch'
    target = bytearray(source)
    at = 5
    while patch[at:at + 3] != b'EOF':
        assert at + 5 <= len(patch), 'a record runs past the end'
        offset = int.from_bytes(patch[at:at + 3], 'big')
        size = int.from_bytes(patch[at + 3:at + 5], 'big')
        at += 5
        if size == 0:       # a run of one byte
            size = int.from_bytes(patch[at:at + 2], 'big')
            chunk = patch[at + 2:at + 3] * size
            at += 3
        else:
            chunk = patch[at:at + size]
            at += size
        assert offset + size <= len(source), 'a record writes past the end of the image'
        target[offset:offset + size] = chunk
    assert at + 3 == len(patch), 'bytes after EOF'
    return bytes(target)
