// kelhost's verbs read their numbers through the host's checked parser: text
// that is not a number ends the run with a reason before any plug-in is loaded, nothing else.
#include <string>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"

namespace {

TEST(VerbOptions, NumbersThatAreNotNumbersEndWithAReason) {
    // No plug-in is loaded for any of these: the module named does not exist.
    const std::string plugin = "Z:\\no\\such\\plugin.dll";
    const std::string files = plugin + " Z:\\no\\in.wav Z:\\no\\out.wav";
    const struct {
        std::string arguments;
        std::string message; // how stderr starts
    } cases[] = {
        {"render " + files + " --rate fast",
         "kelhost: --rate wants a sample rate in Hz, got \"fast\"\n"},
        {"render " + files + " --rate 48000Hz",
         "kelhost: --rate wants a sample rate in Hz, got \"48000Hz\"\n"},
        {"render " + files + " --rate=", "kelhost: --rate wants a sample rate in Hz, got \"\"\n"},
        {"bench " + plugin + " --seconds soon",
         "kelhost: --seconds wants a time from 0 up, got \"soon\"\n"},
        {"bench " + plugin + " --seconds -1",
         "kelhost: --seconds wants a time from 0 up, got \"-1\"\n"},
        {"bench " + plugin + " --seconds 0.5 --rate x",
         "kelhost: --rate wants a sample rate in Hz, got \"x\"\n"},
        // A typo must not quietly become program 0 or block 0.
        {"render " + files + " --program three",
         "kelhost: --program wants a program number, got \"three\"\n"},
        {"render " + files + " --program 3.5",
         "kelhost: --program wants a program number, got \"3.5\"\n"},
        {"bench " + plugin + " --block 64k",
         "kelhost: --block wants a block size in frames, got \"64k\"\n"},
        {"render " + files + " --block 99999999999",
         "kelhost: --block wants a block size in frames, got \"99999999999\"\n"},
        {"info " + plugin + " --host-version new",
         "kelhost: --host-version wants a whole number, got \"new\"\n"},
        {"validate " + plugin + " --seed 4294967296",
         "kelhost: --seed wants a whole number from 0 up, got \"4294967296\"\n"},
        // Numbers pass: then the missing module is what ends the run.
        {"render " + files + " --program 3 --block 100", "kelhost: cannot open Z:\\no\\in.wav"},
        {"info " + plugin + " --host-version 2400", "kelhost: cannot load " + plugin},
        {"bench " + plugin + " --seconds 0.5 --rate 96000", "kelhost: cannot load " + plugin},
        {"render " + files + " --rate 96000", "kelhost: cannot open Z:\\no\\in.wav"},
    };
    for (const auto& c : cases) {
        ChildProcess kelhost("kelhost.exe", c.arguments, {});
        EXPECT_EQ(kelhost.finish(), 1) << c.arguments;
        EXPECT_EQ(kelhost.errors().find(c.message), 0u) << kelhost.errors();
        EXPECT_TRUE(kelhost.lines().empty()) << c.arguments;
    }
}

} // namespace
