#!/usr/bin/env python3
"""The built bundles as the LV2 format's own tools see them: lv2ls finds both through LV2_PATH,
lv2_validate (sord_validate against the installed LV2 specifications) reports no error and no
warning, and lv2info shows every port with its range and default, the units, the five presets by
name, the licence, the descriptions and the port groups.

Usage: lv2_tools_test.py BUNDLES_FOLDER
"""
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

URI = "https://sonadrix.com/lv2/orvalle-vol2/"
PC = "http://lv2plug.in/ns/extensions/units#pc"
DB = "http://lv2plug.in/ns/extensions/units#db"

# Per plug-in: bundle folder, URI, name, ports 0 to 3 as (symbol, name, minimum, maximum,
# default, unit) and the preset names. The defaults are the default program's settings as the
# VST 2.x build shows them: the HN-6's stored Output of 70 shows as 69.
PLUGINS = [
    ("sonadrix-hn6-clean-preamp.lv2", URI + "hn6-clean-preamp", "HN-6 Clean Preamp",
     [("enabled", "Effect", 0, 1, 1, None), ("gain", "Gain", 0, 100, 50, PC),
      ("bright", "Bright", 0, 15, 5, DB), ("output", "Output", 0, 100, 69, PC)],
     ["Default", "Low Hot", "Low Bright", "High Hot", "High Bright"]),
    ("sonadrix-kr6-crunch-preamp.lv2", URI + "kr6-crunch-preamp", "KR-6 Crunch Preamp",
     [("enabled", "Effect", 0, 1, 1, None), ("gain", "Gain", 0, 100, 50, PC),
      ("mid_boost", "Mid Boost", 0, 15, 8, DB), ("output", "Output", 0, 100, 66, PC)],
     ["Default", "Clean", "Low Drive", "Mid Drive", "High Drive"]),
]
AUDIO = [("in_l", "AudioPort", "InputPort"), ("in_r", "AudioPort", "InputPort"),
         ("out_l", "AudioPort", "OutputPort"), ("out_r", "AudioPort", "OutputPort")]

failures = []
checks = 0


def expect(condition, what):
    global checks
    checks += 1
    if not condition:
        failures.append(what)
        print("FAILED: " + what)


def output_of(command, env):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env)
    return result.returncode, result.stdout.decode(errors="replace")


def port_blocks(info):
    """lv2info's text per port index: {index: {field: [values]}}."""
    ports = {}
    parts = re.split(r"\n\tPort (\d+):\n", info)
    for index, text in zip(parts[1::2], parts[2::2]):
        fields, field = {}, None
        for line in text.splitlines():
            match = re.match(r"\t\t(\w[\w ]*):\s*(.*)$", line)
            if match:
                field = match.group(1)
                fields.setdefault(field, []).append(match.group(2).strip())
            elif line.startswith("\t\t ") and field:
                fields[field].append(line.strip())
        ports[int(index)] = fields
    return ports


def presets_of(info):
    match = re.search(r"\tPresets: \n((?:\t {9}.*\n)+)", info)
    return sorted(line.strip() for line in match.group(1).splitlines()) if match else []


def main():
    bundles = os.path.abspath(sys.argv[1])
    # The specifications' bundles too, so that lv2info names classes and units.
    env = dict(os.environ, LV2_PATH=bundles + ":/usr/lib/lv2")

    status, listed = output_of(["lv2ls"], dict(os.environ, LV2_PATH=bundles))
    expect(status == 0 and sorted(listed.split()) == sorted(p[1] for p in PLUGINS),
           "lv2ls lists exactly our two plug-ins: %r" % listed)

    for bundle, uri, name, controls, presets in PLUGINS:
        folder = os.path.join(bundles, bundle)
        turtle = sorted(os.path.join(folder, f) for f in os.listdir(folder) if f.endswith(".ttl"))
        expect(len(turtle) == 3, "%s holds three Turtle files: %s" % (bundle, turtle))
        status, report = output_of(["lv2_validate"] + turtle, env)
        complaints = [l for l in report.splitlines() if re.match(r"\s*(error|warning)", l, re.I)]
        expect(status == 0 and not complaints and "Found 0 errors" in report,
               "lv2_validate passes %s without errors or warnings:\n%s" % (bundle, report))

        status, info = output_of(["lv2info", uri], env)
        expect(status == 0, "lv2info shows %s:\n%s" % (uri, info))
        expect("\tName:              %s\n" % name in info, "%s is named %s" % (uri, name))
        expect("\tAuthor:            Sonadrix\n" in info, "%s is by Sonadrix" % uri)
        expect("\tHas latency:       no\n" in info, "%s has no latency" % uri)
        expect("\tClass:             Simulator Plugin\n" in info, "%s is a simulator" % uri)
        expect("hardRTCapable" in info, "%s is hard-real-time capable" % uri)
        expect(presets_of(info) == sorted(presets),
               "%s shows the presets %s: %s" % (uri, presets, presets_of(info)))
        ports = port_blocks(info)
        expect(sorted(ports) == list(range(8)), "%s shows ports 0 to 7: %s" % (uri, sorted(ports)))
        for index, (symbol, port_name, low, high, default, _) in enumerate(controls):
            fields = ports.get(index, {})
            shown = (fields.get("Symbol"), fields.get("Name"), fields.get("Minimum"),
                     fields.get("Maximum"), fields.get("Default"))
            wanted = ([symbol], [port_name], ["%f" % low], ["%f" % high], ["%f" % default])
            expect(shown == wanted, "%s port %d shows %s, not %s" % (uri, index, shown, wanted))
        expect(ports.get(0, {}).get("Designation") == ["http://lv2plug.in/ns/lv2core#enabled"],
               "%s port 0 is the enable switch" % uri)
        for offset, (symbol, kind, direction) in enumerate(AUDIO):
            fields = ports.get(4 + offset, {})
            types = sorted(t.split("#")[-1] for t in fields.get("Type", []))
            expect(fields.get("Symbol") == [symbol] and types == sorted([kind, direction]),
                   "%s port %d is %s, %s %s: %s" % (uri, 4 + offset, symbol, kind, direction,
                                                    fields))

        # The units, from lv2info's Turtle description of the plug-in: one block per port.
        description = os.path.join(os.environ.get("TMPDIR", "/tmp"),
                                   "lv2info-%d-%s.ttl" % (os.getpid(), bundle))
        status, _ = output_of(["lv2info", "-p", description, uri], env)
        with open(description) as f:
            text = f.read()
        os.remove(description)
        units = {}
        for block in re.findall(r"\[(.*?)\]", text, re.S):
            symbol = re.search(r'lv2:symbol "([^"]+)"', block)
            unit = re.search(r"units#unit> <([^>]+)>", block)
            if symbol:
                units[symbol.group(1)] = unit.group(1) if unit else None
        for symbol, *_, unit in controls:
            expect(symbol in units and units[symbol] == unit,
                   "%s port %s has the unit %s: %s" % (uri, symbol, unit, units.get(symbol)))

        # What hosts show in about boxes and tooltips: the maintainer, the licence in the bundle
        # (the project's too), a description of the plug-in and of each control, the stereo pairs
        # in port groups, the raised version.
        expect("\tAuthor Email:      mailto:support@sonadrix.com\n" in info and
               "\tAuthor Homepage:   https://sonadrix.com/\n" in info,
               "%s names the maintainer's e-mail and homepage" % uri)
        license_uri = "file://" + os.path.join(folder, "LICENSE.txt")
        with open(os.path.join(ROOT, "LICENSE.txt"), "rb") as a, \
                open(os.path.join(folder, "LICENSE.txt"), "rb") as b:
            expect(a.read() == b.read(), "%s carries the project's licence" % bundle)
        expect("doap:license <%s>" % license_uri in text, "%s names its licence" % uri)
        controls_described = [block for block in re.findall(r"\[(.*?)\]", text, re.S)
                              if "ControlPort" in block and "rdfs:comment" in block]
        expect(len(controls_described) == 4, "%s describes its 4 controls" % uri)
        expect(re.search(r'\n\trdfs:comment "[^"]{20,}\." ;', text) is not None,
               "%s has a one-sentence description" % uri)
        groups = re.findall(r"port-groups#group> <([^>]+)> ;\s*lv2:designation "
                            r"<http://lv2plug.in/ns/ext/port-groups#(left|right)>", text)
        expect(groups == [(uri + "#in", "left"), (uri + "#in", "right"), (uri + "#out", "left"),
                          (uri + "#out", "right")],
               "%s puts its audio ports in stereo groups: %s" % (uri, groups))
        expect("lv2:microVersion 2 ;" in text, "%s has micro version 2" % uri)
        ttl = os.path.join(folder, "plugin.ttl")
        _, triples = output_of(["sordi", ttl, "file://" + ttl], env)
        pg = "http://lv2plug.in/ns/ext/port-groups#"
        rdf_type = "<http://www.w3.org/1999/02/22-rdf-syntax-ns#type>"
        for group, kind in (("#in", "InputGroup"), ("#out", "OutputGroup")):
            for cls in (kind, "StereoGroup"):
                expect("<%s%s> %s <%s%s> ." % (uri, group, rdf_type, pg, cls) in triples,
                       "%s%s is a %s" % (uri, group, cls))
        expect("<%s> <http://usefulinc.com/ns/doap#license> <%s> ." % (URI[:-1], license_uri)
               in triples, "the project names the licence")

    print("%d passed, %d failed" % (checks - len(failures), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
