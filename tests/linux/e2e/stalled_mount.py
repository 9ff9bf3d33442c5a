#!/usr/bin/env python3
"""A folder that never answers, as a network mount whose server is gone:

    stalled_mount.py DIR

mounts a FUSE file system on DIR (as root), answers the kernel's INIT and
then nothing, so that any look into DIR waits. Prints "mounted" once it
is; on SIGTERM or SIGINT it closes the connection (every waiting request
fails) and unmounts.
"""
import os
import signal
import struct
import sys

FUSE_INIT = 26


def main():
    mount_point = sys.argv[1]
    fd = os.open("/dev/fuse", os.O_RDWR)
    import ctypes
    libc = ctypes.CDLL(None, use_errno=True)
    options = f"fd={fd},rootmode=40000,user_id=0,group_id=0".encode()
    if libc.mount(b"stalled", mount_point.encode(), b"fuse", 0, options) != 0:
        print(f"mount failed: {os.strerror(ctypes.get_errno())}", flush=True)
        return 1

    def finish(*_):
        os.close(fd)
        libc.umount2(mount_point.encode(), 2)  # MNT_DETACH
        os._exit(0)

    signal.signal(signal.SIGTERM, finish)
    signal.signal(signal.SIGINT, finish)
    print("mounted", flush=True)
    while True:
        request = os.read(fd, 1 << 20)
        _, opcode, unique = struct.unpack_from("<IIQ", request)
        if opcode != FUSE_INIT:
            continue  # never answered
        major, minor = struct.unpack_from("<II", request, 40)
        # The short INIT reply of protocol 7.22, which every kernel takes.
        body = struct.pack("<IIIIHHI", 7, 22, 0, 0, 0, 0, 4096)
        os.write(fd, struct.pack("<IiQ", 16 + len(body), 0, unique) + body)


if __name__ == "__main__":
    sys.exit(main())
