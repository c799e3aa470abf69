#!/usr/bin/python3
"""Reads the running window through AT-SPI, as a screen reader does, and checks what it is told.

    atspi-check.py LANG PID tree      names, roles, actions, focus and the gauge's value
    atspi-check.py LANG PID press     presses the encrypt button through its action

LANG is ru or en: the names are the window's texts in that language. Exits non-zero, with one
line saying what was wrong, at the first difference.
"""
import sys
import time

import pyatspi

TEXTS = {
    "ru": {
        "buttons": ["Закрыть", "Просмотреть ключ", "Выбрать файл", "Зашифровать файл",
                    "Расшифровать файл", "Удалить файл", "Свернуть"],
        "key": "Ключ",
        "checks": ["Удалить исходный файл", "Создать SFX шифрованный файл"],
        "gauge": "Ход операции",
        "encrypted": "Зашифрован: ",
    },
    "en": {
        "buttons": ["Close", "Show key", "Choose file", "Encrypt file", "Decrypt file",
                    "Wipe file", "Minimize"],
        "key": "Key",
        "checks": ["Wipe the source file", "Create SFX encrypted file"],
        "gauge": "Progress",
        "encrypted": "Encrypted: ",
    },
}


def fail(why):
    print("atspi-check: " + why, file=sys.stderr)
    sys.exit(1)


def find_app(pid):
    # The application registers itself shortly after its window shows.
    for _ in range(200):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                continue
        time.sleep(0.05)
    fail("the program never appeared on the accessibility bus")


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def controls(app):
    by_role = {}
    for node in walk(app):
        by_role.setdefault(node.getRole(), []).append(node)
    return by_role


def action_names(node):
    action = node.queryAction()
    return [action.getName(i).lower() for i in range(action.nActions)]


def check_tree(app, t):
    roles = controls(app)
    buttons = roles.get(pyatspi.ROLE_PUSH_BUTTON, [])
    names = sorted(b.name for b in buttons)
    if names != sorted(t["buttons"]):
        fail("push buttons %r, expected %r" % (names, sorted(t["buttons"])))
    for b in buttons:
        if "press" not in action_names(b):
            fail("%r has no press action (%r)" % (b.name, action_names(b)))
        if not b.getState().contains(pyatspi.STATE_FOCUSABLE):
            fail("%r takes no keyboard focus" % b.name)

    keys = roles.get(pyatspi.ROLE_PASSWORD_TEXT, [])
    if [k.name for k in keys] != [t["key"]]:
        fail("password fields %r, expected one named %r" % ([k.name for k in keys], t["key"]))
    if not keys[0].getState().contains(pyatspi.STATE_FOCUSED):
        fail("the key box does not hold the focus when the window opens")

    checks = sorted(c.name for c in roles.get(pyatspi.ROLE_CHECK_BOX, []))
    if checks != sorted(t["checks"]):
        fail("check boxes %r, expected %r" % (checks, sorted(t["checks"])))

    gauges = roles.get(pyatspi.ROLE_PROGRESS_BAR, [])
    if [g.name for g in gauges] != [t["gauge"]]:
        fail("progress bars %r, expected one named %r" % ([g.name for g in gauges], t["gauge"]))
    value = gauges[0].queryValue()
    if (value.minimumValue, value.currentValue) != (0, 0):
        fail("the idle gauge reads %r of %r" % (value.currentValue, value.minimumValue))


def press_encrypt(app, t, size):
    roles = controls(app)
    crypt = [b for b in roles.get(pyatspi.ROLE_PUSH_BUTTON, []) if b.name == t["buttons"][3]]
    if not crypt:
        fail("no encrypt button")
    action = crypt[0].queryAction()
    names = [action.getName(i).lower() for i in range(action.nActions)]
    action.doAction(names.index("press"))
    # The operation sets the gauge's bounds to the file's size; the label then tells the outcome.
    for _ in range(200):
        roles = controls(app)
        labels = [l.name for l in roles.get(pyatspi.ROLE_LABEL, [])]
        gauge = roles[pyatspi.ROLE_PROGRESS_BAR][0].queryValue()
        if any(l.startswith(t["encrypted"]) for l in labels) and gauge.maximumValue == size:
            return
        time.sleep(0.05)
    fail("after the press: labels %r, gauge maximum %r (file of %d bytes)"
         % (labels, gauge.maximumValue, size))


def main():
    lang, pid, what = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    app = find_app(pid)
    if what == "tree":
        check_tree(app, TEXTS[lang])
    elif what == "press":
        press_encrypt(app, TEXTS[lang], int(sys.argv[4]))
    else:
        fail("unknown check " + what)


main()
