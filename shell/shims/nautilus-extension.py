# Zelkon in Nautilus: commands for ROM databases and ROM files, the "ROM Database" rows of
# the Properties window, and the columns "System", "Version" and "ROMs". Every one runs the
# program zelshell, which reads the databases; this file only maps its answers.
import json
import os
import subprocess

import gi

gi.require_version("Nautilus", "4.0")
from gi.repository import GLib, GObject, Gio, Nautilus  # noqa: E402

ZELSHELL = os.fsdecode(b"@ZELSHELL@")
ZDB = "application/x-zelkon-zdb"
ROWS = (("Credit To:", "credit"), ("ROM Count:", "count_text"), ("Version:", "version"))


def local_path(info):
    location = info.get_location()
    return location.get_path() if location else None


def command_item(name, label, args):
    item = Nautilus.MenuItem(name="ZelkonShell::" + name, label=label)
    item.connect("activate", lambda _item: subprocess.Popen([ZELSHELL, *args]))
    return item


def machine(verb, paths):
    """zelshell's --machine answer as a dict; {} when it failed."""
    try:
        done = subprocess.run([ZELSHELL, verb, "--machine", *paths], capture_output=True,
                              timeout=30, check=True)
        return json.loads(done.stdout)
    except (OSError, ValueError, subprocess.SubprocessError):
        return {}


def machine_async(verb, path, then):
    """Like machine, without blocking Nautilus: then(answer) runs on its main loop."""
    def finished(process, result):
        try:
            _, out, _ = process.communicate_utf8_finish(result)
            then(json.loads(out) if process.get_successful() else {})
        except (GLib.Error, ValueError):
            then({})

    try:
        process = Gio.Subprocess.new([ZELSHELL, verb, "--machine", path],
                                     Gio.SubprocessFlags.STDOUT_PIPE |
                                     Gio.SubprocessFlags.STDERR_SILENCE)
    except GLib.Error:
        return then({})
    process.communicate_utf8_async(None, None, finished)


class ZelkonExtension(GObject.GObject, Nautilus.MenuProvider, Nautilus.PropertiesModelProvider,
                      Nautilus.ColumnProvider, Nautilus.InfoProvider):
    def get_file_items(self, files):
        paths = [local_path(f) for f in files]
        if not paths or None in paths or any(f.is_directory() for f in files):
            return []
        if all(f.get_mime_type() == ZDB for f in files):
            update = "Update Database" + ("s" if len(paths) > 1 else "")
            return [command_item("update", update, ["update", *paths]),
                    command_item("properties", "ROM Database Properties",
                                 ["properties", *paths])]
        return [command_item("rename", "Rename with Zelkon Database...",
                             ["drop", "--choose", *paths])]

    def get_models(self, files):
        paths = [local_path(f) for f in files if f.get_mime_type() == ZDB]
        page = machine("properties", paths) if paths and None not in paths else {}
        if not page:
            return []
        rows = Gio.ListStore.new(item_type=Nautilus.PropertiesItem)
        for name, key in ROWS:
            rows.append(Nautilus.PropertiesItem(name=name, value=str(page.get(key, ""))))
        return [Nautilus.PropertiesModel(title=page.get("title", ""), model=rows)]

    def get_columns(self):
        return [Nautilus.Column(name="ZelkonShell::" + attribute, attribute=attribute,
                                label=label, description=label + " of the ROM database")
                for attribute, label in (("zelkon_system", "System"),
                                         ("zelkon_version", "Version"),
                                         ("zelkon_roms", "ROMs"))]

    def update_file_info_full(self, provider, handle, closure, info):
        path = local_path(info)
        if not path or info.get_mime_type() != ZDB:
            return Nautilus.OperationResult.COMPLETE

        def fill(tip, page):
            info.add_string_attribute("zelkon_system", tip.get("system", ""))
            info.add_string_attribute("zelkon_version", tip.get("version", ""))
            info.add_string_attribute("zelkon_roms", page.get("count_text", ""))
            Nautilus.info_provider_update_complete_invoke(
                closure, provider, handle, Nautilus.OperationResult.COMPLETE)

        machine_async("tip", path, lambda tip: machine_async(
            "properties", path, lambda page: fill(tip, page)))
        return Nautilus.OperationResult.IN_PROGRESS
