#!/usr/bin/env python3
"""Turns the description of the event packets (src/events/EventPackets.txt)
into C++ and a readable reference.

    gen_event_packets.py DESCRIPTION OUTDIR

writes OUTDIR/events/EventPacketIds.h (the packet ids and what the header
alone says of each kind), OUTDIR/events/EventPackets.h and .cpp (the payload
structs with their encoders, decoders and checks, the rows of the packet
table, the decoder of any packet) and OUTDIR/docs/event-packets.md. The build
runs it when the description or this script changed. Python 3 standard
library only.
"""
import os
import re
import shlex
import sys

SCALARS = {
    # type: (bytes, C++ type, io method, signed)
    "u8": (1, "uint8_t", "U8", False),
    "u16": (2, "uint16_t", "U16", False),
    "u24": (3, "uint32_t", "U24", False),
    "u32": (4, "uint32_t", "U32", False),
    "i16": (2, "int16_t", "I16", True),
    "i32": (4, "int32_t", "I32", True),
    "f32": (4, "float", "F32", True),
}
OPTION_KEYS = ("ends", "continues", "earlier")


class DescriptionError(Exception):
    pass


class Field:
    def __init__(self, line_no):
        self.line_no = line_no
        self.form = None  # scalar array bytes text string pad record tail
        self.type = None  # scalar or record name; for tails bytes/text/record
        self.name = None
        self.count = None  # array length, bytes/text/pad size, tail count expression
        self.constraints = []
        self.when = None
        self.doc = ""
        self.offset = None  # within the fixed part; None for variable parts
        self.size = 0


class Layout:
    def __init__(self, name, doc, is_record, line_no):
        self.name = name
        self.doc = doc
        self.is_record = is_record
        self.line_no = line_no
        self.fields = []
        self.length = None  # (field path, multiplier, (min, max, step) or None)
        self.checks = []  # (name, [args])
        self.rules = []  # (text, expression)
        self.fixed = 0
        self.per_code = 0
        self.length_field = None  # (offset, width, signed)
        self.kinds = []

    @property
    def struct(self):
        return self.name if self.is_record else self.name + "Payload"


class Kind:
    def __init__(self, line_no):
        self.line_no = line_no
        self.name = None
        self.category = None
        self.codes = None  # list of ints, or "*"
        self.layout = None
        self.ends = None
        self.bit = -1
        self.earlier = False
        self.replay = ""
        self.wheres = []  # (field, op, value)
        self.forgets = None  # the StateRecord kind the recorder must write again after it
        self.doc = ""
        self.rows = []  # (first, last)


class Category:
    def __init__(self, tokens, doc, line_no):
        self.number = int(tokens[1])
        self.name = tokens[2]
        self.ends = tokens[3] == "ends"
        self.doc = doc
        self.stroke = -1  # the stroke kind a start packet of this category begins
        self.line = False
        self.points = False
        self.sync = "Nothing"
        for t in tokens[4:]:
            if t.startswith("stroke="):
                self.stroke = int(t[len("stroke="):])
            elif t == "line":
                self.line = True
            elif t == "points":
                self.points = True
            elif t.startswith("sync="):
                self.sync = {"document": "Document", "all": "All"}.get(t[len("sync="):])
                if not self.sync:
                    fail(line_no, "sync=document or sync=all")
            else:
                fail(line_no, "unknown category option %s" % t)

    # The old tuple shape: (name, ends, text).
    def __getitem__(self, i):
        return (self.name, self.ends, self.doc)[i]


class Description:
    def __init__(self):
        self.checks = {}  # name -> (params, text)
        self.categories = {}  # number -> (name, ends, text)
        self.layouts = {}
        self.layout_order = []
        self.kinds = []


def fail(line_no, message):
    raise DescriptionError("line %d: %s" % (line_no, message))


def tokens_and_doc(line, line_no):
    match = re.match(r'^(.*?)(?:\s+"([^"]*)")?\s*$', line)
    head, doc = match.group(1), match.group(2) or ""
    try:
        tokens = shlex.split(head)
    except ValueError as e:
        fail(line_no, str(e))
    return tokens, doc


def parse_number(text, line_no):
    try:
        if text.lower().startswith("0x"):
            return int(text, 16)
        if "." in text:
            return float(text)
        return int(text)
    except ValueError:
        fail(line_no, "not a number: %s" % text)


def parse_codes(text, line_no):
    if text == "*":
        return "*"
    codes = []
    for part in text.split(","):
        if "-" in part:
            a, b = part.split("-")
            codes.extend(range(int(a), int(b) + 1))
        else:
            codes.append(int(part))
    for c in codes:
        if not 0 <= c <= 255:
            fail(line_no, "code %d out of 0..255" % c)
    return codes


def parse_field(tokens, doc, line_no, desc):
    f = Field(line_no)
    f.doc = doc
    head = tokens[0]
    rest = tokens[1:]
    if head == "pad":
        f.form, f.count, f.size = "pad", int(rest[0]), int(rest[0])
        return f
    if head == "tail":
        f.form = "tail"
        f.type = rest[0]
        f.name = rest[1]
        for t in rest[2:]:
            if t.startswith("count="):
                f.count = t[len("count="):]
            elif t.startswith("when="):
                f.when = t[len("when="):]
            else:
                f.constraints.append(t)
        if f.count is None:
            fail(line_no, "a tail needs count=")
        return f
    m = re.match(r"^(\w+)\[(\d+)\]$", head)
    if m:
        base, n = m.group(1), int(m.group(2))
        if base == "bytes":
            f.form, f.type, f.count, f.size = "bytes", "u8", n, n
        elif base == "text":
            f.form, f.type, f.count, f.size = "text", None, n, n
        elif base in SCALARS:
            f.form, f.type, f.count, f.size = "array", base, n, n * SCALARS[base][0]
        else:
            fail(line_no, "unknown array type %s" % base)
    elif head in SCALARS:
        f.form, f.type, f.size = "scalar", head, SCALARS[head][0]
    elif head == "string":
        f.form, f.size = "string", 2
    elif head in desc.layouts and desc.layouts[head].is_record:
        f.form, f.type = "record", head
        f.size = desc.layouts[head].fixed
    else:
        fail(line_no, "unknown type %s" % head)
    if not rest:
        fail(line_no, "a field needs a name")
    f.name = rest[0]
    f.constraints = rest[1:]
    return f


def parse(path):
    desc = Description()
    block = None
    with open(path, encoding="utf-8") as source:
        lines = source.read().split("\n")
    for line_no, raw in enumerate(lines, 1):
        line = raw.rstrip()
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        indented = line[0] in " \t"
        text = line.strip()
        if indented:
            if block is None:
                fail(line_no, "an indented line outside a layout")
            parse_layout_line(block, text, line_no, desc)
            continue
        block = None
        word = text.split()[0]
        if word == "check":
            m = re.match(r'^check\s+(\w+)\(([^)]*)\)\s+"([^"]*)"$', text)
            if not m:
                fail(line_no, "check NAME(ARGS) \"TEXT\"")
            desc.checks[m.group(1)] = ([a.strip() for a in m.group(2).split(",")], m.group(3))
        elif word == "category":
            tokens, doc = tokens_and_doc(text, line_no)
            if len(tokens) < 4 or tokens[3] not in ("ends", "continues"):
                fail(line_no, "category N NAME ends|continues [OPTIONS] \"TEXT\"")
            desc.categories[int(tokens[1])] = Category(tokens, doc, line_no)
        elif word in ("layout", "record"):
            tokens, doc = tokens_and_doc(text, line_no)
            name = tokens[1]
            if name in desc.layouts:
                fail(line_no, "%s defined twice" % name)
            block = Layout(name, doc, word == "record", line_no)
            desc.layouts[name] = block
            desc.layout_order.append(name)
        elif word == "kind":
            desc.kinds.append(parse_kind(text, line_no, desc))
        else:
            fail(line_no, "unknown block %s" % word)
    return desc


def parse_layout_line(layout, text, line_no, desc):
    word = text.split()[0]
    if word == "rule":
        m = re.match(r'^rule\s+"([^"]*)"\s+(.+)$', text)
        if not m:
            fail(line_no, "rule \"TEXT\" EXPRESSION")
        layout.rules.append((m.group(1), m.group(2)))
        return
    if word == "check":
        m = re.match(r"^check\s+(\w+)\(([^)]*)\)$", text)
        if not m or m.group(1) not in desc.checks:
            fail(line_no, "check of an undeclared name")
        args = [a.strip() for a in m.group(2).split(",")]
        if len(args) != len(desc.checks[m.group(1)][0]):
            fail(line_no, "check %s takes %d arguments" % (m.group(1), len(desc.checks[m.group(1)][0])))
        layout.checks.append((m.group(1), args))
        return
    tokens, doc = tokens_and_doc(text, line_no)
    if word == "length":
        multiplier, bounds = 1, None
        lo = hi = step = None
        for t in tokens[2:]:
            if re.match(r"^x\d+$", t):
                multiplier = int(t[1:])
            elif t.startswith("range="):
                lo, hi = t[len("range="):].split("..")
            elif t.startswith("step="):
                step = t[len("step="):]
            else:
                fail(line_no, "unknown length option %s" % t)
        if lo is not None:
            bounds = (int(lo), int(hi), int(step or 1))
        layout.length = (tokens[1], multiplier, bounds)
        return
    layout.fields.append(parse_field(tokens, doc, line_no, desc))
    measure(layout, desc)


def parse_kind(text, line_no, desc):
    tokens, doc = tokens_and_doc(text, line_no)
    k = Kind(line_no)
    k.doc = doc
    if len(tokens) < 4:
        fail(line_no, "kind NAME CATEGORY:CODES LAYOUT ...")
    k.name = tokens[1]
    cat, codes = tokens[2].split(":")
    k.category = int(cat)
    if k.category not in desc.categories:
        fail(line_no, "category %d is not declared" % k.category)
    k.codes = parse_codes(codes, line_no)
    if tokens[3] not in desc.layouts or desc.layouts[tokens[3]].is_record:
        fail(line_no, "no layout %s" % tokens[3])
    k.layout = desc.layouts[tokens[3]]
    k.ends = desc.categories[k.category][1]
    for t in tokens[4:]:
        if t == "ends":
            k.ends = True
        elif t == "continues":
            k.ends = False
        elif t == "earlier":
            k.earlier = True
        elif t.startswith("bit="):
            k.bit = int(t[4:])
        elif t.startswith("replay="):
            k.replay = t[len("replay="):]
        elif t.startswith("forgets="):
            k.forgets = t[len("forgets="):]
        elif t.startswith("where:"):
            m = re.match(r"^where:(\w+)(=|<=)(\S+)$", t)
            if not m:
                fail(line_no, "where:FIELD=V or where:FIELD<=V")
            k.wheres.append((m.group(1), m.group(2), m.group(3)))
        else:
            fail(line_no, "unknown option %s" % t)
    for field, _, _ in k.wheres:
        if not any(f.name == field for f in k.layout.fields):
            fail(line_no, "where names no field of %s: %s" % (k.layout.name, field))
    k.layout.kinds.append(k)
    return k


def measure(layout, desc):
    """Offsets of the fixed part; a variable part may only end the layout."""
    offset = 0
    variable = False
    for f in layout.fields:
        if variable:
            if f.form != "tail":
                fail(f.line_no, "a fixed field after the variable part")
            continue
        if f.form == "tail":
            variable = True
            continue
        f.offset = offset
        offset += f.size
        if f.form == "string":
            variable = True
        if f.form == "record" and has_variable_part(desc.layouts[f.type]):
            variable = True
    layout.fixed = offset


def has_variable_part(layout):
    return any(f.form in ("tail", "string") for f in layout.fields)


def field_path(layout, path, desc):
    """The fixed field a path names and its offset."""
    parts = path.split(".")
    offset = 0
    current = layout
    f = None
    for i, part in enumerate(parts):
        matches = [x for x in current.fields if x.name == part]
        if not matches:
            raise DescriptionError("%s: no field %s" % (layout.name, path))
        f = matches[0]
        if f.offset is None:
            raise DescriptionError("%s: %s is not in the fixed part" % (layout.name, path))
        offset += f.offset
        if i + 1 < len(parts):
            current = desc.layouts[f.type]
    return f, offset


def resolve(desc):
    for name in desc.layout_order:
        layout = desc.layouts[name]
        if layout.is_record:
            continue
        tails = [f for f in layout.fields if f.form == "tail"]
        strings = [f for f in layout.fields if f.form == "string"]
        if layout.length:
            path, multiplier, bounds = layout.length
            f, offset = field_path(layout, path, desc)
            if f.form != "scalar" or f.type == "f32":
                raise DescriptionError("%s: the length field must be an integer" % name)
            layout.length_field = (offset, SCALARS[f.type][0], SCALARS[f.type][3], multiplier, bounds)
        elif strings:
            f = strings[0]
            layout.length_field = (f.offset, 2, False, 1, None)
        elif tails and tails[0].count == "code":
            layout.per_code = record_size(tails[0], desc)
        elif tails or any(f.form == "record" and has_variable_part(desc.layouts[f.type]) for f in layout.fields):
            raise DescriptionError("%s: a variable part needs a length line" % name)
        if layout.length_field and layout.length_field[0] + layout.length_field[1] > layout.fixed:
            raise DescriptionError("%s: the length field lies past the fixed part" % name)
    claimed = {}
    for k in desc.kinds:
        if k.codes == "*":
            continue
        for c in k.codes:
            key = (k.category, c)
            if key in claimed:
                raise DescriptionError("line %d: {%d,%d} is also %s" % (k.line_no, k.category, c, claimed[key]))
            claimed[key] = k.name
    for k in desc.kinds:
        codes = k.codes
        if codes == "*":
            codes = [c for c in range(256) if (k.category, c) not in claimed]
            for c in codes:
                claimed[(k.category, c)] = k.name
        k.rows = runs(codes)
        if k.category == 0 and k.ends:
            raise DescriptionError("line %d: a StateRecord never ends a step" % k.line_no)
    bits = [k.bit for k in desc.kinds if k.bit >= 0]
    if len(bits) != len(set(bits)):
        raise DescriptionError("a StateRecord bit is used twice")
    names = [k.name for k in desc.kinds]
    if len(names) != len(set(names)):
        raise DescriptionError("a kind name is used twice")
    for k in desc.kinds:
        if k.forgets and not any(o.name == k.forgets and o.bit >= 0 for o in desc.kinds):
            raise DescriptionError("line %d: forgets names no StateRecord with a bit" % k.line_no)


def runs(codes):
    out = []
    for c in sorted(codes):
        if out and out[-1][1] == c - 1:
            out[-1][1] = c
        else:
            out.append([c, c])
    return [tuple(r) for r in out]


def record_size(tail, desc):
    if tail.type == "bytes":
        return 1
    return desc.layouts[tail.type].fixed


# ---- C++ ---------------------------------------------------------------------------

def payload_layouts(desc):
    """The layouts some kind has as its payload, in the description's order."""
    return [desc.layouts[n] for n in desc.layout_order if not desc.layouts[n].is_record and desc.layouts[n].kinds]


def camel(name):
    return "".join(part[:1].upper() + part[1:] for part in name.split("_"))


def cpp_type(f):
    if f.form == "scalar":
        return SCALARS[f.type][1]
    if f.form == "array":
        return "std::array<%s, %d>" % (SCALARS[f.type][1], f.count)
    if f.form == "bytes":
        return "std::array<uint8_t, %d>" % f.count
    if f.form in ("text", "string"):
        return "std::string"
    if f.form == "record":
        return f.type
    if f.form == "tail":
        if f.type == "bytes":
            return "std::vector<uint8_t>"
        if f.type == "text":
            return "std::string"
        return "std::vector<%s>" % f.type
    raise AssertionError(f.form)


def count_expr(f):
    return "code" if f.count == "code" else f.count


def io_lines(layout, desc):
    out = []
    for f in layout.fields:
        if f.form == "pad":
            line = "io.Zero(%d);" % f.count
        elif f.form == "scalar":
            line = "io.%s(%s);" % (SCALARS[f.type][2], f.name)
        elif f.form == "array":
            line = "for (auto& v : %s) io.%s(v);" % (f.name, SCALARS[f.type][2])
        elif f.form == "bytes":
            line = "io.Bytes(%s.data(), %d);" % (f.name, f.count)
        elif f.form == "text":
            line = "io.Text(%s, %d);" % (f.name, f.count)
        elif f.form == "string":
            line = "LengthPrefixedText(io, %s);" % f.name
        elif f.form == "record":
            line = "%s.Fields(io);" % f.name
        elif f.type == "bytes":
            line = "io.Raw(%s, FieldCount(%s));" % (f.name, count_expr(f))
        elif f.type == "text":
            line = "io.Text(%s, FieldCount(%s));" % (f.name, count_expr(f))
        else:
            line = "io.Records(%s, FieldCount(%s), %d);" % (f.name, count_expr(f), desc.layouts[f.type].fixed)
        if f.when:
            line = "if (%s) %s" % (f.when, line)
        out.append(line)
    return out


def literal(value, f):
    text = str(value)
    if f.type == "f32":
        return text + ("f" if "." in text else ".0f")
    return text


def initial_value(f):
    """A new struct holds the field's default, else its fixed value, else 0."""
    for c in f.constraints:
        if c.startswith("default="):
            return c[len("default="):]
    for c in f.constraints:
        if c.startswith("="):
            return c[1:]
    return "0"


def constraint_checks(f):
    """(C++ condition, failure text) for each constraint of a field."""
    checks = []
    for c in f.constraints:
        if f.form in ("array",):
            each = lambda cond: "std::all_of(%s.begin(), %s.end(), [](auto v) { return %s; })" % (
                f.name, f.name, cond.replace(f.name, "v"))
        else:
            each = lambda cond: cond
        if c.startswith("="):
            checks.append((each("%s == %s" % (f.name, literal(c[1:], f))), "%s must be %s" % (f.name, c[1:])))
        elif c.startswith("min="):
            checks.append((each("%s >= %s" % (f.name, literal(c[4:], f))), "%s below %s" % (f.name, c[4:])))
        elif c.startswith("max="):
            checks.append((each("%s <= %s" % (f.name, literal(c[4:], f))), "%s above %s" % (f.name, c[4:])))
        elif c.startswith("range="):
            lo, hi = c[len("range="):].split("..")
            cond = "%s >= %s && %s <= %s" % (f.name, literal(lo, f), f.name, literal(hi, f))
            if lo == "0" and not SCALARS[f.type][3]:
                cond = "%s <= %s" % (f.name, literal(hi, f))
            checks.append((each(cond), "%s outside %s..%s" % (f.name, lo, hi)))
        elif c == "finite":
            checks.append((each("std::isfinite(%s)" % f.name), "%s not finite" % f.name))
        elif c == "coord":
            checks.append((each("IsStreamCoordinate(%s)" % f.name), "%s beyond the stream's reach" % f.name))
        elif c == "text":
            checks.append(("IsStoredText(%s)" % f.name, "%s is no stored text" % f.name))
        elif c.startswith("default="):
            continue
        else:
            raise DescriptionError("line %d: unknown constraint %s" % (f.line_no, c))
    return checks


def failure_lines(layout, desc):
    lines = []

    def add(cond, text, guard=None):
        if guard:
            cond = "!(%s) || (%s)" % (guard, cond)
        lines.append("if (!(%s)) return \"%s\";" % (cond, text.replace('"', '\\"')))

    for f in layout.fields:
        for cond, text in constraint_checks(f):
            add(cond, text, f.when)
        if f.form == "record":
            lines.append("if (const char* why = %s.Failure()) return why;" % f.name)
        if f.form == "tail":
            count = count_expr(f)
            if f.type != "text":
                add("FieldCount(%s) == %s.size()" % (count, f.name), "%s does not hold %s" % (f.name, count), f.when)
            if f.type not in ("bytes", "text"):
                lines.append("for (const auto& r : %s) if (const char* why = r.Failure()) return why;" % f.name)
    if layout.length and layout.length[2]:
        path = layout.length[0]
        lo, hi, step = layout.length[2]
        add("%s >= %d && %s <= %d && %s %% %d == 0" % (path, lo, path, hi, path, step),
            "%s outside %d..%d in steps of %d" % (path, lo, hi, step))
    for name, args in layout.checks:
        call = "%sHolds(%s)" % (camel(name), ", ".join("*this" if a == "this" else a for a in args))
        add(call, "%s(%s)" % (name, ", ".join(args)))
    for text, expression in layout.rules:
        add(expression, text)
    for k in layout.kinds:
        for field, op, value in k.wheres:
            cond = "%s %s %s" % (field, "==" if op == "=" else op, value)
            add(cond, "%s (kind %s)" % (cond, k.name), kind_condition(k))
    return lines


def kind_condition(k):
    terms = []
    for first, last in k.rows:
        if first == last:
            terms.append("(category == %d && code == %d)" % (k.category, first))
        else:
            bounds = (["code >= %d" % first] if first > 0 else []) + (["code <= %d" % last] if last < 255 else [])
            terms.append("(%s)" % " && ".join(["category == %d" % k.category] + bounds))
    return " || ".join(terms) if terms else "false"


def serves(layout):
    terms = [kind_condition(k) for k in layout.kinds]
    return " || ".join(terms) if terms else "false"


def struct_text(layout, desc):
    out = []
    out.append("// %s" % layout.doc)
    if layout.is_record:
        out.append("struct %s {" % layout.struct)
    else:
        out.append("struct %s : PacketPayload<%s> {" % (layout.struct, layout.struct))
        k = layout.kinds[0]
        out.append("    %s() { category = %d, code = %d; }" % (layout.struct, k.category, k.rows[0][0]))
    for f in layout.fields:
        if f.form == "pad":
            continue
        init = " = %s" % literal(initial_value(f), f) if f.form == "scalar" else "{}"
        out.append("    %s %s%s;" % (cpp_type(f), f.name, init))
    if not layout.is_record:
        out.append("    static bool Serves(uint8_t category, [[maybe_unused]] uint8_t code) { return %s; }" % serves(layout))
    body = io_lines(layout, desc)
    if body:
        out.append("    template <class Io> void Fields(Io& io)")
        out.append("    {")
        for line in body:
            out.append("        " + line)
        out.append("    }")
    else:
        out.append("    template <class Io> void Fields(Io&) {}")
    out.append("    // The first check that fails, as a short text; nullptr when valid.")
    out.append("    const char* Failure() const;")
    out.append("    bool Validate() const { return Failure() == nullptr; }")
    if layout.is_record:
        out.append("    bool operator==(const %s&) const = default;" % layout.struct)
    out.append("};")
    return "\n".join(out)


def header_ids(desc):
    out = [GENERATED, "#pragma once", "// The packet ids of the event stream and what each kind's header says.",
           "#include <cstdint>", "", "namespace morvane {", ""]
    out.append("enum class PacketCategory : uint8_t {")
    for number in sorted(desc.categories):
        out.append("    %s = %d," % (desc.categories[number].name, number))
    out.append("};")
    out.append("")
    out.append("enum class PacketId : uint16_t {")
    for k in desc.kinds:
        out.append("    %s," % k.name)
    out.append("    None,")
    out.append("};")
    out.append("inline constexpr int kPacketIdCount = %d;" % len(desc.kinds))
    out.append("")
    out.append("// Who replays a kind: the player itself, a document operation, or nobody yet.")
    out.append("enum class ReplayBy : uint8_t { Player, Document, Nobody };")
    out.append("// The state the recorder brings up to date before a packet of the kind.")
    out.append("enum class SyncBefore : uint8_t { Nothing, Document, All };")
    out.append("")
    out.append("struct PacketIdInfo {")
    out.append("    const char* name;")
    out.append("    uint8_t category, firstCode, lastCode;")
    out.append("    bool endsStep;")
    out.append("    int8_t validBit; // the StateRecord's bit of StateValidBits, -1 for none")
    out.append("    bool earlierOnly; // written by earlier generations only")
    out.append("    ReplayBy replayBy;")
    out.append("    const char* operation; // the document operation that replays it, \"\" for none")
    out.append("    SyncBefore sync;")
    out.append("    int8_t strokeKind; // the stroke a start packet begins, -1 for other kinds")
    out.append("    bool lineMode; // a stroke start in straight segments")
    out.append("    bool points; // stroke points")
    out.append("    PacketId forgets; // the StateRecord written again after it, None for none")
    out.append("};")
    out.append("")
    out.append("// One row per kind, then the row of PacketId::None.")
    out.append("inline constexpr PacketIdInfo kPacketIdInfo[kPacketIdCount + 1] = {")
    for k in desc.kinds:
        first = k.rows[0][0]
        last = k.rows[-1][1]
        by = "Player" if k.replay == "player" else ("Document" if k.replay else "Nobody")
        op = k.replay if by == "Document" else ""
        cat = desc.categories[k.category]
        out.append('    {"%s", %d, %d, %d, %s, %d, %s, ReplayBy::%s, "%s", SyncBefore::%s, %d, %s, %s, PacketId::%s},' % (
            k.name, k.category, first, last, "true" if k.ends else "false", k.bit,
            "true" if k.earlier else "false", by, op, cat.sync, cat.stroke, "true" if cat.line else "false",
            "true" if cat.points else "false", k.forgets or "None"))
    out.append('    {"None", 255, 0, 0, false, -1, false, ReplayBy::Nobody, "", SyncBefore::Nothing, -1, false, false, PacketId::None},')
    out.append("};")
    out.append("")
    out.append("constexpr const PacketIdInfo& InfoOf(PacketId id) { return kPacketIdInfo[int(id)]; }")
    out.append("constexpr uint8_t CategoryOf(PacketId id) { return InfoOf(id).category; }")
    out.append("// The kind's first code; a kind of several codes (the point count) takes its code apart.")
    out.append("constexpr uint8_t CodeOf(PacketId id) { return InfoOf(id).firstCode; }")
    out.append("constexpr PacketCategory CategoryKindOf(PacketId id) { return PacketCategory(InfoOf(id).category); }")
    out.append("")
    out.append("} // namespace morvane")
    return "\n".join(out) + "\n"


GENERATED = "// Generated by tools/gen_event_packets.py from src/events/EventPackets.txt: edit that file."


def header_payloads(desc):
    out = [GENERATED, "#pragma once",
           "// The payload structs of every packet kind: fields in stream order in",
           "// Fields(io), which both encodes and decodes, and the checks of the",
           "// description in Failure().",
           "#include <array>", "#include <cstdint>", "#include <span>", "#include <string>", "#include <vector>", "",
           '#include "events/EventPacketIds.h"', '#include "events/PayloadIo.h"', "", "namespace morvane {", ""]
    for name in desc.layout_order:
        layout = desc.layouts[name]
        if not layout.is_record and not layout.kinds:
            continue
        out.append(struct_text(layout, desc))
        out.append("")
    out.append("// The payload struct of each kind.")
    out.append("template <PacketId> struct PayloadOf;")
    for k in desc.kinds:
        out.append("template <> struct PayloadOf<PacketId::%s> { using type = %s; };" % (k.name, k.layout.struct))
    out.append("")
    out.append("// Decodes a whole packet of kind id (its header is one of id's) with the")
    out.append("// kind's struct and hands it to visit(payload); fail(reason) when it does")
    out.append("// not decode. Both answer the same type.")
    out.append("template <class Visit, class Fail>")
    out.append("auto VisitPacket(PacketId id, std::span<const uint8_t> packet, Visit&& visit, Fail&& fail)")
    out.append("{")
    out.append("    switch (id) {")
    for layout in payload_layouts(desc):
        for k in layout.kinds:
            out.append("    case PacketId::%s:" % k.name)
        out.append("    {")
        out.append("        %s p;" % layout.struct)
        out.append("        if (!p.Decode(packet))")
        out.append("            return fail(p.DecodeFailure(packet));")
        out.append("        return visit(p);")
        out.append("    }")
    out.append("    default:")
    out.append('        return fail("no packet kind");')
    out.append("    }")
    out.append("}")
    out.append("")
    out.append("} // namespace morvane")
    return "\n".join(out) + "\n"


def source_payloads(desc):
    out = [GENERATED, '#include "events/EventPackets.h"', "", "#include <algorithm>", "#include <cmath>", "",
           '#include "events/EventPacketTable.h"', '#include "events/PacketChecks.h"', "", "namespace morvane {", ""]
    for name in desc.layout_order:
        layout = desc.layouts[name]
        if not layout.is_record and not layout.kinds:
            continue
        out.append("const char* %s::Failure() const" % layout.struct)
        out.append("{")
        for line in failure_lines(layout, desc):
            out.append("    " + line)
        out.append("    return nullptr;")
        out.append("}")
        out.append("")
    out.append("namespace {")
    out.append("constexpr PacketKind kRows[] = {")
    rows = []
    for k in desc.kinds:
        for first, last in k.rows:
            rows.append((k.category, first, last, k))
    for category, first, last, k in sorted(rows, key=lambda r: (r[0], r[1])):
        layout = k.layout
        lf = layout.length_field
        if lf:
            offset, width, signed, multiplier, bounds = lf
            lo, hi, step = bounds if bounds else (0, 0, 0)
        else:
            offset = width = multiplier = lo = hi = step = 0
            signed = False
            multiplier = 1
        out.append("    {PacketId::%s, %d, %d, %d, %d, %d, %d, %d, %s, %d, %d, %d, %d, %s, %d}," % (
            k.name, category, first, last, layout.fixed, layout.per_code, offset, width,
            "true" if signed else "false", multiplier, lo, hi, step, "true" if k.ends else "false", k.bit))
    out.append("};")
    out.append("} // namespace")
    out.append("")
    out.append("std::span<const PacketKind> DescribedPacketRows() { return kRows; }")
    out.append("")
    out.append("const char* PacketFailure(std::span<const uint8_t> packet, std::vector<uint8_t>* reencoded)")
    out.append("{")
    out.append("    const PacketKind* kind = packet.size() >= 2 ? FindPacketKind(packet[0], packet[1]) : nullptr;")
    out.append("    if (!kind)")
    out.append('        return "no packet kind";')
    out.append("    return VisitPacket(")
    out.append("        kind->id, packet,")
    out.append("        [&](const auto& p) -> const char* {")
    out.append("            if (reencoded)")
    out.append("                *reencoded = p.Encode();")
    out.append("            return nullptr;")
    out.append("        },")
    out.append("        [](const char* why) { return why; });")
    out.append("}")
    out.append("")
    out.append("} // namespace morvane")
    return "\n".join(out) + "\n"


# ---- the reference -------------------------------------------------------------------

def type_text(f, desc):
    if f.form == "scalar":
        return f.type
    if f.form == "array":
        return "%d × %s" % (f.count, f.type)
    if f.form == "bytes":
        return "%d bytes" % f.count
    if f.form == "text":
        return "string field of %d bytes" % f.count
    if f.form == "record":
        return f.type
    return ""


def constraint_text(f):
    parts = []
    for c in f.constraints:
        if c.startswith("="):
            parts.append("= %s" % c[1:])
        elif c.startswith("min="):
            parts.append("≥ %s" % c[4:])
        elif c.startswith("max="):
            parts.append("≤ %s" % c[4:])
        elif c.startswith("range="):
            parts.append("%s–%s" % tuple(c[len("range="):].split("..")))
        elif c == "finite":
            parts.append("finite")
        elif c == "coord":
            parts.append("finite, within 2^20 px of any canvas")
        elif c == "text":
            parts.append("no zero byte")
        elif c.startswith("default="):
            parts.append("written as %s" % c[len("default="):])
    return ", ".join(parts)


def field_rows(layout, desc, base=0, prefix=""):
    rows = []
    for f in layout.fields:
        at = "+%d" % (base + f.offset) if f.offset is not None else "then"
        doc = f.doc.replace("|", "\\|")
        if f.form == "pad":
            rows.append((at, str(f.count), "—", "", "written as 0" + ("; " + doc if doc else "")))
        elif f.form == "record":
            sub = desc.layouts[f.type]
            rows.extend(field_rows(sub, desc, base + f.offset, prefix + f.name + "."))
        elif f.form == "string":
            rows.append((at, "2", "u16", "", "n = the length of the string field of %s%s" % (prefix, f.name)))
            rows.append(("+%d" % (base + f.offset + 2), "n", "string field", prefix + f.name,
                         ", ".join(x for x in (constraint_text(f), doc) if x)))
        elif f.form == "tail":
            count = "the code" if f.count == "code" else prefix + f.count
            if f.type == "bytes":
                what, size = "bytes", count
            elif f.type == "text":
                what, size = "string field", count
            else:
                what, size = "%s × %s" % (count, f.type), "%s × %d" % (count, desc.layouts[f.type].fixed)
            cond = " (when %s)" % f.when if f.when else ""
            rows.append((at, size, what, prefix + f.name, doc + cond))
        else:
            size = str(f.size)
            rows.append((at, size, type_text(f, desc), prefix + f.name,
                         "; ".join(x for x in (constraint_text(f), doc) if x)))
    return rows


def length_text(layout):
    if layout.per_code:
        return "%d × the code" % layout.per_code
    if not layout.length_field:
        return str(layout.fixed)
    offset, width, signed, multiplier, bounds = layout.length_field
    path = layout.length[0] if layout.length else "n"
    text = "%d + %s" % (layout.fixed, path if multiplier == 1 else "%d × %s" % (multiplier, path))
    return text


def docs(desc):
    out = ["<!-- %s -->" % GENERATED[3:], "", "# Event packets", "",
           "Every packet of the event stream is a two-byte header {category, code} and a payload whose",
           "length the header gives, or the header and a length field inside the payload's fixed part.",
           "All multi-byte fields are little-endian; a string field holds zero-terminated text in a",
           "field of (len + 2) & ~1 bytes, zero-filled. A packet that does not decode, or whose fields",
           "break the rules below, ends a replay with the player's error result.", "",
           "## Categories", "", "| category | name | ends a step | contents |", "|---|---|---|---|"]
    for number in sorted(desc.categories):
        name, ends, text = desc.categories[number]
        out.append("| %d | %s | %s | %s |" % (number, name, "yes" if ends else "no", text))
    out.append("")
    out.append("Any other category is invalid.")
    out.append("")
    out.append("## Kinds")
    out.append("")
    out.append("| kind | header | payload | bytes | ends a step | written by | replayed by | state bit |")
    out.append("|---|---|---|---|---|---|---|---|")
    for k in desc.kinds:
        header = ", ".join("{%d,%d}" % (k.category, a) if a == b else "{%d,%d–%d}" % (k.category, a, b)
                           for a, b in k.rows)
        if k.codes == "*":
            header = "{%d,*}" % k.category
        replay = {"player": "the player", "": "— (not replayed yet)"}.get(k.replay, "`%s`" % k.replay)
        out.append("| %s | %s | [%s](#%s) | %s | %s | %s | %s | %s |" % (
            k.name, header, k.layout.name, k.layout.name.lower(), length_text(k.layout),
            "yes" if k.ends else "no", "earlier generations" if k.earlier else "generations 2–4", replay,
            "" if k.bit < 0 else "byte %d bit %d" % (k.bit // 8, k.bit % 8)))
    out.append("")
    out.append("## Payloads")
    for layout in payload_layouts(desc):
        out.append("")
        out.append("### %s" % layout.name)
        out.append("")
        kinds = ", ".join("%s %s" % (k.name, "{%d,%s}" % (k.category, "*" if k.codes == "*" else ",".join(
            str(a) if a == b else "%d–%d" % (a, b) for a, b in k.rows))) for k in layout.kinds)
        out.append("%s. Kinds: %s. Bytes: %s." % (layout.doc[:1].upper() + layout.doc[1:], kinds, length_text(layout)))
        rows = field_rows(layout, desc)
        if rows:
            out.append("")
            out.append("| offset | size | type | field | rule, meaning |")
            out.append("|---|---|---|---|---|")
            for row in rows:
                out.append("| %s |" % " | ".join(row))
        rules = []
        for f in layout.fields:
            if f.form == "tail" and f.type in desc.layouts:
                parts = ["+%d %s %s%s" % (r.offset, type_text(r, desc), r.name,
                                          " (%s)" % constraint_text(r) if constraint_text(r) else "")
                         for r in desc.layouts[f.type].fields]
                rules.append("Each of %s: %s." % (f.name, "; ".join(parts)))
        if layout.length:
            path, multiplier, bounds = layout.length
            text = "Length field: %s" % path
            if multiplier != 1:
                text += " (× %d bytes)" % multiplier
            if bounds:
                text += ", %d–%d in steps of %d" % bounds
            rules.append(text + ".")
        for check, args in layout.checks:
            params, text = desc.checks[check]
            for p, a in zip(params, args):
                text = text.replace("{%s}" % p, "the payload" if a == "this" else a)
            rules.append(text[:1].upper() + text[1:] + ".")
        for text, _ in layout.rules:
            rules.append(text[:1].upper() + text[1:] + ".")
        for f in layout.fields:
            if f.form == "record":
                for text, _ in desc.layouts[f.type].rules:
                    rules.append("%s: %s." % (f.name, text))
        for k in layout.kinds:
            for field, op, value in k.wheres:
                rules.append("%s: %s %s %s." % (k.name, field, "=" if op == "=" else "≤", value))
        if rules:
            out.append("")
            for r in rules:
                out.append("- " + r)
    return "\n".join(out) + "\n"


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: gen_event_packets.py DESCRIPTION OUTDIR\n")
        return 2
    try:
        desc = parse(argv[1])
        resolve(desc)
        outputs = {
            "events/EventPacketIds.h": header_ids(desc),
            "events/EventPackets.h": header_payloads(desc),
            "events/EventPackets.cpp": source_payloads(desc),
            "docs/event-packets.md": docs(desc),
        }
    except DescriptionError as e:
        sys.stderr.write("%s: %s\n" % (argv[1], e))
        return 1
    for name, text in outputs.items():
        write(os.path.join(argv[2], name), text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
