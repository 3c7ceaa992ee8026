#!/usr/bin/env python3
"""Real-kernel bench for the Linux backend.

Boots a Debian kernel under QEMU (software emulation) with a busybox initramfs built here,
attaches AHCI disks whose identity and contents we choose, runs vellumin-cli and
vellumin-vm-probe inside the guest and checks every answer against what the QEMU command line
and the disk images imply. Exit status: 0 passed, 1 failed, 77 QEMU cannot run here.
"""

import argparse
import hashlib
import json
import os
import re
import shlex
import shutil
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SKIP = 77
SECTOR = 512
CHUNK_SECTORS = 253
QUICK_STEP = 100

# The disks, one per AHCI port. The first is the small compatible drive that is scanned and
# carries a mounted file system; the last holds known data at chosen LBAs, beyond 2^28 too.
DISKS = [
    dict(port=0, name="small", model="VQ BENCH SSD 256M", serial="VQB0000001", ver="VQFW1.05",
         rotation=1, sectors=524288, volume=True, compatible=True),
    dict(port=1, name="other", model="XY OTHER SSD 16M", serial="XYO0000002", ver="XY2.10",
         rotation=1, sectors=32768, compatible=False),
    dict(port=2, name="spin", model="VQ SPINNING DISK", serial="VQS0000003", ver="SP7200",
         rotation=7200, sectors=32768, compatible=False),
    dict(port=3, name="data", model="VQ DATA SSD 128G", serial="VQD0000042", ver="2.0.7",
         rotation=1, sectors=(1 << 28) + 4096, compatible=True),
]
# --throughput-pairs: one blank compatible disk, sized by --throughput-mib, alone in the guest.
BENCH_DISK = dict(port=0, name="bench", model="VQ BENCH SSD", serial="VQT0000001", ver="VQFW1.05",
                  rotation=1, compatible=True)
VOLUME = "/mnt/vq data"  # a blank, so the mountinfo escape is exercised
PARTITION_START = 2048
DATA_LBAS = [0, 1, 252, 253, 0x12345, 0x01234567, 0x0FFFFFFF, 0x10000000, 0x10000100]
BLANK_LBA = 0x00ABCDEF
# QEMU's blkdebug layer fails every read of this sector of the data disk, so a full scan of it
# must stop at the chunk that holds it.
BAD_LBA = 40 * CHUNK_SECTORS + 7

GUEST_MODULES = ["ahci", "sd_mod", "sg", "ext4"]
ERASE_PORTS = [0, 3]  # the compatible disks
HELD_PORT = 3  # held open exclusively by another program while an erase is tried
BUSY_TEXT = "Another program holds the drive (a mounted file system, for one)"
SPLIT_KEYS = ("delivered=", "decoded=", "ioctl=")  # probe lines holding several fields


def log(text):
    print(text, flush=True)


class Failure(Exception):
    pass


def run(command, **kwargs):
    return subprocess.run(command, check=True, **kwargs)


# ---------------------------------------------------------------- kernel and modules


def fetch_kernel(cache: Path) -> Path:
    """The extracted Debian kernel package (never installed)."""
    cache.mkdir(parents=True, exist_ok=True)
    for ready in sorted(cache.glob("kernel-*/.ready")):
        return ready.parent
    meta = subprocess.run(["apt-cache", "depends", "linux-image-amd64"], capture_output=True,
                          text=True)
    if "linux-image-" not in meta.stdout.replace("linux-image-amd64", ""):
        run(["apt-get", "update", "-q"], stdout=subprocess.DEVNULL)
        meta = subprocess.run(["apt-cache", "depends", "linux-image-amd64"],
                              capture_output=True, text=True)
    match = re.search(r"Depends: (linux-image-[0-9][^\s]*)", meta.stdout)
    if not match:
        raise Failure("cannot find the versioned kernel package behind linux-image-amd64:\n"
                      + meta.stdout + meta.stderr)
    package = match.group(1)
    log(f"vm: downloading {package}")
    for old in cache.glob("*.deb"):
        old.unlink()
    download = subprocess.run(["apt-get", "download", package], cwd=cache, capture_output=True,
                              text=True)
    debs = list(cache.glob(f"{package}_*.deb"))
    if download.returncode != 0 or not debs:
        raise Failure(f"apt-get download {package} failed:\n{download.stdout}{download.stderr}")
    target = cache / f"kernel-{package}"
    shutil.rmtree(target, ignore_errors=True)
    run(["dpkg-deb", "-x", str(debs[0]), str(target)])
    versions = [p.name for p in (target / "lib/modules").iterdir()]
    run(["depmod", "-b", str(target), versions[0]])
    debs[0].unlink()
    (target / ".ready").write_text(package + "\n")
    return target


def module_name(path: str) -> str:
    name = Path(path).name
    for suffix in (".xz", ".zst", ".gz"):
        name = name.removesuffix(suffix)
    return name.removesuffix(".ko").replace("-", "_")


def resolve_modules(moddir: Path, wanted):
    """Load order for the wanted modules: dependencies (modules.dep) and soft
    dependencies (modules.softdep, through modules.alias) first; built-ins dropped."""
    deps, paths = {}, {}
    for line in (moddir / "modules.dep").read_text().splitlines():
        if ":" not in line:
            continue
        module, rest = line.split(":", 1)
        name = module_name(module)
        paths[name] = module
        deps[name] = [module_name(d) for d in rest.split()]
    builtin = {module_name(l) for l in (moddir / "modules.builtin").read_text().split()}
    aliases = {}
    for line in (moddir / "modules.alias").read_text().splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[0] == "alias":
            aliases.setdefault(parts[1].replace("-", "_"), []).append(parts[2].replace("-", "_"))
    soft = {}
    for line in (moddir / "modules.softdep").read_text().splitlines():
        parts = line.split()
        if len(parts) < 3 or parts[0] != "softdep":
            continue
        kind, entry = None, soft.setdefault(parts[1].replace("-", "_"), {"pre": [], "post": []})
        for word in parts[2:]:
            if word in ("pre:", "post:"):
                kind = word[:-1]
            elif kind:
                entry[kind].append(word.replace("-", "_"))

    order, seen = [], set()

    def candidates(name):
        if name in paths or name in builtin:
            return [name]
        return [c for c in aliases.get(name, []) if c in paths or c in builtin]

    def visit(name, required):
        found = candidates(name)
        if not found and required:
            raise Failure(f"kernel module {name} not found in {moddir}")
        for module in found:
            if module in seen:
                continue
            seen.add(module)
            for pre in soft.get(module, {}).get("pre", []):
                visit(pre, False)
            # modules.dep lists every dependency, the deepest last.
            for dep in reversed(deps.get(module, [])):
                visit(dep, True)
            if module in paths:
                order.append(module)
            for post in soft.get(module, {}).get("post", []):
                visit(post, False)

    for name in wanted:
        visit(name.replace("-", "_"), True)
    return [(name, moddir / paths[name]) for name in order]


def copy_module(source: Path, target: Path):
    text = str(source)
    if text.endswith(".xz"):
        target.write_bytes(run(["xz", "-dc", text], capture_output=True).stdout)
    elif text.endswith(".zst"):
        target.write_bytes(run(["zstd", "-dc", text], capture_output=True).stdout)
    else:
        shutil.copyfile(source, target)


# ---------------------------------------------------------------- initramfs


def copy_program(binary: Path, root: Path, name: str):
    """A program and every shared library ldd names, at the same paths in the guest."""
    target = root / "bin" / name
    shutil.copyfile(binary, target)
    if shutil.which("strip"):
        subprocess.run(["strip", "--strip-debug", str(target)], check=False)
    target.chmod(0o755)
    ldd = run(["ldd", str(binary)], capture_output=True, text=True).stdout
    for line in ldd.splitlines():
        match = re.search(r"(/\S+)", line.split("=>")[-1])
        if not match:
            continue
        library = Path(match.group(1))
        dest = root / library.relative_to("/")
        if not dest.exists():
            dest.parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(library.resolve(), dest)
            dest.chmod(0o755)


def build_initramfs(work: Path, kernel: Path, cli: Path, probe: Path, init_script: str,
                    extra_programs=(), extra_files=None) -> Path:
    root = work / "root"
    shutil.rmtree(root, ignore_errors=True)
    for d in ("bin", "dev", "proc", "sys", "mnt", "tmp", "modules"):
        (root / d).mkdir(parents=True)
    busybox = shutil.which("busybox")
    if not busybox:
        raise Failure("busybox is missing (tools/deps vm installs busybox-static)")
    shutil.copyfile(busybox, root / "bin/busybox")
    (root / "bin/busybox").chmod(0o755)
    ldd = subprocess.run(["ldd", busybox], capture_output=True, text=True)
    if "not a dynamic executable" not in ldd.stdout + ldd.stderr:
        raise Failure(f"{busybox} is not static: install busybox-static")
    copy_program(cli, root, "vellumin-cli")
    copy_program(probe, root, "vellumin-vm-probe")
    for program in extra_programs:
        found = shutil.which(program)
        if not found:
            raise Failure(f"{program} is missing (tools/deps vm installs it)")
        copy_program(Path(found), root, Path(program).name)
    for path, text in (extra_files or {}).items():
        target = root / path.lstrip("/")
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_text(text)
    moddir = next((kernel / "lib/modules").iterdir())
    names = []
    for index, (name, path) in enumerate(resolve_modules(moddir, GUEST_MODULES)):
        file = f"{index:02d}-{name}.ko"
        copy_module(path, root / "modules" / file)
        names.append(file)
    (root / "modules/order").write_text("\n".join(names) + "\n")
    init = root / "init"
    init.write_text(init_script)
    init.chmod(0o755)
    archive = work / "initramfs.cpio"
    files = subprocess.run(["find", "."], cwd=root, capture_output=True, text=True,
                           check=True).stdout
    with open(archive, "wb") as out:
        subprocess.run(["cpio", "-o", "-H", "newc", "--quiet"], cwd=root, input=files.encode(),
                       stdout=out, check=True)
    return archive


# ---------------------------------------------------------------- disk images


def sector_pattern(lba: int) -> bytes:
    head = b"VLMN" + lba.to_bytes(8, "little") + b"DATA"
    return head + bytes((lba + i) & 0xFF for i in range(SECTOR - len(head)))


def make_sparse(work: Path, disk):
    image = work / f"{disk['name']}.img"
    image.unlink(missing_ok=True)
    with open(image, "wb") as f:
        f.truncate(disk["sectors"] * SECTOR)
    disk["image"] = image


def make_images(work: Path):
    for disk in DISKS:
        make_sparse(work, disk)
    data = next(d for d in DISKS if d["name"] == "data")
    with open(data["image"], "r+b") as f:
        for lba in DATA_LBAS:
            f.seek(lba * SECTOR)
            f.write(sector_pattern(lba))
    small = next(d for d in DISKS if d["name"] == "small")
    size = small["sectors"] - PARTITION_START
    # One Linux partition from sector 2048 to the end, holding an ext2 file system.
    entry = bytes([0x00, 0, 0, 0, 0x83, 0, 0, 0]) + PARTITION_START.to_bytes(4, "little") + \
        size.to_bytes(4, "little")
    with open(small["image"], "r+b") as f:
        f.seek(446)
        f.write(entry + bytes(48) + b"\x55\xaa")
    mke2fs = shutil.which("mke2fs") or shutil.which("mkfs.ext2")
    if not mke2fs:
        raise Failure("mke2fs is missing (e2fsprogs)")
    run([mke2fs, "-q", "-F", "-t", "ext2", "-E", f"offset={PARTITION_START * SECTOR}",
         str(small["image"]), f"{size * SECTOR // 1024}k"], stdout=subprocess.DEVNULL)


# ---------------------------------------------------------------- the guest's work


def guest_script() -> str:
    """The guest's /init: loads the storage stack, mounts the volume and runs every command,
    each answer framed on the second serial port."""
    steps = []

    def step(name, command):
        steps.append(f"section {shlex.quote(name)} {command}")

    step("mountinfo", "cat /proc/self/mountinfo")
    step("list", "vellumin-cli list")
    step("list-json", "vellumin-cli --json list")
    for disk in DISKS:
        p = disk["port"]
        step(f"identify-raw-{p}", f"vellumin-cli identify $(drive {p}) --raw")
        step(f"identify-{p}", f"vellumin-cli --json identify $(drive {p})")
        step(f"probe-identify-{p}", f"vellumin-vm-probe identify $(drive {p})")
    step("info", "vellumin-cli --json info $(drive 0)")
    step("smart", "vellumin-cli --json smart $(drive 0)")
    step("probe-smart", "vellumin-vm-probe smart $(drive 0)")
    for lba in DATA_LBAS + [BLANK_LBA]:
        if lba < (1 << 28) - 1:
            step(f"read-{lba:x}", f"vellumin-vm-probe read $(drive 3) {lba} 2")
        step(f"readext-{lba:x}", f"vellumin-vm-probe read $(drive 3) {lba} 2 ext")
    small = DISKS[0]["sectors"]
    step("read-bad", f"vellumin-vm-probe read $(drive 3) {BAD_LBA} 1")
    step("read-past-end", f"vellumin-vm-probe read $(drive 0) {small + 1000} 1")
    step("sense-good", "vellumin-vm-probe sense $(drive 0) 0 1")
    step("sense-error", f"vellumin-vm-probe sense $(drive 0) {small + 1000} 0")
    step("sense-error-ck", f"vellumin-vm-probe sense $(drive 0) {small + 1000} 1")
    step("sense-identify", "vellumin-vm-probe sense $(drive 0) 0 0 pio")
    step("sense-identify-ck", "vellumin-vm-probe sense $(drive 0) 0 1 pio")
    step("check-power-mode", "vellumin-vm-probe nondata $(drive 0) 0xE5 0")
    step("security-erase-prepare", "vellumin-vm-probe nondata $(drive 0) 0xF3 0")
    step("security-set-password", "vellumin-vm-probe dataout $(drive 0) 0xF1 0")
    step("smart-vendor", "vellumin-vm-probe nondata $(drive 0) 0xB0 0xF8")
    step("help", "vellumin-cli --help")
    steps.append("if vellumin-cli --help | grep -q '^ *scan '; then")
    # The first pass over a disk fills the host's page cache with the image's holes, which
    # costs the emulator more than every later pass: neither of the pair may pay it.
    steps.append(f"  section warm-up dd if=/dev/$(disk 0) of=/dev/null iflag=direct "
                 f"bs={CHUNK_SECTORS * SECTOR}")
    steps.append("  section scan-full timed vellumin-cli --json scan $(drive 0) --full")
    # Right after the scan, so that the one pair sees the same load.
    steps.append(f"  section dd timed dd if=/dev/$(disk 0) of=/dev/null iflag=direct "
                 f"bs={CHUNK_SECTORS * SECTOR}")
    steps.append("  section scan-quick vellumin-cli --json scan $(drive 0) --quick")
    steps.append("  section scan-bad vellumin-cli --json scan $(drive 3) --full")
    steps += ["  " + step for step in fast_scan_steps()]
    steps.append("fi")
    steps.append("if vellumin-cli --help | grep -q '^ *erase '; then")
    for port in ERASE_PORTS:
        for kind in ("quick", "full"):
            for rehearse in ("", " --rehearse"):
                name = f"erase-{kind}-{port}" + ("-rehearse" if rehearse else "")
                # The prompts go to stderr; the section keeps the JSON alone.
                steps.append(f"  section {name} sh -c \"vellumin-cli --json erase $(drive {port}) --{kind} "
                             f"--yes{rehearse} </dev/null 2>/dev/null\"")
    steps.append(f"  section erase-text vellumin-cli erase $(drive 0) --quick --yes </dev/null")
    # Another program holds the data disk exclusively, as a mounted file system holds the small
    # one: the erase must be refused busy before any command, while reads still work.
    steps.append(f"  vellumin-vm-probe hold $(drive {HELD_PORT}) >/tmp/hold.out 2>&1 & holder=$!")
    steps.append("  i=0; while ! grep -q held= /tmp/hold.out && [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done")
    steps.append("  section hold cat /tmp/hold.out")
    steps.append(f"  section erase-held sh -c \"vellumin-cli --verbose --json erase $(drive {HELD_PORT}) --quick "
                 f"--yes </dev/null 2>/tmp/erase-held.err\"")
    steps.append("  section erase-held-err cat /tmp/erase-held.err")
    steps.append(f"  section info-held vellumin-cli --json info $(drive {HELD_PORT})")
    steps.append("  kill $holder; wait $holder")
    steps.append("fi")
    steps.append("section readloop vellumin-vm-probe readloop $(drive 0)")
    steps.append("section readloop-flush vellumin-vm-probe readloop $(drive 0) flush")
    return init_script(DISKS, "\n".join(steps), mount=True)


def pairs_script(pairs: int) -> str:
    """The guest's /init for the throughput pairs alone: a full scan and dd of the one bench
    disk, interleaved so that both see the same emulator and host load. The scan runs as on a
    terminal (the serial port is one), progress line and all. Beside them, what tells where a
    difference comes from: each program's start-up, and the READ DMA loop through the backend
    against an O_DIRECT loop through the block layer, both timed inside the process."""
    bs = CHUNK_SECTORS * SECTOR
    steps = ["section clocksource cat /sys/devices/system/clocksource/clocksource0/current_clocksource"]
    for i in range(3):
        steps.append(f"section startup-cli-{i} timed vellumin-cli --version")
        steps.append(f"section startup-dd-{i} timed dd if=/dev/zero of=/dev/null count=0")
    # The first pass over the disk fills the host's page cache (see guest_script).
    steps.append(f"section warm-up timed dd if=/dev/$(disk 0) of=/dev/null iflag=direct bs={bs}")
    for i in range(pairs):
        steps.append(f"section scan-{i} timed vellumin-cli scan $(drive 0) --full")
        steps.append(f"section dd-{i} timed dd if=/dev/$(disk 0) of=/dev/null iflag=direct bs={bs}")
    for i in range(pairs):
        steps.append(f"section readloop-{i} vellumin-vm-probe readloop $(drive 0) aligned")
        steps.append(f"section blockloop-{i} vellumin-vm-probe blockloop $(drive 0)")
    return init_script([BENCH_DISK], "\n".join(steps), mount=False)


QUEUED_REQUEST_SECTORS = 8 * CHUNK_SECTORS  # the fast scan's request: 8 chunks


def fast_scan_steps():
    """The fast scan beside the READ DMA scan: a quick scan of the small disk and, timed, both
    full scans of the data disk that fails a sector, each with the kernel's messages it caused."""
    return [
        "section scan-quick-fast vellumin-cli --json scan $(drive 0) --quick --fast",
        "dmesg -c >/dev/null",
        "section scan-bad-fast timed vellumin-cli --json scan $(drive 3) --full --fast",
        "section scan-bad-fast-kernel dmesg -c",
        "section scan-bad-dma timed vellumin-cli --json scan $(drive 3) --full",
        "section scan-bad-dma-kernel dmesg -c",
    ]


def fio_command(depth: int) -> str:
    return (f"sh -c \"fio --name=read --filename=/dev/$(disk 0) --readonly --direct=1 --thread "
            f"--ioengine=io_uring --iodepth={depth} --bs=1M --rw=read --output-format=json 2>/dev/null\"")


FAST_PAIR_KINDS = ("fast", "scan", "fio32", "fio1", "dd")


def fast_pairs_script(pairs: int) -> str:
    """The guest's /init for --fast-pairs: on the one bench disk, per round a fast scan, a
    READ DMA scan, fio at depth 32 and at depth 1 (io_uring, 1 MiB, direct) and dd with the
    scan's chunk, the order turned by one each round so that none always runs first."""
    bs = CHUNK_SECTORS * SECTOR
    commands = {
        "fast": "vellumin-cli scan $(drive 0) --full --fast",
        "scan": "vellumin-cli scan $(drive 0) --full",
        "fio32": fio_command(32),
        "fio1": fio_command(1),
        "dd": f"dd if=/dev/$(disk 0) of=/dev/null iflag=direct bs={bs}",
    }
    steps = [f"section scheduler cat /sys/block/$(disk 0)/queue/scheduler",
             f"section max-sectors cat /sys/block/$(disk 0)/queue/max_sectors_kb",
             f"section warm-up timed dd if=/dev/$(disk 0) of=/dev/null iflag=direct bs={bs}"]
    for i in range(pairs):
        for k in range(len(FAST_PAIR_KINDS)):
            kind = FAST_PAIR_KINDS[(i + k) % len(FAST_PAIR_KINDS)]
            steps.append(f"section {kind}-{i} timed {commands[kind]}")
    return init_script([BENCH_DISK], "\n".join(steps), mount=False)


def init_script(disks, body: str, mount: bool) -> str:
    """/init around the body: modules, the disks awaited and mapped, the volume mounted."""
    mount_lines = f"""# Partitions are scanned after the disk shows up.
i=0
while [ ! -b /dev/$(disk 0)1 ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done
mkdir -p "{VOLUME}"
# Read-only, so that every image is byte for byte what the host made: nothing in the guest,
# the erase least of all, may write to a disk.
mount -t ext2 -o ro /dev/$(disk 0)1 "{VOLUME}" || say "note: mount failed"
""" if mount else ""
    return f"""#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
exec 3>/dev/ttyS1
say() {{ echo "$@" >&3; }}
for m in $(cat /modules/order); do
  insmod /modules/$m 2>/dev/null || say "note: insmod $m failed"
done
# The disks appear asynchronously; wait for all of them (TCG is slow).
i=0
while [ "$(ls /sys/block | grep -c '^sd')" -lt {len(disks)} ] && [ $i -lt 1200 ]; do
  sleep 0.1; i=$((i+1))
done
# AHCI port P is libata port ata(P+1); its disk name and drive number:
disk() {{
  for d in /sys/block/sd*; do
    case "$(readlink $d)" in */ata$(($1+1))/*) echo ${{d#/sys/block/}}; return;; esac
  done
  echo none
}}
drive() {{
  n=$(disk $1); l=${{n#sd}}
  [ ${{#l}} -eq 1 ] && echo $(( $(printf '%d' "'$l") - 97 )) || echo 99
}}
uptime_cs() {{ read u rest </proc/uptime; echo ${{u%.*}}${{u#*.}}; }}
timed() {{
  t0=$(uptime_cs); "$@"; rc=$?; t1=$(uptime_cs)
  echo "@@@ elapsed_cs=$((t1-t0))"
  return $rc
}}
section() {{
  name=$1; shift
  echo "@@@ BEGIN $name" >&3
  "$@" >&3 2>&3
  echo "@@@ END $name rc=$?" >&3
}}
for p in {' '.join(str(d['port']) for d in disks)}; do say "map port=$p disk=$(disk $p) drive=$(drive $p)"; done
{mount_lines}{body}
say "@@@ DONE"
{f'umount "{VOLUME}"' if mount else ""}
sync
poweroff -f
"""


def qemu_command(qemu: str, kernel: Path, initramfs: Path, work: Path, disks):
    vmlinuz = next((kernel / "boot").glob("vmlinuz-*"))
    command = [
        qemu, "-M", "pc", "-nodefaults", "-no-reboot", "-display", "none", "-m", "1024",
        "-cpu", "max", "-smp", "1",
        "-kernel", str(vmlinuz), "-initrd", str(initramfs),
        "-append", "console=ttyS0 rdinit=/init panic=-1 loglevel=4",
        "-serial", f"file:{work / 'console.log'}", "-serial", f"file:{work / 'results.log'}",
        "-device", "ahci,id=ahci",
    ]
    blkdebug = work / "bad-sector.conf"
    blkdebug.write_text(f'[inject-error]\nevent = "read_aio"\nerrno = "5"\n'
                        f'sector = "{BAD_LBA}"\nonce = "off"\nimmediately = "off"\n')
    for disk in disks:
        backing = f"file.filename={disk['image']}"
        if disk["name"] == "data":
            backing = (f"file.driver=blkdebug,file.config={blkdebug},"
                       f"file.image.driver=file,file.image.filename={disk['image']}")
        command += [
            "-drive", f"if=none,id=disk{disk['port']},format=raw,{backing}",
            "-device",
            f"ide-hd,bus=ahci.{disk['port']},drive=disk{disk['port']},model={disk['model']},"
            f"serial={disk['serial']},ver={disk['ver']},rotation_rate={disk['rotation']}",
        ]
    return command


# ---------------------------------------------------------------- checks


class Results:
    def __init__(self, text: str):
        self.sections, self.codes, self.notes = {}, {}, []
        self.map = {}
        self.done = "@@@ DONE" in text
        current = None
        for line in text.replace("\r", "").splitlines():
            if line.startswith("@@@ BEGIN "):
                current = line[len("@@@ BEGIN "):]
                self.sections[current] = []
            elif line.startswith("@@@ END ") and current:
                self.codes[current] = int(line.rsplit("rc=", 1)[1])
                current = None
            elif current is not None:
                self.sections[current].append(line)
            elif line.startswith("map "):
                fields = dict(f.split("=", 1) for f in line.split()[1:])
                self.map[int(fields["port"])] = (fields["disk"], int(fields["drive"]))
            elif line.startswith("note:"):
                self.notes.append(line)

    def has(self, name):
        return name in self.sections

    def text(self, name):
        return "\n".join(self.sections.get(name, []))

    def json(self, name):
        lines = [l for l in self.sections.get(name, []) if not l.startswith("@@@")]
        return json.loads("\n".join(lines))

    def keys(self, name):
        values = {}
        for line in self.sections.get(name, []):
            if "=" in line and not line.startswith("@@@"):
                for field in line.split(" ") if line.startswith(SPLIT_KEYS) else [line]:
                    key, _, value = field.partition("=")
                    values[key] = value
        return values

    def elapsed(self, name):
        for line in self.sections.get(name, []):
            if line.startswith("@@@ elapsed_cs="):
                return int(line.split("=")[1]) / 100.0
        return None


class Checker:
    def __init__(self):
        self.failures, self.passed = [], 0

    def check(self, condition, what, detail=""):
        if condition:
            self.passed += 1
        else:
            self.failures.append(what + (f"\n      {detail}" if detail else ""))

    def equal(self, actual, expected, what):
        self.check(actual == expected, what, f"expected {expected!r}, got {actual!r}")


def ata_string(block: bytes, first: int, words: int) -> str:
    return "".join(chr(block[2 * k + 1]) + chr(block[2 * k]) for k in range(first, first + words))


def padded(text: str, length: int) -> str:
    return text.ljust(length)[:length]


def identify_bytes(lines):
    """The bytes of a hex dump: lines "OFFSET: XX XX ..."."""
    data = bytearray()
    for line in lines:
        match = re.match(r"^([0-9A-Fa-f]{4}):((?: [0-9A-Fa-f]{2})+)\s*$", line)
        if not match or int(match.group(1), 16) != len(data):
            raise ValueError(f"not a hex dump line at offset {len(data)}: {line!r}")
        data += bytes(int(b, 16) for b in match.group(2).split())
    return bytes(data)


def check_results(r: Results, c: Checker):
    c.check(r.done, "the guest ran to its end")
    c.equal(sorted(r.map), [d["port"] for d in DISKS], "every AHCI disk appeared in the guest")
    for port, (disk, drive) in sorted(r.map.items()):
        c.check(0 <= drive <= 15, f"port {port} has a drive number", f"{disk} -> {drive}")
    drive_of = {p: r.map.get(p, ("none", 99))[1] for p in range(len(DISKS))}

    c.check(VOLUME in "\n".join(r.sections.get("mountinfo", [])).replace("\\040", " "),
            "the volume is mounted in the guest", r.text("mountinfo"))

    # list: the compatible drives in drive order, with the mounted volume on the small one.
    expected_rows = []
    for disk in sorted(DISKS, key=lambda d: drive_of[d["port"]]):
        if disk["compatible"]:
            row = " " + disk["model"] + " "
            if disk.get("volume"):
                row += "(" + VOLUME + " )"
            expected_rows.append((drive_of[disk["port"]], row))
    c.equal(r.codes.get("list"), 0, "list exits 0")
    table = [(int(m.group(1)), m.group(2)) for m in
             (re.match(r"Drive (\d+)  (.*)$", l) for l in r.sections.get("list", [])) if m]
    c.equal(table, expected_rows, "list rows (drive number, row text)")
    try:
        listed = r.json("list-json")
        c.equal(listed.get("count"), len(expected_rows), "list --json count")
        c.equal(listed.get("list"), [row for _, row in expected_rows], "list --json rows")
    except (ValueError, AttributeError) as e:
        c.check(False, "list --json is JSON", f"{e}: {r.text('list-json')}")

    for disk in DISKS:
        p = disk["port"]
        # identify --raw: the words QEMU builds from the -device properties.
        try:
            raw = identify_bytes(r.sections.get(f"identify-raw-{p}", []))
        except (ValueError, KeyError, IndexError) as e:
            c.check(False, f"identify --raw of port {p} is a hex dump", f"{e}: {r.text(f'identify-raw-{p}')}")
            continue
        c.equal(len(raw), 512, f"identify --raw of port {p}: 512 bytes")
        c.equal(ata_string(raw, 27, 20), padded(disk["model"], 40), f"port {p} model words 27-46")
        c.equal(ata_string(raw, 10, 10), padded(disk["serial"], 20), f"port {p} serial words 10-19")
        c.equal(ata_string(raw, 23, 4), padded(disk["ver"], 8), f"port {p} firmware words 23-26")
        c.equal(raw[434] | raw[435] << 8, disk["rotation"], f"port {p} word 217 rotation rate")
        lba28 = int.from_bytes(raw[120:124], "little")
        lba48 = int.from_bytes(raw[200:208], "little")
        c.equal(lba48, disk["sectors"], f"port {p} words 100-103: capacity")
        c.equal(lba28, min(disk["sectors"], (1 << 28) - 1), f"port {p} words 60-61")

        try:
            rows = {row["label"]: row["value"] for row in r.json(f"identify-{p}")["rows"]}
            # The ATA strings come padded with blanks; the texts may keep or drop them.
            for label, value in (("Model Number", disk["model"]), ("Serial Number", disk["serial"]),
                                 ("Firmware Version", disk["ver"])):
                c.equal((rows.get(label) or "").rstrip(), value, f"identify {p}: {label}")
            c.equal(rows.get("Rotation Rate"), f"0x{disk['rotation']:04X}", f"identify {p}: rotation")
            c.equal(rows.get("Compatible"), "yes" if disk["compatible"] else "no",
                    f"identify {p}: compatible")
        except (ValueError, KeyError, TypeError) as e:
            c.check(False, f"identify {p} --json rows", f"{e}: {r.text(f'identify-{p}')}")

        k = r.keys(f"probe-identify-{p}")
        c.equal((k.get("delivered"), k.get("status"), k.get("error")), ("1", "0x50", "0x00"),
                f"probe identify {p}: delivered, ready, no error")
        c.equal(k.get("model"), padded(disk["model"], 40) + "|", f"probe identify {p}: model")
        c.equal(k.get("sectors"), str(disk["sectors"]), f"probe identify {p}: BLKGETSIZE64/512")

    check_info_smart(r, c, drive_of[0])

    # Reads at known LBAs: the sector contents prove the LBA bytes travel in the right places.
    for lba in DATA_LBAS + [BLANK_LBA]:
        for name, ext in ((f"read-{lba:x}", False), (f"readext-{lba:x}", True)):
            if not r.has(name):
                continue
            k = r.keys(name)
            what = f"READ DMA{' EXT' if ext else ''} at LBA 0x{lba:x}"
            c.equal((k.get("delivered"), k.get("result")), ("1", "1"), what + ": delivered, read")
            for i in range(2):
                expected = sector_pattern(lba + i)[:16].hex() if lba + i in DATA_LBAS else "00" * 16
                c.equal(k.get(f"sector{i}"), expected, f"{what}: sector {i} data")
    k = r.keys("read-past-end")
    c.equal(k.get("delivered"), "1", "READ DMA past the end is delivered")
    c.check(int(k.get("status", "0"), 16) & 0x01 and k.get("result") not in ("1", "0", None),
            "READ DMA past the end comes back with the error bit and an error code",
            r.text("read-past-end"))

    k = r.keys("check-power-mode")
    c.equal((k.get("delivered"), k.get("status"), k.get("error"), k.get("count")),
            ("1", "0x50", "0x00", "0xff"), "CHECK POWER MODE: registers come back (count 0xFF active)")
    for name in ("security-erase-prepare", "security-set-password", "smart-vendor"):
        k = r.keys(name)
        c.equal(k.get("delivered"), "1", f"{name}: delivered")
        c.check(k.get("status") in ("0x41", "0x51") and k.get("error") == "0x04",
                f"{name}: aborted by the device (status ERR, error ABRT)", r.text(name))

    # The kernel's own answers, sent by hand: whatever layout it picks, the decoder must read
    # the device's registers out of it.
    for name, status, error in (("sense-good", "0x50", "0x00"), ("sense-error", "0x41", "0x04"),
                                ("sense-error-ck", "0x41", "0x04"),
                                ("sense-identify", "0x50", "0x00")):
        k = r.keys(name)
        c.check((k.get("decoded"), k.get("status"), k.get("error")) == ("1", status, error),
                f"{name}: registers decoded from the kernel's sense data", r.text(name))
    c.check(r.keys("sense-identify").get("data", "").startswith("4000"),
            "IDENTIFY without ck_cond returns its data", r.text("sense-identify"))
    # With ck_cond this AHCI path reports a PIO data-in command aborted with DRQ still set and
    # no error bit: never to be taken for a success.
    k = r.keys("sense-identify-ck")
    c.check(k.get("decoded") == "0" or int(k.get("status", "0"), 16) & 0x01,
            "IDENTIFY aborted by the SAT layer is not a success", r.text("sense-identify-ck"))

    for name in ("readloop", "readloop-flush"):
        c.equal(r.keys(name).get("chunks"), str(-(-DISKS[0]["sectors"] // CHUNK_SECTORS)),
                f"{name}: whole disk read")

    check_scan(r, c)
    check_fast_scan(r, c)
    check_erase(r, c, drive_of)


def image_digest(path: Path) -> str:
    """SHA-256 over the size and every non-zero MiB (offset and bytes) of a sparse image, found
    through its data extents; how the file system happens to allocate them does not count."""
    block_size = 1 << 20
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        size = os.fstat(f.fileno()).st_size
        digest.update(size.to_bytes(8, "little"))
        offset, done = 0, -1
        while offset < size:
            try:
                start = os.lseek(f.fileno(), offset, os.SEEK_DATA)
            except OSError:
                break  # only a hole is left
            end = os.lseek(f.fileno(), start, os.SEEK_HOLE)
            for block in range(start // block_size * block_size, end, block_size):
                if block <= done:
                    continue
                f.seek(block)
                data = f.read(block_size)
                if data.count(0) != len(data):
                    digest.update(block.to_bytes(8, "little") + data)
                done = block
            offset = end
    return digest.hexdigest()


def check_busy(doc, code, c: Checker, what):
    """An erase refused because another program holds the drive: nothing sent, the reason named."""
    c.equal(code, 6, f"{what}: exits 6 (refused)")
    c.equal((doc.get("ending"), doc.get("commands")), ("drive-busy", []),
            f"{what}: ends drive-busy before any command")
    c.check((doc.get("messages") or [{}])[-1].get("text", "").startswith(BUSY_TEXT),
            f"{what}: says another program holds the drive", json.dumps(doc.get("messages"))[:2000])
    opens = [(o.get("command"), o.get("openError"), o.get("errno")) for o in doc.get("notDelivered", [])]
    c.equal(opens, [("open", "busy", 16)], f"{what}: the claim's reason is busy (EBUSY)")


def check_erase(r: Results, c: Checker, drive_of):
    """QEMU's disks report no security feature set (word 128 is 0) and no controller name, so
    Quick Erase runs the security flow and stops at its check; Full Erase is not offered. The
    small disk's mounted file system holds it: its erase is refused busy."""
    if not r.has("erase-text"):
        log("vm: vellumin-cli has no erase command yet; erase checks not run")
        return
    for port in ERASE_PORTS:
        documents = {}
        for kind in ("quick", "full"):
            for suffix in ("", "-rehearse"):
                name = f"erase-{kind}-{port}{suffix}"
                try:
                    documents[kind + suffix] = r.json(name)
                except ValueError as e:
                    c.check(False, f"{name} --json is JSON", f"{e}: {r.text(name)[:2000]}")
        quick, full = documents.get("quick", {}), documents.get("full", {})
        volume = f"Volume: {VOLUME}" if DISKS[port].get("volume") else "Volume: Not recognized volume"
        c.check(any(m.get("text", "").endswith(volume) for m in quick.get("messages", [])),
                f"erase --quick of port {port}: the confirmation lists {volume!r}", r.text(f"erase-quick-{port}"))
        c.equal(r.codes.get(f"erase-full-{port}"), 6, f"erase --full of port {port} is refused (exit 6)")
        c.equal((full.get("ending"), full.get("commands")), ("refused", []),
                f"erase --full of port {port}: no Full Erase for a drive without a listed controller")
        for kind in ("quick", "full"):
            rehearsal = documents.get(kind + "-rehearse", {})
            real = documents.get(kind, {})
            c.equal(rehearsal.get("commands"), real.get("commands"),
                    f"erase --{kind} of port {port}: the rehearsal's commands are the real ones")
            c.equal(rehearsal.get("ending"), real.get("ending"), f"erase --{kind} of port {port}: rehearsed ending")
        if DISKS[port].get("volume"):
            check_busy(quick, r.codes.get(f"erase-quick-{port}"), c, f"erase --quick of mounted port {port}")
            continue
        c.equal(r.codes.get(f"erase-quick-{port}"), 1, f"erase --quick of port {port} exits 1")
        c.equal(quick.get("flow"), "security", f"erase --quick of port {port}: security erase flow")
        c.equal(quick.get("ending"), "check-failed", f"erase --quick of port {port}: ending")
        c.equal([m.get("text", "")[:27] for m in quick.get("messages", [])],
                ["Are you sure you want to er", "Secure Erase check failed!!"],
                f"erase --quick of port {port}: messages")
        c.equal((quick.get("messages") or [{}])[-1].get("text"),
                "Secure Erase check failed!!\nSecurity_Unsupported",
                f"erase --quick of port {port}: the check names the unsupported feature set")
        c.equal([x.get("name") for x in quick.get("commands", [])], ["IDENTIFY DEVICE"] * 2,
                f"erase --quick of port {port}: only the flow's two IDENTIFY DEVICE")
    text = r.text("erase-text")
    c.check("Ending: drive-busy" in text and "SECURITY" not in text and BUSY_TEXT in text,
            "erase in text of the mounted disk: refused busy before any command", text[:2000])
    check_held(r, c, drive_of)


def check_held(r: Results, c: Checker, drive_of):
    """The data disk held open exclusively by another process: the erase is refused busy and
    says so on standard error, and info still reads the disk."""
    c.check("held=1" in r.text("hold"), "another process holds the data disk exclusively", r.text("hold"))
    try:
        check_busy(r.json("erase-held"), r.codes.get("erase-held"), c, "erase of the held disk")
    except ValueError as e:
        c.check(False, "erase-held --json is JSON", f"{e}: {r.text('erase-held')[:2000]}")
    drive = drive_of[HELD_PORT]
    c.check(f"Physical drive {drive} cannot be opened: held open by another program"
            in r.text("erase-held-err"), "erase of the held disk: the reason on standard error",
            r.text("erase-held-err")[:2000])
    c.equal(r.codes.get("info-held"), 0, "info of the held disk exits 0")
    try:
        rows = {row["label"]: row["value"] for row in r.json("info-held")["rows"]}
        c.equal((rows.get("Model Number") or "").rstrip(), DISKS[HELD_PORT]["model"], "info of the held disk: model")
    except (ValueError, KeyError, TypeError) as e:
        c.check(False, "info-held --json rows", f"{e}: {r.text('info-held')[:2000]}")


def sense_report(r: Results):
    """What this kernel does with the registers, for the log."""
    lines = []
    for name, what in (("sense-good", "READ DMA ok, ck_cond"), ("sense-error", "READ DMA error"),
                       ("sense-error-ck", "READ DMA error, ck_cond"),
                       ("sense-identify", "IDENTIFY, no ck_cond"),
                       ("sense-identify-ck", "IDENTIFY, ck_cond")):
        line = next((l for l in r.sections.get(name, []) if l.startswith("ioctl=")), None)
        data = r.keys(name).get("data", "")
        if line:
            sense = line.split("sense=")[1]
            kind = {"72": "descriptor", "70": "fixed"}.get(sense[:2], "none" if not sense else "?")
            extra = ""
            if "IDENTIFY" in what:
                extra = ", data arrived" if data.startswith("4000") else ", data lost"
            lines.append(f"vm: {what:26s}: {kind} sense {sense or '-'}{extra}")
    return lines


def check_info_smart(r: Results, c: Checker, drive: int):
    disk = DISKS[0]
    if r.has("info"):
        c.equal(r.codes.get("info"), 0, "info exits 0")
        try:
            rows = {row["label"]: row["value"] for row in r.json("info")["rows"]}
            c.equal(rows.get("Physical Disk Number"), str(drive), "info: physical disk number")
            for label, value in (("Model Number", disk["model"]), ("Serial Number", disk["serial"]),
                                 ("Firmware Version", disk["ver"])):
                c.equal((rows.get(label) or "").rstrip(), value, f"info: {label}")
            # The guest's AHCI ports are libata ports: sysfs places the disk under ataN.
            c.equal(r.json("info").get("connection"), "sata", "info: the disk is on a SATA port")
        except (ValueError, KeyError, TypeError) as e:
            c.check(False, "info --json rows", f"{e}: {r.text('info')[:2000]}")
    k = r.keys("probe-smart")
    c.equal((k.get("delivered"), k.get("status"), k.get("error")), ("1", "0x50", "0x00"),
            "probe SMART READ DATA: delivered, no error")
    c.equal(k.get("vendor400"), "00" * 8, "SMART bytes 400-407 are zero in QEMU")
    c.check(k.get("head", "ee" * 16) != "ee" * 16, "SMART READ DATA filled the buffer", k.get("head"))
    if r.has("smart"):
        c.equal(r.codes.get("smart"), 0, "smart exits 0")
        try:
            smart = r.json("smart")
            c.equal(smart.get("drive"), drive, "smart: drive number")
            # No vendor bytes, so no controller name to pick a decoder by.
            c.equal(smart.get("controller"), "", "smart: controller name from bytes 400-407")
        except (ValueError, AttributeError) as e:
            c.check(False, "smart --json is JSON", f"{e}: {r.text('smart')[:2000]}")


def check_scan(r: Results, c: Checker):
    if not r.has("scan-full"):
        log("vm: vellumin-cli has no scan command yet; scan checks not run")
        return
    total = DISKS[0]["sectors"]
    for name, step in (("scan-full", 1), ("scan-quick", QUICK_STEP)):
        chunks = -(-total // (CHUNK_SECTORS * step))
        c.equal(r.codes.get(name), 0, f"{name} exits 0")
        try:
            document = r.json(name)
        except ValueError as e:
            c.check(False, f"{name} --json is JSON", f"{e}: {r.text(name)[:2000]}")
            continue
        c.equal(document.get("ending"), "completed", f"{name}: end state")
        c.equal(document.get("result"), "", f"{name}: no result text")
        c.equal(document.get("total"), total, f"{name}: total sectors (BLKGETSIZE64 / 512)")
        c.equal(document.get("finalPosition"), total, f"{name}: final position")
        c.equal(document.get("chunksRead"), chunks, f"{name}: chunks read")

    # The failing chunk: the scan stops at its first LBA with the device's error as the message
    # code, the same error the probe's READ DMA of the bad sector gets.
    bad = r.keys("read-bad")
    c.equal(bad.get("delivered"), "1", "READ DMA of the bad sector is delivered")
    c.check(int(bad.get("status", "0"), 16) & 0x01, "READ DMA of the bad sector has the error bit",
            r.text("read-bad"))
    code = bad.get("result")
    try:
        document = r.json("scan-bad")
    except ValueError as e:
        c.check(False, "scan of the data disk --json is JSON", f"{e}: {r.text('scan-bad')[:2000]}")
        return
    first = BAD_LBA - BAD_LBA % CHUNK_SECTORS
    c.equal(r.codes.get("scan-bad"), 1, "scan over a bad sector exits 1")
    c.equal(document.get("ending"), "failed", "scan over a bad sector: end state")
    c.equal(document.get("finalPosition"), first, "scan over a bad sector: stops at its chunk")
    c.equal(document.get("result"), f"Msg code : {code}", "scan over a bad sector: result text")
    c.equal(document.get("total"), DISKS[3]["sectors"], "scan of the data disk: total sectors")
    c.equal(document.get("chunksRead"), first // CHUNK_SECTORS,
            "scan over a bad sector: chunks read before it")


def check_fast_scan(r: Results, c: Checker):
    """The fast scan ends as the READ DMA scan does, and on the failing disk goes over to READ
    DMA at the request that holds the bad sector."""
    if not r.has("scan-bad-fast"):
        return
    keys = ("ending", "finalPosition", "total", "result", "chunksRead", "firstFailingLba")
    for fast, dma in (("scan-quick-fast", "scan-quick"), ("scan-bad-fast", "scan-bad"),
                      ("scan-bad-fast", "scan-bad-dma")):
        try:
            a, b = r.json(fast), r.json(dma)
        except ValueError as e:
            c.check(False, f"{fast} and {dma} --json are JSON", f"{e}: {r.text(fast)[:1000]}")
            continue
        c.equal(a.get("way"), "queued", f"{fast}: read by queued reads")
        c.equal({k: a.get(k) for k in keys}, {k: b.get(k) for k in keys}, f"{fast}: the result of {dma}")
        c.equal(r.codes.get(fast), r.codes.get(dma), f"{fast}: the exit status of {dma}")
    try:
        bad = r.json("scan-bad-fast")
    except ValueError:
        bad = {}
    c.equal(bad.get("readDmaFrom"), BAD_LBA - BAD_LBA % QUEUED_REQUEST_SECTORS,
            "scan-bad-fast: READ DMA from the request holding the bad sector")


def fast_scan_report(r: Results):
    """What the failing sector cost each scan, and what the kernel did about it."""
    lines = []
    for name, what in (("scan-bad-fast", "fast scan"), ("scan-bad-dma", "READ DMA scan")):
        seconds = r.elapsed(name)
        kernel = r.sections.get(name + "-kernel", [])
        errors = sum("I/O error" in l for l in kernel)
        exceptions = sum("exception Emask" in l for l in kernel)
        resets = sum("resetting link" in l for l in kernel)
        if seconds is not None:
            lines.append(f"vm: {what:13s} over the bad sector: {seconds:.2f} s; kernel: {exceptions} ATA "
                         f"exceptions, {errors} block I/O errors, {resets} link resets")
    return lines


def fio_mbps(r: Results, name: str):
    text = r.text(name)
    start, end = text.find("{"), text.rfind("}")
    try:
        read = json.loads(text[start:end + 1])["jobs"][0]["read"]
        return read["bw_bytes"] / 1e6, read["io_bytes"]
    except (ValueError, KeyError, IndexError, TypeError):
        return None, None


def check_fast_pairs(r: Results, c: Checker, pairs: int):
    """Every run of every round read the whole disk; per round the rates, then the ratios as
    median and spread, of whole programs (time in the guest) and of each program's own figure."""
    total = BENCH_DISK["sectors"]
    size = total * SECTOR
    lines = [f"vm: scheduler {r.text('scheduler').strip() or '?'}, max_sectors_kb "
             f"{r.text('max-sectors').strip() or '?'}"]
    c.check(r.done, "the guest ran to its end")
    ratios = {name: [] for name in ("fast/fio32", "fast/scan", "fast/dd", "fio32/fio1", "own fast/fio32")}
    for i in range(pairs):
        times = {k: r.elapsed(f"{k}-{i}") for k in FAST_PAIR_KINDS}
        c.equal({k: r.codes.get(f"{k}-{i}") for k in FAST_PAIR_KINDS}, {k: 0 for k in FAST_PAIR_KINDS},
                f"round {i}: every run exits 0")
        for kind in ("fast", "scan"):
            c.check(f"Items Scanned : {total} /{total} " in r.text(f"{kind}-{i}"),
                    f"round {i}: the {kind} scan read the whole disk", r.text(f"{kind}-{i}")[-1000:])
        c.check("Read by READ DMA" not in r.text(f"fast-{i}"), f"round {i}: the fast scan read queued")
        fio32, io32 = fio_mbps(r, f"fio32-{i}")
        fio1, io1 = fio_mbps(r, f"fio1-{i}")
        c.equal((io32, io1), (size, size), f"round {i}: fio read the whole disk at both depths")
        if None in times.values():
            continue
        rate = {k: size / t / 1e6 for k, t in times.items()}
        inside = re.search(r"\(([0-9.]+) MB/s\)", r.text(f"fast-{i}"))
        lines.append(f"vm: round {i}: " + "  ".join(f"{k} {rate[k]:6.1f}" for k in FAST_PAIR_KINDS) +
                     " MB/s (whole programs); own figures: fast " +
                     (inside.group(1) if inside else "?") + f", fio32 {fio32 or 0:.1f}, fio1 {fio1 or 0:.1f}")
        ratios["fast/fio32"].append(times["fio32"] / times["fast"])
        ratios["fast/scan"].append(times["scan"] / times["fast"])
        ratios["fast/dd"].append(times["dd"] / times["fast"])
        ratios["fio32/fio1"].append(times["fio1"] / times["fio32"])
        if inside and fio32:
            ratios["own fast/fio32"].append(float(inside.group(1)) / fio32)
    for name, values in ratios.items():
        if values:
            lines.append(f"vm: ratio {name:15s} over {len(values)} rounds of {size >> 20} MiB: median "
                         f"{median(values):.2f}, spread {min(values):.2f}-{max(values):.2f}")
    return lines


def throughput(r: Results):
    size = DISKS[0]["sectors"] * SECTOR
    lines = []
    dd = r.elapsed("dd")
    scan = r.elapsed("scan-full")
    reading = None
    try:
        document = r.json("scan-full")
        reading = document.get("seconds")
        lines.append(f"vm: scan --full reports {document.get('mbPerSecond'):.2f} MB/s itself")
    except (ValueError, AttributeError, TypeError):
        pass
    if scan:
        lines.append(f"vm: scan --full {size / scan / 1e6:8.2f} MB/s ({scan:.2f} s for {size >> 20} MiB)")
    if dd:
        lines.append(f"vm: dd direct   {size / dd / 1e6:8.2f} MB/s ({dd:.2f} s, bs={CHUNK_SECTORS * SECTOR})")
    for name, what in (("readloop", "READ DMA loop, one buffer"),
                       ("readloop-flush", "same, flush per chunk")):
        mbps = r.keys(name).get("mbps")
        if mbps:
            lines.append(f"vm: {what:26s} {float(mbps):8.2f} MB/s (backend alone)")
    if scan and dd:
        # One short pair: the program's start-up weighs on it; --throughput-pairs measures.
        lines.append(f"vm: throughput ratio scan/dd = {dd / scan:.2f} (one pair, start-up included)")
        if reading:
            lines.append(f"vm: throughput ratio scan/dd = {dd / reading:.2f} (the scan's reading alone)")
    for line in r.sections.get("dd", []):
        if "copied" in line:
            lines.append("vm: dd says: " + line.strip())
    return lines


def median(values):
    ordered = sorted(values)
    middle = len(ordered) // 2
    return ordered[middle] if len(ordered) % 2 else (ordered[middle - 1] + ordered[middle]) / 2


def check_pairs(r: Results, c: Checker, pairs: int):
    """Every scan of the pairs read the whole disk, and so did every dd and loop; the figures,
    as lines for the log."""
    total = BENCH_DISK["sectors"]
    size = total * SECTOR
    chunks = str(-(-total // CHUNK_SECTORS))
    lines = [f"vm: guest clock source {r.text('clocksource').strip() or '?'}"]
    c.check(r.done, "the guest ran to its end")
    for what, prefix in (("vellumin-cli --version", "startup-cli"), ("busybox dd count=0", "startup-dd")):
        times = [r.elapsed(f"{prefix}-{i}") for i in range(3)]
        lines.append(f"vm: start-up of {what:23s} " +
                     " / ".join("-" if t is None else f"{t:.2f}" for t in times) + " s")
    cold = r.elapsed("warm-up")
    if cold:
        lines.append(f"vm: first pass (dd, the host's page cache cold) {size / cold / 1e6:7.1f} MB/s ({cold:.2f} s)")
    ratios, loop_ratios = [], []
    for i in range(pairs):
        scan, dd = r.elapsed(f"scan-{i}"), r.elapsed(f"dd-{i}")
        text = r.text(f"scan-{i}")
        c.equal((r.codes.get(f"scan-{i}"), r.codes.get(f"dd-{i}")), (0, 0), f"pair {i}: scan and dd exit 0")
        c.check(f"Items Scanned : {total} /{total} " in text, f"pair {i}: the scan read the whole disk",
                text[-2000:])
        inside = re.search(r"Read [0-9.]+ MB in ([0-9.]+) s", text)
        if scan and dd:
            ratios.append(dd / scan)
            lines.append(f"vm: pair {i}: scan {size / scan / 1e6:7.1f} MB/s ({scan:.2f} s, "
                         f"{inside.group(1) if inside else '?'} s of it reading)  "
                         f"dd {size / dd / 1e6:7.1f} MB/s ({dd:.2f} s)  ratio {dd / scan:.2f}")
        sg, block = r.keys(f"readloop-{i}"), r.keys(f"blockloop-{i}")
        c.equal((sg.get("chunks"), block.get("chunks")), (chunks, chunks), f"loop pair {i}: whole disk read")
        if sg.get("seconds") and block.get("seconds"):
            loop_ratios.append(float(block["seconds"]) / float(sg["seconds"]))
            lines.append(f"vm: loop pair {i}: READ DMA via SG_IO {float(sg['mbps']):7.1f} MB/s  "
                         f"O_DIRECT pread {float(block['mbps']):7.1f} MB/s  ratio {loop_ratios[-1]:.2f}")
    for name, values in (("throughput ratio scan/dd", ratios),
                         ("in-process loop ratio SG_IO/block layer", loop_ratios)):
        if values:
            lines.append(f"vm: {name} over {len(values)} pairs of {size >> 20} MiB: median "
                         f"{median(values):.2f}, spread {min(values):.2f}-{max(values):.2f}")
    return lines


# ---------------------------------------------------------------- drives pulled out (--unplug)

# Each disk sits alone on its own AHCI controller: QEMU's IDE bus has no hot-plug, so the
# controller (a PCI device) is what device_del takes away, and the guest's ACPI hot-plug
# driver removes the disk under the running command: the orderly removal a hot-swap bay's
# eject gives, not an electrical surprise (QEMU has none for AHCI). The guest asks for the
# pull on the results port ("@@@ UNPLUG <controller>"); the host sends device_del.
# With the bench's own controller first (ata1-6), controller k's port 0 is libata port 6k+1.
UNPLUG_DISKS = [
    # Large enough that the full scan is still reading when the pull lands.
    dict(port=6, name="pull-scan", controller="pull-scan", slot=0x10, model="VQ PULLED SCAN SSD",
         serial="VQP0000001", ver="VQFW1.05", rotation=1, sectors=16 << 21, compatible=True),
    dict(port=12, name="pull-metrics", controller="pull-metrics", slot=0x11,
         model="VQ PULLED METRICS SSD", serial="VQP0000002", ver="VQFW1.05", rotation=1,
         sectors=65536, compatible=True),
]
# The commands' own time-outs (transport/Transport.h): READ DMA, and IDENTIFY / SMART READ DATA.
READ_TIMEOUT_S = 200
DATA_BLOCK_TIMEOUT_S = 10
# metrics' SMART READ DATA of the pulled drive is held this long on entry (strace), so that
# the pull lands between its IDENTIFY and its SMART read whatever the emulator's pace.
METRICS_HOLD_S = 6
STATE_DIR = "/tmp/vellumin-state"


def unplug_script() -> str:
    """The guest's /init for --unplug: a full scan (text, recorded) and metrics, each losing its
    drive while it runs; then metrics once more with the drive gone for good."""
    scan_disk, metrics_disk = UNPLUG_DISKS
    body = f"""export VELLUMIN_STATE_DIR={STATE_DIR}
# pulled NAME PORT LIMIT TRIGGER COMMAND...: runs COMMAND (killed after LIMIT s) in the
# background, asks for the pull of port PORT's controller once TRIGGER succeeds, waits for the
# disk to leave and the command to end; its output, exit status and times as sections.
pulled() {{
  name=$1; n=$(disk $2); limit=$3; trigger=$4; shift 4
  t0=$(uptime_cs)
  timeout -s KILL $limit "$@" >/tmp/$name.out 2>/tmp/$name.err &
  pid=$!
  i=0; until $trigger || [ $i -ge 300 ]; do sleep 0.1; i=$((i+1)); done
  t1=$(uptime_cs)
  echo "@@@ UNPLUG $(controller_of $n)" >&3
  i=0; while [ -e /sys/block/$n ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done
  t2=$(uptime_cs)
  wait $pid; rc=$?
  t3=$(uptime_cs)
  echo "@@@ BEGIN $name" >&3; cat /tmp/$name.out >&3; echo "@@@ END $name rc=$rc" >&3
  echo "@@@ BEGIN $name-stderr" >&3; cat /tmp/$name.err >&3; echo "@@@ END $name-stderr rc=0" >&3
  gone=0; [ -e /sys/block/$n ] || gone=1
  echo "@@@ BEGIN $name-times" >&3
  echo "pull=$((t1-t0))" >&3; echo "gone=$((t2-t0))" >&3; echo "end=$((t3-t0))" >&3; echo "disk_gone=$gone" >&3
  echo "@@@ END $name-times rc=0" >&3
}}
controller_of() {{
  case "$(readlink /sys/block/$1)" in
{chr(10).join(f'    */0000:00:{d["slot"]:02x}.0/*) echo {d["controller"]};;' for d in UNPLUG_DISKS)}
    *) echo none;;
  esac
}}
scan_reading() {{ sleep 1; true; }}
identified() {{ grep -q 'SG_IO.*= 0$' /tmp/strace.log 2>/dev/null; }}
section list vellumin-cli list
pulled scan-pulled {scan_disk['port']} {READ_TIMEOUT_S + 60} scan_reading \\
  vellumin-cli scan $(drive {scan_disk['port']}) --full --record
section scan-record cat {STATE_DIR}/scan-{scan_disk['serial']}.json
pulled metrics-pulled {metrics_disk['port']} {METRICS_HOLD_S + 4 * DATA_BLOCK_TIMEOUT_S} identified \\
  strace -qq -o /tmp/strace.log -P /dev/$(disk {metrics_disk['port']}) -e trace=ioctl \\
  -e inject=ioctl:delay_enter={METRICS_HOLD_S * 1000000}:when=2 vellumin-cli metrics
section strace cat /tmp/strace.log
section metrics-after timed timeout -s KILL {4 * DATA_BLOCK_TIMEOUT_S} vellumin-cli metrics
section dmesg dmesg
"""
    return init_script(UNPLUG_DISKS, body, mount=False)


def unplug_devices(disks):
    """QEMU arguments for the disks, each alone on its own controller."""
    arguments = []
    for disk in disks:
        arguments += [
            "-device", f"ahci,id={disk['controller']},addr={disk['slot']:#x}",
            "-drive", f"if=none,id={disk['name']},format=raw,file.filename={disk['image']}",
            "-device",
            f"ide-hd,bus={disk['controller']}.0,drive={disk['name']},model={disk['model']},"
            f"serial={disk['serial']},ver={disk['ver']},rotation_rate={disk['rotation']}",
        ]
    return arguments


class Qmp:
    """Just enough of QEMU's machine protocol for device_del and its event."""

    def __init__(self, path: Path, deadline: float):
        while True:
            try:
                self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                self.sock.connect(str(path))
                break
            except OSError:
                self.sock.close()
                if time.monotonic() > deadline:
                    raise Failure(f"QEMU's machine protocol socket {path} never opened")
                time.sleep(0.05)
        self.sock.settimeout(0.05)
        self.buffer, self.events = b"", []
        self.reply()  # the greeting
        self.command("qmp_capabilities")

    def messages(self):
        try:
            data = self.sock.recv(65536)
            if not data:
                raise Failure("QEMU closed its machine protocol socket")
            self.buffer += data
        except socket.timeout:
            pass
        while b"\n" in self.buffer:
            line, self.buffer = self.buffer.split(b"\n", 1)
            if line.strip():
                yield json.loads(line)

    def reply(self, seconds=30):
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            for message in self.messages():
                if "event" in message:
                    self.events.append((time.monotonic(), message))
                else:
                    return message
        raise Failure("no answer on QEMU's machine protocol")

    def command(self, name, **arguments):
        request = {"execute": name}
        if arguments:
            request["arguments"] = arguments
        self.sock.sendall(json.dumps(request).encode() + b"\n")
        answer = self.reply()
        if "error" in answer:
            raise Failure(f"{name} {arguments}: {answer['error']}")
        return answer

    def poll_events(self):
        for message in self.messages():
            self.events.append((time.monotonic(), message))


def run_with_pulls(command, work: Path, timeout: int):
    """Runs QEMU, answering each "@@@ UNPLUG <id>" of the guest with device_del <id>. Returns
    per controller the seconds from the request to device_del's answer and to the device's
    removal (DEVICE_DELETED), as the host saw them."""
    # A socket's path is limited to 107 bytes; a build tree's may be longer.
    socket_dir = Path(tempfile.mkdtemp(prefix="vm-qmp-"))
    socket_path = socket_dir / "qmp.sock"
    command = command + ["-qmp", f"unix:{socket_path},server=on,wait=off"]
    (work / "qemu-command.txt").write_text(shlex.join(command) + "\n")
    results = work / "results.log"
    pulls = {}
    vm = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    end = time.monotonic() + timeout
    try:
        qmp = Qmp(socket_path, time.monotonic() + 30)
        seen = 0
        while vm.poll() is None and time.monotonic() < end:
            text = results.read_text(errors="replace") if results.exists() else ""
            requests = re.findall(r"^@@@ UNPLUG (\S+)$", text, re.M)
            for controller in requests[seen:]:
                asked = time.monotonic()
                qmp.command("device_del", id=controller)
                pulls[controller] = {"answered": time.monotonic() - asked, "asked": asked}
            seen = len(requests)
            qmp.poll_events()
            time.sleep(0.05)
        for at, event in qmp.events:
            if event.get("event") == "DEVICE_DELETED":
                device = event.get("data", {}).get("device")
                if device in pulls and "deleted" not in pulls[device]:
                    pulls[device]["deleted"] = at - pulls[device]["asked"]
    except (Failure, OSError, ValueError) as e:
        log(f"vm: machine protocol: {e}")
    finally:
        if vm.poll() is None:
            if time.monotonic() >= end:
                log(f"vm: the VM did not finish within {timeout} s")
            vm.kill()
        vm.wait()
        shutil.rmtree(socket_dir, ignore_errors=True)
    if vm.returncode not in (0, -9):
        log(f"vm: qemu exited with {vm.returncode}: {vm.stderr.read().strip()}")
    return pulls


def metric_value(text: str, name: str, drive: int):
    match = re.search(rf'^{name}\{{drive="{drive}"[^}}]*\}} (\S+)$', text, re.M)
    return match.group(1) if match else None


def check_unplug(r: Results, c: Checker, pulls, console: str):
    """Each command ended on its own, within its command time-out after the pull, with the
    failure where the drive went; nothing crashed, neither program nor kernel."""
    c.check(r.done, "the guest ran to its end")
    scan_disk, metrics_disk = UNPLUG_DISKS
    drive_of = {p: r.map.get(p, ("none", 99))[1] for p in (scan_disk["port"], metrics_disk["port"])}
    listed = r.text("list")
    for disk in UNPLUG_DISKS:
        c.check(f"Drive {drive_of[disk['port']]}   {disk['model']} " in listed.splitlines(),
                f"{disk['name']} is listed before the pull", listed)
        pull = pulls.get(disk["controller"], {})
        c.check("deleted" in pull, f"{disk['name']}: QEMU removed the controller (DEVICE_DELETED)",
                str(pull))

    # The scan: it was reading when the drive went, ended at once with the failing chunk.
    name, total = "scan-pulled", scan_disk["sectors"]
    times = {k: int(v) / 100 for k, v in r.keys(f"{name}-times").items() if v.isdigit()}
    c.equal(r.keys(f"{name}-times").get("disk_gone"), "1", "scan: the disk left the guest")
    c.equal(r.codes.get(name), 1, "scan of a pulled drive exits 1 (a read failed), neither killed nor crashed")
    c.check(times.get("end", 1e9) - times.get("pull", 0) < READ_TIMEOUT_S,
            f"scan: ends within one READ DMA time-out ({READ_TIMEOUT_S} s) of the pull", str(times))
    text = r.text(name)
    position = re.search(r"^Items Scanned : (\d+) /(\d+) $", text, re.M)
    try:
        record = r.json("scan-record")
    except ValueError as e:
        c.check(False, "scan --record kept the summary", f"{e}: {r.text('scan-record')[:1000]}")
        record = {}
    c.equal(record.get("ending"), "failed", "scan: recorded ending")
    c.equal(record.get("result"), "DeviceIO error", "scan: the result names a command not delivered")
    c.check("DeviceIO error" in text.splitlines(), "scan: the text names the failure", text)
    where = record.get("finalPosition", -1)
    c.check(position is not None and int(position.group(1)) == where and int(position.group(2)) == total,
            "scan: the text names the failing chunk, as recorded", f"{text!r} / {where}")
    c.check(0 < where < total, "scan: the drive went in the middle of the scan", f"{where} of {total}")
    c.equal((where % CHUNK_SECTORS, record.get("chunksRead")), (0, where // CHUNK_SECTORS),
            "scan: it stops at the first chunk not read, every chunk before it read")
    c.equal(record.get("firstFailingLba"), where, "scan: first failing LBA is the chunk's first")

    # metrics: the drive answered IDENTIFY, then went before SMART READ DATA.
    drive = drive_of[metrics_disk["port"]]
    name = "metrics-pulled"
    times = {k: int(v) / 100 for k, v in r.keys(f"{name}-times").items() if v.isdigit()}
    c.equal(r.keys(f"{name}-times").get("disk_gone"), "1", "metrics: the disk left the guest")
    c.equal(r.codes.get(name), 0, "metrics with a drive pulled exits 0, neither killed nor crashed")
    c.check(times.get("end", 1e9) - times.get("pull", 0) < METRICS_HOLD_S + DATA_BLOCK_TIMEOUT_S,
            f"metrics: ends within the hold and one SMART READ DATA time-out ({DATA_BLOCK_TIMEOUT_S} s)",
            str(times))
    c.check(f"Physical drive {drive}: SMART READ DATA was not delivered." in r.text(name + "-stderr"),
            "metrics: the pull landed between the drive's IDENTIFY and its SMART read",
            r.text(name + "-stderr") + "\n" + r.text("strace"))
    for section, what in ((name, "in the middle of metrics"), ("metrics-after", "once it is gone")):
        text = r.text(section)
        c.equal(metric_value(text, "vellumin_scrape_success", drive), "0",
                f"metrics {what}: the pulled drive is published with vellumin_scrape_success 0")
        c.check(re.search(rf'^vellumin_drive_info\{{drive="{drive}",[^}}]*serial="{metrics_disk["serial"]}"',
                          text, re.M), f"metrics {what}: the pulled drive keeps its identity", text[:3000])
    c.equal(r.codes.get("metrics-after"), 0, "metrics after the pull exits 0")
    c.check(f"Physical drive {drive} ({metrics_disk['serial']}) no longer answers."
            in r.text("metrics-after"), "metrics after the pull: says the drive no longer answers",
            r.text("metrics-after"))
    faults = [l for l in console.splitlines()
              if re.search(r"BUG:|Oops|Call Trace|blocked for more than|segfault|general protection", l)]
    c.equal(faults, [], "the guest kernel logged no fault, no hung task")


def unplug_report(r: Results, pulls):
    lines = []
    for disk, section in zip(UNPLUG_DISKS, ("scan-pulled", "metrics-pulled")):
        times = {k: int(v) / 100 for k, v in r.keys(f"{section}-times").items() if v.isdigit()}
        pull = pulls.get(disk["controller"], {})
        if "pull" in times and "end" in times:
            lines.append(f"vm: {section}: pulled {times['pull']:.2f} s after the start; disk gone from "
                         f"the guest {times.get('gone', 0) - times['pull']:.2f} s later, command ended "
                         f"{times['end'] - times['pull']:.2f} s after the pull (host: device_del "
                         f"answered in {pull.get('answered', float('nan')):.2f} s, DEVICE_DELETED "
                         f"after {pull.get('deleted', float('nan')):.2f} s)")
    elapsed = r.elapsed("metrics-after")
    if elapsed is not None:
        lines.append(f"vm: metrics with the drive gone: {elapsed:.2f} s")
    return lines


# ---------------------------------------------------------------- the installed metrics unit (--metrics-unit)

# The guest's /init hands over to systemd, which starts the metrics service from the unit file
# as installed, sandbox and all, against a compatible disk; then twice more with one grant
# taken away by a drop-in, to see that the unit needs both and that systemd enforces them.
UNIT_DISK = dict(port=0, name="unit", model="VQ UNIT SSD", serial="VQN0000001", ver="VQFW1.05",
                 rotation=1, sectors=65536, compatible=True)
TEXTFILE_DIR = "/var/lib/prometheus/node-exporter"
UNIT_CONTROLS = {
    "no-rawio": "CapabilityBoundingSet=~CAP_SYS_RAWIO",
    "no-disks": "DeviceAllow=",
}


def unit_files(unit_text: str):
    """The files systemd needs in the guest: the unit under test where the package puts it,
    the targets every service's default dependencies name, and the bench's own service."""
    dropins = "/run/systemd/system/vellumin-metrics.service.d"
    controls = "".join(f"mkdir -p {dropins}\nprintf '[Service]\\n%s\\n' '{line}' >{dropins}/control.conf\n"
                       f"systemctl daemon-reload\nrun {name}\n" for name, line in UNIT_CONTROLS.items())
    bench = f"""#!/bin/sh
exec 3>/dev/ttyS1
section() {{
  name=$1; shift
  echo "@@@ BEGIN $name" >&3
  "$@" >&3 2>&3
  echo "@@@ END $name rc=$?" >&3
}}
run() {{  # run NAME: the service once, then what it left
  rm -f {TEXTFILE_DIR}/vellumin.prom
  section $1-start systemctl start vellumin-metrics.service
  section $1-show systemctl show -p Result -p ExecMainStatus vellumin-metrics.service
  section $1-prom cat {TEXTFILE_DIR}/vellumin.prom
  section $1-files stat -c '%n %a %U' {TEXTFILE_DIR}/vellumin.prom /var/lib/vellumin/drives.json
}}
run unit
{controls}echo "@@@ DONE" >&3
sync
poweroff -f
"""
    plain = "[Unit]\nDefaultDependencies=no\n"
    return {
        "/usr/lib/systemd/system/vellumin-metrics.service": unit_text,
        "/etc/systemd/system/sysinit.target": plain,
        "/etc/systemd/system/basic.target": plain,
        "/etc/systemd/system/shutdown.target": plain,
        "/etc/systemd/system/system.slice": plain,
        "/etc/systemd/system/vm-bench.service":
            "[Unit]\nDefaultDependencies=no\n[Service]\nType=oneshot\nExecStart=/bin/sh /vm-bench.sh\n",
        "/vm-bench.sh": bench,
        "/etc/passwd": "root:x:0:0:root:/root:/bin/sh\nnobody:x:65534:65534:nobody:/nonexistent:/bin/false\n",
        "/etc/group": "root:x:0:\ndisk:x:6:\nnogroup:x:65534:\n",
    }


def unit_script() -> str:
    body = f"""mkdir -p /usr/bin /var/lib /var/tmp /run {TEXTFILE_DIR} /root /home
ln -s /bin/vellumin-cli /usr/bin/vellumin-cli
exec /bin/systemd --unit=vm-bench.service --log-level=notice --show-status=no
"""
    return init_script([UNIT_DISK], body, mount=False)


def check_unit(r: Results, c: Checker, pulls, console):
    c.check(r.done, "the guest ran to its end")
    drive = r.map.get(UNIT_DISK["port"], ("none", 99))[1]
    show = r.keys("unit-show")
    c.equal((r.codes.get("unit-start"), show.get("Result"), show.get("ExecMainStatus")),
            (0, "success", "0"), "the installed unit runs to success")
    prom = r.text("unit-prom")
    c.equal(metric_value(prom, "vellumin_scrape_success", drive), "1",
            "under the unit's sandbox the drive answers IDENTIFY and SMART READ DATA")
    c.check(re.search(rf'^vellumin_drive_info\{{drive="{drive}",[^}}]*serial="{UNIT_DISK["serial"]}"',
                      prom, re.M), "the unit publishes the drive's identity", prom[:2000])
    files = r.text("unit-files").splitlines()
    c.equal(files, [f"{TEXTFILE_DIR}/vellumin.prom 644 root", "/var/lib/vellumin/drives.json 644 root"],
            "the unit writes the textfile readable by node_exporter's user, and its state")
    for name, line in UNIT_CONTROLS.items():
        prom = r.text(f"{name}-prom")
        c.equal((r.codes.get(f"{name}-start"), metric_value(prom, "vellumin_scrape_success", drive)),
                (0, "0"), f"with {line} the drive no longer answers (published with success 0)")


# ---------------------------------------------------------------- main


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", required=True, type=Path)
    parser.add_argument("--probe", required=True, type=Path)
    parser.add_argument("--work", required=True, type=Path)
    parser.add_argument("--cache", required=True, type=Path)
    parser.add_argument("--timeout", type=int, default=900, help="seconds for the VM run")
    parser.add_argument("--throughput-pairs", type=int, default=0, metavar="N",
                        help="instead of the checks: N interleaved pairs of a full scan and dd "
                             "over one blank disk, with the median ratio and its spread")
    parser.add_argument("--throughput-mib", type=int, default=2048, metavar="MIB",
                        help="size of the disk of --throughput-pairs and --fast-pairs")
    parser.add_argument("--unplug", action="store_true",
                        help="instead of the checks: pull a drive out of the running guest in "
                             "the middle of a full scan and of metrics")
    parser.add_argument("--metrics-unit", type=Path, metavar="UNIT",
                        help="instead of the checks: run the installed metrics service from this "
                             "unit file under systemd in the guest")
    parser.add_argument("--fast-pairs", type=int, default=0, metavar="N",
                        help="instead of the checks: N interleaved rounds of the fast scan, the "
                             "READ DMA scan, fio (io_uring, 1 MiB, depth 32 and 1) and dd over one "
                             "blank disk, with the median ratios and their spreads")
    args = parser.parse_args()
    if args.unplug:
        return variant_main(args, UNPLUG_DISKS, unplug_script(), check_unplug, unplug_report,
                            extra_programs=["strace"], own_controllers=True)
    if args.metrics_unit:
        return variant_main(args, [UNIT_DISK], unit_script(), check_unit,
                            extra_programs=["/lib/systemd/systemd", "systemctl"],
                            extra_files=unit_files(args.metrics_unit.read_text()))
    if args.fast_pairs > 0:
        BENCH_DISK["sectors"] = args.throughput_mib * (1 << 20) // SECTOR
        lines = []
        return variant_main(args, [BENCH_DISK], fast_pairs_script(args.fast_pairs),
                            lambda r, c, pulls, console: lines.extend(check_fast_pairs(r, c, args.fast_pairs)),
                            lambda r, pulls: lines, extra_programs=["fio"])
    pairs = max(args.throughput_pairs, 0)
    if pairs:
        BENCH_DISK["sectors"] = args.throughput_mib * (1 << 20) // SECTOR
    disks = [BENCH_DISK] if pairs else DISKS

    qemu = shutil.which("qemu-system-x86_64")
    if not qemu:
        log("vm: SKIP: qemu-system-x86_64 is not installed (tools/deps vm installs it)")
        return SKIP
    probe = subprocess.run([qemu, "-version"], capture_output=True, text=True)
    if probe.returncode != 0:
        log(f"vm: SKIP: qemu-system-x86_64 cannot run here: {probe.stderr.strip()}")
        return SKIP

    started = time.monotonic()
    try:
        args.work.mkdir(parents=True, exist_ok=True)
        kernel = fetch_kernel(args.cache)
        log(f"vm: kernel {kernel.name.removeprefix('kernel-')}")
        if pairs:
            make_sparse(args.work, BENCH_DISK)
        else:
            make_images(args.work)
        digests = {d["name"]: image_digest(d["image"]) for d in disks}
        initramfs = build_initramfs(args.work, kernel, args.cli, args.probe,
                                    pairs_script(pairs) if pairs else guest_script())
    except (Failure, subprocess.CalledProcessError, OSError) as e:
        log(f"vm: FAILED to prepare the VM: {e}")
        return 1
    for name in ("console.log", "results.log"):
        (args.work / name).unlink(missing_ok=True)
    command = qemu_command(qemu, kernel, initramfs, args.work, disks)
    (args.work / "qemu-command.txt").write_text(shlex.join(command) + "\n")
    log(f"vm: booting (prepared in {time.monotonic() - started:.0f} s)")
    boot = time.monotonic()
    try:
        vm = subprocess.run(command, capture_output=True, text=True, timeout=args.timeout)
        if vm.returncode != 0:
            log(f"vm: qemu exited with {vm.returncode}: {vm.stderr.strip()}")
    except subprocess.TimeoutExpired:
        log(f"vm: the VM did not finish within {args.timeout} s")
    log(f"vm: VM ran {time.monotonic() - boot:.0f} s")

    results_file = args.work / "results.log"
    results = Results(results_file.read_text(errors="replace") if results_file.exists() else "")
    checker = Checker()
    if pairs:
        report = check_pairs(results, checker, pairs)
    else:
        check_results(results, checker)
        report = sense_report(results) + throughput(results) + fast_scan_report(results)
    for disk in disks:
        checker.equal(image_digest(disk["image"]), digests[disk["name"]],
                      f"the {disk['name']} disk image is unchanged after the run")
    for note in results.notes:
        log("vm: " + note)
    for line in report:
        log(line)
    if checker.failures:
        log(f"vm: {len(checker.failures)} check(s) FAILED, {checker.passed} passed:")
        for failure in checker.failures:
            log("  - " + failure)
        console = args.work / "console.log"
        if console.exists():
            log("vm: last console lines:")
            for line in console.read_text(errors="replace").splitlines()[-30:]:
                log("    " + line)
        log(f"vm: guest answers in {results_file}")
        return 1
    log(f"vm: all {checker.passed} checks passed")
    return 0


def variant_main(args, disks, script, check, report=lambda r, pulls: [], extra_programs=(),
                 extra_files=None, own_controllers=False):
    """One boot of the guest for one of the runs beside the checks: prepare, run (pulling the
    drives the guest asks for), check; the verdict as exit status."""
    qemu = shutil.which("qemu-system-x86_64")
    if not qemu or subprocess.run([qemu, "-version"], capture_output=True).returncode != 0:
        log("vm: SKIP: qemu-system-x86_64 cannot run here (tools/deps vm installs it)")
        return SKIP
    try:
        args.work.mkdir(parents=True, exist_ok=True)
        kernel = fetch_kernel(args.cache)
        for disk in disks:
            make_sparse(args.work, disk)
        initramfs = build_initramfs(args.work, kernel, args.cli, args.probe, script,
                                    extra_programs, extra_files)
    except (Failure, subprocess.CalledProcessError, OSError) as e:
        log(f"vm: FAILED to prepare the VM: {e}")
        return 1
    for name in ("console.log", "results.log"):
        (args.work / name).unlink(missing_ok=True)
    command = qemu_command(qemu, kernel, initramfs, args.work, [] if own_controllers else disks)
    if own_controllers:
        command += unplug_devices(disks)
    boot = time.monotonic()
    pulls = run_with_pulls(command, args.work, args.timeout)
    log(f"vm: VM ran {time.monotonic() - boot:.0f} s")
    results_file, console_file = args.work / "results.log", args.work / "console.log"
    results = Results(results_file.read_text(errors="replace") if results_file.exists() else "")
    console = console_file.read_text(errors="replace") if console_file.exists() else ""
    checker = Checker()
    check(results, checker, pulls, console)
    for line in [f"vm: {note}" for note in results.notes] + report(results, pulls):
        log(line)
    if checker.failures:
        log(f"vm: {len(checker.failures)} check(s) FAILED, {checker.passed} passed:")
        for failure in checker.failures:
            log("  - " + failure)
        log("vm: last console lines:")
        for line in console.splitlines()[-30:]:
            log("    " + line)
        log(f"vm: guest answers in {results_file}")
        return 1
    log(f"vm: all {checker.passed} checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
