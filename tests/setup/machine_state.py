"""machine_state.py: what a Wine prefix holds, to tell what a program changed.

  machine_state.py save DRIVE_C OUT REG_EXPORT...   files (with MD5) and registry
  machine_state.py diff BEFORE AFTER                 one line per change

The users' Temp folders are left out: the system's scratch space, where an
NSIS uninstaller's copy of itself waits for the next restart. So are the
NetworkCards keys, Wine's record of the host's network interfaces, which
it writes on its own the first time a program asks after them. A registry
export is regedit's text (UTF-16), as "reg export" writes it.
"""
import hashlib
import json
import os
import re
import sys


def files(drive):
    state = {}
    for root, dirs, names in os.walk(drive):
        rel = os.path.relpath(root, drive).replace(os.sep, "/")
        if re.fullmatch(r"users/[^/]+", rel):
            dirs[:] = [d for d in dirs if d.lower() != "temp"]
        prefix = "" if rel == "." else rel + "/"
        for d in dirs:
            state[prefix + d] = "dir"
        for n in names:
            path = os.path.join(root, n)
            if os.path.islink(path) or not os.path.isfile(path):
                continue
            with open(path, "rb") as f:
                state[prefix + n] = hashlib.md5(f.read()).hexdigest()
    return state


def registry(exports):
    keys = {}
    for export in exports:
        with open(export, encoding="utf-16") as f:
            text = f.read()
        key = None
        for line in text.replace("\\\n  ", "").splitlines():
            if line.startswith("[") and line.endswith("]"):
                key = line[1:-1]
                if "\\Windows NT\\CurrentVersion\\NetworkCards" in key:
                    key = None
                    continue
                keys[key] = []
            elif key is not None and line:
                keys[key].append(line)
    return keys


def save(drive, out, exports):
    with open(out, "w") as f:
        json.dump({"files": files(drive), "registry": registry(exports)}, f)


def diff(before_path, after_path):
    with open(before_path) as f:
        before = json.load(f)
    with open(after_path) as f:
        after = json.load(f)
    lines = []
    b, a = before["files"], after["files"]
    for path in sorted(set(b) | set(a)):
        kind = "dir " if "dir" in (b.get(path), a.get(path)) else "file"
        if path not in a:
            lines.append("- %s %s" % (kind, path))
        elif path not in b:
            lines.append("+ %s %s" % (kind, path))
        elif a[path] != b[path]:
            lines.append("~ %s %s" % (kind, path))
    b, a = before["registry"], after["registry"]
    for key in sorted(set(b) | set(a)):
        if key not in a:
            lines.append("- key  %s" % key)
        elif key not in b:
            lines.append("+ key  %s" % key)
        for value in sorted(set(b.get(key, [])) - set(a.get(key, []))):
            lines.append("- value %s %s" % (key, value))
        for value in sorted(set(a.get(key, [])) - set(b.get(key, []))):
            lines.append("+ value %s %s" % (key, value))
    if lines:
        print("\n".join(lines))


if __name__ == "__main__":
    if len(sys.argv) >= 4 and sys.argv[1] == "save":
        save(sys.argv[2], sys.argv[3], sys.argv[4:])
    elif len(sys.argv) == 4 and sys.argv[1] == "diff":
        diff(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
