#!/usr/bin/env node
// The fastest readers a user would pick instead, through their Node.js packages.
//
// peers.js TOOL IN [OUT]
//   polars-read    polars' readCSV of IN into a frame
//   polars-write   readCSV of IN, then writeCSV to OUT
//   duckdb-read    read_csv of IN into a table
//   duckdb-write   read_csv of IN into a table, then COPY it to OUT as CSV
"use strict";
const path = require("path");
const modules = path.join(__dirname, ".npm", "node_modules");

async function main() {
    const [tool, input, output] = process.argv.slice(2);
    if (tool.startsWith("polars")) {
        const pl = require(path.join(modules, "nodejs-polars"));
        const frame = pl.readCSV(input);
        if (tool === "polars-write")
            frame.writeCSV(output);
        return;
    }
    const { DuckDBInstance } = require(path.join(modules, "@duckdb", "node-api"));
    const instance = await DuckDBInstance.create(":memory:");
    const connection = await instance.connect();
    const quoted = (p) => "'" + p.replace(/'/g, "''") + "'";
    await connection.run("CREATE TABLE t AS SELECT * FROM read_csv(" + quoted(input) + ")");
    if (tool === "duckdb-write")
        await connection.run("COPY t TO " + quoted(output) + " (HEADER, DELIMITER ',')");
}

main().catch((e) => {
    console.error(e);
    process.exit(1);
});
