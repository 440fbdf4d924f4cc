"""The files the benchmark's shapes are timed on: each maker writes one file.

A maker is maker(dst, a, **params): it writes dst, and a is the path of the shape's first
file when dst is its second (None when dst is the first). Makers that make a file anew
ignore a; the others derive the second file from the first. shapes.toml names a maker
and its params for each file of each shape.
"""
import random
import shutil

MIB = 1 << 20
LETTERS = b"abcdefghijklmnopqrstuvwxyz0123456789 ,.;:-"


def write(path, chunks):
    """Writes the chunks, one after another, to path."""
    with open(path, "wb") as f:
        for chunk in chunks:
            f.write(chunk)


def mapped(src, dst, fn):
    """dst is src with fn applied to each chunk of whole lines."""
    with open(src, "rb") as f, open(dst, "wb") as g:
        for chunk in iter(lambda: f.readlines(MIB), []):
            g.write(fn(b"".join(chunk)))


def random_lines(size_mib, seed):
    """Random lines of 0 to 80 characters, about size_mib MiB, in chunks."""
    rng = random.Random(seed)
    pool = [bytes(rng.choices(LETTERS, k=rng.randint(0, 80))) + b"\n" for _ in range(50000)]
    left = size_mib * MIB
    while left > 0:
        chunk = b"".join(rng.choices(pool, k=20000))
        left -= len(chunk)
        yield chunk


def lines(dst, a, mib, seed=7, head="", times=1):
    """Random lines, about mib MiB: the same for one seed, after head, the whole times over."""
    write(dst, [head.encode()] + list(random_lines(mib, seed)) * times)


def numbers(dst, a, mib, fmt, seed, low=0, high=1000):
    """Random numbers, one a line in fmt, about mib MiB; the same draws for one seed."""
    rng = random.Random(seed)
    pool = [rng.randrange(low, high) for _ in range(1 << 16)] if fmt == "%d" else [
        rng.uniform(low, high) for _ in range(1 << 16)]
    text = [(fmt % v).encode() + b"\n" for v in pool]
    left = mib * MIB

    def chunks():
        nonlocal left
        while left > 0:
            chunk = b"".join(text[i] for i in rng.choices(range(len(pool)), k=1 << 16))
            left -= len(chunk)
            yield chunk
    write(dst, chunks())


def floats(dst, a, fmt, count, seed=31, least=-5, per_line=1, off="none"):
    """count random floats in fmt (the same for one seed), below 1000 in size, times ten to
    the least to 5, per_line to a line; with off "last", each off in its last digit."""
    rng = random.Random(seed)
    pool = [(fmt % (rng.choice((-1, 1)) * rng.uniform(1, 1000) * 10 ** rng.randint(least, 5))).encode()
            for _ in range(1 << 16)]
    values = [pool[i] for i in rng.choices(range(len(pool)), k=count)]
    if off == "last":
        values = [last_digit_off(x) for x in values]
    write(dst, [b"\n".join(b" ".join(values[i:i + per_line]) for i in range(0, count, per_line)) + b"\n"])


def repeat(dst, a, text, count, cut=0, tail=""):
    """text count times over, less its last cut bytes, then tail."""
    whole = text.encode() * count
    write(dst, [whole[:len(whole) - cut], tail.encode()])


def zeros(dst, a, size, head="", tail=""):
    """size bytes, written sparsely: head, zero bytes, and tail as the last len(tail)."""
    with open(dst, "wb") as f:
        f.write(head.encode())
        f.truncate(size - len(tail))
        f.seek(0, 2)
        f.write(tail.encode())


def same(dst, a):
    """A copy of the first file."""
    shutil.copyfile(a, dst)


def replace(dst, a, old, new):
    """The first file with each old replaced by new."""
    old, new = old.encode(), new.encode()
    mapped(a, dst, lambda c: c.replace(old, new))


def rotate_letters(dst, a):
    """The first file with each character moved on by one in LETTERS: every line differs."""
    moved = bytes.maketrans(LETTERS, LETTERS[1:] + LETTERS[:1])
    mapped(a, dst, lambda c: c.translate(moved))


def every_nth(dst, a, nth, prefix):
    """The first file with prefix before every nth line."""
    with open(a, "rb") as f, open(dst, "wb") as g:
        for i, line in enumerate(f, 1):
            g.write(prefix.encode() + line if i % nth == 0 else line)


def drop_first_line(dst, a):
    """The first file without its first line."""
    with open(a, "rb") as f, open(dst, "wb") as g:
        f.readline()
        while chunk := f.read(MIB):
            g.write(chunk)


def ninth_digit_off(dst, a):
    """The first file with each number's 9th significant digit moved on by one, no carry."""
    def off(chunk):
        out = []
        for line in chunk.split(b"\n"):
            digits = [i for i, c in enumerate(line) if 48 <= c <= 57]
            sig = [i for i in digits if i >= next((j for j in digits if line[j] != 48), len(line))]
            if len(sig) >= 9:
                k = sig[8]
                line = line[:k] + bytes([48 + (line[k] - 47) % 10]) + line[k + 1:]
            out.append(line)
        return b"\n".join(out)
    mapped(a, dst, off)


def last_digit_off(value):
    """value, a float, with its last digit before any exponent moved by one unit (9 down to 8)."""
    end = value.find(b"e") if b"e" in value else len(value)
    k = end - 1
    return value[:k] + bytes([value[k] - 1 if value[k] == 57 else value[k] + 1]) + value[k + 1:]


MAKERS = {f.__name__: f for f in (lines, numbers, floats, repeat, zeros, same, replace, rotate_letters, every_nth,
                                  drop_first_line, ninth_digit_off)}


def make(recipe, dst, a=None):
    """Writes dst as recipe, a table with the maker's name as "make" and its params, says."""
    params = dict(recipe)
    MAKERS[params.pop("make")](dst, a, **params)
