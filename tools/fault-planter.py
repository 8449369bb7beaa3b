#!/usr/bin/env python3
"""Plants the deliberate faults of tools/mutations/ and takes them out again.

A fault is found by its text, not by a line number, so an edit elsewhere in the file never
moves it. Each NAME.fault file reads:

    Fault: what the planted fault does, in words
    Tests: a ctest -R regular expression naming the tests that must catch it

    File: src/path/to/File.cpp
    --- find
    the exact lines the fault changes, with enough around them to occur once in the file
    --- replace
    what they become (nothing at all deletes them)
    --- end

A fault may hold several changes, each under a File: line (one File: line serves the changes
after it until the next). They are made in order, each in the file as the ones before it
left it. The lines to find are compared whole, indentation included, and must occur exactly
once: text that is gone or found twice is reported, and nothing of that fault is written.

  fault-planter.py check FAULT...       report for each fault whether its text is found once
  fault-planter.py plant FAULT SAVED    plant one fault, keeping the files it changes in SAVED
  fault-planter.py restore SAVED        put back the files kept in SAVED, then remove SAVED

check writes nothing. plant exits with 3 when the text is gone and 2 when the file cannot be
read as a fault; restore does nothing when SAVED does not exist.
"""

import os
import shutil
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
MANIFEST = "files"


class Malformed(Exception):
    pass


class TextGone(Exception):
    pass


class Change:
    def __init__(self, path, find, replace):
        self.path = path
        self.find = find
        self.replace = replace

    def first_line(self):
        return self.find[0].strip()


class Fault:
    def __init__(self, name, sentence, tests, changes):
        self.name = name
        self.sentence = sentence
        self.tests = tests
        self.changes = changes


def parse(path):
    name = os.path.basename(path)
    if name.endswith(".fault"):
        name = name[:-len(".fault")]
    with open(path, encoding="utf-8") as handle:
        lines = handle.read().split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    sentence = tests = file = None
    changes = []
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        if line.startswith("Fault: ") and sentence is None:
            sentence = line[len("Fault: "):]
        elif line.startswith("Tests: ") and tests is None:
            tests = line[len("Tests: "):]
        elif line.startswith("File: "):
            file = line[len("File: "):].strip()
        elif line == "--- find":
            if file is None:
                raise Malformed("%s: line %d: --- find before any File: line" % (path, i))
            blocks = []
            for closing in ("--- replace", "--- end"):
                block = []
                while i < len(lines) and lines[i] not in ("--- find", "--- replace", "--- end"):
                    block.append(lines[i])
                    i += 1
                if i == len(lines) or lines[i] != closing:
                    raise Malformed("%s: line %d: %s expected" % (path, i + 1, closing))
                i += 1
                blocks.append(block)
            if not blocks[0]:
                raise Malformed("%s: line %d: nothing to find" % (path, i))
            changes.append(Change(file, blocks[0], blocks[1]))
        elif line.strip():
            raise Malformed("%s: line %d: not part of a fault: %s" % (path, i, line))
    if sentence is None or not tests or not changes:
        raise Malformed("%s: a fault needs a Fault: line, a Tests: line and a change" % path)
    return Fault(name, sentence, tests, changes)


def read_source(path):
    # Bytes that are not UTF-8 survive the round trip unchanged.
    with open(os.path.join(ROOT, path), "rb") as handle:
        return handle.read().decode("utf-8", "surrogateescape")


def apply_change(text, change):
    """Returns text with the change made, or raises TextGone unless its lines occur once."""
    lines = text.split("\n")
    # A final line end leaves an empty piece behind it that is no line of the file.
    whole = len(lines) - 1 if lines[-1] == "" else len(lines)
    n = len(change.find)
    at = [i for i in range(whole - n + 1) if lines[i:i + n] == change.find]
    if len(at) != 1:
        how = "text gone" if not at else "text found %d times" % len(at)
        raise TextGone("%s: %s: %s" % (how, change.path, change.first_line()))
    return "\n".join(lines[:at[0]] + change.replace + lines[at[0] + n:])


def planted_files(fault):
    """The new contents of every file the fault changes, made in memory."""
    files = {}
    for change in fault.changes:
        if change.path not in files:
            try:
                files[change.path] = read_source(change.path)
            except OSError:
                raise TextGone("text gone: %s: %s (no such file)" % (change.path, change.first_line()))
        files[change.path] = apply_change(files[change.path], change)
    return files


def check(paths):
    found = gone = broken = 0
    print("%-44s %-8s %s" % ("fault", "text", "what it does"))
    for path in paths:
        name = os.path.basename(path)[:-len(".fault")] if path.endswith(".fault") else path
        try:
            fault = parse(path)
            planted_files(fault)
            print("%-44s %-8s %s" % (name, "found", fault.sentence))
            found += 1
        except TextGone as problem:
            print("%-44s %-8s %s" % (name, "GONE", problem))
            gone += 1
        except Malformed as problem:
            print("%-44s %-8s %s" % (name, "BROKEN", problem))
            broken += 1
    print("%d faults: %d found once, %d with their text gone, %d could not be read"
          % (len(paths), found, gone, broken))
    return 1 if gone or broken else 0


def plant(path, saved):
    try:
        files = planted_files(parse(path))
    except Malformed as problem:
        print(problem)
        return 2
    except TextGone as problem:
        print(problem)
        return 3
    # Every original is kept before the first file is written, so restore finds them all.
    os.makedirs(saved)
    for number, source in enumerate(files):
        shutil.copyfile(os.path.join(ROOT, source), os.path.join(saved, str(number)))
    with open(os.path.join(saved, MANIFEST), "w", encoding="utf-8") as handle:
        handle.write("".join(source + "\n" for source in files))
    for source, text in files.items():
        # Written in place, so the file keeps its mode; its time is now, so make rebuilds it.
        with open(os.path.join(ROOT, source), "wb") as handle:
            handle.write(text.encode("utf-8", "surrogateescape"))
    return 0


def restore(saved):
    manifest = os.path.join(saved, MANIFEST)
    if os.path.exists(manifest):
        with open(manifest, encoding="utf-8") as handle:
            sources = handle.read().split("\n")[:-1]
        # Copied, not moved, and without the old time: the objects built from the fault are
        # newer than the old time, and make must see the source as changed again.
        for number, source in enumerate(sources):
            shutil.copyfile(os.path.join(saved, str(number)), os.path.join(ROOT, source))
    if os.path.isdir(saved):
        shutil.rmtree(saved)
    return 0


def main(argv):
    if len(argv) >= 2 and argv[0] == "check":
        return check(argv[1:])
    if len(argv) == 3 and argv[0] == "plant":
        return plant(argv[1], argv[2])
    if len(argv) == 2 and argv[0] == "restore":
        return restore(argv[1])
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
