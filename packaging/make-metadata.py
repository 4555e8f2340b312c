#!/usr/bin/env python3
"""Package metadata taken from CHANGELOG.md.

  make-metadata.py metainfo CHANGELOG TEMPLATE OUTPUT [KEY=VALUE]...
      the AppStream metainfo: TEMPLATE with @KEY@ replaced by VALUE and
      @LOOMWAY_RELEASES@ by one <release> per version of the change log
  make-metadata.py debian-changelog CHANGELOG PACKAGE MAINTAINER OUTPUT
      the change log in Debian's format (for /usr/share/doc/PACKAGE)

CHANGELOG.md holds "## VERSION (DATE)" headings, DATE being YYYY-MM-DD or
"unreleased", each followed by "- " items (continued on indented lines).
An unreleased version is dated by SOURCE_DATE_EPOCH, else today."""

import datetime
import os
import re
import sys
import textwrap
from xml.sax.saxutils import escape


def releases(path):
    """[(version, date, released, [item, ...])], newest first."""
    found = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            heading = re.match(r"^##\s+(\S+)\s*(?:\((.*)\))?\s*$", line)
            if heading:
                version, when = heading.group(1), (heading.group(2) or "").strip()
                released = re.fullmatch(r"\d{4}-\d{2}-\d{2}", when) is not None
                date = datetime.date.fromisoformat(when) if released else build_date()
                found.append((version, date, released, []))
            elif found and line.startswith("- "):
                found[-1][3].append(line[2:].strip())
            elif found and found[-1][3] and line.startswith("  ") and line.strip():
                found[-1][3][-1] += " " + line.strip()
    if not found:
        raise SystemExit("%s: no '## VERSION' heading" % path)
    return found


def build_date():
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if epoch:
        return datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc).date()
    return datetime.datetime.now(datetime.timezone.utc).date()


def plain(item):
    """Markdown emphasis and code marks dropped."""
    return re.sub(r"[`*]", "", item)


def metainfo(changelog, template, output, *assignments):
    blocks = []
    for version, date, released, items in releases(changelog):
        kind = "" if released else ' type="development"'
        lines = ['    <release version="%s" date="%s"%s>' % (escape(version), date, kind),
                 "      <description>", "        <ul>"]
        lines += ["          <li>%s</li>" % escape(plain(i)) for i in items]
        lines += ["        </ul>", "      </description>", "    </release>"]
        blocks.append("\n".join(lines))
    text = open(template, encoding="utf-8").read()
    text = text.replace("@LOOMWAY_RELEASES@", "\n".join(blocks))
    for assignment in assignments:
        key, value = assignment.split("=", 1)
        text = text.replace("@%s@" % key, escape(value))
    if re.search(r"@[A-Z_]+@", text):
        raise SystemExit("%s: unfilled %s" % (template, re.search(r"@[A-Z_]+@", text).group()))
    write(output, text)


def debian_changelog(changelog, package, maintainer, output):
    entries = []
    for version, date, released, items in releases(changelog):
        stamp = datetime.datetime.combine(date, datetime.time(12), datetime.timezone.utc)
        body = "\n".join(textwrap.fill(plain(i), 78, initial_indent="  * ",
                                       subsequent_indent="    ") for i in items)
        entries.append("%s (%s) unstable; urgency=medium\n\n%s\n\n -- %s  %s\n" % (
            package, version, body or "  * No changes listed.", maintainer,
            stamp.strftime("%a, %d %b %Y %H:%M:%S +0000")))
    write(output, "\n".join(entries))


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    commands = {"metainfo": metainfo, "debian-changelog": debian_changelog}
    if len(sys.argv) < 2 or sys.argv[1] not in commands:
        raise SystemExit(__doc__)
    commands[sys.argv[1]](*sys.argv[2:])
