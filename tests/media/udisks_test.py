"""quarry-carve against a fake UDisks2 daemon and a fake polkit on a private system bus.

    udisks_test.py CARVER RESOURCES CORPUS

The fake daemon exports one card reader holding a card with an MBR table and two partitions,
a loop device and an empty reader; its OpenDevice asks the fake polkit and hands back a
descriptor of a root-only image file. Cases that need an unprivileged user run the carver as
`nobody` (setpriv) and are skipped when not started as root.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

import dbus
import dbusmock

UDISKS = "org.freedesktop.UDisks2"
ROOT = "/org/freedesktop/UDisks2"
BLOCK = UDISKS + ".Block"
POLKIT_ACTION = "org.freedesktop.udisks2.open-device"

# OpenDevice of the fake daemon: polkit decides, then the image it stands for is handed over.
OPEN_DEVICE = """
import dbus
authority = dbus.SystemBus().get_object('org.freedesktop.PolicyKit1', '/org/freedesktop/PolicyKit1/Authority')
subject = ('unix-process', {'pid': dbus.UInt32(1, variant_level=1)})
allowed = authority.CheckAuthorization(subject, '%s', {}, dbus.UInt32(1), '',
                                       dbus_interface='org.freedesktop.PolicyKit1.Authority')[0]
if not allowed:
    raise dbus.exceptions.DBusException('Not authorized', name='org.freedesktop.UDisks2.Error.NotAuthorizedCanObtain')
ret = dbus.types.UnixFd(open(%r, 'rb'))
"""
# A system bus of our own that other users may join too (the carver runs as nobody).
BUS_CONFIG = """<busconfig>
  <type>system</type>
  <keep_umask/>
  <listen>unix:tmpdir=/tmp</listen>
  <policy context="default">
    <allow user="*"/><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/>
  </policy>
</busconfig>"""
RESOLVE = """
ret = []
for object, device in %r.items():
    if device == args[0]['path']:
        ret.append(dbus.ObjectPath(object))
"""


def path_bytes(path):
    return dbus.Array([dbus.Byte(b) for b in path.encode() + b"\0"], signature="y")


def block(device, size, drive="/", label="", fs_type="", fs_version="", usage=""):
    return {"Device": path_bytes(device), "PreferredDevice": path_bytes(device), "Size": dbus.UInt64(size),
            "Drive": dbus.ObjectPath(drive), "IdLabel": label, "IdType": fs_type, "IdVersion": fs_version,
            "IdUsage": usage, "HintIgnore": False}


def build_card(folder, corpus):
    """A card image with three photos, each starting on a sector boundary."""
    image = os.path.join(folder, "card.img")
    with open(image, "wb") as out:
        out.write(bytes(2048 * 512))
        for name in ("012_Wood.jpg", "013_LadyBird.jpg", "010_Dune.jpg"):
            with open(os.path.join(corpus, name), "rb") as photo:
                out.write(photo.read())
            out.write(bytes(-out.tell() % 512 + 4096))
    os.chmod(image, 0o600)
    return image


def fake_udisks(image):
    """Starts the daemon; returns its process and mock interface."""
    daemon = subprocess.Popen([sys.executable, "-m", "dbusmock", "--system", "-m", UDISKS, ROOT,
                               "org.freedesktop.DBus.ObjectManager"], stdout=subprocess.DEVNULL)
    dbusmock.DBusTestCase.wait_for_bus_object(UDISKS, ROOT, system_bus=True)
    mock = dbus.Interface(dbus.SystemBus().get_object(UDISKS, ROOT), dbusmock.MOCK_IFACE)
    drive = ROOT + "/drives/Card_Reader"
    devices = ROOT + "/block_devices/"
    card_bytes = os.path.getsize(image)
    mock.AddObject(drive, UDISKS + ".Drive", {"Vendor": "Generic", "Model": "Card Reader", "Removable": True,
                                              "Optical": False, "Media": "flash_sd"}, [])
    mock.AddObject(devices + "sdx", BLOCK, block(image, card_bytes, drive), [])
    mock.AddObject(devices + "sdx1", BLOCK,
                   block("/dev/sdx1", 1048576, drive, "CARD", "vfat", "FAT32", "filesystem"), [])
    mock.AddObject(devices + "sdx2", BLOCK, block("/dev/sdx2", 1572864, drive, "", "exfat", "1.0", "filesystem"), [])
    mock.AddObject(devices + "loop0", BLOCK, block("/dev/loop0", 1048576, label="IMG", fs_type="vfat"), [])
    mock.AddObject(devices + "sdy", BLOCK, block("/dev/sdy", 0, drive), [])
    whole = dbus.Interface(dbus.SystemBus().get_object(UDISKS, devices + "sdx"), dbusmock.MOCK_IFACE)
    whole.AddProperties(UDISKS + ".PartitionTable", {"Type": "dos", "Partitions": dbus.Array([], signature="o")})
    whole.AddMethod(BLOCK, "OpenDevice", "sa{sv}", "h", OPEN_DEVICE % (POLKIT_ACTION, image))
    for number in ("1", "2"):
        part = dbus.Interface(dbus.SystemBus().get_object(UDISKS, devices + "sdx" + number), dbusmock.MOCK_IFACE)
        part.AddProperties(UDISKS + ".Partition", {"Table": dbus.ObjectPath(devices + "sdx"), "Number": dbus.UInt32(1)})
    loop = dbus.Interface(dbus.SystemBus().get_object(UDISKS, devices + "loop0"), dbusmock.MOCK_IFACE)
    loop.AddProperties(UDISKS + ".Loop", {"BackingFile": path_bytes("/tmp/some.img")})
    mock.AddObject(ROOT + "/Manager", UDISKS + ".Manager", {"Version": "2.9.4"},
                   [("ResolveDevice", "a{sv}a{sv}", "ao", RESOLVE % {devices + "sdx": image})])
    return daemon, whole


def run(argv, as_nobody=False):
    if as_nobody:
        argv = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"] + argv
    return subprocess.run(argv, capture_output=True, text=True, timeout=300)


def main():
    carver, resources, corpus = sys.argv[1:4]
    root = os.geteuid() == 0
    folder = tempfile.mkdtemp()
    os.chmod(folder, 0o755)
    failures = []

    def check(name, condition, detail=""):
        print(("ok   " if condition else "FAIL ") + name)
        if not condition:
            failures.append(name)
            print(detail)

    try:
        image = build_card(folder, corpus)
        scan = [carver, "--resources", resources, "--json", "--mode", "photo"]
        # No daemon at all: the mount table and sysfs speak.
        os.environ["DBUS_SYSTEM_BUS_ADDRESS"] = "unix:path=" + os.path.join(folder, "no-bus")
        without_bus = run([carver, "--list-media", "--json"])
        config = os.path.join(folder, "bus.conf")
        with open(config, "w") as out:
            out.write(BUS_CONFIG)
        bus, os.environ["DBUS_SYSTEM_BUS_ADDRESS"] = dbusmock.DBusTestCase.start_dbus(conf=config)
        check("a bus without the daemon lists what the platform tables list",
              run([carver, "--list-media", "--json"]).stdout == without_bus.stdout, without_bus.stdout)

        polkit = dbusmock.DBusTestCase.spawn_server_template("polkitd", {}, stdout=subprocess.DEVNULL)[1]
        daemon, whole = fake_udisks(image)
        listed = run([carver, "--list-media", "--json"])
        rows = [[row["Collumn%d" % k] for k in range(1, 7)] for row in map(json.loads, listed.stdout.splitlines())]
        sectors = str(os.path.getsize(image) // 512)
        expected = [["card.img", "Generic Card Reader", "MBR partition table", rows[0][3] if rows else "", "card.img", sectors],
                    ["sdx1", "CARD", "MS-DOS (FAT32)", "1024.00  KB ", "card.img", "2048"],
                    ["sdx2", "", "ExFAT", "1.50  MB ", "card.img", "3072"]]
        check("the daemon's drive and partitions are the media list", rows == expected, listed.stdout + listed.stderr)

        direct = run(scan + ["--output", os.path.join(folder, "direct"), image])
        check("a direct scan finds the photos", direct.returncode == 0 and direct.stdout.count('"GND') >= 3,
              direct.stdout + direct.stderr)
        if not root:
            print("skip the unprivileged cases: setpriv needs root")
        else:
            outcome = os.path.join(folder, "granted")
            os.mkdir(outcome)
            shutil.chown(outcome, "nobody")
            polkit.SetAllowed([POLKIT_ACTION])
            granted = run(scan + ["--output", outcome, image], as_nobody=True)
            calls = whole.GetMethodCalls("OpenDevice")
            check("a medium the user can't open is scanned and saved through OpenDevice",
                  granted.stdout == direct.stdout.replace(os.path.join(folder, "direct"), outcome)
                  and len(calls) == 2 and all(call[1][0] == "r" and not call[1][1]["auth.no_user_interaction"]
                                              for call in calls), granted.stdout + granted.stderr + str(calls))
            check("the saved files are those of a direct open",
                  subprocess.run(["diff", "-r", os.path.join(folder, "direct"), outcome]).returncode == 0)
            polkit.SetAllowed(dbus.Array([], signature="s"))
            refused = run(scan + [image], as_nobody=True)
            check("a polkit refusal is an unreadable medium",
                  refused.returncode != 0 and "Error in storage media reading." in refused.stderr
                  and refused.stdout == "", refused.stdout + refused.stderr)
        daemon.terminate()
        daemon.wait()
        dbusmock.DBusTestCase.stop_dbus(bus)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
