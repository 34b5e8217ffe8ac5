#!/usr/bin/env python3
"""Makes the unsigned release archives of a build from its install rules:
each archive's components installed into a staging folder, every binary
stripped with its debug information kept beside it and its image prepared for
signing, a software bill of materials (SPDX 2.3) added, then the archive, its
debug archive and the bill of materials written into the output folder.

    make_archives.py <build>/packaging/release.json [--output <folder>]

The description (release.json) is written by cmake/Packaging.cmake."""
import json
import os
import re
import shutil
import subprocess
import sys
import uuid
from pathlib import Path

import releaselib as lib


def debian_version(component, deps_dir):
    """The Debian source package and version the component's code comes from."""
    kind, _, name = component["origin"].partition(":")
    if kind == "source":
        folder = Path(deps_dir) / name
        changelog = folder / "debian" / "changelog"
        if changelog.exists():
            first = changelog.read_text(encoding="utf-8").split("\n", 1)[0]
            match = re.match(r"(\S+) \(([^)]+)\)", first)
            if match:
                return match.group(1), match.group(2)
        # Headers taken from a binary package instead (scripts/fetch-sources.sh).
        package = component.get("headers_package")
        if package and (folder / "HEADERS_ONLY").exists():
            return binary_package_source(package, installed=False)
        lib.fail(f"no Debian version for {component['name']} in {folder}")
    if kind == "package":
        return binary_package_source(name, installed=True)
    lib.fail(f"unknown origin {component['origin']!r} of {component['name']}")


def binary_package_source(package, installed):
    """(source package, version) of a Debian binary package: the source it was
    built from, or, for a cross-built runtime, the source of the code built
    into it (Built-Using)."""
    if installed:
        proc = subprocess.run(["dpkg-query", "-W", "-f=${source:Package}|${source:Version}|${Built-Using}",
                               package], capture_output=True, text=True)
        if proc.returncode != 0:
            lib.fail(f"cannot read the Debian package {package}: {proc.stderr.strip()}")
        source, version, built_using = proc.stdout.split("|", 2)
        match = re.match(r"\s*(\S+) \(= ([^)]+)\)", built_using)
        if match:
            return match.group(1), match.group(2)
        return source, version
    proc = subprocess.run(["apt-cache", "show", "--no-all-versions", package], capture_output=True, text=True)
    fields = dict(re.findall(r"^(Source|Version): (\S+)", proc.stdout, re.MULTILINE))
    if proc.returncode != 0 or "Version" not in fields:
        lib.fail(f"cannot read the Debian package {package}")
    return fields.get("Source", package), fields["Version"]


def spdx_id(kind, name):
    return f"SPDXRef-{kind}-" + re.sub(r"[^A-Za-z0-9.\-]", "-", name)


def bill_of_materials(release, archive, binaries, third_party, licence_files, epoch):
    """The SPDX 2.3 document of one archive: the archive's product, our
    binaries in it, the third-party components compiled into them, and each
    licence file as the documentation of its component."""
    version = release["version"]
    product = spdx_id("Package", release["product"])
    packages = [{
        "name": release["product"], "SPDXID": product, "versionInfo": version,
        "packageFileName": archive + ".zip", "primaryPackagePurpose": "APPLICATION",
        "downloadLocation": "NOASSERTION", "filesAnalyzed": False,
        "licenseConcluded": "NOASSERTION", "licenseDeclared": "NOASSERTION", "copyrightText": "NOASSERTION"}]
    relationships = [{"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                      "relatedSpdxElement": product}]
    for name in binaries:
        packages.append({
            "name": name, "SPDXID": spdx_id("Binary", name), "versionInfo": version,
            "packageFileName": name, "description": release["descriptions"].get(name, ""),
            "primaryPackagePurpose": "APPLICATION" if name.lower().endswith(".exe") else "LIBRARY",
            "downloadLocation": "NOASSERTION", "filesAnalyzed": False,
            "licenseConcluded": "NOASSERTION", "licenseDeclared": "NOASSERTION", "copyrightText": "NOASSERTION"})
        relationships.append({"spdxElementId": product, "relationshipType": "CONTAINS",
                              "relatedSpdxElement": spdx_id("Binary", name)})
    files = []
    extracted = {}
    for component in third_party:
        source, source_version = component["debian"]
        package = spdx_id("Package", component["name"])
        packages.append({
            "name": component["name"], "SPDXID": package, "versionInfo": source_version,
            "sourceInfo": f"Debian source package {source} {source_version}",
            "externalRefs": [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
                              "referenceLocator": f"pkg:deb/debian/{source}@{source_version}?arch=source"}],
            "downloadLocation": "NOASSERTION", "filesAnalyzed": False,
            "licenseConcluded": "NOASSERTION", "licenseDeclared": component["licence"],
            "copyrightText": "NOASSERTION"})
        relationships.append({"spdxElementId": product, "relationshipType": "CONTAINS",
                              "relatedSpdxElement": package})
        text_name = component["licence_file"]
        if text_name not in licence_files:
            lib.fail(f"{archive} lacks {text_name}, the licence of {component['name']}")
        data = licence_files[text_name]
        text = spdx_id("File", text_name)
        files.append({"fileName": "./" + text_name, "SPDXID": text,
                      "checksums": [{"algorithm": "SHA1", "checksumValue": lib.sha1_hex(data)},
                                    {"algorithm": "SHA256", "checksumValue": lib.sha256_hex(data)}],
                      "licenseConcluded": "NOASSERTION", "copyrightText": "NOASSERTION"})
        relationships.append({"spdxElementId": text, "relationshipType": "DOCUMENTATION_OF",
                              "relatedSpdxElement": package})
        for ref in re.findall(r"LicenseRef-[A-Za-z0-9.\-]+", component["licence"]):
            extracted[ref] = {"licenseId": ref, "name": ref[len("LicenseRef-"):],
                              "extractedText": f"The terms listed file by file in {text_name}."}
    document = {
        "spdxVersion": "SPDX-2.3", "dataLicense": "CC0-1.0", "SPDXID": "SPDXRef-DOCUMENT",
        "name": archive,
        "creationInfo": {"created": lib.utc_text(epoch),
                         "creators": [f"Tool: {release['product']}-packaging-{version}"]},
        "packages": packages, "files": files, "relationships": relationships}
    if extracted:
        document["hasExtractedLicensingInfos"] = [extracted[k] for k in sorted(extracted)]
    # Unique for each content, and the same for the same content.
    digest = lib.sha256_hex(json.dumps(document, sort_keys=True).encode())
    document["documentNamespace"] = (f"https://spdx.org/spdxdocs/{archive}-"
                                     f"{uuid.UUID(digest[:32], version=4)}")
    return (json.dumps(document, indent=2) + "\n").encode()


def split_debug_information(objcopy, binary, debug):
    """Strips a staged binary, keeping its debug information in `debug` and a
    link to it in the binary."""
    # objcopy writes a new header, with the time it is given (else the clock's):
    # 0, as the linker leaves it.
    untimed = dict(os.environ, SOURCE_DATE_EPOCH="0")
    for args in (["--only-keep-debug", str(binary), str(debug)],
                 ["--strip-all", f"--add-gnu-debuglink={debug}", str(binary)]):
        proc = subprocess.run([objcopy, *args], capture_output=True, text=True, env=untimed)
        if proc.returncode != 0:
            lib.fail(f"cannot split the debug information of {binary.name}: {proc.stderr.strip()}")
    binary.write_bytes(lib.prepared_for_signing(binary.read_bytes()))


def make_archive(release, archive, third_party, epoch, out):
    name = archive["name"]
    stage = out / ".staging" / name
    shutil.rmtree(stage, ignore_errors=True)
    top = stage / name
    debug = stage / "debug" / name
    debug.mkdir(parents=True)
    for component in archive["components"]:
        proc = subprocess.run([release["cmake"], "--install", release["build_dir"], "--component", component,
                               "--prefix", str(top)], capture_output=True, text=True)
        if proc.returncode != 0:
            lib.fail(f"cannot install the component {component}: {proc.stdout}{proc.stderr}")
    binaries = sorted(p.name for p in top.iterdir() if p.is_file() and lib.is_pe(p.name))
    for binary in binaries:
        split_debug_information(release["objcopy"], top / binary, debug / (binary + ".debug"))
    licence_files = {p.relative_to(top).as_posix(): p.read_bytes() for p in (top / "licenses").iterdir()}
    sbom = bill_of_materials(release, name, binaries, third_party, licence_files, epoch)
    (top / f"{name}.spdx.json").write_bytes(sbom)
    (out / f"{name}.spdx.json").write_bytes(sbom)
    date_time = lib.zip_date_time(epoch)
    lib.write_zip(out / f"{name}.zip", lib.folder_entries(top, name), date_time)
    lib.write_zip(out / f"{name}-debug.zip", lib.folder_entries(debug, name), date_time)
    print(f"{out / name}.zip")


def main():
    args = sys.argv[1:]
    if len(args) not in (1, 3) or (len(args) == 3 and args[1] != "--output"):
        lib.fail("usage: make_archives.py <build>/packaging/release.json [--output <folder>]")
    release = json.loads(Path(args[0]).read_text(encoding="utf-8"))
    if len(args) == 3:
        release["output_dir"] = args[2]
    third_party = [dict(c, debian=debian_version(c, release["deps_dir"])) for c in release["third_party"]]
    epoch = lib.source_date_epoch(release["source_dir"])
    out = Path(release["output_dir"])
    shutil.rmtree(out, ignore_errors=True)
    out.mkdir(parents=True)
    for archive in release["archives"]:
        make_archive(release, archive, third_party, epoch, out)
    shutil.rmtree(out / ".staging")


if __name__ == "__main__":
    main()
