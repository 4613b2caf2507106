#!/usr/bin/env python3
"""Renders the SVG artwork to the PNGs the application embeds.

The build does not run this: the PNGs are committed next to their sources because Qt's SVG
image plugin is not part of the build dependencies. Run it after editing an SVG; it needs only
the system's librsvg and cairo libraries.
"""
import ctypes
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
OUT = HERE / "png"

rsvg = ctypes.CDLL("librsvg-2.so.2")
cairo = ctypes.CDLL("libcairo.so.2")


class Rect(ctypes.Structure):
    _fields_ = [("x", ctypes.c_double), ("y", ctypes.c_double),
                ("width", ctypes.c_double), ("height", ctypes.c_double)]


rsvg.rsvg_handle_new_from_file.restype = ctypes.c_void_p
rsvg.rsvg_handle_new_from_file.argtypes = [ctypes.c_char_p, ctypes.c_void_p]
rsvg.rsvg_handle_render_document.argtypes = [ctypes.c_void_p, ctypes.c_void_p,
                                             ctypes.POINTER(Rect), ctypes.c_void_p]
rsvg.rsvg_handle_render_document.restype = ctypes.c_int
cairo.cairo_image_surface_create.restype = ctypes.c_void_p
cairo.cairo_create.restype = ctypes.c_void_p
cairo.cairo_create.argtypes = [ctypes.c_void_p]
cairo.cairo_surface_write_to_png.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
cairo.cairo_surface_write_to_png.restype = ctypes.c_int
cairo.cairo_destroy.argtypes = [ctypes.c_void_p]
cairo.cairo_surface_destroy.argtypes = [ctypes.c_void_p]
rsvg.g_object_unref = ctypes.CDLL("libgobject-2.0.so.0").g_object_unref
rsvg.g_object_unref.argtypes = [ctypes.c_void_p]

CAIRO_FORMAT_ARGB32 = 0


def render(svg, png, width, height):
    handle = rsvg.rsvg_handle_new_from_file(str(HERE / svg).encode(), None)
    if not handle:
        raise SystemExit(f"cannot read {svg}")
    surface = cairo.cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)
    cr = cairo.cairo_create(surface)
    viewport = Rect(0, 0, width, height)
    if not rsvg.rsvg_handle_render_document(handle, cr, ctypes.byref(viewport), None):
        raise SystemExit(f"cannot render {svg}")
    if cairo.cairo_surface_write_to_png(surface, str(OUT / png).encode()) != 0:
        raise SystemExit(f"cannot write {png}")
    cairo.cairo_destroy(cr)
    cairo.cairo_surface_destroy(surface)
    rsvg.g_object_unref(handle)


OUT.mkdir(exist_ok=True)
for size in (16, 24, 32, 48, 64, 128, 256):
    render("icon.svg", f"AAA-{size}.png", size, size)
# Pictures at twice their size on screen, so they stay sharp on high-density displays.
render("splash.svg", "splash.png", 960, 600)
render("about.svg", "about.png", 240, 320)
render("offline.svg", "offline.png", 800, 400)
