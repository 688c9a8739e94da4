#!/usr/bin/env python3
"""peak_private.py NAME COMMAND...: runs COMMAND; prints its wall seconds and
the peak private memory of the process whose program is named NAME
(the setup under Wine), as "SECONDS BYTES", and exits with COMMAND's status.

Private memory is the process's anonymous resident bytes (RssAnon): what it
allocated itself, not the pages of files it maps. Sampled every 10 ms once
the process is found; the scan for it reads /proc until then.
"""
import os
import subprocess
import sys
import time

name, command = sys.argv[1].lower(), sys.argv[2:]


def find():
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                args = f.read().split(b"\0")
        except OSError:
            continue
        if args and os.path.basename(args[0].decode(errors="replace").replace("\\", "/")).lower() == name:
            return pid
    return None


def rss_anon(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("RssAnon:"):
                    return int(line.split()[1]) * 1024
    except OSError:
        pass
    return None


start = time.monotonic()
child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
pid, peak = None, 0
while child.poll() is None:
    pid = pid or find()
    if pid:
        peak = max(peak, rss_anon(pid) or 0)
    time.sleep(0.01)
print(f"{time.monotonic() - start:.2f} {peak}")
sys.exit(child.returncode)
