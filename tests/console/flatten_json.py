# Prints every value of a JSON document as "path=value" (value in JSON), one per line, so
# that a test can read the console program's report through Python's own parser.
import json
import sys

def walk(path, value):
    if isinstance(value, dict):
        for key, item in value.items():
            walk(f"{path}.{key}" if path else key, item)
    elif isinstance(value, list):
        print(f"{path}.length={len(value)}")
        for index, item in enumerate(value):
            walk(f"{path}[{index}]", item)
    else:
        print(f"{path}={json.dumps(value, ensure_ascii=False)}")

with open(sys.argv[1], "rb") as source:
    walk("", json.loads(source.read().decode("utf-8")))
