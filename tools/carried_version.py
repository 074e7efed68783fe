"""The version pair an updater carries, and how it must match its payload.

The updater shows the pair as major.0minor ("3.04") and accepts installed
products below major.0.minor; the payload it writes should therefore be
product version major.0.minor itself (any build number), or the product it
leaves behind would claim another version than the updater announced.
"""


class VersionError(Exception):
    pass


def parse_number(name, text):
    """A version number given as text: a whole number in 0..65535."""
    text = str(text).strip()
    if not text.isdigit() or not text.isascii() or int(text) > 0xFFFF:
        raise VersionError(f"{name} must be a whole number from 0 to 65535, not '{text}'")
    return int(text)


def title_version(major, minor):
    return f"{major}.0{minor}"


def disagreement(product_version, major, minor):
    """Why the payload's product version (four numbers, or None) does not
    read major.0.minor; None when it does."""
    wanted = f"{major}.0.{minor}"
    if product_version is None:
        return f"the payload carries no product version, so it cannot be checked against {wanted}"
    if tuple(product_version[:3]) != (major, 0, minor):
        shown = ".".join(map(str, product_version))
        return (f"the payload's product version is {shown}, but the updater "
                f"{title_version(major, minor)} must carry product version {wanted}")
    return None
