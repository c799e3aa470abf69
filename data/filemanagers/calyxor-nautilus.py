"""Nautilus (python3-nautilus): Encrypt with Calyxor on any file, Decrypt with Calyxor on .ash
files. Each opens the window with the file chosen, as the desktop hands a file over."""
import os
import subprocess

import gi

try:
    gi.require_version("Nautilus", "4.0")
except ValueError:
    gi.require_version("Nautilus", "3.0")
from gi.repository import GObject, Nautilus  # noqa: E402

# The command each entry runs, the chosen file's path after it.
COMMAND = ["calyxor", "--open"]

TEXTS = {
    "en": {"encrypt": ("Encrypt with Calyxor", "Open Calyxor with this file chosen"),
           "decrypt": ("Decrypt with Calyxor", "Open Calyxor with this file chosen, ready to decrypt")},
    "ru": {"encrypt": ("Зашифровать в Calyxor", "Открыть Calyxor с выбранным файлом"),
           "decrypt": ("Расшифровать в Calyxor", "Открыть Calyxor с выбранным файлом для расшифровки")},
}


def language():
    """Russian or English, chosen as the program chooses: the first of LANGUAGE (its first
    entry), LC_ALL, LC_MESSAGES and LANG that is set and not empty."""
    for name in ("LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"):
        value = os.environ.get(name, "")
        if value:
            first = value.split(":")[0]
            code = first.split("_")[0].split(".")[0].split("@")[0]
            return "ru" if code == "ru" else "en"
    return "en"


def entries_for(path):
    """The entries for one local file: decrypt first for an encrypted file."""
    if path.lower().endswith(".ash"):
        return ["decrypt", "encrypt"]
    return ["encrypt"]


class CalyxorMenu(GObject.GObject, Nautilus.MenuProvider):
    def get_file_items(self, *args):
        # Nautilus 43 passes the files alone; older versions pass the window first.
        files = args[-1]
        if len(files) != 1:
            return []
        chosen = files[0]
        if chosen.get_uri_scheme() != "file" or chosen.is_directory():
            return []
        path = chosen.get_location().get_path()
        if not path:
            return []
        texts = TEXTS[language()]
        items = []
        for entry in entries_for(path):
            label, tip = texts[entry]
            item = Nautilus.MenuItem(name="Calyxor::" + entry, label=label, tip=tip,
                                     icon="io.github.calyxor.Calyxor")
            item.connect("activate", self.run, path)
            items.append(item)
        return items

    @staticmethod
    def run(_item, path):
        # Started on its own: the file manager does not wait for the window to close.
        subprocess.Popen(COMMAND + [path], start_new_session=True,
                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
