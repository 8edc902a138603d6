#!/usr/bin/env python3
"""Checks a plug-in module from its bytes, without loading it.

  pe_module.py check MODULE --machine i386|x86-64
      The module is a DLL for that machine, exports exactly "main" and imports Windows system
      DLLs only.
  pe_module.py same-resources MODULE OTHER
      Both modules hold the same resources (type, name, language and bytes), bitmaps, a menu, a
      dialog and a version resource among them: a 32-bit and a 64-bit build of one plug-in.

Exit status 0 when the check holds; otherwise 1 with one line per finding.
"""
import struct
import sys

MACHINES = {"i386": 0x14C, "x86-64": 0x8664}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comdlg32.dll",
               "shell32.dll", "ole32.dll", "msvcrt.dll"}
RESOURCE_TYPES = {2: "BITMAP", 4: "MENU", 5: "DIALOG", 16: "VERSION"}
IMAGE_FILE_DLL = 0x2000


class Module:
    """The parts of a PE image these checks read: machine, exports, imports and resources."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not a Windows module (no MZ header)")
        header = self.u32(0x3C)
        if data[header:header + 4] != b"PE\0\0":
            raise ValueError("not a Windows module (no PE header)")
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, header + 4)
        optional = header + 24
        magic = self.u16(optional)
        if magic not in (0x10B, 0x20B):
            raise ValueError("unknown optional header 0x%x" % magic)
        directories = optional + (96 if magic == 0x10B else 112)
        count = self.u32(directories - 4)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i)
                            for i in range(min(count, 16))]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<IIII", data, table + 40 * i + 8)
                         for i in range(sections)]

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset(self, rva):
        for virtual_size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw + rva - address
        raise ValueError("address 0x%x lies in no section" % rva)

    def text(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("latin-1")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def exports(self):
        rva, size = self.directory(0)
        if not size:
            return []
        table = self.offset(rva)
        names, address = self.u32(table + 24), self.u32(table + 32)
        return [self.text(self.u32(self.offset(address) + 4 * i)) for i in range(names)]

    def imports(self):
        rva, size = self.directory(1)
        dlls = []
        entry = self.offset(rva) if size else None
        while entry is not None and any(self.data[entry:entry + 20]):
            dlls.append(self.text(self.u32(entry + 12)))
            entry += 20
        return dlls

    def resources(self):
        """{(type, name, language): bytes}; names are numbers or strings."""
        rva, size = self.directory(2)
        if not size:
            return {}
        root = self.offset(rva)
        found = {}

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
            for i in range(named + numbered):
                key, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
                if key & 0x80000000:
                    at = root + (key & 0x7FFFFFFF)
                    key = self.data[at + 2:at + 2 + 2 * self.u16(at)].decode("utf-16-le")
                yield key, target

        def walk(directory, path):
            for key, target in entries(directory):
                if target & 0x80000000:
                    walk(root + (target & 0x7FFFFFFF), path + (key,))
                else:
                    data_rva, data_size = struct.unpack_from("<II", self.data, root + target)
                    start = self.offset(data_rva)
                    found[path + (key,)] = self.data[start:start + data_size]

        walk(root, ())
        return found


def load(path):
    with open(path, "rb") as file:
        return Module(file.read())


def check(path, machine):
    module = load(path)
    findings = []
    if module.machine != MACHINES[machine]:
        names = {number: name for name, number in MACHINES.items()}
        findings.append("machine %s, expected %s"
                        % (names.get(module.machine, hex(module.machine)), machine))
    if not module.characteristics & IMAGE_FILE_DLL:
        findings.append("not a DLL")
    exports = module.exports()
    if exports != ["main"]:
        findings.append("must export exactly \"main\", exports %s" % exports)
    for dll in module.imports():
        if dll.lower() not in SYSTEM_DLLS:
            findings.append("imports %s, which is not a Windows system DLL" % dll)
    return findings, "%s DLL, exports main, imports %s" % (machine, " ".join(module.imports()))


def kind(key):
    return RESOURCE_TYPES.get(key, str(key))


def same_resources(path, other_path):
    mine, theirs = load(path).resources(), load(other_path).resources()
    findings = []
    for key in sorted(set(mine) | set(theirs), key=str):
        label = "%s %s (language %s)" % (kind(key[0]), key[1], key[2])
        if key not in theirs:
            findings.append("%s only in %s" % (label, path))
        elif key not in mine:
            findings.append("%s only in %s" % (label, other_path))
        elif mine[key] != theirs[key]:
            findings.append("%s differs" % label)
    counts = {}
    for key in mine:
        counts[kind(key[0])] = counts.get(kind(key[0]), 0) + 1
    for wanted in RESOURCE_TYPES.values():
        if wanted not in counts:
            findings.append("no %s resource" % wanted)
    summary = ", ".join("%d %s" % (n, name) for name, n in sorted(counts.items()))
    return findings, "the same resources as %s: %s" % (other_path, summary)


def main(arguments):
    if len(arguments) == 4 and arguments[0] == "check" and arguments[2] == "--machine" \
            and arguments[3] in MACHINES:
        path = arguments[1]
        findings, summary = check(path, arguments[3])
    elif len(arguments) == 3 and arguments[0] == "same-resources":
        path = arguments[1]
        findings, summary = same_resources(path, arguments[2])
    else:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    for finding in findings:
        print("%s: %s" % (path, finding))
    if not findings:
        print("%s: %s" % (path, summary))
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
