// Validates a CycloneDX 1.6 JSON file with the CycloneDX library's strict validator; prints the
// errors and exits 1 when it is invalid.
// Usage: node validate_sbom.mjs FILE   (from a folder whose node_modules hold the library)
import { Validation, Spec } from '@cyclonedx/cyclonedx-library';
import { readFileSync } from 'fs';

const validator = new Validation.JsonStrictValidator(Spec.Version.v1dot6);
const errors = await validator.validate(readFileSync(process.argv[2], 'utf8'));
if (errors !== null) {
  console.log(JSON.stringify(errors, null, 2));
  process.exit(1);
}
