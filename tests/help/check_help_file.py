#!/usr/bin/python3
"""Reads the compiled help file back with a CHM reader and checks that every
topic of the sources, the contents and the index are inside, that the
contents and the index lead only to topics that are there, and that every
page and tool of the program has its topic.

usage: check_help_file.py COMPILED_CHM HELP_SOURCE_FOLDER
"""
import os
import re
import sys

import chm.chm as chmfile
from chm import chmlib

# One topic for each page and each tool, and for the quarantine, immunity,
# the notification area and updating.
REQUIRED_TOPICS = {
    "info_page.htm", "shield_page.htm", "scan_page.htm", "memory_page.htm",
    "quarantine_page.htm", "tools_page.htm", "repair_page.htm", "startup_page.htm",
    "immunity.htm", "safe_removal.htm", "registry_repair.htm", "disk_cleanup.htm",
    "timed_shutdown.htm", "quarantine.htm", "tray.htm", "updating.htm", "rights.htm",
}
# Texts a topic must explain: what a user reads in the program and needs to act on.
REQUIRED_TEXTS = {
    "info_page.htm": ["Document not found"],
    "updating.htm": ["Update program not found!"],
    "rights.htm": ["standard user", "/S", "quarantined files"],
    "quarantine.htm": ["Restore", "desktop"],
    "immunity.htm": ["Cancel immunity", "AUTORUN.INF", "NoDriveTypeAutoRun"],
    "quarantine_page.htm": ["Restore failed: The file has been restored",
                            "Restore failed: the quarantined file is absent!",
                            "Restore the file to desktop", "Empty completed"],
}


def fail(message):
    print("help file: " + message)
    return 1


def read(handle, path):
    found, unit = chmlib.chm_resolve_object(handle.file, path.encode())
    if found != chmlib.CHM_RESOLVE_SUCCESS:
        return None
    size, data = chmlib.chm_retrieve_object(handle.file, unit, 0, unit.length)
    return data[:size] if size == unit.length else None


def linked_topics(sitemap):
    return set(re.findall(r'name="Local" value="([^"]+)"', sitemap, re.IGNORECASE))


def main():
    compiled, sources = sys.argv[1], sys.argv[2]
    handle = chmfile.CHMFile()
    if not handle.LoadCHM(compiled):
        return fail("cannot open " + compiled)
    errors = 0
    topics = sorted(name for name in os.listdir(sources) if name.endswith(".htm"))
    missing_required = REQUIRED_TOPICS - set(topics)
    if missing_required:
        errors += fail("no source for " + ", ".join(sorted(missing_required)))

    # Every topic is inside, byte for byte as written.
    for name in topics:
        with open(os.path.join(sources, name), "rb") as source:
            expected = source.read()
        inside = read(handle, "/" + name)
        if inside is None:
            errors += fail(name + " is not inside")
        elif inside != expected:
            errors += fail(name + " differs from its source")
        else:
            text = inside.decode("latin-1")
            if not re.search(r"<title>[^<]+</title>", text):
                errors += fail(name + " has no title")
            for wanted in REQUIRED_TEXTS.get(name, []):
                if wanted not in text:
                    errors += fail(name + " does not explain \"" + wanted + "\"")

    # The contents and the index are the file's own and lead to topics inside.
    if handle.home != b"/introduction.htm":
        errors += fail("the default topic is " + repr(handle.home))
    for role, path, expected_path in (("contents", handle.topics, b"/contents.hhc"),
                                      ("index", handle.index, b"/index.hhk")):
        if path != expected_path:
            errors += fail("the %s file is %r" % (role, path))
            continue
        sitemap = read(handle, path.decode())
        if sitemap is None:
            errors += fail("the %s is not inside" % role)
            continue
        links = linked_topics(sitemap.decode("latin-1"))
        for link in sorted(links - set(topics)):
            errors += fail("the %s leads to %s, which is not a topic" % (role, link))
        if role == "contents":
            for name in sorted(set(topics) - links):
                errors += fail("the contents do not list " + name)
    # The keyword index was compiled, so that the viewer's Index tab works.
    if read(handle, "/$WWKeywordLinks/BTree") is None:
        errors += fail("no compiled keyword index")

    if errors:
        return 1
    print("help file: %d topics, contents and index inside %s" % (len(topics), compiled))
    return 0


if __name__ == "__main__":
    sys.exit(main())
