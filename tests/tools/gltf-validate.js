// Runs the Khronos glTF validator (npm package gltf-validator) on .glb and .gltf files
// (a .gltf's .bin is read from beside it) and prints, for each, one line:
//   FILE errors N warnings N infos N hints N
// followed by the messages of every error and warning. Exit status 0 when no file has
// errors or warnings, 1 when one has, 2 when a file cannot be read or validated.
// NODE_PATH must reach the package (npm root -g).
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

async function validate(file) {
    const bytes = new Uint8Array(fs.readFileSync(file));
    const report = await validator.validateBytes(bytes, {
        uri: path.basename(file),
        maxIssues: 0,
        writeTimestamp: false,
        externalResourceFunction: (uri) => new Promise((resolve, reject) => {
            fs.readFile(path.resolve(path.dirname(file), decodeURIComponent(uri)),
                        (err, data) => err ? reject(err.toString()) : resolve(new Uint8Array(data)));
        }),
    });
    const i = report.issues;
    console.log(`${file} errors ${i.numErrors} warnings ${i.numWarnings} infos ${i.numInfos} hints ${i.numHints}`);
    for (const m of i.messages)
        if (m.severity <= 1) console.log(`  ${m.severity === 0 ? 'error' : 'warning'} ${m.code} ${m.pointer || ''}: ${m.message}`);
    return i.numErrors + i.numWarnings;
}

(async () => {
    let bad = 0;
    for (const file of process.argv.slice(2)) {
        try {
            bad += await validate(file);
        } catch (e) {
            console.log(`${file} not validated: ${e}`);
            process.exit(2);
        }
    }
    process.exit(bad ? 1 : 0);
})();
