#include "host/validator_context.h"

#include <algorithm>
#include <cmath>

namespace kel::host {

std::uint64_t testSeed(std::uint32_t runSeed, const std::string& testName) {
    std::uint64_t hash = 0xCBF29CE484222325ull; // FNV-1a
    for (unsigned char c : testName) {
        hash = (hash ^ c) * 0x100000001B3ull;
    }
    return hash ^ (static_cast<std::uint64_t>(runSeed) * 0x9E3779B97F4A7C15ull);
}

void OutputStats::add(const OutputStats& other) {
    samples += other.samples;
    nonFinite += other.nonFinite;
    subnormal += other.subnormal;
    blocks += other.blocks;
    nonFiniteBlocks += other.nonFiniteBlocks;
    peak = std::max(peak, other.peak);
}

OutputStats scanSamples(const float* samples, std::size_t count) {
    OutputStats stats;
    stats.samples = count;
    for (std::size_t i = 0; i < count; ++i) {
        const float x = samples[i];
        if (!std::isfinite(x)) {
            ++stats.nonFinite;
            continue;
        }
        const float magnitude = std::fabs(x);
        if (magnitude != 0.0f && magnitude < 1.17549435e-38f) {
            ++stats.subnormal;
        }
        stats.peak = std::max(stats.peak, magnitude);
    }
    return stats;
}

void TestContext::fail(const std::string& what) {
    std::lock_guard<std::mutex> guard(lock);
    failureList.push_back(what);
}

void TestContext::note(const std::string& what) {
    std::lock_guard<std::mutex> guard(lock);
    noteList.push_back(what);
}

std::vector<std::string> TestContext::failures() const {
    std::lock_guard<std::mutex> guard(lock);
    return failureList;
}

std::vector<std::string> TestContext::notes() const {
    std::lock_guard<std::mutex> guard(lock);
    return noteList;
}

bool TestContext::failed() const {
    std::lock_guard<std::mutex> guard(lock);
    return !failureList.empty();
}

void TestContext::countOutput(const OutputStats& stats) {
    std::lock_guard<std::mutex> guard(lock);
    outputTotals.add(stats);
}

OutputStats TestContext::outputs() const {
    std::lock_guard<std::mutex> guard(lock);
    return outputTotals;
}

void TestContext::recordCrash(const CrashRecord& record) {
    if (!crashFlag.exchange(true)) {
        crashRecord = record;
    }
    stop = true;
}

} // namespace kel::host
