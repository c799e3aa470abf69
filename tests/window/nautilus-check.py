#!/usr/bin/python3
"""Loads the Nautilus extension with the real python3-nautilus bindings, as Nautilus does, and
asks it for its entries on one file.

    nautilus-check.py EXTENSION PATH           prints each entry's label, one a line
    nautilus-check.py EXTENSION PATH ENTRY     activates the entry whose name ends in ENTRY

The file stands in for the one Nautilus would pass: a local file, not a folder.
"""
import importlib.util
import sys
import time

from gi.repository import Gio

found = importlib.util.spec_from_file_location("calyxor_nautilus", sys.argv[1])
extension = importlib.util.module_from_spec(found)
found.loader.exec_module(extension)


class ChosenFile:
    def __init__(self, path):
        self.location = Gio.File.new_for_path(path)

    def get_uri_scheme(self):
        return self.location.get_uri_scheme()

    def is_directory(self):
        return self.location.query_file_type(Gio.FileQueryInfoFlags.NONE, None) == Gio.FileType.DIRECTORY

    def get_location(self):
        return self.location


items = extension.CalyxorMenu().get_file_items([ChosenFile(sys.argv[2])])
if len(sys.argv) == 3:
    for item in items:
        print(item.get_property("label"))
    sys.exit(0)
chosen = [i for i in items if i.get_property("name").endswith(sys.argv[3])]
if not chosen:
    sys.exit("nautilus-check: no entry " + sys.argv[3])
chosen[0].activate()
time.sleep(0.2)  # the program is started, not waited for
