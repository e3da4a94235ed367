#!/usr/bin/env python3
"""Drive corvanepdf.edit from Python through the C interface (ctypes only).

The object is created by its ProgID through the registration that
`corvanepdf register` writes; this script registers nothing itself.

    python3 edit_from_python.py                 # show a fresh object
    python3 edit_from_python.py IN.pdf OUT.pdf  # ... and sign IN.pdf into OUT.pdf
    python3 edit_from_python.py IN.pdf OUT.pdf append|rebuild   # ... in that mode

The C interface is loaded from $CORVANEPDF_LIBRARY, else as libcorvanepdf.so.1
from the system's library path.
"""
import ctypes
import os
import sys

VT_EMPTY, VT_I4, VT_R8, VT_TEXT, VT_BOOL, VT_BYTES = 0, 3, 5, 8, 11, 0x2011


class _Text(ctypes.Structure):
    _fields_ = [("data", ctypes.c_char_p), ("length", ctypes.c_uint32)]


class _Bytes(ctypes.Structure):
    _fields_ = [("data", ctypes.POINTER(ctypes.c_uint8)), ("length", ctypes.c_uint32)]


class _Value(ctypes.Union):
    _fields_ = [("i4", ctypes.c_int32), ("r8", ctypes.c_double), ("boolean", ctypes.c_int16),
                ("text", _Text), ("bytes", _Bytes), ("dispatch", ctypes.c_void_p)]


class Variant(ctypes.Structure):
    """CpdfVariant of corvanepdf/abi.h."""
    _fields_ = [("vt", ctypes.c_uint16), ("reserved", ctypes.c_uint16 * 3), ("value", _Value)]


def load_library():
    lib = ctypes.CDLL(os.environ.get("CORVANEPDF_LIBRARY") or "libcorvanepdf.so.1")
    lib.corvanepdf_create_object.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_void_p)]
    for name in ("corvanepdf_get_property", "corvanepdf_put_property"):
        getattr(lib, name).argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.POINTER(Variant)]
    lib.corvanepdf_call_method.argtypes = [ctypes.c_void_p, ctypes.c_char_p,
                                           ctypes.POINTER(Variant), ctypes.c_uint32,
                                           ctypes.POINTER(Variant)]
    lib.corvanepdf_release.argtypes = [ctypes.c_void_p]
    lib.corvanepdf_release.restype = ctypes.c_uint32
    lib.corvanepdf_last_error.restype = ctypes.c_char_p
    lib.corvanepdf_variant_set_text.argtypes = [ctypes.POINTER(Variant), ctypes.c_char_p]
    lib.corvanepdf_variant_clear.argtypes = [ctypes.POINTER(Variant)]
    for name in ("corvanepdf_create_object", "corvanepdf_get_property",
                 "corvanepdf_put_property", "corvanepdf_call_method",
                 "corvanepdf_variant_set_text"):
        getattr(lib, name).restype = ctypes.c_int32
    return lib


class Edit:
    """A corvanepdf.edit object with Python properties and methods."""

    def __init__(self, lib):
        self._lib = lib
        self._object = ctypes.c_void_p()
        self._check(lib.corvanepdf_create_object(b"corvanepdf.edit", ctypes.byref(self._object)))

    def close(self):
        if self._object:
            self._lib.corvanepdf_release(self._object)
            self._object = ctypes.c_void_p()

    def _check(self, status):
        if status < 0:
            raise RuntimeError("%s (0x%08X)" % (self._lib.corvanepdf_last_error().decode(),
                                                status & 0xFFFFFFFF))

    def _value(self, variant):
        if variant.vt == VT_BOOL:
            return variant.value.boolean != 0
        if variant.vt == VT_TEXT:
            return variant.value.text.data[:variant.value.text.length].decode()
        if variant.vt == VT_BYTES:
            return bytes(variant.value.bytes.data[:variant.value.bytes.length])
        if variant.vt == VT_I4:
            return variant.value.i4
        if variant.vt == VT_R8:
            return variant.value.r8
        return None

    def _text_argument(self, text):
        variant = Variant()
        self._check(self._lib.corvanepdf_variant_set_text(ctypes.byref(variant), text.encode()))
        return variant

    def get(self, name):
        result = Variant()
        try:
            self._check(self._lib.corvanepdf_get_property(self._object, name.encode(),
                                                          ctypes.byref(result)))
            return self._value(result)
        finally:
            self._lib.corvanepdf_variant_clear(ctypes.byref(result))

    def put(self, name, value):
        if isinstance(value, bool):
            variant = Variant(vt=VT_BOOL)
            variant.value.boolean = -1 if value else 0
        else:
            variant = self._text_argument(str(value))
        try:
            self._check(self._lib.corvanepdf_put_property(self._object, name.encode(),
                                                          ctypes.byref(variant)))
        finally:
            self._lib.corvanepdf_variant_clear(ctypes.byref(variant))

    def call(self, name, *texts):
        args = (Variant * max(len(texts), 1))()
        result = Variant()
        try:
            for i, text in enumerate(texts):
                self._check(self._lib.corvanepdf_variant_set_text(ctypes.byref(args[i]),
                                                                  text.encode()))
            self._check(self._lib.corvanepdf_call_method(self._object, name.encode(), args,
                                                         len(texts), ctypes.byref(result)))
            return self._value(result)
        finally:
            for arg in args:
                self._lib.corvanepdf_variant_clear(ctypes.byref(arg))
            self._lib.corvanepdf_variant_clear(ctypes.byref(result))


def main(argv):
    try:
        edit = Edit(load_library())
    except (OSError, RuntimeError) as error:
        print("cannot create corvanepdf.edit: %s" % error, file=sys.stderr)
        return 1
    try:
        print("pdfeditloaded:", edit.get("pdfeditloaded"))
        print("pdfloaded:", edit.get("pdfloaded"))
        print("reason:", edit.get("reason"))
        print("string2byte('AB'):", " ".join(str(b) for b in edit.call("string2byte", "AB")))
        print("appendmode:", edit.get("appendmode"))
        if len(argv) >= 3:
            edit.put("pdfpath", argv[1])
            edit.put("savepath", argv[2])
            if len(argv) == 4:
                # "append" keeps earlier signatures valid; "rebuild" rewrites the document.
                edit.put("appendmode", argv[3] == "append")
            signed = edit.call("signit")
            print("signit:", signed)
            # Why signit failed, or why the signed file was not written ("" when all went well).
            print("lasterror:", edit.get("lasterror"))
            return 0 if signed else 1
        return 0
    finally:
        edit.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
