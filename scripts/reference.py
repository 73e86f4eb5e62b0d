#!/usr/bin/env python3
"""Writes the class reference from the two type libraries' IDL: one page per
class with its ProgID (from the DLLs' class tables), every member of its
interface (DISPID, kind, parameters with optional ones and their defaults,
return value, help string) and its example script from examples/reference/,
one page of the enumerations, and an index; as Markdown in docs/reference/ and
as HTML in the example site's reference/ folder. Never edit the pages by hand:
change the IDL or the example and run this.

  python3 scripts/reference.py            rewrites both folders
  python3 scripts/reference.py --check    exits 1 when a page differs from
                                          what the IDL gives or a scriptable
                                          class has no example (run by the tests)
"""
import html
import os
import re
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIBRARIES = [
    ('Rastelle', 'src/module/Rastelle.idl', 'Rastelle.dll'),
    ('RastelleEffects', 'src/effects/RastelleEffects.idl', 'RastelleEffects.dll'),
]
CLASS_TABLE = 'src/module/class_table.cpp'
EXAMPLES = os.path.join(ROOT, 'examples', 'reference')
OUT = os.path.join(ROOT, 'docs', 'reference')
SITE_OUT = os.path.join(ROOT, 'examples', 'site', 'reference')


def inline_html(text):
    """Inline code and links of the generated Markdown, as HTML."""
    parts = re.split(r'(`[^`]*`)', text)
    out = []
    for part in parts:
        if part.startswith('`') and part.endswith('`') and len(part) > 1:
            out.append('<code>%s</code>' % html.escape(part[1:-1]))
            continue
        escaped = html.escape(part, quote=False).replace('\\|', '|')
        out.append(re.sub(r'\[([^\]]+)\]\(([\w.]+)\.md(#[\w-]+)?\)',
                          lambda m: '<a href="%s.html%s">%s</a>' % (m.group(2), m.group(3) or '', m.group(1)),
                          escaped))
    return ''.join(out)


def to_html(markdown):
    """The subset of Markdown the generator writes (headings, paragraphs,
    tables, fenced code) as a page of the example site."""
    title = markdown.split('\n', 1)[0].lstrip('# ').strip()
    body, table = [], []

    def cells(row):
        return [c.strip() for c in re.split(r'(?<!\\)\|', row.strip())[1:-1]]

    def flush():
        if table:
            head, rows = cells(table[0]), [cells(r) for r in table[2:]]
            body.append('<table>\n<tr>%s</tr>' % ''.join('<th>%s</th>' % inline_html(c) for c in head))
            body.extend('<tr>%s</tr>' % ''.join('<td>%s</td>' % inline_html(c) for c in row) for row in rows)
            body.append('</table>')
            table.clear()
    code = None  # the lines of a fenced code block being read
    for line in markdown.split('\n'):
        if code is not None:
            if line.startswith('```'):
                body.append('<pre><code>%s</code></pre>' % html.escape('\n'.join(code), quote=False))
                code = None
            else:
                code.append(line)
            continue
        if line.startswith('```'):
            flush()
            code = []
            continue
        if line.startswith('|'):
            table.append(line)
            continue
        flush()
        heading = re.match(r'(#+) (.*)', line)
        if heading:
            level = len(heading.group(1))
            anchor = re.sub(r'[^\w]+', '-', heading.group(2).lower()).strip('-')
            body.append('<h%d id="%s">%s</h%d>' % (level, anchor, inline_html(heading.group(2)), level))
        elif line.strip():
            body.append('<p>%s</p>' % inline_html(line))
    flush()
    return ('<!DOCTYPE html>\n<html>\n<head><meta charset="utf-8"><title>%s</title>'
            '<link rel="stylesheet" href="../style.css"></head>\n<body>\n'
            '<nav><a href="../default.asp">Examples</a> <a href="index.html">Reference</a></nav>\n%s\n</body>\n</html>\n'
            % (html.escape(title), '\n'.join(body)))


def strip_comments(text):
    text = re.sub(r'/\*.*?\*/', '', text, flags=re.S)
    return re.sub(r'//[^\n]*', '', text)


def attributes(text):
    """The attribute list '[a, b(c), helpstring("d")]' as a dict."""
    found = {}
    for match in re.finditer(r'(\w+)\s*(?:\(\s*("(?:[^"\\]|\\.)*"|[^()]*)\s*\))?', text):
        name, value = match.group(1), match.group(2)
        if value is not None and value.startswith('"'):
            value = value[1:-1]
        found[name] = value if value is not None else True
    return found


# An attribute list in brackets, whose quoted help strings may hold brackets.
ATTRS = r'\[((?:[^\[\]"]|"(?:[^"\\]|\\.)*")*)\]'


def parse(path):
    text = strip_comments(open(os.path.join(ROOT, path), encoding='utf-8').read())
    constants = {name: int(value, 0) for name, value in
                 re.findall(r'const\s+long\s+(\w+)\s*=\s*(0x[0-9A-Fa-f]+|\d+)\s*;', text)}
    text = re.sub(r'#(if|ifdef|ifndef|else|endif|define)[^\n]*', '', text)
    enums, interfaces, classes = {}, {}, []
    for match in re.finditer(r'typedef\s+enum\s+(\w+)\s*\{(.*?)\}\s*\w+\s*;', text, re.S):
        values = [tuple(part.strip() for part in entry.split('=')) for entry in match.group(2).split(',')
                  if entry.strip()]
        enums[match.group(1)] = values
    for match in re.finditer(ATTRS + r'\s*interface\s+(\w+)\s*:\s*(\w+)\s*\{(.*?)\n\s*\};', text, re.S):
        attrs = attributes(match.group(1))
        members = []
        for member in re.finditer(ATTRS + r'\s*HRESULT\s+(\w+)\s*\((.*?)\)\s*;', match.group(4), re.S):
            params = []
            for param in re.finditer(r'\[([^\]]*)\]\s*([^,\[]+?)\s*(\w+)\s*(?:,|$)', member.group(3).strip(), re.S):
                pattrs = attributes(param.group(1))
                ptype = ' '.join(param.group(2).split())
                if pattrs.get('defaultvalue') in constants and ptype == 'float':
                    # A float default given as its bit pattern: shown as the number.
                    bits = constants[pattrs['defaultvalue']]
                    pattrs['defaultvalue'] = '%g' % struct.unpack('<f', struct.pack('<I', bits))[0]
                params.append((pattrs, ptype, param.group(3)))
            members.append((attributes(member.group(1)), member.group(2), params))
        declared = len(re.findall(r'\bHRESULT\b', match.group(4)))
        if declared != len(members):
            raise SystemExit('%s: read %d of the %d members of %s' % (path, len(members), declared, match.group(2)))
        interfaces[match.group(2)] = (attrs, match.group(3), members)
    for match in re.finditer(ATTRS + r'\s*coclass\s+(\w+)\s*\{(.*?)\}\s*;', text, re.S):
        default = re.search(r'\[default\]\s*interface\s+(\w+)', match.group(3))
        classes.append((match.group(2), attributes(match.group(1)), default.group(1) if default else None))
    return enums, interfaces, classes


def signature(name, attrs, params):
    shown = []
    returns = None
    for pattrs, ptype, pname in params:
        if 'retval' in pattrs:
            returns = ptype.rstrip('*').strip()
            continue
        text = pname
        if 'optional' in pattrs or 'defaultvalue' in pattrs:
            default = pattrs.get('defaultvalue')
            text = '[%s%s]' % (pname, ' = %s' % default if default not in (None, True) else '')
        shown.append(text)
    kind = 'property get' if 'propget' in attrs else 'property put' if 'propput' in attrs else \
        'property put (object)' if 'propputref' in attrs else 'method'
    if kind.startswith('property put'):
        value = shown.pop() if shown else 'value'
        return kind, '%s%s = %s' % (name, '(%s)' % ', '.join(shown) if shown else '', value), returns
    return kind, '%s(%s)' % (name, ', '.join(shown)) if shown or kind == 'method' else name, returns


def parameter_rows(params):
    rows = []
    for pattrs, ptype, pname in params:
        if 'retval' in pattrs:
            continue
        direction = ', '.join(a for a in ('in', 'out', 'optional') if a in pattrs)
        default = pattrs.get('defaultvalue')
        rows.append('`%s` %s (%s%s)' % (pname, ptype, direction,
                                         ', default %s' % default if default not in (None, True) else ''))
    return '; '.join(rows)


def prog_ids():
    """The version-independent ProgID of each class the DLL's class table
    registers, by class name (the effect component's are its library's name
    and the class's)."""
    table = open(os.path.join(ROOT, CLASS_TABLE), encoding='utf-8').read()
    return dict(re.findall(r'\{&CLSID_(\w+),\s*L"[^"]*",\s*L"([^"]+)"', table))


def example_of(name):
    path = os.path.join(EXAMPLES, name + '.vbs')
    if not os.path.exists(path):
        return None
    with open(path, encoding='utf-8') as script:
        return script.read().rstrip('\n')


def class_page(library, dll, name, attrs, interface, interfaces, progid):
    lines = ['# %s' % name, '',
             'Class of `%s` (%s), ProgID `%s`: %s.' % (library, dll, progid, attrs.get('helpstring', name)), '']
    if interface not in interfaces:
        return '\n'.join(lines) + '\n'
    iattrs, base, members = interfaces[interface]
    lines += ['Default interface `%s` (derives from `%s`%s).' % (
        interface, base, ', dual' if 'dual' in iattrs else ''), '']
    lines += ['| DISPID | member | kind | returns | parameters | help |', '|---|---|---|---|---|---|']
    for mattrs, mname, params in members:
        kind, shown, returns = signature(mname, mattrs, params)
        lines.append('| %s | `%s` | %s | %s | %s | %s |' % (
            mattrs.get('id', ''), shown, kind, '`%s`' % returns if returns else '',
            parameter_rows(params), mattrs.get('helpstring', '').replace('|', '\\|')))
    example = example_of(name)
    if example:
        lines += ['', '## Example', '',
                  '`examples/reference/%s.vbs`, run by the tests:' % name,
                  '', '```vb', example, '```']
    return '\n'.join(lines) + '\n'


def scriptable(interface, interfaces):
    return interface in interfaces and 'dual' in interfaces[interface][0]


def pages():
    out = {}
    progids = prog_ids()
    index = ['# Reference', '',
             'Generated from the type libraries by `python3 scripts/reference.py`; do not edit. Each class '
             'page ends with an example script of `examples/reference/`, which the tests run.', '']
    enum_lines = ['# Enumerations', '']
    for library, path, dll in LIBRARIES:
        enums, interfaces, classes = parse(path)
        index += ['## %s (%s)' % (library, dll), '', '| class | what it is |', '|---|---|']
        for name, attrs, interface in sorted(classes):
            progid = progids.get(name, '%s.%s' % (library, name))
            out['%s.md' % name] = class_page(library, dll, name, attrs, interface, interfaces, progid)
            index.append('| [%s](%s.md) | %s |' % (name, name, attrs.get('helpstring', '')))
        index.append('')
        for name, values in enums.items():
            enum_lines += ['## %s' % name, '', '| name | value |', '|---|---|']
            enum_lines += ['| `%s` | %s |' % (value[0], value[1] if len(value) > 1 else '') for value in values]
            enum_lines.append('')
    index += ['[Enumerations](enumerations.md)', '']
    out['index.md'] = '\n'.join(index)
    out['enumerations.md'] = '\n'.join(enum_lines)
    return out


def classes_without_example():
    """The scriptable classes that have no example script."""
    missing = []
    for _, path, _ in LIBRARIES:
        _, interfaces, classes = parse(path)
        missing += [name for name, _, interface in sorted(classes)
                    if scriptable(interface, interfaces) and not example_of(name)]
    return missing


def outputs():
    """Every page to write: (folder, file name) -> text."""
    wanted = {}
    for name, text in pages().items():
        wanted[(OUT, name)] = text
        wanted[(SITE_OUT, name[:-3] + '.html')] = to_html(text)
    return wanted


def main():
    check = '--check' in sys.argv[1:]
    wanted = outputs()
    present = {(folder, name) for folder in (OUT, SITE_OUT) if os.path.isdir(folder)
               for name in os.listdir(folder)}

    def current(key):
        with open(os.path.join(*key), encoding='utf-8') as page:
            return page.read()
    if check:
        stale = [os.path.relpath(os.path.join(*key), ROOT) for key, text in wanted.items()
                 if key not in present or current(key) != text]
        stale += sorted(os.path.relpath(os.path.join(*key), ROOT) for key in present - set(wanted))
        if stale:
            print('the reference is not what the IDL gives (run python3 scripts/reference.py): ' + ', '.join(stale))
            return 1
        missing = classes_without_example()
        if missing:
            print('classes without an example in examples/reference/: ' + ', '.join(missing))
            return 1
        print('the reference matches the IDL (%d pages)' % len(wanted))
        return 0
    for folder in (OUT, SITE_OUT):
        os.makedirs(folder, exist_ok=True)
    for key in present - set(wanted):
        os.remove(os.path.join(*key))
    for key, text in wanted.items():
        with open(os.path.join(*key), 'w', encoding='utf-8', newline='\n') as page:
            page.write(text)
    print('wrote %d pages' % len(wanted))
    return 0


if __name__ == '__main__':
    sys.exit(main())
