#!/usr/bin/env bash
# Checks the folder layout; exits 1 on a violation.
#
#   scripts/check_layout.sh
#
# 1. No source file is compiled into two targets: each configuration is
#    generated (not built) in build-layout/<name> and CMake's file API lists
#    the compiled sources of every target. The configurations are the plain
#    one, the fuzz one when clang++ is installed and the Windows cross-build
#    when mingw-w64 is; LAYOUT_BUILD names another directory for them.
# 2. Includes point the allowed way: src/ includes only src/; problem_files/
#    and reference/ include src/ and themselves; checker/ adds problem_files/;
#    bench/, tools/ and fuzz/ may include everything but the tests' GoogleTest
#    code; tests/ may include everything. A quoted include is resolved as the
#    compiler would (the including file's folder, then the folders the targets
#    export), and a name found in two folders is a violation too.
# 3. Within src/, a layer includes only itself and the layers below it
#    (platform, position, movegen, search, solution, solve, usi), but for the
#    few crossings named in LAYER_EXCEPTIONS.
set -euo pipefail
cd "$(dirname "$0")/.."

LAYOUT_BUILD=${LAYOUT_BUILD:-build-layout}
configs=()

# Generates one configuration with a file-API query in place; extra
# arguments go to cmake.
generate() {
  local name=$1
  shift
  local dir="$LAYOUT_BUILD/$name"
  mkdir -p "$dir/.cmake/api/v1/query"
  touch "$dir/.cmake/api/v1/query/codemodel-v2"
  if cmake -S . -B "$dir" "$@" >"$dir.log" 2>&1; then
    configs+=("$dir")
  else
    echo "check_layout: configuring $name failed (see $dir.log)" >&2
    exit 1
  fi
}

generate plain -DCMAKE_BUILD_TYPE=Release
if command -v clang++ >/dev/null; then
  CC=clang CXX=clang++ generate fuzz -DCMAKE_BUILD_TYPE=Debug -DKESTRANE_FUZZ=ON -DKESTRANE_TESTS=OFF
else
  echo "check_layout: no clang++, the fuzz configuration is not checked"
fi
if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  generate windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
else
  echo "check_layout: no mingw-w64, the Windows configuration is not checked"
fi

python3 - "${configs[@]}" <<'EOF'
import glob, json, os, re, sys

violations = []

# 1. Every compiled source of every target, per configuration.
for build in sys.argv[1:]:
    reply = os.path.join(build, ".cmake", "api", "v1", "reply")
    index = sorted(glob.glob(os.path.join(reply, "index-*.json")))[-1]
    with open(index) as f:
        codemodel = next(o for o in json.load(f)["objects"] if o["kind"] == "codemodel")
    with open(os.path.join(reply, codemodel["jsonFile"])) as f:
        model = json.load(f)
    owners = {}
    targets = 0
    for config in model["configurations"]:
        for t in config["targets"]:
            with open(os.path.join(reply, t["jsonFile"])) as f:
                target = json.load(f)
            targets += 1
            for source in target.get("sources", []):
                if "compileGroupIndex" in source:
                    owners.setdefault(source["path"], []).append(target["name"])
    twice = {path: names for path, names in owners.items() if len(names) > 1}
    for path, names in sorted(twice.items()):
        violations.append(f"{build}: {path} is compiled into {', '.join(sorted(names))}")
    print(f"{build}: {len(owners)} sources in {targets} targets, {len(twice)} compiled twice")

# 2. The direction of the includes.
ROOTS = ["src", "problem_files", "reference", "checker", "web_engine", "bench", "tools", "tests", "fuzz"]
ALLOWED = {
    "src": {"src"},
    "problem_files": {"src", "problem_files"},
    "reference": {"src", "reference"},
    "checker": {"src", "problem_files", "checker"},
    "web_engine": {"src", "problem_files", "checker", "web_engine"},
}
# Headers the build writes from a file of the tree (checker/CMakeLists.txt).
GENERATED = {"report_player_js.h"}
QUOTED = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)
FRAMEWORK = re.compile(r'^\s*#\s*include\s*<(gtest|gmock)/', re.M)

files = [p for root in ROOTS for p in glob.glob(f"{root}/**/*", recursive=True)
         if p.endswith((".cpp", ".h"))]
text = {}
for p in files:
    with open(p, encoding="utf-8", errors="replace") as f:
        text[p] = f.read()

def room(path):
    return path.split("/", 1)[0]

def resolve(including, name):
    here = os.path.normpath(os.path.join(os.path.dirname(including), name))
    if here in text:
        return [here]
    return [c for c in (os.path.normpath(os.path.join(r, name)) for r in ROOTS) if c in text]

framework_memo = {}
def uses_framework(path, seen=()):
    if path in framework_memo:
        return framework_memo[path]
    found = bool(FRAMEWORK.search(text[path]))
    for name in QUOTED.findall(text[path]):
        for target in resolve(path, name):
            if target not in seen and uses_framework(target, seen + (path,)):
                found = True
    framework_memo[path] = found
    return found

includes = 0
for p in sorted(files):
    r = room(p)
    if r != "tests" and FRAMEWORK.search(text[p]):
        violations.append(f"{p}: includes the test framework")
    for name in QUOTED.findall(text[p]):
        includes += 1
        found = resolve(p, name)
        if not found and name in GENERATED:
            continue
        if not found:
            violations.append(f'{p}: "{name}" is in none of the folders')
            continue
        if len(found) > 1:
            violations.append(f'{p}: "{name}" is found in {" and ".join(found)}')
        target = found[0]
        t = room(target)
        if r == "tests":
            continue
        if r in ALLOWED:
            if t not in ALLOWED[r]:
                violations.append(f'{p}: includes {target} ({r}/ may include only {", ".join(sorted(ALLOWED[r]))})')
        elif t == "tests" and uses_framework(target):
            violations.append(f"{p}: includes {target}, which needs GoogleTest")
print(f"includes: {includes} quoted includes in {len(files)} files")

# 3. The engine's layers: a folder of src/ includes only its own and lower
# ones. The generators' probes are the search's innermost step (the table,
# the thread's search state, the defence rule); the Japanese move text reads
# the pieces' directions from the step tables.
LAYERS = ["platform", "position", "movegen", "search", "solution", "solve", "usi"]
LAYER_EXCEPTIONS = {
    ("movegen", "search/tt.h"), ("movegen", "search/thread_state.h"), ("movegen", "search/defence.h"),
    ("position", "movegen/step_tables.h"),
}
for p in sorted(f for f in files if room(f) == "src" and f.count("/") == 2):
    layer = p.split("/")[1]
    if layer not in LAYERS:
        continue
    for name in QUOTED.findall(text[p]):
        up = name.split("/", 1)[0]
        if up in LAYERS and LAYERS.index(up) > LAYERS.index(layer) and (layer, name) not in LAYER_EXCEPTIONS:
            violations.append(f"{p}: includes {name}, a higher layer than {layer}/")

for v in violations:
    print("violation:", v)
if violations:
    sys.exit(1)
print("layout: no source compiled twice, every include in the allowed direction")
EOF
