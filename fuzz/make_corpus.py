#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into corpus/<target>/ (run once; the files are
kept in the repository). Seeds are small, valid-looking streams that lead the fuzzer to the
interesting paths quickly: frames of every item kind, answers of every class, damage."""
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def fletcher(data):
    a = b = 0
    for x in data:
        a = (a + x) & 0xFF
        b = (b + a) & 0xFF
    return bytes([a, b])


def frame(tid, payload):
    body = struct.pack('<HB', tid, len(payload)) + payload
    return b'\x51\x56' + body + fletcher(body)


def answer(cls, op, data):
    body = bytes([cls]) + struct.pack('<H', (len(data) << 3) | op) + data
    return b'\x51\x56' + body + fletcher(body)


def item(kind, data):
    return bytes([kind, len(data)]) + data


ALL_ITEMS = b''.join([
    item(0x01, struct.pack('<h', 2512)),
    item(0x10, struct.pack('<3i', 12, -340, 9793600)),
    item(0x20, struct.pack('<3i', 50000, -30000, 20000)),
    item(0x30, struct.pack('<3i', 0, 707106, -707106)),
    item(0x31, struct.pack('<3i', 0, 35355, -35355)),
    item(0x40, struct.pack('<3i', 1500000, -2500000, 179000000)),
    item(0x41, struct.pack('<4i', 1000000, 0, 0, 0)),
    item(0x50, struct.pack('<IHBBBBB', 123, 2024, 3, 1, 12, 34, 56)),
    item(0x51, struct.pack('<I', 1000)),
    item(0x52, struct.pack('<I', 2000)),
    item(0x60, struct.pack('<3i', 399000000, 1164000000, 5000)),
    item(0x68, struct.pack('<qqi', 39900000000, 116400000000, 5000)),
    item(0x70, struct.pack('<3i', 100, -200, 5)),
    item(0x80, bytes([0x14])),
])
ACC = item(0x10, struct.pack('<3i', 0, 0, 9793600))

PRODUCT_ID = answer(0x00, 0, bytes([1, 0]) + bytes.fromhex('4152563830365a0012345678'))
VERSION = answer(0x00, 0, bytes([2, 0]) + b'V2.8.7-20240105-ARV806 -A\x00\x00')
FREQUENCY = answer(0x03, 0, bytes([5]))
FREQUENCY_SET = answer(0x03, 1, bytes([0]))
CONTENTS = answer(0x04, 1, bytes([0]))
ALGORITHM = answer(0x4D, 0, bytes([1]))
ALGORITHM_FAIL = answer(0x4D, 1, bytes([255]))
UPDATE_ACK = answer(0xFF, 2, bytes([0]))
UPDATE_FINISH = answer(0xFF, 6, bytes([0xE2]))
UPDATE_ERROR = answer(0xFF, 3, bytes([0x21]))


def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


def main():
    rng = random.Random(7)
    garbage = bytes(rng.randrange(256) for _ in range(40))

    # Frame parser: 2 bytes of chunk seed (bit 0: update mode), then the stream.
    write('fuzz_frameparser', 'all_kinds', b'\x10\x00' + frame(1, ALL_ITEMS) + frame(2, ALL_ITEMS))
    write('fuzz_frameparser', 'small_frames_garbage',
          b'\x22\x01' + b''.join(frame(t, ACC) + garbage[: t * 7 % 40] for t in range(10, 16)))
    write('fuzz_frameparser', 'answers_between_frames',
          b'\x03\x00' + frame(65535, ACC) + PRODUCT_ID + VERSION + frame(0, ACC) + FREQUENCY
          + ALGORITHM + CONTENTS + UPDATE_ACK + frame(1, ACC))
    bad = bytearray(frame(7, ALL_ITEMS))
    bad[-1] ^= 0xFF
    unknown = frame(8, item(0x99, b'\x01\x02\x03') + ACC)
    malformed = frame(9, item(0x10, b'\x00' * 11))
    write('fuzz_frameparser', 'damaged',
          b'\x44\x00' + bytes(bad) + unknown + malformed + frame(10, ACC) + frame(11, ALL_ITEMS)[:30])
    write('fuzz_frameparser', 'tid_gaps', b'\x08\x00' + frame(100, ACC) + frame(105, ACC)
          + frame(104, ACC) + b'\x51\x51\x56' + frame(106, ACC))

    # Answers: any bytes; the same bytes are also fed to the parser in update mode.
    for name, data in [('product_id', PRODUCT_ID), ('version', VERSION),
                       ('frequency', FREQUENCY + FREQUENCY_SET), ('contents', CONTENTS),
                       ('algorithm', ALGORITHM + ALGORITHM_FAIL),
                       ('update', UPDATE_ACK + UPDATE_FINISH + UPDATE_ERROR),
                       ('mixed', frame(3, ACC) + UPDATE_ACK + garbage[:9] + UPDATE_FINISH
                        + VERSION[:12] + UPDATE_ERROR)]:
        write('fuzz_answers', name, data)

    # Item codec: data bytes for every kind, then doubles to encode.
    write('fuzz_itemcodec', 'zeros', bytes(32))
    write('fuzz_itemcodec', 'sensor_values', ALL_ITEMS[2:26])
    write('fuzz_itemcodec', 'utc_wide_fields', struct.pack('<IHBBBBB', 4294967295, 65535, 255,
                                                           255, 255, 255, 255) + bytes(21))
    write('fuzz_itemcodec', 'edge_doubles',
          struct.pack('<4d', float('nan'), float('inf'), -1e300, 0.0049999999))

    # Raw command text: the first byte picks UTF-8 (0), Latin-1 (1) or UTF-16 (2).
    write('fuzz_rawhex', 'frame', b'\x00' + b'51 56 03 0A 00 08 15 32')
    write('fuzz_rawhex', 'blanks_and_case', b'\x00' + b'  ff a  0 1B ')
    write('fuzz_rawhex', 'bad_tokens', b'\x00' + b'51 zz 1FF 51,56 0x51')
    write('fuzz_rawhex', 'line_break_tab', b'\x01' + b'51\n56\t03')
    write('fuzz_rawhex', 'trailing_line_break', b'\x00' + b'56\n')
    write('fuzz_rawhex', 'lone_surrogates',
          b'\x02' + struct.pack('<3H', 0x35, 0x31, 0x20) + struct.pack('<50H', *[0xDE0A] * 50))
    write('fuzz_rawhex', 'full_width', b'\x00' + '51\u300056 \uff15\uff11'.encode('utf-8'))
    write('fuzz_rawhex', 'utf16', b'\x02' + '51 56 \U0001F600'.encode('utf-16-le'))

    # Attitude fields: the pitch text, a line feed, the roll text (UTF-8).
    for name, text in [('typical', '12.5\n-0.019'), ('limits', '179.99\n-179.99'),
                       ('out_of_range', '180\n-180.0'), ('hundredths', '-163.79\n12.345'),
                       ('exponent_blanks', '1e1\n \t7 '), ('not_numbers', 'abc\n12,5'),
                       ('empty', '\n'), ('non_finite', 'nan\n-inf'),
                       ('near_hundredths', '0.005\n-0.0049999'), ('signs', '+12.5\n-0'),
                       ('wide_text', '１２\n12°')]:
        write('fuzz_attitude', name, text.encode('utf-8'))

    # Firmware images: the file's bytes. Sizes around the limits and the 256-byte frames, and
    # multiples of 8 (those are also loaded from a file).
    image = bytes(rng.randrange(256) for _ in range(1100))
    for size in [0, 14, 15, 16, 260, 261, 1024, 1028]:
        write('fuzz_updateimage', 'size_%d' % size, image[:size])


if __name__ == '__main__':
    main()
