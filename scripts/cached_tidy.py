#!/usr/bin/env python3
"""Runs clang-tidy over translation units in parallel and remembers which units were clean.

A unit is analysed again only when something it sees changed. Its key hashes the clang-tidy
version, the clang-tidy arguments, the unit's compile command, every .clang-tidy above the unit,
and the path and bytes of every file the unit reads: the unit itself and each header it includes,
as listed by the matching clang driver's dependency output (-M) under the same flags. Only clean
verdicts are kept (an empty file named by the key in the cache folder); a unit with findings is
analysed and its findings shown on every run. Whenever a key cannot be computed, the unit is
analysed.

Paths under the source root (--root, default the current folder) enter the key relative to it,
so that clones of the project at other places share verdicts. What clang-tidy does with such a
path depends on one more thing than the relative path: whether the header filter
(HeaderFilterRegex of the nearest .clang-tidy that sets one) matches the whole path; the key
holds that answer for every file under the root. Verdicts unused for PRUNE_DAYS are deleted.

Usage: cached_tidy.py --tidy clang-tidy-16 -p build/host --cache DIR [--root DIR] [--jobs 2]
                      [--extra-arg ARG]... UNIT...
Exit status: 0 when every unit is clean, 1 when any has findings.
"""

import argparse
import concurrent.futures
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys
import tempfile
import time

# Bumped whenever the way keys are made changes, so that old verdicts no longer match.
KEY_FORMAT = b"cached-tidy 2\n"
PRUNE_DAYS = 60

# Compile options that name outputs or ask for dependency files; the -M run replaces them.
DROPPED_WITH_VALUE = {"-o", "-MF", "-MT", "-MQ", "-MJ"}
DROPPED_ALONE = {"-c", "-MD", "-MMD", "-M", "-MM", "-MG", "-MP"}


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tidy", required=True, help="clang-tidy executable")
    parser.add_argument("--clang", help="clang++ of the same version (default: from --tidy)")
    parser.add_argument("-p", dest="build", required=True, help="folder of compile_commands.json")
    parser.add_argument("--cache", required=True, help="folder for clean verdicts")
    parser.add_argument("--root", default=".", help="the source tree's top folder")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--extra-arg", action="append", default=[], dest="extra")
    parser.add_argument("units", nargs="+")
    return parser.parse_args()


def run(command, cwd=None):
    return subprocess.run(command, cwd=cwd, capture_output=True, text=True, errors="replace",
                          check=False)


def compile_commands(build):
    with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as db:
        entries = json.load(db)
    by_file = {}
    for entry in entries:
        path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
        arguments = entry.get("arguments") or shlex.split(entry["command"])
        by_file.setdefault(path, []).append((entry["directory"], arguments))
    return by_file


def dependency_command(clang, arguments, extra):
    kept = [clang]
    skip_value = False
    for argument in arguments[1:]:
        if skip_value:
            skip_value = False
        elif argument in DROPPED_WITH_VALUE:
            skip_value = True
        elif argument not in DROPPED_ALONE:
            kept.append(argument)
    # clang-tidy appends its extra arguments in the same way.
    return kept + extra + ["-M"]


def dependency_files(make_rule):
    """The files of a make rule 'target: a b \\ c', with '\\ ' and '$$' unescaped."""
    body = make_rule.replace("\\\n", " ")
    _, separator, prerequisites = body.partition(": ")
    if not separator:
        raise ValueError("no make rule in dependency output")
    words = re.findall(r"(?:\\.|[^\s\\])+", prerequisites)
    return [re.sub(r"\\(.)", r"\1", word).replace("$$", "$") for word in words]


def config_files(unit):
    """Every .clang-tidy from the unit's folder up to the root: clang-tidy reads the nearest."""
    found = []
    folder = os.path.dirname(os.path.abspath(unit))
    while True:
        candidate = os.path.join(folder, ".clang-tidy")
        if os.path.isfile(candidate):
            found.append(candidate)
        parent = os.path.dirname(folder)
        if parent == folder:
            return found
        folder = parent


def header_filter(configs):
    """The HeaderFilterRegex of the nearest configuration that sets one ("" if none does)."""
    for config in configs:
        with open(config, encoding="utf-8") as text:
            for line in text:
                found = re.fullmatch(r"HeaderFilterRegex:\s*(.*?)\s*", line.rstrip("\n"))
                if found:
                    value = found.group(1)
                    if value[:1] in "'\"" and len(value) >= 2 and value[-1] == value[0]:
                        value = value[1:-1]
                    return value
    return ""


class KeyMaker:
    def __init__(self, args, clang):
        self.commands = compile_commands(args.build)
        self.clang = clang
        self.extra = args.extra
        # Both spellings of the root: the compile commands may name it through a symbolic link.
        # The root also ends a path where a prefix map names it ("-fdebug-prefix-map=<root>=.").
        roots = {os.path.abspath(args.root), os.path.realpath(args.root)}
        self.root = re.compile("|".join(re.escape(root) for root in sorted(roots)) + r"(?=[/=]|$)")
        version = run([args.tidy, "--version"]).stdout
        self.base = KEY_FORMAT + json.dumps([version, args.extra]).encode()

    def portable(self, text):
        """The text with the root's path replaced by a mark."""
        return self.root.sub("<root>", text)

    def key(self, unit):
        """The unit's key and the number of files it reads; no key when it cannot be made."""
        try:
            found = self.commands.get(os.path.abspath(unit), [])
            if len(found) != 1:
                # Not in the database, or several commands: clang-tidy's choice is not ours.
                return None, 0
            directory, arguments = found[0]
            result = run(dependency_command(self.clang, arguments, self.extra), cwd=directory)
            if result.returncode != 0:
                return None, 0
            files = dependency_files(result.stdout)
            configs = config_files(unit)
            shown = re.compile(header_filter(configs))
            digest = hashlib.sha256(self.base)
            digest.update(self.portable(json.dumps([directory, arguments])).encode())
            for path in configs + files:
                path = os.path.normpath(os.path.join(directory, path))
                with open(path, "rb") as content:
                    file_digest = hashlib.sha256(content.read()).hexdigest()
                name = self.portable(path)
                if name != path:
                    name += " shown" if shown.search(path) else " hidden"
                digest.update(f"\n{name}\n{file_digest}".encode())
            return digest.hexdigest(), len(files)
        except (OSError, ValueError, KeyError, re.error, subprocess.SubprocessError):
            return None, 0


class NoKeys:
    def key(self, _unit):
        return None, 0


def analyse(args, unit):
    command = [args.tidy, "-p", args.build, "--quiet"]
    command += [f"--extra-arg={argument}" for argument in args.extra] + [unit]
    started = time.monotonic()
    result = run(command)
    seconds = time.monotonic() - started
    # clang-tidy counts the warnings it suppressed in headers outside the filter; not findings.
    stderr = "".join(line for line in result.stderr.splitlines(keepends=True)
                     if not re.fullmatch(r"\d+ warnings? generated\.\n?", line))
    clean = result.returncode == 0 and not result.stdout.strip()
    return clean, seconds, result.stdout + stderr


def check(args, keys, unit, key):
    """Analyses the unit; keeps a clean verdict if the unit's files did not change meanwhile."""
    clean, seconds, output = analyse(args, unit)
    kept = clean and key is not None and keys.key(unit)[0] == key
    if kept:
        os.makedirs(args.cache, exist_ok=True)
        handle, temporary = tempfile.mkstemp(dir=args.cache)
        os.close(handle)
        os.replace(temporary, os.path.join(args.cache, key))
    note = "" if clean else ", findings:"
    if clean and not kept:
        note = " (verdict not kept: no key, or files changed during the run)"
    report = f"cached-tidy: analysed {unit} in {seconds:.1f} s{note}\n"
    return clean, report if clean else report + output


def kept_verdict(cache, key):
    """Whether a clean verdict is kept under the key; marks it used."""
    try:
        os.utime(os.path.join(cache, key))
        return True
    except OSError:
        return False


def prune(cache):
    """Deletes the verdicts unused for PRUNE_DAYS: keys of files that have since changed."""
    oldest = time.time() - PRUNE_DAYS * 86400
    try:
        with os.scandir(cache) as entries:
            for entry in entries:
                if entry.is_file() and entry.stat().st_mtime < oldest:
                    os.remove(entry.path)
    except OSError:
        pass


def main():
    args = parse_args()
    folder, name = os.path.split(args.tidy)
    clang = args.clang or os.path.join(folder, name.replace("clang-tidy", "clang++"))
    started = time.monotonic()
    try:
        keys = KeyMaker(args, clang)
    except (OSError, ValueError, KeyError) as error:
        print(f"cached-tidy: every unit is analysed, no cache keys ({error})", file=sys.stderr)
        keys = NoKeys()
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        made = list(pool.map(keys.key, args.units))
        stale = [(unit, key, weight) for unit, (key, weight) in zip(args.units, made)
                 if key is None or not kept_verdict(args.cache, key)]
        # Heaviest first (most files read), so that the slowest units do not start last.
        stale.sort(key=lambda item: -item[2])
        futures = [pool.submit(check, args, keys, unit, key) for unit, key, _ in stale]
        with_findings = 0
        for future in concurrent.futures.as_completed(futures):
            clean, report = future.result()
            with_findings += not clean
            print(report, end="", flush=True)
    prune(args.cache)
    print(f"cached-tidy: {len(args.units)} units, {len(stale)} analysed, "
          f"{len(args.units) - len(stale)} unchanged since a clean verdict, "
          f"{with_findings} with findings, {time.monotonic() - started:.0f} s")
    return 1 if with_findings else 0


if __name__ == "__main__":
    sys.exit(main())
