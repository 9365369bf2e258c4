#!/usr/bin/env python3
"""Seeded inputs for the benchmark: collected folders of the largest machines
our users have.

  mac-xml/result     a Mac with N applications, property lists in XML
  mac-binary/result  the same machine, property lists in binary form
  linux/result       a Linux server with N packages and a long package log

Usage: generate.py OUTPUT_DIR [--apps N] [--packages N] [--log-lines N] [--seed S]
"""
import argparse
import datetime
import os
import plistlib
import random
import shutil

VENDORS = ["Apple", "Microsoft", "Adobe", "Google", "JetBrains", "Oracle", "Zoom", "Slack",
           "株式会社ジャストシステム", "ソニー", "Mozilla", "Docker", "Autodesk", "Parallels"]
WORDS = ["Studio", "Helper", "Pro", "Viewer", "Editor", "Sync", "Agent", "Launcher", "Updater",
         "Manager", "Reader", "Player", "Converter", "写真", "音楽", "ダウンロード", "Café"]
ORIGINS = ["apple", "identified_developer", "mac_app_store", "unknown"]
ARCHES = ["arch_arm_i64", "arch_i64", "arch_ios", "arch_other"]


def mac_application(rng, index):
    name = f"{rng.choice(VENDORS)} {rng.choice(WORDS)} {index}"
    version = f"{rng.randint(1, 30)}.{rng.randint(0, 20)}.{rng.randint(0, 99)}"
    modified = datetime.datetime(2015, 1, 1) + datetime.timedelta(seconds=rng.randint(0, 10 ** 9 // 3))
    app = {
        "_name": name,
        "arch_kind": rng.choice(ARCHES),
        "lastModified": modified,
        "obtained_from": rng.choice(ORIGINS),
        "path": f"/Applications/{name}.app",
        "version": version,
    }
    if rng.random() < 0.7:
        app["signed_by"] = [f"Developer ID Application: {rng.choice(VENDORS)} ({rng.randint(10**9, 10**10)})",
                            "Developer ID Certification Authority", "Apple Root CA"]
    if rng.random() < 0.5:
        app["info"] = f"{name} {version}, Copyright © {rng.randint(1995, 2026)} {rng.choice(VENDORS)}."
    if rng.random() < 0.3:
        app["has64BitIntelCode"] = "yes"
    return app


def profiler_document(data_type, items, parent="SPSoftwareDataType"):
    return [{
        "_SPCommandLineArguments": ["/usr/sbin/system_profiler", "-nospawn", "-xml", data_type, "-detailLevel", "full"],
        "_SPCompletionInterval": 12.5,
        "_SPResponseTime": 13.1,
        "_dataType": data_type,
        "_detailLevel": 1,
        "_items": items,
        "_parentDataType": parent,
        "_properties": {"_name": {"_isColumn": "YES", "_order": "0"}, "version": {"_order": "10"}},
        "_timeStamp": datetime.datetime(2026, 12, 1, 9, 0, 0),
        "_versionInfo": {"com.apple.SystemProfiler.SPApplicationsReporter": "1.0"},
    }]


def write_mac(folder, rng, apps, fmt):
    os.makedirs(folder)
    hardware = profiler_document("SPHardwareDataType", [{
        "_name": "hardware_overview", "machine_name": "MacBook Pro", "machine_model": "Mac15,8",
        "cpu_type": "Apple M3 Max", "number_processors": 16, "packages": 1,
        "current_processor_speed": "4.05 GHz", "physical_memory": "64 GB",
        "serial_number": "C02ZX1YZMD6T", "platform_UUID": "8B3C8F4E-1D2A-5B6C-9D0E-1F2A3B4C5D6E",
    }], parent="SPRootDataType")
    with open(os.path.join(folder, "hardware.xml"), "wb") as out:
        plistlib.dump(hardware, out, fmt=fmt)
    applications = profiler_document("SPApplicationsDataType", [mac_application(rng, i) for i in range(apps)])
    with open(os.path.join(folder, "app"), "wb") as out:
        plistlib.dump(applications, out, fmt=fmt)
    with open(os.path.join(folder, "hostname"), "w") as out:
        out.write("bench-mac.example.co.jp\n")
    with open(os.path.join(folder, "os"), "w") as out:
        out.write("ProductName:\t\tmacOS\nProductVersion:\t\t15.1\nBuildVersion:\t\t24B83\n")


def write_linux(folder, rng, packages, log_lines):
    os.makedirs(folder)
    names = [f"lib{rng.choice(['ssl', 'gtk', 'qt', 'xml', 'curl', 'boost'])}-{i}" for i in range(packages)]
    with open(os.path.join(folder, "app"), "w") as out:
        for name in names:
            out.write(f"{name} {rng.randint(0, 9)}.{rng.randint(0, 99)}-{rng.randint(1, 9)}+deb12u1 {name}:amd64\n")
    start = datetime.datetime(2023, 6, 10, 8, 0, 0)
    with open(os.path.join(folder, "app_install"), "w") as out:
        for i in range(log_lines):
            when = start + datetime.timedelta(seconds=i * 97)
            out.write(f"{when:%Y-%m-%d %H:%M:%S} install {rng.choice(names)}:amd64\n")
    with open(os.path.join(folder, "hostname"), "w") as out:
        out.write("bench-linux.example.co.jp\n")
    with open(os.path.join(folder, "os"), "w") as out:
        out.write("12.8\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n")
    with open(os.path.join(folder, "mem"), "w") as out:
        out.write("MemTotal:       263921636 kB\nMemFree:        12345678 kB\n")
    with open(os.path.join(folder, "cpu"), "w") as out:
        for cpu in range(64):
            out.write(f"processor\t: {cpu}\nphysical id\t: {cpu // 32}\nmodel name\t: AMD EPYC 7543 32-Core Processor\n"
                      f"cpu MHz\t\t: 2800.000\ncpu cores\t: 32\n\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("output")
    parser.add_argument("--apps", type=int, default=5000)
    parser.add_argument("--packages", type=int, default=5000)
    parser.add_argument("--log-lines", type=int, default=200000)
    parser.add_argument("--seed", type=int, default=20261208)
    args = parser.parse_args()
    shutil.rmtree(args.output, ignore_errors=True)
    write_mac(os.path.join(args.output, "mac-xml", "result"), random.Random(args.seed), args.apps, plistlib.FMT_XML)
    write_mac(os.path.join(args.output, "mac-binary", "result"), random.Random(args.seed), args.apps,
              plistlib.FMT_BINARY)
    write_linux(os.path.join(args.output, "linux", "result"), random.Random(args.seed), args.packages, args.log_lines)


if __name__ == "__main__":
    main()
