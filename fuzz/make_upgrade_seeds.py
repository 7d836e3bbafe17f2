#!/usr/bin/env python3
"""Writes the seeds of the upgrade-file fuzzer into fuzz/corpus/upgrade-file/.

Random bytes almost never carry a matching checksum, so without seeds the
fuzzer stays in the size and head checks. Each seed here is a file one of the
parsers accepts (or refuses at its last check), small enough that a run costs
little. Run from the repository root.
"""
import os
import struct

OUT = os.path.join('fuzz', 'corpus', 'upgrade-file')
MODEL = 87          # the model id the parsers expect by default
KIND_MCU = 1
KIND_DSP = 2
COMBINED_MARK = 0x73


def container(kind, data, model=MODEL, start=b'\x08\x00\x40\x00', trailer=b'\xaa\x55\xaa\x55',
              bad_sum=False):
    """kind, model, 4-byte start parameter, data, 4-byte trailer, big-endian byte sum."""
    body = bytes([kind, model]) + start + data + trailer
    total = sum(body) & 0xffffffff
    if bad_sum:
        total ^= 1
    return body + struct.pack('>I', total)


def combined(parts, mark=(COMBINED_MARK, COMBINED_MARK)):
    head = bytes(mark) + bytes([len(parts)])
    table = b''.join(struct.pack('>I', len(p)) for p in parts)
    return head + table + b''.join(parts)


def seeds():
    mcu = container(KIND_MCU, bytes(range(32)))
    dsp = container(KIND_DSP, bytes(range(255, 207, -1)))
    return {
        'mcu': mcu,
        'mcu-one-byte': container(KIND_MCU, b'\x00'),
        'dsp': dsp,
        'mcu-other-model': container(KIND_MCU, b'\x01\x02\x03', model=MODEL + 1),
        'dsp-bad-checksum': container(KIND_DSP, b'\x10' * 20, bad_sum=True),
        'combined': combined([mcu, dsp]),
        'combined-three-images': combined([mcu, dsp, container(KIND_DSP, b'\x7f' * 8)]),
        'combined-one-mark': combined([mcu, dsp], mark=(COMBINED_MARK, 0)),
        'combined-swapped': combined([dsp, mcu]),
    }


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, data in seeds().items():
        with open(os.path.join(OUT, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
