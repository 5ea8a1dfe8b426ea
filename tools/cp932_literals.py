#!/usr/bin/env python3
"""Copies C++ sources, writing the non-ASCII text of ordinary string literals as CP932 byte escapes.

The normal build has GCC turn string literals into CP932 (-fexec-charset=CP932). Clang has no such
option, so the clang-built fuzz tree compiles a copy in which every ordinary literal that holds
non-ASCII text spells its CP932 bytes as octal escapes (always three digits, so a digit that follows
cannot join the escape). Prefixed literals (u8, u, U, L) keep their own encodings and are left alone;
comments are copied as they stand.

  cp932_literals.py convert SRC DST     convert one file
  cp932_literals.py tree SRC DST        mirror a source tree (build trees and .git left out), sources
                                        converted; files are rewritten only when their content changes
  cp932_literals.py literals FILE...    print every converted literal, original form, one a line
"""
import os
import sys

PREFIXES = {"u8", "u", "U", "L", "R", "u8R", "uR", "UR", "LR"}


class Unsupported(Exception):
    pass


def _escape(text):
    out = []
    for ch in text:
        if ord(ch) < 0x80:
            out.append(ch)
        else:
            out.extend("\\%03o" % b for b in ch.encode("cp932"))
    return "".join(out)


def _literal_end(src, i, quote):
    """Index just past the literal whose opening quote is at i."""
    j = i + 1
    while j < len(src):
        c = src[j]
        if c == "\\":
            j += 2
            continue
        if c == quote:
            return j + 1
        if c == "\n":
            raise Unsupported("unterminated literal at offset %d" % i)
        j += 1
    raise Unsupported("unterminated literal at offset %d" % i)


def _raw_end(src, i):
    """Index just past a raw string whose opening quote is at i."""
    paren = src.index("(", i)
    delim = src[i + 1:paren]
    close = src.index(")" + delim + '"', paren)
    return close + len(delim) + 2


def convert(src, found=None):
    out = []
    i = 0
    n = len(src)
    while i < n:
        c = src[i]
        if src.startswith("//", i):
            j = src.find("\n", i)
            j = n if j < 0 else j
            out.append(src[i:j])
            i = j
        elif src.startswith("/*", i):
            j = src.index("*/", i + 2) + 2
            out.append(src[i:j])
            i = j
        elif c.isalpha() or c == "_" or c.isdigit():
            # An identifier or number (digit separators included), then perhaps a literal it prefixes.
            j = i + 1
            number = c.isdigit()
            while j < n and (src[j].isalnum() or src[j] == "_" or (number and src[j] in "'.")):
                j += 1
            word = src[i:j]
            out.append(word)
            i = j
            if not number and word in PREFIXES and i < n and src[i] in "\"'":
                end = _raw_end(src, i) if word.endswith("R") and src[i] == '"' else _literal_end(src, i, src[i])
                body = src[i:end]
                if word == "R" and any(ord(ch) >= 0x80 for ch in body):
                    raise Unsupported("non-ASCII raw string literal at offset %d" % i)
                out.append(body)
                i = end
        elif c == '"' or c == "'":
            end = _literal_end(src, i, c)
            body = src[i:end]
            if any(ord(ch) >= 0x80 for ch in body):
                if c == "'":
                    raise Unsupported("non-ASCII character literal at offset %d" % i)
                if found is not None:
                    found.append(body)
                body = _escape(body)
            out.append(body)
            i = end
        else:
            out.append(c)
            i += 1
    return "".join(out)


SOURCE_SUFFIXES = (".cpp", ".h", ".cc", ".hpp")
MARKER = ".cp932-literals"


def _write_if_changed(path, data):
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except OSError:
        pass
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def mirror(src, dst):
    src = os.path.abspath(src)
    dst = os.path.abspath(dst)
    kept = {MARKER}
    for root, dirs, files in os.walk(src):
        rel = os.path.relpath(root, src)
        dirs[:] = [d for d in dirs
                   if not (rel == "." and (d == ".git" or d.startswith("build")))]
        for name in files:
            relpath = os.path.normpath(os.path.join(rel, name))
            kept.add(relpath)
            with open(os.path.join(src, relpath), "rb") as f:
                data = f.read()
            if name.endswith(SOURCE_SUFFIXES):
                try:
                    data = convert(data.decode("utf-8")).encode("utf-8")
                except Unsupported as e:
                    sys.exit("%s: %s" % (relpath, e))
            _write_if_changed(os.path.join(dst, relpath), data)
    for root, _, files in os.walk(dst):
        for name in files:
            relpath = os.path.relpath(os.path.join(root, name), dst)
            if relpath not in kept:
                os.remove(os.path.join(root, name))
    _write_if_changed(os.path.join(dst, MARKER), b"string literals hold CP932 byte escapes\n")


def main(argv):
    if len(argv) == 4 and argv[1] == "tree":
        mirror(argv[2], argv[3])
        return
    if len(argv) == 4 and argv[1] == "convert":
        with open(argv[2], encoding="utf-8") as f:
            text = f.read()
        try:
            converted = convert(text)
        except Unsupported as e:
            sys.exit("%s: %s" % (argv[2], e))
        with open(argv[3], "w", encoding="utf-8") as f:
            f.write(converted)
        return
    if len(argv) >= 2 and argv[1] == "literals":
        seen = set()
        for path in argv[2:]:
            with open(path, encoding="utf-8") as f:
                found = []
                convert(f.read(), found)
            for lit in found:
                if lit not in seen:
                    seen.add(lit)
                    print(lit)
        return
    sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
