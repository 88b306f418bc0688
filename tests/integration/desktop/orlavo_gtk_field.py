#!/usr/bin/python3
# A GTK text field for the desktop tests; speaks the protocol of orlavo_test_window:
#
#   orlavo_gtk_field.py --class CLASS --instance INSTANCE [--text INITIAL]
#
# Output lines: "window <id>" once shown, "active" / "inactive" as the focus comes and goes,
# "text <percent-encoded content>" after every change. Input lines: "select" (select everything),
# "deselect" (clear the selection, keep the text and the focus), "freeze SECONDS" (stop answering
# anyone, the accessibility bus included, for that long), "quit".
import argparse
import sys
import time
import urllib.parse

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("GdkX11", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GdkX11, GLib, Gtk  # noqa: E402,F401


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--class", dest="window_class", default="OrlavoGtkField")
    parser.add_argument("--instance", default="orlavo-gtk-field")
    parser.add_argument("--text", default="")
    parser.add_argument("--at", default="")
    options = parser.parse_args()

    GLib.set_prgname(options.instance)
    Gdk.set_program_class(options.window_class)
    # A field that selects everything when it gets the focus would make every test a command.
    Gtk.Settings.get_default().set_property("gtk-entry-select-on-focus", False)

    window = Gtk.Window(title=options.window_class + " test window")
    window.set_default_size(640, 80)
    entry = Gtk.Entry()
    entry.set_text(options.text)
    window.add(entry)
    window.connect("destroy", Gtk.main_quit)
    window.connect("notify::is-active", lambda w, _: say("active" if w.is_active() else "inactive"))
    entry.connect("changed", lambda e: say("text " + urllib.parse.quote(e.get_text(), safe="")))

    def on_input(source, condition):
        line = sys.stdin.readline()
        if not line:
            Gtk.main_quit()
            return False
        words = line.split()
        command = words[0] if words else ""
        if command == "select":
            entry.grab_focus()
            entry.select_region(0, -1)
            say("selected")
        elif command == "deselect":
            entry.select_region(0, 0)
            entry.set_position(-1)
            say("deselected")
        elif command == "freeze":
            say("frozen")
            time.sleep(float(words[1]))
        elif command == "quit":
            Gtk.main_quit()
        return True

    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_input)
    window.show_all()
    entry.grab_focus()
    entry.set_position(-1)
    say("window %d" % window.get_window().get_xid())
    window.present()
    Gtk.main()


if __name__ == "__main__":
    main()
