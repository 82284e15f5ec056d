#!/usr/bin/env python3
"""Makes the small sound fixtures of the audio tests. Run once by hand; the results are
committed, so building and testing need none of the tools used here (oggenc, lame, sox).

Every fixture holds 0.25 s of a 1000 Hz sine at half scale in the left (or only) channel
and, in stereo files, a 500 Hz sine at quarter scale in the right channel."""
import math
import os
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SECONDS = 0.25


def frames(rate, channels):
    out = []
    for n in range(int(rate * SECONDS)):
        t = n / rate
        left = 0.5 * math.sin(2 * math.pi * 1000 * t)
        right = 0.25 * math.sin(2 * math.pi * 500 * t)
        out.append([left, right, 0.1, 0.1][:channels])
    return out


def write_wav(path, rate, channels, bits=16, fmt=1, extra_chunk=True):
    data = bytearray()
    for frame in frames(rate, channels):
        for v in frame:
            if fmt == 3:
                data += struct.pack('<f', v)
            elif bits == 8:
                data += struct.pack('<B', int(round(v * 127)) + 128)
            elif bits == 16:
                data += struct.pack('<h', int(round(v * 32767)))
            elif bits == 24:
                data += struct.pack('<i', int(round(v * 8388607)))[:3]
    block = channels * bits // 8
    fmt_chunk = struct.pack('<HHIIHH', fmt, channels, rate, rate * block, block, bits)
    # A "LIST" chunk before the data, as many editors write, and an odd-sized one to check padding.
    # (The encoders' own readers do not skip chunks, so their inputs go without it.)
    extra = b'LIST' + struct.pack('<I', 5) + b'INFOx' + b'\0' if extra_chunk else b''
    body = b'WAVE' + b'fmt ' + struct.pack('<I', len(fmt_chunk)) + fmt_chunk + extra
    body += b'data' + struct.pack('<I', len(data)) + bytes(data)
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', len(body)) + body)


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def main():
    out = lambda name: os.path.join(HERE, name)
    write_wav(out('pcm16_stereo_22050.wav'), 22050, 2)
    write_wav(out('pcm8_mono_11025.wav'), 11025, 1, bits=8)
    write_wav(out('pcm24_stereo_48000.wav'), 48000, 2, bits=24)
    write_wav(out('float_mono_44100.wav'), 44100, 1, bits=32, fmt=3)
    write_wav(out('pcm16_quad_22050.wav'), 22050, 4)
    with tempfile.TemporaryDirectory() as tmp:
        stereo44 = os.path.join(tmp, 'stereo44.wav')
        mono22 = os.path.join(tmp, 'mono22.wav')
        write_wav(stereo44, 44100, 2, extra_chunk=False)
        write_wav(mono22, 22050, 1, extra_chunk=False)
        run('sox', mono22, '-e', 'ima-adpcm', out('ima_adpcm_mono_22050.wav'))
        run('sox', stereo44, '-e', 'u-law', out('ulaw_stereo_44100.wav'))
        run('oggenc', '-Q', '-q', '0', '-o', out('vorbis_stereo_44100.ogg'), stereo44)
        run('oggenc', '-Q', '-q', '0', '-o', out('vorbis_mono_22050.ogg'), mono22)
        run('lame', '--quiet', '-b', '128', '--resample', '44.1', stereo44, out('mp3_stereo_44100.mp3'))
        run('lame', '--quiet', '-b', '32', '-m', 'm', mono22, out('mp3_mono_22050.mp3'))


if __name__ == '__main__':
    main()
