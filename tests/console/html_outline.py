# The outline of an HTML page as Python's own parser reads it: "tag:NAME" for each element,
# "attr:NAME" for each attribute, then "text:" and all character data on one line.
import sys
from html.parser import HTMLParser

class Outline(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.text = []

    def handle_starttag(self, tag, attrs):
        print(f"tag:{tag}")
        for name, _ in attrs:
            print(f"attr:{name}")

    def handle_data(self, data):
        self.text.append(data)

outline = Outline()
outline.feed(open(sys.argv[1], encoding="utf-8").read())
sys.stdout.buffer.write(("text:" + "".join(outline.text).replace("\n", " ")).encode("utf-8"))
