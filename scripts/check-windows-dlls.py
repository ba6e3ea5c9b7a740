#!/usr/bin/env python3
"""Checks the Windows DLLs of a build folder as a host and the real vendor
library would meet them.

    python3 scripts/check-windows-dlls.py BUILD_DIR ARCH      (ARCH: x86_64 or i686)

Export tables (objdump -p):
  - Elgin.dll exports exactly the vendor entry points (vendor/elgin_entries.def)
    and the simulated printer's control functions (sim/ecfsim_controls.def):
    none of SQLite's or the run-time's;
  - Leitura.dll, ATO17.dll and sign_bema.dll exactly their entry points;
  - Pkg_Qor01100.dll exactly the module's export list as the build wrote it
    (driver/Pkg_Qor01100.exports: every operation's plain and decorated
    name, the shared state and the entry-point variables), which must hold
    every operation's plain name, the shared state and the entry-point
    variables;
  - qorcall.dll exactly the qor_* functions of the C entry (capi/qorcall.map);
  - no exported name carries a standard-call decoration ("@N").
Calling convention (32-bit only; objdump -d): every entry point of the four
vendor libraries is a standard call whose callee pops its arguments, 4 bytes
per parameter ("ret $N", plain "ret" when there are none).
Prints what it checked; exits 1 on the first DLL with a fault (listing them).
"""
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def read(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        return f.read()


def elgin_entries():
    """Entry name -> number of parameters."""
    out = {}
    for m in re.finditer(r'^ELGIN_ENTRY\((\w+), \(([^)]*)\)', read("vendor/elgin_entries.def"), re.M):
        params = m.group(2).strip()
        out[m.group(1)] = 0 if params in ("", "void") else len(params.split(","))
    return out


def controls():
    return {"ecfsim_" + m.group(1) for m in re.finditer(r'^ECFSIM_CONTROL\((\w+),', read("sim/ecfsim_controls.def"), re.M)}


STANDINS = {
    "Leitura.dll": {"DLLReadDefineBaudRate": 1, "DLLReadLeMemorias": 4},
    "ATO17.dll": {"DLLATO17GeraArquivo": 7},
    "sign_bema.dll": {"setLibType": 1, "genkkey": 2, "generateEAD": 5, "validateFile": 3},
}


def module_names():
    names = set()
    for folder_list in re.findall(r'"([\w/]+/operations\.def)"', read("module/all_operations.def")):
        for m in re.finditer(r'^QOR_OP\(\s*[^,]+,\s*(\w+),', read(folder_list), re.M):
            names.add(m.group(1))
    for m in re.finditer(r'^QOR_STATE\(\s*[^,]+,\s*(\w+),', read("driver/state.def"), re.M):
        names.add(m.group(1))
    names.update(elgin_entries())
    return names


def qorcall_names():
    return set(re.findall(r"\b(qor_\w+);", read("capi/qorcall.map")))


def objdump(arch, *args):
    tool = f"{arch}-w64-mingw32-objdump"
    return subprocess.run([tool, *args], check=True, capture_output=True, text=True).stdout


def exports(arch, dll):
    text = objdump(arch, "-p", dll)
    start = text.find("[Ordinal/Name Pointer] Table")
    if start < 0:
        return set()
    names = set()
    for line in text[start:].splitlines()[1:]:
        m = re.match(r"\s+\[\s*\d+\]\s+(\S+)", line)
        if not m:
            break
        names.add(m.group(1))
    return names


def popped_bytes(arch, dll):
    """Function symbol (as in the symbol table) -> set of 'ret' immediates in its body."""
    rets, current = {}, None
    for line in objdump(arch, "-d", "--no-show-raw-insn", dll).splitlines():
        m = re.match(r"^[0-9a-f]+ <(.+)>:$", line)
        if m:
            current = m.group(1)
            rets[current] = set()
            continue
        m = re.search(r"\sret\s*(\$0x([0-9a-f]+))?\s*$", line)
        if m and current is not None:
            rets[current].add(int(m.group(2), 16) if m.group(2) else 0)
    return rets


def check_dll(build, arch, dll, expected, params):
    """expected: the exact export set; params: entry name -> parameters (32-bit check)."""
    path = os.path.join(build, "bin", dll)
    faults = []
    names = exports(arch, path)
    decorated = sorted(n for n in names if "@" in n)
    if decorated:
        faults.append(f"decorated exports: {decorated[:5]}")
    missing = sorted(expected - names)
    if missing:
        faults.append(f"missing exports: {missing[:10]}{' ...' if len(missing) > 10 else ''}")
    extra = sorted(names - expected)
    if extra:
        faults.append(f"{len(extra)} exports beyond its list: {extra[:10]}")
    line = f"{dll}: {len(names)} exports"
    if arch == "i686" and params:
        rets = popped_bytes(arch, path)
        bad = []
        for name, n in sorted(params.items()):
            sym = f"_{name}@{4 * n}"
            got = rets.get(sym)
            if got is None:
                bad.append(f"{name}: no standard-call function {sym}")
            elif got != {4 * n}:
                bad.append(f"{name}: returns with {sorted(got)} instead of ret ${4 * n}")
        if bad:
            faults.append("calling convention: " + "; ".join(bad[:10]))
        else:
            line += f", {len(params)} entry points pop their arguments (ret $4*parameters)"
    print(("FAULT " if faults else "ok    ") + line)
    for f in faults:
        print("      " + f)
    return not faults


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in ("x86_64", "i686"):
        print(__doc__)
        return 2
    build, arch = sys.argv[1], sys.argv[2]
    ok = True
    entries = elgin_entries()
    ok &= check_dll(build, arch, "Elgin.dll", set(entries) | controls(), entries)
    for dll, eps in STANDINS.items():
        ok &= check_dll(build, arch, dll, set(eps), eps)
    listed = set(open(os.path.join(build, "driver", "Pkg_Qor01100.exports"), encoding="utf-8").read().split())
    unlisted = sorted(module_names() - listed)
    if unlisted:
        print(f"FAULT Pkg_Qor01100.exports lacks {len(unlisted)} names: {unlisted[:10]}")
        ok = False
    ok &= check_dll(build, arch, "Pkg_Qor01100.dll", listed, None)
    ok &= check_dll(build, arch, "qorcall.dll", qorcall_names(), None)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
