#!/usr/bin/env python3
"""What a user's hands do to a window on an X display, without a window
manager: keys through the XTest extension, and the close button's request
(WM_DELETE_WINDOW) sent to the top-level window of a given title.

    xpoke.py key ctrl+q | Return
    xpoke.py type TEXT          (lower-case letters and digits)
    xpoke.py focus TITLE
    xpoke.py close TITLE
"""
import ctypes
import ctypes.util
import sys

x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
xtst = ctypes.CDLL(ctypes.util.find_library("Xtst"))
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
x11.XKeysymToKeycode.restype = ctypes.c_ubyte
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                           ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                           ctypes.POINTER(ctypes.c_uint)]
x11.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
x11.XRaiseWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

KEYSYMS = {"ctrl": "Control_L", "alt": "Alt_L", "shift": "Shift_L"}


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


def press(display, chord):
    codes = [x11.XKeysymToKeycode(display, x11.XStringToKeysym(KEYSYMS.get(k, k).encode()))
             for k in chord.split("+")]
    for code in codes:
        xtst.XTestFakeKeyEvent(display, code, 1, 0)
    for code in reversed(codes):
        xtst.XTestFakeKeyEvent(display, code, 0, 0)


def windows_titled(display, title):
    root = x11.XDefaultRootWindow(display)
    parent, top = ctypes.c_ulong(), ctypes.c_ulong()
    children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    x11.XQueryTree(display, root, ctypes.byref(top), ctypes.byref(parent), ctypes.byref(children),
                   ctypes.byref(count))
    for i in range(count.value):
        name = ctypes.c_char_p()
        if x11.XFetchName(display, children[i], ctypes.byref(name)) and name.value \
                and name.value.decode(errors="replace").startswith(title):
            yield children[i]


def focus(display, title):
    found = False
    for window in windows_titled(display, title):
        x11.XRaiseWindow(display, window)
        x11.XSetInputFocus(display, window, 1, 0)
        found = True
    return found


def close(display, title):
    protocols = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    delete = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    found = False
    for window in windows_titled(display, title):
        event = ClientMessage(type=33, window=window, message_type=protocols, format=32)
        event.data[0] = delete
        x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
        found = True
    return found


def main():
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("xpoke: cannot open the display")
    verb, what = sys.argv[1], sys.argv[2]
    if verb == "key":
        ok = press(display, what) is None
    elif verb == "type":
        ok = all(press(display, c) is None for c in what)
    else:
        ok = {"focus": focus, "close": close}[verb](display, what)
    x11.XFlush(display)
    sys.exit(0 if ok else 1)


main()
