"""The build backend of this folder: writes the pure-Python wheel (and the source archive)
with the standard library alone.

The setuptools of a fresh Debian 12 virtual environment builds no wheel without the
`wheel` package, which such an environment does not hold; this backend needs nothing, so
`pip install` of the folder works with no package index, with or without build isolation.
"""
import base64
import hashlib
import pathlib
import tarfile
import tomllib
import zipfile

HERE = pathlib.Path(__file__).parent
PROJECT = tomllib.loads((HERE / "pyproject.toml").read_text())["project"]
NAME, VERSION = PROJECT["name"].replace("-", "_"), PROJECT["version"]
PACKAGE = "korvel_skimbo"
DIST_INFO = f"{NAME}-{VERSION}.dist-info"


def metadata():
    return (f"Metadata-Version: 2.1\nName: {PROJECT['name']}\nVersion: {VERSION}\n"
            f"Summary: {PROJECT['description']}\nLicense: {PROJECT['license']['text']}\n"
            f"Requires-Python: {PROJECT['requires-python']}\n")


def record_line(path, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{path},sha256={digest},{len(data)}\n"


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    name = f"{NAME}-{VERSION}-py3-none-any.whl"
    files = {f"{PACKAGE}/{source.name}": source.read_bytes() for source in sorted((HERE / PACKAGE).glob("*.py"))}
    files[f"{DIST_INFO}/METADATA"] = metadata().encode()
    files[f"{DIST_INFO}/WHEEL"] = b"Wheel-Version: 1.0\nGenerator: pure_wheel\nRoot-Is-Purelib: true\nTag: py3-none-any\n"
    record = "".join(record_line(path, data) for path, data in files.items()) + f"{DIST_INFO}/RECORD,,\n"
    files[f"{DIST_INFO}/RECORD"] = record.encode()
    with zipfile.ZipFile(pathlib.Path(wheel_directory) / name, "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in files.items():
            wheel.writestr(path, data)
    return name


def build_sdist(sdist_directory, config_settings=None):
    name = f"{NAME}-{VERSION}"
    with tarfile.open(pathlib.Path(sdist_directory) / f"{name}.tar.gz", "w:gz") as sdist:
        for source in ["pyproject.toml", "README.md", "pure_wheel.py", *sorted((HERE / PACKAGE).glob("*.py"))]:
            path = HERE / source
            sdist.add(path, f"{name}/{path.relative_to(HERE)}")
    return f"{name}.tar.gz"
