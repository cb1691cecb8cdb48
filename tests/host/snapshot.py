#!/usr/bin/env python3
"""Lists a container's tree for the before/after comparison of the host test.

  snapshot.py ROOT UPPER LOWER [EXCLUDES_FILE]

One line per path: type, mode, owner and group (numbers: the container's
accounts are not the host's), and a digest of the content (a link's target).
ROOT is the overlay the container runs on and UPPER its upper directory:
only what lies in UPPER can differ from the pristine tree, so only that is
read and hashed, and a file whose bytes equal LOWER's (the pristine tree)
reads as "pristine" however often it was rewritten. EXCLUDES_FILE names, one per line, the paths a running
system changes by itself (logs, caches, the queue's pid files)."""
import hashlib
import os
import stat
import sys


def excluded_paths(path):
    if not path:
        return []
    with open(path) as lines:
        return [line.split("#")[0].strip() for line in lines if line.split("#")[0].strip()]


def is_excluded(relative, excludes):
    return any(relative == e or relative.startswith(e.rstrip("/") + "/") for e in excludes)


def sha256(path):
    sha = hashlib.sha256()
    with open(path, "rb") as content:
        for block in iter(lambda: content.read(1 << 20), b""):
            sha.update(block)
    return sha.hexdigest()[:16]


def digest(full, mode, in_upper, pristine):
    if stat.S_ISLNK(mode):
        return "-> " + os.readlink(full)
    if not stat.S_ISREG(mode):
        return ""
    if not in_upper:
        return "pristine"
    own = sha256(full)
    if os.path.isfile(pristine) and not os.path.islink(pristine) and sha256(pristine) == own:
        return "pristine"
    return own


def main():
    root, upper, lower = sys.argv[1], sys.argv[2], sys.argv[3]
    excludes = excluded_paths(sys.argv[4] if len(sys.argv) > 4 else "")
    rows = []
    for folder, subfolders, files in os.walk(root):
        relative_folder = os.path.relpath(folder, root)
        subfolders[:] = [s for s in subfolders
                         if not is_excluded(os.path.normpath(os.path.join(relative_folder, s)), excludes)]
        for name in subfolders + files:
            relative = os.path.normpath(os.path.join(relative_folder, name))
            if is_excluded(relative, excludes):
                continue
            full = os.path.join(folder, name)
            info = os.lstat(full)
            in_upper = os.path.lexists(os.path.join(upper, relative))
            kind = "d" if stat.S_ISDIR(info.st_mode) else "l" if stat.S_ISLNK(info.st_mode) else "f"
            rows.append(f"/{relative} {kind} {stat.S_IMODE(info.st_mode):04o} {info.st_uid}:{info.st_gid} "
                        f"{digest(full, info.st_mode, in_upper, os.path.join(lower, relative))}")
    print("\n".join(sorted(rows)))


if __name__ == "__main__":
    main()
