#!/usr/bin/env python3
"""Builds the demo installation's text files from their UTF-8 sources.

The sources live in scripts/demo-src/ with the same relative paths as in
demo/. The program reads code page 850 bytes, so every source is written
out in that code page:

  *.HLP.txt  help documents: each source line becomes one fixed record of
             80 bytes (no line ends), padded with blanks. In the source,
             {h}, {u} and {r} stand for the toggles of highlight (0x1E),
             underline (0x1F) and reverse (0x10); they take no room on the
             screen. At most 76 visible characters fit on a line.
  others     text files (form definition, messages, INI files) with CR LF
             line ends.

Usage: scripts/make-demo-files.py [output directory, default demo/]
"""
import pathlib
import sys

RECORD = 80
VISIBLE = 76
TOGGLES = {"{h}": "\x1e", "{u}": "\x1f", "{r}": "\x10"}


def help_records(text, name):
    out = bytearray()
    for number, line in enumerate(text.rstrip("\n").split("\n"), 1):
        for token, byte in TOGGLES.items():
            line = line.replace(token, byte)
        data = line.rstrip(" ").encode("cp850")
        visible = sum(1 for b in data if b not in (0x1E, 0x1F, 0x10))
        if visible > VISIBLE or len(data) > RECORD:
            sys.exit(f"{name}:{number}: {visible} visible characters, "
                     f"{len(data)} bytes (at most {VISIBLE} and {RECORD})")
        out += data.ljust(RECORD, b" ")
    return bytes(out)


def crlf_text(text):
    return "\r\n".join(text.rstrip("\n").split("\n")).encode("cp850") + b"\r\n"


def main():
    root = pathlib.Path(__file__).resolve().parent
    source = root / "demo-src"
    target = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else root.parent / "demo"
    for path in sorted(p for p in source.rglob("*") if p.is_file()):
        relative = path.relative_to(source)
        text = path.read_text(encoding="utf-8")
        if path.name.endswith(".HLP.txt"):
            relative = relative.with_name(path.name[: -len(".txt")])
            data = help_records(text, relative)
        else:
            data = crlf_text(text)
        out = target / relative
        out.parent.mkdir(parents=True, exist_ok=True)
        out.write_bytes(data)
        print(out)


if __name__ == "__main__":
    main()
