// kelhost validate: puts a VST 2.x effect through a series of tests a host relies on (opening and
// closing, programs, parameters, text buffers, processing at many rates and block sizes, threads,
// the editor, state) and reports each test as it ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kel::host {

class TestContext;

struct ValidatorOptions {
    int strictness = 5;          // 1..10: which tests run, and how hard they look
    std::uint32_t seed = 1;      // fuzz values and block partitions
    double timeoutSeconds = 0.0; // time limit of every test; 0: each test's own limit
};

constexpr int kMinStrictness = 1;
constexpr int kMaxStrictness = 10;

// One test of the validator. Its body runs on a thread of its own under the runner's watchdog.
struct ValidatorTest {
    const char* name;
    int level;           // the lowest strictness that runs it
    double limitSeconds; // how long it may take before it counts as hung
    const char* summary; // for the usage text
    void (*run)(TestContext& context);
};

// Every test, in the order they run.
const std::vector<ValidatorTest>& validatorTests();

// The tests of each strictness level, as the usage text lists them.
std::string validatorLevelsText();

// Loads the module, runs the tests enabled at the strictness and writes the report to stdout:
// "RUN <name>" as a test starts, "PASS <name>" or "FAIL <name>: <reason>" as it ends (detail
// lines indented below), "SKIP <name>: <reason>" for a test not run, and the summary
// "N passed, N failed" (", N skipped" when any were). Returns 0 when every test passed, else 1.
int runValidator(const std::string& path, const ValidatorOptions& options);

} // namespace kel::host
