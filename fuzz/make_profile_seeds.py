#!/usr/bin/env python3
"""Writes the small seeds of the profile fuzzer into fuzz/corpus/profile/.

Whole golden profiles are 20 kB and 220 kB: the fuzzer spends its time
re-parsing them. These seeds keep every key the readers want but shrink the
arrays they can (no equalizer bands, short rows), so one run costs little and
still reaches the last checks of both readers. Run from the repository root.
"""
import base64
import json
import os

OUT = os.path.join('fuzz', 'corpus', 'profile')


def dump(value):
    # Compact, as the application's writer prints.
    return json.dumps(value, separators=(',', ':')).encode()


def channel(bands=(), gain=0, delay=0.0, hp=(20, 2, 0, 1), lp=(20000, 2, 0, 1)):
    def filt(f):
        return {'fs': f[0], 'type': f[1], 'slope': f[2], 'bypass': f[3]}
    return {'eqSize': len(bands), 'gain': gain, 'mute': 0, 'delay': delay, 'phase': 0,
            'bypass': 1,
            'crossover': {'bpType': (1 if hp[2] else 0) + (2 if lp[2] else 0),
                          'hp': filt(hp), 'lp': filt(lp)},
            'eqArray': [{'freq': f, 'eqFactor': q, 'eqGain': g, 'enable': e}
                        for f, q, g, e in bands]}


def body(channels=None, links=None, curr=0, lock=0):
    return {'channels': channels or [channel() for _ in range(8)],
            'inputs': [[1, 2, 1, 2, 3, 3, 1, 2] for _ in range(9)],
            'inputMixVolume': [[[0] * 8 for _ in range(8)] for _ in range(9)],
            'outputs': [6, 12, 15, 18, 19, 20, 22, 23],
            'linkOutputs': links or [-1] * 8,
            'showChEqualizer': [0] * 8,
            'currChannel': curr, 'linkMode': 1 if links else 0, 'lockMode': lock}


def header():
    return {'model': 87, 'model_name': 'TRQ5.40AMP', 'mainVolume': 20, 'subVolume': 0,
            'mainVolumeMute': 0}


def scene(b):
    return dict(header(), **b)


def whole(current, scenes):
    names = [base64.b64encode(n.encode('utf-16-le').ljust(16, b'\0')).decode()
             for n in ['A', '', 'Bass 1'] + [''] * 7]
    return dict(header(), sceneName=names, currentProfile=current, sceneArray=scenes)


def main():
    banded = [channel()] * 8
    banded[0] = channel(bands=[(40, 0.5, -3.3, 0), (1000, 1.41, 6.5, 1)], gain=-12, delay=1.25,
                        hp=(125, 3, 5, 0))
    banded[5] = channel(bands=[(20000, 9.0, -15.0, 1)], lp=(500, 1, 4, 0))
    refused = [channel()] * 8
    refused[7] = channel(lp=(20000, 4, 0, 1))  # filter family 4 does not exist
    seeds = {
        'scene-min.spf': scene(body()),
        'scene-bands.spf': scene(body(banded, links=[1, 0, 3, 2, -1, -1, 7, 6], curr=2)),
        'scene-bad-filter.spf': scene(body(refused)),
        'scene-foreign.spf': {'model': 88, 'mainVolume': 20},
        # Refused at the very end: the scene array is one entry short.
        'whole-short.wpf': whole(body(lock=1), [body()]),
    }
    for name, value in seeds.items():
        with open(os.path.join(OUT, name), 'wb') as f:
            f.write(dump(value))


if __name__ == '__main__':
    main()
