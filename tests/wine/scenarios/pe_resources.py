"""Reads resources back from a built Windows executable: the version
information and the manifest, straight from the PE file's resource tree."""

import struct

RT_VERSION = 16
RT_MANIFEST = 24


class PeError(ValueError):
    pass


def resources(path, resource_type):
    """[(name id, language id, bytes)] of one numbered resource type."""
    with open(path, "rb") as f:
        image = f.read()
    if image[:2] != b"MZ":
        raise PeError("not an MZ file")
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise PeError("no PE signature")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}[magic]
    resource_rva, _ = struct.unpack_from("<II", image, directories + 2 * 8)
    table = optional + optional_size

    def offset(rva):
        for i in range(sections):
            size, address, raw_size, raw = struct.unpack_from("<IIII", image, table + 40 * i + 8)
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise PeError(f"address {rva:#x} is in no section")

    root = offset(resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", image, root + directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", image, root + directory + 16 + 8 * i)
            yield name, target

    found = []
    for type_name, type_target in entries(0):
        if type_name != resource_type or not type_target & 0x80000000:
            continue
        for name, name_target in entries(type_target & 0x7FFFFFFF):
            for language, leaf in entries(name_target & 0x7FFFFFFF):
                data_rva, size = struct.unpack_from("<II", image, root + leaf)
                start = offset(data_rva)
                found.append((name, language, image[start:start + size]))
    return found


def _aligned(position):
    return (position + 3) & ~3


def _version_node(data, position):
    """(key, value, children, end) of one node of a VS_VERSIONINFO tree."""
    length, value_length, kind = struct.unpack_from("<HHH", data, position)
    end = position + length
    key_start = position + 6
    key_end = key_start
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[key_start:key_end].decode("utf-16-le")
    value_start = _aligned(key_end + 2)
    # Text values count characters, binary values bytes.
    value_size = value_length * 2 if kind == 1 else value_length
    value = data[value_start:value_start + value_size]
    if kind == 1:
        value = value.decode("utf-16-le").rstrip("\0")
    children = []
    child = _aligned(value_start + value_size)
    while child < end:
        node = _version_node(data, child)
        children.append(node[:3])
        child = _aligned(node[3])
    return key, value, children, end


def version_info(path):
    """{'FileVersion': (a, b, c, d), 'ProductVersion': (...), 'strings':
    {table: {name: text}}} of the executable's one version resource."""
    found = resources(path, RT_VERSION)
    if len(found) != 1:
        raise PeError(f"{len(found)} version resources")
    key, fixed, children, _ = _version_node(found[0][2], 0)
    if key != "VS_VERSION_INFO":
        raise PeError(f"version resource named {key!r}")
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIIIII", fixed)
    if signature != 0xFEEF04BD:
        raise PeError("no fixed file information")

    def quad(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    strings = {}
    for child_key, _, tables in children:
        if child_key == "StringFileInfo":
            for table, _, values in tables:
                strings[table] = {name: text for name, text, _ in values}
    return {"FileVersion": quad(file_ms, file_ls),
            "ProductVersion": quad(product_ms, product_ls),
            "strings": strings}


def manifest(path):
    """The bytes of the executable's start-up manifest (RT_MANIFEST 1)."""
    found = [data for name, _, data in resources(path, RT_MANIFEST) if name == 1]
    if len(found) != 1:
        raise PeError(f"{len(found)} start-up manifests")
    return found[0]
