#!/usr/bin/env python3
"""Times each fuzz target on a 1 MB and a 10 MB input of the worst shape found for its parser
(the fuzz build must exist: fuzz/run_fuzzers.sh builds it). A parser that is linear takes about
ten times as long on the larger input.

    python3 bench/parser_linearity.py [BUILD_DIR] [TARGET...]
"""
import io, os, re, stat, subprocess, sys, tempfile, time, zipfile

MB = 1 << 20


def fill(unit, size):
    """unit(i) repeated until size bytes."""
    parts, total, i = [], 0, 0
    while total < size:
        b = unit(i)
        parts.append(b)
        total += len(b)
        i += 1
    return b"".join(parts)[:size]


def zip_members(size, name_of):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_STORED) as z:
        i = 0
        while buf.tell() < size:
            info = zipfile.ZipInfo(name_of(i))
            info.external_attr = (stat.S_IFREG | 0o644) << 16
            z.writestr(info, b"")
            i += 1
    return buf.getvalue()


SHAPES = {
    "fuzz_registry_hive": [
        ("many values in one key", lambda n: b"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n"
         + fill(lambda i: b'"v%d"="x"\n' % i, n)),
        ("many keys", lambda n: b"Windows Registry Editor Version 5.00\n\n"
         + fill(lambda i: b"[HKEY_CURRENT_USER\\K\\%d]\n" % i, n)),
        ("one long hex value", lambda n: b'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n"b"=hex:'
         + fill(lambda i: b"00,\\\n  " if i % 25 == 24 else b"ff,", n) + b"00\n"),
    ],
    "fuzz_ini_file": [
        ("many keys in one section", lambda n: b"[S]\n" + fill(lambda i: b"k%d=v\n" % i, n)),
        ("many sections", lambda n: fill(lambda i: b"[s%d]\nk=v\n" % i, n)),
        ("one long line", lambda n: b"[S]\nk=" + b"x" * n),
    ],
    "fuzz_tools_file": [
        ("many lines", lambda n: fill(lambda i: b'"c%d","hint",cmd\n' % i, n)),
        ("one long quoted field", lambda n: b'"' + b'""' * (n // 2) + b'",h,c\n'),
    ],
    "fuzz_archive_catalogue": [
        ("many entries", lambda n: b"[Descriptions]\n" + fill(lambda i: b"T%07X.ZIP=d\n" % i, n)),
    ],
    "fuzz_zip_extract": [
        ("many members", lambda n: zip_members(n, lambda i: "m%d" % i)),
        ("deep member names", lambda n: zip_members(n, lambda i: "a/" * 30000 + "f%d" % i)),
    ],
    "fuzz_trash_info": [
        ("a path of bytes to escape", lambda n: b"\0" * 8 + b"\xff" * n),
    ],
    "fuzz_hidden_list": [
        ("many names", lambda n: fill(lambda i: b"name%d\n" % i, n)),
    ],
    "fuzz_mount_table": [
        ("many mounts", lambda n: fill(lambda i: b"%d 1 8:1 / /m/%d rw - ext4 /dev/sda1 rw\n" % (i + 2, i), n)),
        ("many mounts in one folder, escaped", lambda n: fill(lambda i: b"%d 1 8:1 / /m/\\040%d rw - ext4 /dev/sda1 rw\n" % (i + 2, i), n)),
    ],
    "fuzz_drive_paths": [
        ("a path of many names", lambda n: b"C=/;T=/t\n/t/" + fill(lambda i: b"n/", n)),
        ("a drive path of many ..", lambda n: b"C=/;T=/t\nT:\\" + fill(lambda i: b"a\\..\\", n)),
    ],
    "fuzz_report_arguments": [
        ("many options", lambda n: b"/RTXT\0C:\\\0out\0" + fill(lambda i: b"/SD:3\0/x\0", n)),
        ("one long option", lambda n: b"/RTXT\0C:\\\0out\0/T:" + b"1" * n),
    ],
    "fuzz_free_arguments": [
        ("a drive path of many names", lambda n: b"T:\\" + fill(lambda i: b"a\\", n)),
        ("many ..", lambda n: b"/" + fill(lambda i: b"a/../", n)),
    ],
}


def run(binary, data):
    with tempfile.NamedTemporaryFile(prefix="korvane-linearity-", delete=False) as f:
        f.write(data)
        path = f.name
    try:
        start = time.monotonic()
        p = subprocess.run([binary, "-rss_limit_mb=4096", "-timeout=600", path], capture_output=True, text=True)
        elapsed = time.monotonic() - start
        if p.returncode != 0:
            tail = "\n".join(line for line in p.stderr.splitlines() if re.search(r"ERROR|SUMMARY|fuzz check", line))
            return elapsed, "FAILED " + tail[:300]
        m = re.search(r"Executed .* in (\d+) ms", p.stderr)
        return (int(m.group(1)) / 1000.0 if m else elapsed), ""
    finally:
        os.unlink(path)


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build/fuzz"
    wanted = sys.argv[2:] or list(SHAPES)
    print("%-24s %-36s %9s %9s %6s" % ("target", "shape", "1 MB s", "10 MB s", "ratio"))
    for target in wanted:
        binary = os.path.join(build, "fuzz", target)
        for name, make in SHAPES[target]:
            small, note1 = run(binary, make(MB))
            large, note2 = run(binary, make(10 * MB))
            ratio = large / small if small > 0 else float("nan")
            print("%-24s %-36s %9.3f %9.3f %6.1f %s" % (target, name, small, large, ratio, note1 or note2), flush=True)


if __name__ == "__main__":
    main()
