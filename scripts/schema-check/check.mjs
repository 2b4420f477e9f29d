// Validates the settings, report and launch-check fixtures, and every report
// and launch check that the launch tests archived, against the schemas in schemas/.
//   node check.mjs [--reports <folder of result-*.json, error-*.json and check-*.json>]
// A fixture under valid/ must pass; one under invalid/ must fail, and at the
// member that its file name begins with ("_" for the whole document), so that
// it fails for the reason it was written for. An archived report must also be
// UTF-8, one line ending in a line feed, with its members in the schema's order.

import fs from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";
import Ajv2020 from "ajv/dist/2020.js";
import addFormats from "ajv-formats";

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "..", "..");

// strict: a keyword the validator does not know, or a schema that cannot mean
// what it says, is an error in the schema rather than a silent pass.
const ajv = new Ajv2020({ strict: true, allErrors: true });
addFormats(ajv);

function compile(name) {
  try {
    const schema = JSON.parse(fs.readFileSync(path.join(root, "schemas", name), "utf8"));
    return { name, order: Object.keys(schema.properties), validate: ajv.compile(schema) };
  } catch (e) {
    console.log(`FAILED schemas/${name}: ${e.message}`);
    process.exit(1);
  }
}

const settings = compile("command-line.schema.json");
const result = compile("launcher-result.schema.json");
const error = compile("launcher-error.schema.json");
const launchCheck = compile("launch-check.schema.json");

let passed = 0;
const failures = [];

// Paths inside the source tree are shown relative to it.
function shown(file) {
  const relative = path.relative(root, file);
  return relative.startsWith("..") ? file : relative;
}

function check(label, problem) {
  if (problem) failures.push(`${label}: ${problem}`);
  else passed += 1;
}

function describe(errors) {
  return errors.map((e) => `${e.instancePath || "/"} ${e.message}`).join("; ");
}

function jsonFiles(folder) {
  if (!fs.existsSync(folder)) return [];
  return fs.readdirSync(folder).filter((name) => name.endsWith(".json")).sort();
}

function parse(file) {
  try {
    return { value: JSON.parse(fs.readFileSync(file, "utf8")) };
  } catch (e) {
    return { problem: `not JSON (${e.message})` };
  }
}

function checkFixtures(folder, schema) {
  const label = (kind, name) => shown(path.join(folder, kind, name));
  const valid = jsonFiles(path.join(folder, "valid"));
  const invalid = jsonFiles(path.join(folder, "invalid"));
  check(shown(folder), valid.length && invalid.length ? "" : "needs valid/ and invalid/ fixtures");
  for (const name of valid) {
    const { value, problem } = parse(path.join(folder, "valid", name));
    check(label("valid", name), problem || (schema.validate(value) ? "" : describe(schema.validate.errors)));
  }
  for (const name of invalid) {
    const { value, problem } = parse(path.join(folder, "invalid", name));
    const member = name.split(".")[0];
    const where = member === "_" ? "" : `/${member}`;
    let outcome = problem;
    if (!outcome && schema.validate(value)) outcome = `passes ${schema.name}, but must fail at ${where || "/"}`;
    else if (!outcome && !schema.validate.errors.some((e) => e.instancePath === where ||
                                                           (where && e.instancePath.startsWith(`${where}/`))))
      outcome = `fails elsewhere than at ${where || "/"}: ${describe(schema.validate.errors)}`;
    check(label("invalid", name), outcome);
  }
}

function checkReport(file, schema) {
  let text = null;
  try {
    text = new TextDecoder("utf-8", { fatal: true }).decode(fs.readFileSync(file));
  } catch {
    check(shown(file), "not UTF-8");
    return;
  }
  const { value, problem } = parse(file);
  let outcome = problem;
  if (!outcome && !(text.endsWith("}\n") && text.indexOf("\n") === text.length - 1))
    outcome = "not one line ending in a line feed";
  if (!outcome && !schema.validate(value)) outcome = describe(schema.validate.errors);
  if (!outcome) {
    const keys = Object.keys(value);
    const expected = schema.order.filter((key) => keys.includes(key));
    if (keys.join() !== expected.join()) outcome = `members out of order: ${keys.join(", ")}`;
  }
  check(shown(file), outcome);
}

function checkReports(folder) {
  const names = jsonFiles(folder);
  const results = names.filter((name) => name.startsWith("result-"));
  const errors = names.filter((name) => name.startsWith("error-"));
  // The launch tests leave both kinds; none at all means they did not run or did not archive.
  check(shown(folder),
        results.length && errors.length ? "" : `expected result-*.json and error-*.json reports, found ${names.length} files`);
  for (const name of results) checkReport(path.join(folder, name), result);
  for (const name of errors) checkReport(path.join(folder, name), error);
  // The launch check's output, where the launch tests ran it.
  const checks = names.filter((name) => name.startsWith("check-"));
  for (const name of checks) checkReport(path.join(folder, name), launchCheck);
  console.log(`${results.length} result and ${errors.length} error reports, ${checks.length} launch checks in ${folder}`);
}

const args = process.argv.slice(2);
checkFixtures(path.join(root, "tests", "fixtures", "settings"), settings);
checkFixtures(path.join(root, "tests", "fixtures", "reports", "result"), result);
checkFixtures(path.join(root, "tests", "fixtures", "reports", "error"), error);
checkFixtures(path.join(root, "tests", "fixtures", "launch-check"), launchCheck);
if (args[0] === "--reports" && args[1]) checkReports(path.resolve(args[1]));
else if (args.length) {
  console.error("usage: check.mjs [--reports <folder>]");
  process.exit(2);
}

for (const failure of failures) console.log(`FAILED ${failure}`);
console.log(`schemas: ${passed} passed, ${failures.length} failed`);
process.exit(failures.length ? 1 : 0);
