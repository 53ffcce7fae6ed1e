#!/usr/bin/env python3
"""check_updater_resources.py VKUPDATE.EXE SITE_ADDRESS

The shipped updater must carry its whole string table, both dialog templates
exactly as designed, and its one 32 x 32, 16-colour icon, all in US English.
Reads the resources out of the built file with wrestool (icoutils).
"""
import struct
import subprocess
import sys

US_ENGLISH = 1033
failures = []


def check(what, expected, got):
    if expected != got:
        failures.append("%s: expected %r, got %r" % (what, expected, got))


def resource(exe, rtype, name):
    raw = subprocess.run(["wrestool", "-x", "--raw", "--type=%d" % rtype, "--name=%d" % name,
                          "--language=%d" % US_ENGLISH, exe],
                         check=True, capture_output=True).stdout
    if not raw:
        failures.append("no resource of type %d, name %d, language %d" % (rtype, name, US_ENGLISH))
    return raw


def strings(exe):
    table = {}
    for block in (1, 2):  # ids 0-15 and 16-31
        raw = resource(exe, 6, block)
        at = 0
        for index in range(16):
            if at + 2 > len(raw):
                break
            (n,) = struct.unpack_from("<H", raw, at)
            at += 2
            if n:
                table[(block - 1) * 16 + index] = raw[at:at + 2 * n].decode("utf-16-le")
            at += 2 * n
    return table


class Reader:
    def __init__(self, raw):
        self.raw, self.at = raw, 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.raw, self.at)
        self.at += struct.calcsize("<" + fmt)
        return values

    def text_or_ordinal(self):
        (first,) = struct.unpack_from("<H", self.raw, self.at)
        if first == 0xFFFF:
            self.at += 2
            return self.take("H")[0]
        end = self.at
        while struct.unpack_from("<H", self.raw, end)[0]:
            end += 2
        text = self.raw[self.at:end].decode("utf-16-le")
        self.at = end + 2
        return text

    def align(self):
        self.at = (self.at + 3) & ~3


def dialog(raw):
    r = Reader(raw)
    style, ex_style, count, x, y, cx, cy = r.take("IIHhhhh")
    menu, cls, caption = r.text_or_ordinal(), r.text_or_ordinal(), r.text_or_ordinal()
    font = None
    if style & 0x40:  # DS_SETFONT
        (points,) = r.take("H")
        font = (points, r.text_or_ordinal())
    items = []
    for _ in range(count):
        r.align()
        istyle, iex, ix, iy, icx, icy, iid = r.take("IIhhhhH")
        icls, itext = r.text_or_ordinal(), r.text_or_ordinal()
        (extra,) = r.take("H")
        r.at += extra
        items.append((iid, icls, itext, ix, iy, icx, icy, istyle, iex))
    return dict(style=style, ex_style=ex_style, place=(x, y, cx, cy), menu=menu, cls=cls,
                caption=caption, font=font, items=items)


BUTTON, STATIC = 0x80, 0x82
FONT = (8, "MS Sans Serif")
PROGRESS = {
    "style": 0x80C800C0, "ex_style": 0, "place": (0, 0, 186, 68), "menu": "", "cls": "",
    "caption": "Updating Velkor Games", "font": FONT,
    "items": [
        (100, STATIC, "Status", 7, 18, 172, 15, 0x50020000, 0),
        (1001, "msctls_progress32", "Progress2", 35, 42, 101, 10, 0x50800000, 0),
        (1002, STATIC, "XXX %", 141, 41, 29, 10, 0x50020000, 0),
    ],
}
SUMMARY = {
    "style": 0x80C800C0, "ex_style": 0, "place": (0, 0, 450, 181), "menu": "", "cls": "",
    "caption": "Velkor Update Utility", "font": FONT,
    "items": [
        (1, BUTTON, "OK", 292, 153, 50, 14, 0x50010001, 0),
        (1004, STATIC, "Successful Updates", 23, 65, 145, 71, 0x50020000, 0),
        (1005, STATIC, "Unsuccessful Updates", 203, 65, 135, 76, 0x50020000, 0),
        (1003, STATIC, "Success", 400, 16, 28, 14, 0x50020001, 0),
        (0xFFFF, BUTTON, "Successful Updates", 17, 53, 159, 95, 0x50000007, 0),
        (1006, BUTTON, "Unsuccessful Updates", 191, 53, 159, 95, 0x50000007, 0),
        (1007, STATIC, "Failure", 407, 41, 22, 15, 0x50020000, 0),
    ],
}


def check_dialog(exe, name, expected):
    got = dialog(resource(exe, 5, name))
    for field in ("style", "ex_style", "place", "menu", "cls", "caption", "font"):
        check("dialog %d %s" % (name, field), expected[field], got[field])
    check("dialog %d control count" % name, len(expected["items"]), len(got["items"]))
    for want, have in zip(expected["items"], got["items"]):
        # Window class names match without regard to case; the resource
        # compiler writes named classes in capitals.
        if isinstance(have[1], str):
            have = (have[0], have[1].lower()) + have[2:]
        check("dialog %d control %d" % (name, want[0]), want, have)


def check_icon(exe):
    group = resource(exe, 14, 103)
    if len(group) < 6 + 14:
        failures.append("icon group 103 too short")
        return
    check("icon group header", (0, 1, 1), struct.unpack_from("<HHH", group, 0))
    w, h, colours, _, planes, bits, size, image_id = struct.unpack_from("<BBBBHHIH", group, 6)
    check("icon entry (width, height, colours, planes, bits)", (32, 32, 16, 1, 4),
          (w, h, colours, planes, bits))
    image = resource(exe, 3, image_id)
    check("icon image size", size, len(image))
    if len(image) >= 40:
        hsize, iw, ih, iplanes, ibits = struct.unpack_from("<IiiHH", image, 0)
        check("icon bitmap (header, width, height, planes, bits)", (40, 32, 64, 1, 4),
              (hsize, iw, ih, iplanes, ibits))


def main():
    exe, site = sys.argv[1], sys.argv[2]
    expected = {
        2: 'Velkor Game Client update is complete! Before you can launch any of the games under '
           '"Unsuccessful Updates", you must redownload the game from ' + site + '.',
        3: "Update Velkor Games",
        4: "There is a problem with your current Velkor System Components, the update cannot "
           "complete.\nPlease download the Velkor System Components from " + site
           + " and reinstall it.",
        5: "Update Velkor Games Error Message",
        6: "Could not find %s.\nYou may need to download and install this game client again.",
        7: 'There is an error in the "%s" section of your VELKORGO.INI file.\n You may need to '
           "download and install this game client again.",
        8: "Could not find %s.\nYou may need to download and install this game client again.",
        9: "All installed applications are up to date!",
        10: "No problems encountered!",
        11: "Rampart Realms", 12: "Duskfall", 13: "Tunnel Runner Online", 14: "Blotball",
        15: "Spellgale", 16: "Cue Shot", 17: "Warbands II", 18: "Quiz Hall Live",
        19: "Velkor Game Client update has completed successfully!",
    }
    table = strings(exe)
    for id in sorted(set(expected) | set(table)):
        check("string %d" % id, expected.get(id), table.get(id))
    check_dialog(exe, 101, PROGRESS)
    check_dialog(exe, 102, SUMMARY)
    check_icon(exe)
    for line in failures:
        print(line)
    print("%s: %s" % (exe, "resources as designed" if not failures else "%d problems" % len(failures)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
