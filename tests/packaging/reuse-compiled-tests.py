#!/usr/bin/env python3
"""Tests of reuse-compiled.py: which compiles of the signed build take the
unsigned build's object, and which run the compiler."""
import json
import os
import shlex
import subprocess
import sys
import tempfile
import unittest

LAUNCHER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reuse-compiled.py")
OUTPUT = "objects/port.cpp.obj"
SOURCE = "/sources with space/port.cpp"


class ReuseCompiled(unittest.TestCase):
    def run_launcher(self, database_flags, signed_flags, database=True, unsigned_object=True, output=OUTPUT):
        """Runs the launcher for one compile of the signed build; the result is
        what the signed build's object holds ("unsigned" when taken, "compiled"
        when the stand-in compiler ran) and its dependency file."""
        root = tempfile.TemporaryDirectory()
        self.addCleanup(root.cleanup)
        unsigned, signed = os.path.join(root.name, "unsigned"), os.path.join(root.name, "unsigned", "signed")
        compiler = os.path.join(root.name, "compiler")
        with open(compiler, "w") as script:
            script.write('#!/bin/sh\nwhile [ "$1" != -o ]; do shift; done\necho compiled >"$2"\n')
        os.chmod(compiler, 0o755)
        for build in (unsigned, signed):
            os.makedirs(os.path.join(build, "objects"))
        if unsigned_object:
            with open(os.path.join(unsigned, OUTPUT), "w") as built:
                built.write("unsigned\n")
        if database:
            flags = [word.replace("BUILD", unsigned) for word in database_flags]
            command = shlex.join([compiler, *flags, "-o", output, "-c", SOURCE])
            with open(os.path.join(unsigned, "compile_commands.json"), "w") as commands:
                json.dump([{"directory": unsigned, "command": command, "file": SOURCE}], commands)
        flags = [word.replace("BUILD", signed) for word in signed_flags]
        dependencies = OUTPUT + ".d"
        subprocess.run([sys.executable, LAUNCHER, unsigned, compiler, *flags,
                        "-MD", "-MT", OUTPUT, "-MF", dependencies, "-o", OUTPUT, "-c", SOURCE],
                       cwd=signed, check=True, capture_output=True)
        with open(os.path.join(signed, OUTPUT)) as result:
            taken = result.read().strip()
        dependency_path = os.path.join(signed, dependencies)
        depfile = open(dependency_path).read() if os.path.exists(dependency_path) else None
        return taken, depfile

    def test_which_compiles_are_reused(self):
        pch = ["-O3", "-include", "BUILD/common/pch.hxx"]
        cases = [
            # name, database flags, signed flags, options, expected object
            ("same command, the build folders read as each other", pch, pch, {}, "unsigned"),
            ("a flag differs", pch, ["-O2", "-include", "BUILD/common/pch.hxx"], {}, "compiled"),
            ("a header of another folder", pch, ["-O3", "-include", "/elsewhere/common/pch.hxx"], {}, "compiled"),
            ("no compile database", pch, pch, {"database": False}, "compiled"),
            ("the unsigned build has no object", pch, pch, {"unsigned_object": False}, "compiled"),
            ("the database has another output only", pch, pch, {"output": "objects/other.obj"}, "compiled"),
        ]
        for name, database_flags, signed_flags, options, expected in cases:
            with self.subTest(name):
                taken, depfile = self.run_launcher(database_flags, signed_flags, **options)
                self.assertEqual(taken, expected)
                if expected == "unsigned":
                    self.assertEqual(depfile, f"{OUTPUT}: /sources\\ with\\ space/port.cpp\n")


if __name__ == "__main__":
    unittest.main()
