#!/usr/bin/env python3
"""Windows compile check: compiles every translation unit of src/ and tools/ for Windows with
MinGW-w64 and -fsyntax-only.

The files are those CMake builds for Windows: every .cpp under the folders given, except the
files the CMakeLists declare as built only elsewhere (the *_posix.cpp implementations and the
file-backed COM+ catalog); the *_win.cpp files are compiled instead. Each file gets the include
folders and definitions of its target from the Linux build's compile_commands.json (a Windows-only
file those of a file of its folder), plus the Windows definitions of the project. Qt's headers are
the Linux ones (Q_OS_WIN comes from the target compiler's _WIN32); MinGW-w64's C, C++ and Windows
SDK headers come first, the third-party headers (/usr/include: libzip, libxml2, libcurl, OpenSSL,
SQLite) only after them.
"""
import argparse
import concurrent.futures
import json
import os
import shlex
import subprocess
import sys

SYSTEM_DIRS = {"/usr/include", "/usr/include/x86_64-linux-gnu", "/usr/local/include"}
# Flags of the Linux command that say nothing about the source (output, dependency files,
# optimisation, instrumentation) and are dropped.
DROP_WITH_VALUE = {"-o", "-MF", "-MT", "-MQ"}
DROP_PREFIXES = ("-O", "-g", "-M", "-fsanitize", "-fno-sanitize", "-fPIC", "-fPIE", "-fno-omit-frame-pointer",
                 "-fcolor-diagnostics", "-fdiagnostics-color")


def windows_flags(arguments):
    """Include folders, definitions and warning flags of a Linux compile command."""
    flags = []
    i = 0
    # Skip the launcher and the compiler.
    while i < len(arguments) and not arguments[i].startswith("-"):
        i += 1
    while i < len(arguments):
        arg = arguments[i]
        value = arguments[i + 1] if i + 1 < len(arguments) else None
        if arg in DROP_WITH_VALUE:
            i += 2
            continue
        if arg in ("-I", "-isystem", "-iquote", "-include", "-D", "-U"):
            if arg in ("-I", "-isystem") and os.path.normpath(value) in SYSTEM_DIRS:
                pass
            else:
                flags += [arg, value]
            i += 2
            continue
        if arg.startswith("-I") and os.path.normpath(arg[2:]) in SYSTEM_DIRS:
            pass
        elif arg == "-c" or arg.startswith(DROP_PREFIXES) or not arg.startswith("-"):
            pass
        else:
            flags.append(arg)
        i += 1
    return flags


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--compiler", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--folders", default="src;tools", help="folders of the sources, ';'-separated")
    parser.add_argument("--not-on-windows", default="", help="files built only elsewhere, ';'-separated")
    parser.add_argument("--define", default="", help="Windows definitions, ';'-separated")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    args = parser.parse_args()

    source_dir = os.path.realpath(args.source_dir)
    with open(os.path.join(args.build_dir, "compile_commands.json")) as f:
        database = json.load(f)
    by_file = {}
    by_folder = {}
    for entry in database:
        path = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
        arguments = entry.get("arguments") or shlex.split(entry["command"])
        by_file[path] = (entry["directory"], arguments)
        by_folder.setdefault(os.path.dirname(path), (entry["directory"], arguments))

    excluded = {os.path.realpath(p) for p in args.not_on_windows.split(";") if p}
    sources = []
    for folder in [f for f in args.folders.split(";") if f]:
        for dirpath, _dirs, files in os.walk(os.path.join(source_dir, folder)):
            sources += [os.path.realpath(os.path.join(dirpath, n)) for n in files if n.endswith(".cpp")]
    sources = sorted(p for p in sources if p not in excluded)

    defines = ["-D" + d for d in args.define.split(";") if d]
    # Stand-ins for the few Linux headers that third-party headers pull in and MinGW-w64 lacks
    # (cmake/windows-check), then the third-party headers after MinGW's own.
    stand_ins = os.path.join(source_dir, "cmake", "windows-check")
    tail = ["-idirafter", stand_ins, "-idirafter", "/usr/include", "-idirafter", "/usr/include/x86_64-linux-gnu"]

    def check(path):
        known = by_file.get(path) or by_folder.get(os.path.dirname(path))
        if not known:
            return path, False, "no compile flags known for this file: is its folder part of the build?\n"
        directory, arguments = known
        command = [args.compiler, "-fsyntax-only"] + defines + windows_flags(arguments) + tail + [path]
        result = subprocess.run(command, cwd=directory, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        output = result.stdout
        if result.returncode != 0:
            output = "$ " + " ".join(shlex.quote(c) for c in command) + "\n" + output
        return path, result.returncode == 0, output

    failures = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        for path, ok, output in pool.map(check, sources):
            name = os.path.relpath(path, source_dir)
            print(("ok      " if ok else "FAILED  ") + name, flush=True)
            if output.strip():
                print(output, end="" if output.endswith("\n") else "\n", flush=True)
            if not ok:
                failures.append(name)

    print(f"windows-check: {len(sources)} translation units compiled for Windows, {len(failures)} failed")
    for name in failures:
        print("  failed: " + name)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
