#!/usr/bin/env python3
"""The compiler launcher of the signature test's signed build.

    reuse-compiled.py UNSIGNED_BUILD COMPILER ARGS...

Run by Ninja in the signed build's folder. A compile whose command is, word
for word, one the unsigned build made (its folder read as the signed
build's, going by its compile_commands.json) takes that build's object
instead of compiling the same sources with the same compiler and flags
again; any other compile runs. The signed build still links, signs and
packages everything itself. The signed build is made afresh for every run,
so the dependency file written for a reused object names only its source.
"""
import json
import os
import shlex
import shutil
import sys


def without_dependency_options(arguments):
    """The arguments without Ninja's -MD, -MT FILE and -MF FILE, which the
    compile database leaves out."""
    kept, skip = [], False
    for argument in arguments:
        if skip:
            skip = False
        elif argument in ("-MT", "-MF"):
            skip = True
        elif argument != "-MD":
            kept.append(argument)
    return kept


def option_value(arguments, option):
    return arguments[arguments.index(option) + 1] if option in arguments else None


def main():
    unsigned_build, command = sys.argv[1], sys.argv[2:]
    signed_build = os.getcwd()
    output = option_value(command, "-o")
    dependency_file = option_value(command, "-MF")
    try:
        with open(os.path.join(unsigned_build, "compile_commands.json"), encoding="utf-8") as database:
            entries = json.load(database)
    except (OSError, ValueError):
        entries = []
    wanted = without_dependency_options(command)
    for entry in entries:
        unsigned_command = shlex.split(entry["command"].replace(unsigned_build + "/", signed_build + "/"))
        if option_value(unsigned_command, "-o") != output:
            continue
        unsigned_object = os.path.join(unsigned_build, output)
        if unsigned_command == wanted and os.path.isfile(unsigned_object):
            shutil.copyfile(unsigned_object, output)
            print(f"reused {output}")
            if dependency_file:
                with open(dependency_file, "w", encoding="utf-8") as dependencies:
                    source = option_value(command, "-c").replace(" ", "\\ ")
                    dependencies.write(f"{output}: {source}\n")
            return 0
        break
    os.execvp(command[0], command)


if __name__ == "__main__":
    sys.exit(main())
