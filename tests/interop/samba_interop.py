#!/usr/bin/env python3
"""vossik against a real Samba server (make check-interop).

Starts a private smbd on 127.0.0.1 that serves a temporary directory with
vfs_nfs4acl_xattr (XDR encoding, the attribute vossik's default store
uses), then checks both ways with smbcacls:

- ACLs that Samba writes (allow and deny, named users and groups, owner,
  group and everyone, the inheritance flags OI CI IO NP I, several masks, a
  protected folder) read the same in vossik: vossik's listing is compared
  exactly.
- ACLs that vossik writes (set-access, edit-access, inherit-access, an ACL
  of 1000 entries) are served unchanged by Samba, the protected flag of a
  folder included.

Users and groups come through nss_wrapper, for smbd, the Samba tools and
vossik alike: those of tests/fixtures, plus 1000 users for the long ACL in
a private copy of the user database; nothing is added to the machine. The
server's configuration, state, locks, pid file, logs and password database
live in one temporary directory, which is removed at the end, and smbd is
stopped by its pid. Where the system allows it, everything runs in a
network namespace of its own, so that the server's port cannot meet
another one.

Usage: samba_interop.py PATH_TO_VOSSIK (as root)
"""

import difflib
import fcntl
import glob
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FIXTURES = os.path.join(ROOT, "tests", "fixtures")
NAMESPACE_MARK = "VOSSIK_INTEROP_NAMESPACE"
PASSWORD = "Interop-Secret-1"
PORT = 445  # smbcacls has no port option

# Fixture principals (tests/fixtures/passwd and group).
ALICE, BOB, CAROL = 1000, 1001, 1002
STAFF, DEVS, USERS, WHEEL = 20, 1001, 100, 10

FULL = 0x001F01FF  # all fourteen NFSv4 permissions
READ = 0x001200A9  # read data, attributes, xattrs, ACL; execute; synchronize
CHANGE = 0x001301FF  # smbcacls' CHANGE: everything but write_acl and write_owner

# Users of the private user database only, one for each entry of a long ACL.
MANY_USERS = range(20000, 21000)

ALLOWED, DENIED = 0, 1
CONTROL = "CONTROL:0x8004"  # self-relative, DACL present
CONTROL_PROTECTED = "CONTROL:0x9004"  # ... and DACL protected


def user_sid(uid):
    return "S-1-22-1-%d" % uid


def group_sid(gid):
    return "S-1-22-2-%d" % gid


EVERYONE = "S-1-1-0"
CREATOR_OWNER = "S-1-3-0"
CREATOR_GROUP = "S-1-3-1"
SYSTEM = "S-1-5-18"


def ace(sid, kind, flags, mask):
    """One ACE as `smbcacls --numeric` prints it."""
    return "ACL:%s:%d/0x%x/0x%08x" % (sid, kind, flags, mask)


def served(control, *aces):
    """What samba_acl() gives for this control word and these ACEs."""
    return [control] + sorted(aces)


def nss_wrapper():
    for pattern in ("/usr/lib/*/libnss_wrapper.so", "/usr/lib/libnss_wrapper.so",
                    "/usr/local/lib/libnss_wrapper.so"):
        found = glob.glob(pattern)
        if found:
            return found[0]
    sys.exit("libnss_wrapper.so not found (Debian: libnss-wrapper)")


def loopback_up():
    """Brings up `lo` in a new network namespace (SIOCGIFFLAGS/SIOCSIFFLAGS)."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        request = struct.pack("16sH14x", b"lo", 0)
        flags = struct.unpack("16sH14x", fcntl.ioctl(s, 0x8913, request))[1]
        fcntl.ioctl(s, 0x8914, struct.pack("16sH14x", b"lo", flags | 0x1))


def port_in_use():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        return s.connect_ex(("127.0.0.1", PORT)) == 0


class Server:
    """A private smbd and the directory it shares."""

    def __init__(self, vossik):
        self.vossik = vossik
        # On tmpfs an attribute value may take 64 KiB; ext4 takes one block
        # (4 KiB: about 200 entries), too little for the long ACL.
        base = "/dev/shm" if os.path.isdir("/dev/shm") and os.access("/dev/shm", os.W_OK) else None
        self.tmp = tempfile.mkdtemp(prefix="vossik-interop-", dir=base)
        self.share = os.path.join(self.tmp, "share")
        self.conf = os.path.join(self.tmp, "smb.conf")
        self.client_conf = os.path.join(self.tmp, "client.conf")
        self.pid_file = os.path.join(self.tmp, "pid", "smbd.pid")
        self.log = os.path.join(self.tmp, "log", "smbd.log")
        self.process = None
        self.env = dict(os.environ, LD_PRELOAD=nss_wrapper(),
                        NSS_WRAPPER_PASSWD=os.path.join(self.tmp, "passwd"),
                        NSS_WRAPPER_GROUP=os.path.join(FIXTURES, "group"),
                        LC_ALL="C", TZ="UTC")

    def configure(self):
        for sub in ("share", "private", "state", "cache", "lock", "pid", "ncalrpc", "log"):
            os.makedirs(os.path.join(self.tmp, sub))
        # The fixture users, and MANY_USERS more for the longest ACL.
        shutil.copy(os.path.join(FIXTURES, "passwd"), os.path.join(self.tmp, "passwd"))
        with open(os.path.join(self.tmp, "passwd"), "a") as f:
            for uid in MANY_USERS:
                f.write("user%d:x:%d:100:Interop user:/nonexistent:/usr/sbin/nologin\n" % (uid, uid))
        t = self.tmp
        with open(self.conf, "w") as f:
            f.write(f"""[global]
  netbios name = VOSSIKINTEROP
  workgroup = VOSSIK
  server role = standalone server
  interfaces = 127.0.0.1
  bind interfaces only = yes
  smb ports = {PORT}
  disable netbios = yes
  server min protocol = SMB2_02
  security = user
  map to guest = never
  passdb backend = tdbsam:{t}/private/passdb.tdb
  private dir = {t}/private
  state directory = {t}/state
  cache directory = {t}/cache
  lock directory = {t}/lock
  pid directory = {t}/pid
  ncalrpc dir = {t}/ncalrpc
  log file = {self.log}
  max log size = 0
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes

[share]
  path = {self.share}
  read only = no
  vfs objects = nfs4acl_xattr
  nfs4acl_xattr:encoding = xdr
  nfs4acl_xattr:validate_mode = no
""")
        with open(self.client_conf, "w") as f:
            f.write("[global]\n  client min protocol = SMB2_02\n")
        # The one account that connects: root, so that no ACL under test
        # can lock the checks out.
        r = self.run(["smbpasswd", "-c", self.conf, "-a", "-s", "root"],
                     stdin="%s\n%s\n" % (PASSWORD, PASSWORD))
        if r.returncode != 0:
            sys.exit("smbpasswd failed: " + (r.stdout + r.stderr).strip())

    def start(self):
        if port_in_use():
            sys.exit("127.0.0.1:%d is in use; cannot start a private smbd" % PORT)
        log = open(os.path.join(self.tmp, "log", "smbd.out"), "w")
        self.process = subprocess.Popen(
            ["smbd", "-s", self.conf, "--foreground"],
            env=self.env, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        log.close()
        deadline = time.monotonic() + 30
        while not (os.path.exists(self.pid_file) and port_in_use()):
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.dump_log()
                sys.exit("smbd did not start")
            time.sleep(0.1)
        with open(self.pid_file) as f:
            pid = int(f.read().split()[0])
        if pid != self.process.pid:
            sys.exit("smbd wrote pid %d, started as %d" % (pid, self.process.pid))
        print("smbd %d serves %s on 127.0.0.1:%d" % (pid, self.share, PORT))

    def stop(self):
        if self.process is None:
            return
        pid = self.process.pid
        if self.process.poll() is None:
            os.kill(pid, signal.SIGTERM)
            try:
                self.process.wait(timeout=15)
            except subprocess.TimeoutExpired:
                os.kill(pid, signal.SIGKILL)
                self.process.wait()
        # smbd leads a process group of its own (its pid): none of its
        # helpers may outlive it.
        try:
            os.killpg(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass

    def cleanup(self):
        self.stop()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def dump_log(self):
        for name in ("smbd.out", "smbd.log"):
            path = os.path.join(self.tmp, "log", name)
            if os.path.exists(path):
                with open(path, errors="replace") as f:
                    sys.stderr.write(f.read()[-4000:])

    def run(self, argv, stdin=None, cwd=None):
        return subprocess.run(argv, env=self.env, input=stdin, cwd=cwd, capture_output=True,
                              text=True, errors="replace")

    # The two sides.

    def vossik_run(self, *args):
        r = self.run([self.vossik, *args], cwd=self.share)
        return r.returncode, r.stdout, r.stderr

    def smbcacls(self, path, *args):
        r = self.run(["smbcacls", "-s", self.client_conf, "//127.0.0.1/share", path,
                      "-U", "root%" + PASSWORD, "--numeric", *args])
        return r.returncode, r.stdout, r.stderr

    def samba_acl(self, path):
        """The control word and the DACL as Samba serves them (owner and group
        left out). smbcacls shows the ACEs in canonical order, not as stored;
        they are compared sorted (see served()), while vossik's listings show
        the stored order."""
        rc, out, err = self.smbcacls(path)
        if rc != 0:
            return ["smbcacls failed (%d): %s" % (rc, (out + err).strip())]
        lines = out.splitlines()
        return [l for l in lines if l.startswith("CONTROL:")] + \
            sorted(l for l in lines if l.startswith("ACL:"))

    def samba_set(self, path, *aces, inherit=None):
        """Sets the DACL with smbcacls -S, then (inherit) -I allow|remove|copy."""
        rc, out, err = self.smbcacls(path, "-S", ",".join(["REVISION:1", *aces]))
        if rc == 0 and inherit:
            rc, out, err = self.smbcacls(path, "-I", inherit)
        if rc != 0:
            raise RuntimeError("smbcacls on %s failed (%d): %s" % (path, rc, (out + err).strip()))

    def make(self, path, uid, gid, directory=False, mode=None):
        full = os.path.join(self.share, path)
        if directory:
            os.mkdir(full)
        else:
            open(full, "w").close()
        os.chown(full, uid, gid)
        os.chmod(full, mode if mode is not None else (0o750 if directory else 0o640))

    def stored(self, path):
        try:
            return os.getxattr(os.path.join(self.share, path), "security.nfs4acl_xdr")
        except OSError as e:
            return "no stored ACL: %s" % e.strerror

    def flags_word(self, path):
        """The ACL-wide flags word of the stored ACL (0x2: protected)."""
        value = self.stored(path)
        return value if isinstance(value, str) else "0x%x" % struct.unpack(">I", value[:4])[0]


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def same(self, what, got, want):
        if isinstance(got, str):
            got, want = got.splitlines(), want.splitlines()
        if got == want:
            self.passed += 1
            print("ok    " + what)
            return
        self.failed += 1
        print("FAIL  " + what)
        for line in difflib.unified_diff(want, got, "expected", "got", lineterm="", n=2):
            print("      " + line)

    def command(self, what, result):
        rc, out, err = result
        if rc == 0:
            return True
        self.failed += 1
        said = (out + err).strip()
        if len(said) > 300:
            said = said[:150] + " ... " + said[-150:]
        print("FAIL  %s: status %d\n      %s" % (what, rc, said.replace("\n", "\n      ")))
        return False

    def served(self, srv, what, path, want):
        """Samba serves `want` for `path`, and reading it left the stored
        attribute as it was (with nfs4acl_xattr:validate_mode = yes Samba
        would delete it on a file whose mode is not 0666)."""
        before = srv.stored(path)
        self.same(what, srv.samba_acl(path), want)
        if srv.stored(path) != before:
            self.failed += 1
            print("FAIL  %s: the stored ACL changed when Samba read it" % path)


def samba_to_vossik(srv, checks):
    """ACLs written through smbcacls, read back by vossik."""
    print("-- ACLs set by Samba, read by vossik")
    os.mkdir(os.path.join(srv.share, "from-samba"))

    # A file: its owner, its group and everyone become owner@, group@ and
    # everyone@; other users and groups named entries; allow and deny;
    # smbcacls' named masks and others. smbcacls sends the ACEs in canonical
    # order (deny first), and that is the order stored.
    srv.make("from-samba/file", ALICE, DEVS)
    srv.samba_set("from-samba/file",
                  "ACL:%s:DENIED/0x0/0x00000006" % user_sid(BOB),
                  "ACL:%s:ALLOWED/0x0/FULL" % user_sid(ALICE),
                  "ACL:%s:ALLOWED/0x0/CHANGE" % group_sid(DEVS),
                  "ACL:%s:ALLOWED/0x0/READ" % group_sid(STAFF),
                  "ACL:%s:DENIED/0x0/0x00040000" % user_sid(CAROL),
                  "ACL:%s:ALLOWED/0x0/0x00120080" % EVERYONE)
    checks.same("file: Samba serves what it was given", srv.samba_acl("from-samba/file"), served(
        CONTROL,
        ace(user_sid(BOB), DENIED, 0, 0x6),
        ace(user_sid(CAROL), DENIED, 0, 0x40000),
        ace(user_sid(ALICE), ALLOWED, 0, FULL),
        ace(group_sid(DEVS), ALLOWED, 0, CHANGE),
        ace(group_sid(STAFF), ALLOWED, 0, READ),
        ace(EVERYONE, ALLOWED, 0, 0x120080)))
    checks.same("file: vossik lists the same entries",
                srv.vossik_run("list-access", "from-samba/file")[1], """\
# file: from-samba/file
# owner: alice
# group: devs
           user:bob:-w-p----------:-------:deny
         user:carol:-----------C--:-------:deny
          everyone@:------a---c--s:-------:allow
        group:staff:r-x---a-R-c--s:-------:allow
             owner@:rwxpDdaARWcCos:-------:allow
             group@:rwxpDdaARWc--s:-------:allow
""")

    # A folder with every inheritance flag, and CREATOR OWNER and CREATOR
    # GROUP, which Samba keeps as inheritable owner@ and group@ entries.
    srv.make("from-samba/dir", BOB, STAFF, directory=True)
    srv.samba_set("from-samba/dir",
                  "ACL:%s:ALLOWED/0x0/FULL" % user_sid(BOB),
                  "ACL:%s:ALLOWED/OI|CI/READ" % group_sid(DEVS),
                  "ACL:%s:ALLOWED/OI|CI|IO/FULL" % CREATOR_OWNER,
                  "ACL:%s:ALLOWED/OI|CI|IO/READ" % CREATOR_GROUP,
                  "ACL:%s:DENIED/CI|NP/0x00000002" % user_sid(CAROL),
                  "ACL:%s:ALLOWED/OI|IO/0x00000001" % group_sid(WHEEL),
                  "ACL:%s:ALLOWED/I/READ" % user_sid(ALICE),
                  "ACL:%s:ALLOWED/OI|CI|I/0x001200a0" % EVERYONE)
    checks.same("folder: Samba serves what it was given", srv.samba_acl("from-samba/dir"), served(
        CONTROL,
        ace(user_sid(CAROL), DENIED, 0x6, 0x2),
        ace(user_sid(BOB), ALLOWED, 0, FULL),
        ace(group_sid(DEVS), ALLOWED, 0x3, READ),
        ace(CREATOR_OWNER, ALLOWED, 0xb, FULL),
        ace(CREATOR_GROUP, ALLOWED, 0xb, READ),
        ace(group_sid(WHEEL), ALLOWED, 0x9, 0x1),
        ace(user_sid(ALICE), ALLOWED, 0x10, READ),
        ace(EVERYONE, ALLOWED, 0x13, 0x1200a0)))
    checks.same("folder: vossik lists the same entries",
                srv.vossik_run("list-access", "from-samba/dir")[1], """\
# file: from-samba/dir
# owner: bob
# group: staff
         user:carol:-w------------:-d-n---:deny
             owner@:rwxpDdaARWcCos:fdi----:allow
             group@:r-x---a-R-c--s:fdi----:allow
        group:wheel:r-------------:f-i----:allow
             owner@:rwxpDdaARWcCos:-------:allow
         group:devs:r-x---a-R-c--s:fd-----:allow
         user:alice:r-x---a-R-c--s:------I:allow
          everyone@:--x---a---c--s:fd----I:allow
""")

    # A file without a stored ACL: vossik shows the trivial ACL of the mode
    # bits, Samba one of its own making (owner full control, group and
    # everyone read where the mode gives them anything, SYSTEM full control).
    srv.make("from-samba/plain", ALICE, DEVS, mode=0o640)
    checks.same("file without a stored ACL: Samba's own ACL", srv.samba_acl("from-samba/plain"),
                served(CONTROL, ace(user_sid(ALICE), ALLOWED, 0, FULL),
                       ace(group_sid(DEVS), ALLOWED, 0, READ), ace(SYSTEM, ALLOWED, 0, FULL)))
    checks.same("file without a stored ACL: vossik's trivial ACL",
                srv.vossik_run("list-access", "from-samba/plain")[1], """\
# file: from-samba/plain
# owner: alice
# group: devs
           owner@:rw-p--aARWcCos:-------:allow
           group@:r-----a-R-c--s:-------:allow
        everyone@:------a-R-c--s:-------:allow
""")

    # A protected folder ("allow inheritable permissions" off): the
    # protected flag is in the stored ACL's flags word.
    srv.make("from-samba/protected", CAROL, USERS, directory=True)
    srv.samba_set("from-samba/protected",
                  "ACL:%s:ALLOWED/OI|CI/FULL" % user_sid(CAROL),
                  "ACL:%s:ALLOWED/OI|CI/READ" % group_sid(USERS), inherit="remove")
    checks.same("protected folder: Samba serves it protected",
                srv.samba_acl("from-samba/protected"), served(
                    CONTROL_PROTECTED,
                    ace(user_sid(CAROL), ALLOWED, 0x3, FULL),
                    ace(group_sid(USERS), ALLOWED, 0x3, READ)))
    checks.same("protected folder: stored with the protected flag",
                srv.flags_word("from-samba/protected"), "0x2")
    checks.same("protected folder: vossik lists the same entries",
                srv.vossik_run("list-access", "from-samba/protected")[1], """\
# file: from-samba/protected
# owner: carol
# group: users
        group:users:r-x---a-R-c--s:fd-----:allow
         user:carol:rwxpDdaARWcCos:fd-----:allow
""")


def vossik_to_samba(srv, checks):
    """ACLs written by vossik, served by Samba. Samba shows an owner@ or
    group@ entry that is inherited to objects below as two ACEs: one for the
    owner (group) itself and an inherit-only one for CREATOR OWNER (GROUP)."""
    print("-- ACLs written by vossik, served by Samba")
    os.mkdir(os.path.join(srv.share, "from-vossik"))

    # set-access on a folder and a file (which loses the inheritance flags).
    srv.make("from-vossik/set-dir", ALICE, STAFF, directory=True)
    srv.make("from-vossik/set-file", ALICE, STAFF)
    acl = ("owner@:full_set::allow,user:bob:wp::deny,group@:modify_set:fd,"
           "group:devs:rx:fdi,user:carol:read_set:fdn,everyone@:ra:I")
    if checks.command("set-access", srv.vossik_run("set-access", acl, "from-vossik/set-dir",
                                                   "from-vossik/set-file")):
        checks.served(srv, "set-access: Samba serves the folder's ACL", "from-vossik/set-dir", served(
            CONTROL,
            ace(user_sid(ALICE), ALLOWED, 0, FULL),
            ace(user_sid(BOB), DENIED, 0, 0x6),
            ace(group_sid(STAFF), ALLOWED, 0, 0x1301ff),
            ace(CREATOR_GROUP, ALLOWED, 0xb, 0x1301ff),
            ace(group_sid(DEVS), ALLOWED, 0xb, 0x21),
            ace(user_sid(CAROL), ALLOWED, 0x7, 0x20089),
            ace(EVERYONE, ALLOWED, 0x10, 0x81)))
        checks.served(srv, "set-access: Samba serves the file's ACL", "from-vossik/set-file", served(
            CONTROL,
            ace(user_sid(ALICE), ALLOWED, 0, FULL),
            ace(user_sid(BOB), DENIED, 0, 0x6),
            ace(group_sid(STAFF), ALLOWED, 0, 0x1301ff),
            ace(group_sid(DEVS), ALLOWED, 0, 0x21),
            ace(user_sid(CAROL), ALLOWED, 0, 0x20089),
            ace(EVERYONE, ALLOWED, 0x10, 0x81)))

    # edit-access on a file whose ACL Samba wrote.
    srv.make("from-vossik/edit-file", BOB, DEVS)
    srv.samba_set("from-vossik/edit-file",
                  "ACL:%s:ALLOWED/0x0/FULL" % user_sid(BOB),
                  "ACL:%s:ALLOWED/0x0/READ" % user_sid(ALICE),
                  "ACL:%s:ALLOWED/0x0/READ" % EVERYONE)
    edit = "/^user:alice:/ d; $ a user:carol:rwx; 0 i group:staff:w::deny"
    if checks.command("edit-access", srv.vossik_run("edit-access", "-e", edit, "from-vossik/edit-file")):
        checks.served(srv, "edit-access: Samba serves the edited ACL", "from-vossik/edit-file", served(
            CONTROL,
            ace(group_sid(STAFF), DENIED, 0, 0x2),
            ace(EVERYONE, ALLOWED, 0, READ),
            ace(user_sid(BOB), ALLOWED, 0, FULL),
            ace(user_sid(CAROL), ALLOWED, 0, 0x23)))

    # inherit-access down a small tree.
    srv.make("from-vossik/tree", ALICE, DEVS, directory=True)
    srv.make("from-vossik/tree/sub", BOB, DEVS, directory=True)
    srv.make("from-vossik/tree/sub/file", CAROL, DEVS)
    srv.vossik_run("set-access", "owner@:full_set:fd,group:devs:rx:fd,everyone@:r:fdn",
                   "from-vossik/tree")
    if checks.command("inherit-access", srv.vossik_run("inherit-access", "-r", "from-vossik/tree")):
        checks.served(srv, "inherit-access: Samba serves the top folder's ACL", "from-vossik/tree", served(
            CONTROL,
            ace(user_sid(ALICE), ALLOWED, 0, FULL),
            ace(CREATOR_OWNER, ALLOWED, 0xb, FULL),
            ace(group_sid(DEVS), ALLOWED, 0x3, 0x21),
            ace(EVERYONE, ALLOWED, 0x3, 0x1)))
        checks.served(srv, "inherit-access: a folder below inherits", "from-vossik/tree/sub", served(
            CONTROL,
            ace(user_sid(BOB), ALLOWED, 0x10, FULL),
            ace(CREATOR_OWNER, ALLOWED, 0x1b, FULL),
            ace(group_sid(DEVS), ALLOWED, 0x13, 0x21),
            ace(EVERYONE, ALLOWED, 0x13, 0x1)))
        checks.served(srv, "inherit-access: a file below inherits", "from-vossik/tree/sub/file", served(
            CONTROL,
            ace(user_sid(CAROL), ALLOWED, 0x10, FULL),
            ace(group_sid(DEVS), ALLOWED, 0x10, 0x21),
            ace(EVERYONE, ALLOWED, 0x10, 0x1)))

    # 1000 entries, one for each user of MANY_USERS, deny and allow by turns.
    srv.make("from-vossik/many", ALICE, DEVS)
    many = [(uid, i % 2 == 0) for i, uid in enumerate(MANY_USERS)]
    text = ",".join("user:%d:%s" % (uid, "w::deny" if deny else "rx") for uid, deny in many)
    if checks.command("set-access with %d entries" % len(many),
                      srv.vossik_run("set-access", text, "from-vossik/many")):
        checks.served(srv, "%d entries: Samba serves every one" % len(many), "from-vossik/many", served(
            CONTROL, *(ace(user_sid(uid), DENIED, 0, 0x2) if deny else
                       ace(user_sid(uid), ALLOWED, 0, 0x21) for uid, deny in many)))

    # A folder that Samba protected stays protected through vossik's writes.
    srv.make("from-vossik/protected", ALICE, STAFF, directory=True)
    srv.samba_set("from-vossik/protected",
                  "ACL:%s:ALLOWED/OI|CI/FULL" % user_sid(ALICE),
                  "ACL:%s:ALLOWED/OI|CI/READ" % group_sid(STAFF), inherit="remove")
    if checks.command("edit-access on a protected folder",
                      srv.vossik_run("edit-access", "-e", "$ a user:bob:rx:fd", "from-vossik/protected")):
        checks.served(srv, "protected folder: still protected after edit-access", "from-vossik/protected",
                      served(CONTROL_PROTECTED,
                             ace(user_sid(ALICE), ALLOWED, 0x3, FULL),
                             ace(group_sid(STAFF), ALLOWED, 0x3, READ),
                             ace(user_sid(BOB), ALLOWED, 0x3, 0x21)))
    if checks.command("touch-access -f on a protected folder",
                      srv.vossik_run("touch-access", "-f", "from-vossik/protected")):
        checks.same("protected folder: still protected after touch-access",
                    srv.flags_word("from-vossik/protected"), "0x2")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.split("\n\n")[-1])
    if os.geteuid() != 0:
        sys.exit("check-interop needs root (smbd, chown, security.* attributes)")
    vossik = os.path.abspath(sys.argv[1])
    os.environ["PATH"] = os.environ.get("PATH", "/usr/bin:/bin") + ":/usr/sbin:/sbin"
    for tool in ("smbd", "smbcacls", "smbpasswd"):
        if shutil.which(tool) is None:
            sys.exit("%s not found (Debian: samba, smbclient)" % tool)

    # A network namespace of our own where the system offers one: there the
    # server's loopback port is ours alone.
    if NAMESPACE_MARK not in os.environ and shutil.which("unshare") and \
            subprocess.run(["unshare", "--net", "true"], capture_output=True).returncode == 0:
        env = dict(os.environ, **{NAMESPACE_MARK: "1"})
        sys.stdout.flush()
        os.execvpe("unshare", ["unshare", "--net", sys.executable, os.path.abspath(__file__), vossik], env)
    if NAMESPACE_MARK in os.environ:
        loopback_up()

    # Whatever ends the run, the server stops and its directory goes.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    signal.signal(signal.SIGINT, lambda *_: sys.exit(1))
    checks = Checks()
    srv = None
    try:
        srv = Server(vossik)
        srv.configure()
        srv.start()
        samba_to_vossik(srv, checks)
        vossik_to_samba(srv, checks)
    except RuntimeError as e:
        checks.failed += 1
        print("FAIL  %s" % e)
    finally:
        if srv:
            srv.cleanup()
    print("interop: %d passed, %d failed" % (checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
