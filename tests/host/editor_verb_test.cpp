// kelhost's editor verb end to end: kelhost.exe runs as a child process with a fake editor
// plug-in that checks the host's side of the editor calls; the tests read its log while it runs
// and decode the screenshot it saved. (The real plug-ins' editors are worked through kelhost
// with real X input in tests/e2e.)
#include <windows.h>

#include <objbase.h>
#include <wincodec.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"

#include "tests/host/fake_editor_pattern.h"

namespace {

const std::string kEditorOfFake = "editor \"" + besideThisProgram("fake_editor_plugin.dll") + "\"";

// kelhost.exe with the given arguments; mode goes to the fake plug-in through FAKE_EDITOR_MODE.
class HostRun : public ChildProcess {
public:
    explicit HostRun(const std::string& arguments, const char* mode = "")
        : ChildProcess("kelhost.exe", arguments, {"FAKE_EDITOR_MODE", mode, false}) {}
};

// The statistics the fake plug-in writes to stderr when it is closed.
struct FakeStats {
    int opens = -1, closes = -1, idles = -1;
    long blocks = -1;
    double peak = -1.0;
    long changes[4] = {-1, -1, -1, -1};
};

bool parseStats(const std::string& errors, FakeStats& s) {
    const std::size_t at = errors.find("fake editor plug-in: opens");
    return at != std::string::npos &&
           std::sscanf(errors.c_str() + at,
                       "fake editor plug-in: opens %d closes %d idles %d blocks %ld peak %lf "
                       "changes %ld %ld %ld %ld",
                       &s.opens, &s.closes, &s.idles, &s.blocks, &s.peak, &s.changes[0],
                       &s.changes[1], &s.changes[2], &s.changes[3]) == 9;
}

struct ClientArea {
    long x = 0, y = 0, width = 0, height = 0;
};

bool parseWindowLine(const std::string& line, ClientArea& area) {
    return std::sscanf(line.c_str(), "window %ld %ld %ld %ld", &area.x, &area.y, &area.width,
                       &area.height) == 4;
}

struct Picture {
    UINT width = 0, height = 0;
    std::vector<BYTE> bgr; // rows of width * 3 bytes, top to bottom
    COLORREF at(UINT x, UINT y) const {
        const BYTE* p = &bgr[(static_cast<std::size_t>(y) * width + x) * 3];
        return RGB(p[2], p[1], p[0]);
    }
};

// Decodes a PNG file through the Windows Imaging Component; "" or what went wrong.
std::string readPng(const std::string& path, Picture& picture) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IWICImagingFactory* factory = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    std::wstring widePath(path.begin(), path.end());
    GUID container{}, format{};
    std::string problem;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) ||
        FAILED(factory->CreateDecoderFromFilename(widePath.c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetContainerFormat(&container)) || FAILED(decoder->GetFrame(0, &frame)) ||
        FAILED(frame->GetPixelFormat(&format)) ||
        FAILED(frame->GetSize(&picture.width, &picture.height))) {
        problem = "cannot decode " + path;
    } else if (!IsEqualGUID(container, GUID_ContainerFormatPng) ||
               !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
        problem = path + " is no 24-bit PNG file";
    } else {
        picture.bgr.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
        if (FAILED(frame->CopyPixels(nullptr, picture.width * 3,
                                     static_cast<UINT>(picture.bgr.size()), picture.bgr.data()))) {
            problem = "cannot read the pixels of " + path;
        }
    }
    for (IUnknown* object : {static_cast<IUnknown*>(frame), static_cast<IUnknown*>(decoder),
                             static_cast<IUnknown*>(factory)}) {
        if (object) {
            object->Release();
        }
    }
    CoUninitialize();
    return problem;
}

std::string tempPath(const std::string& name) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "kelhost_editor_" + std::to_string(GetCurrentProcessId()) + "_" +
           name;
}

int indexOf(const std::vector<std::string>& lines, const std::string& line) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == line) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

TEST(EditorVerb, ReopensProcessesAutomatesAndSavesWhatTheScreenShows) {
    const std::string png = tempPath("session.png");
    DeleteFileA(png.c_str());
    HostRun host(kEditorOfFake + " --screenshot \"" + png +
                 "\" --seconds 1 --audio --automate --reopen 20 --position 40 60");
    ASSERT_EQ(host.finish(), 0) << host.errors();
    const std::vector<std::string> lines = host.lines();
    const int reopened = indexOf(lines, "reopened 20");
    const int window = indexOf(lines, "window 40 60 301 197");
    const int ready = indexOf(lines, "ready");
    EXPECT_TRUE(reopened >= 0 && reopened < window && window + 1 == ready)
        << "reopened " << reopened << ", window " << window << ", ready " << ready;

    FakeStats stats;
    ASSERT_TRUE(parseStats(host.errors(), stats)) << host.errors();
    EXPECT_EQ(stats.opens, 21);
    EXPECT_EQ(stats.closes, 21);
    // Three idles after each reopening, then about 30 a second for at least a second.
    EXPECT_GE(stats.idles, 20 * 3 + 15);
    EXPECT_LE(stats.idles, 20 * 3 + 45 * host.seconds());
    // Real-time pace: at least half the blocks of a second, never much more than the wall time.
    EXPECT_GE(stats.blocks, 43);
    EXPECT_LE(stats.blocks, 44100.0 / 512 * host.seconds() * 1.2);
    EXPECT_GT(stats.peak, 0.2);
    EXPECT_GE(stats.changes[0], 2);
    for (int i = 1; i < 4; ++i) {
        EXPECT_GE(stats.changes[i], 50) << "parameter " << i;
    }
    EXPECT_LE(stats.changes[0] + stats.changes[1] + stats.changes[2] + stats.changes[3],
              1100 * host.seconds());

    Picture picture;
    ASSERT_EQ(readPng(png, picture), "");
    ASSERT_EQ(picture.width, 301u);
    ASSERT_EQ(picture.height, 197u);
    const UINT w = picture.width, h = picture.height, midX = w / 2, midY = h / 2;
    const struct {
        UINT x, y;
        COLORREF color;
    } pixels[] = {{0, 0, kFakeBorder},
                  {w - 1, 0, kFakeBorder},
                  {0, h - 1, kFakeBorder},
                  {w - 1, h - 1, kFakeBorder},
                  {1, 1, kFakeQuadrants[0]},
                  {midX - 1, midY - 1, kFakeQuadrants[0]},
                  {midX, 1, kFakeQuadrants[1]},
                  {w - 2, midY - 1, kFakeQuadrants[1]},
                  {1, midY, kFakeQuadrants[2]},
                  {midX - 1, h - 2, kFakeQuadrants[2]},
                  {midX, midY, kFakeQuadrants[3]},
                  {w - 2, h - 2, kFakeQuadrants[3]}};
    for (const auto& p : pixels) {
        EXPECT_EQ(picture.at(p.x, p.y), p.color) << "pixel " << p.x << "," << p.y;
    }
    DeleteFileA(png.c_str());
}

TEST(EditorVerb, LayoutOptionSetsTheHostStringsExplicitOnesWin) {
    const struct {
        const char* options;
        const int* size;
    } cases[] = {{"", kFakeWideSize},
                 {"--layout tall", kFakeTallSize},
                 {"--layout wide", kFakeWideSize},
                 {"--layout wide --host-product OrvalleBig", kFakeTallSize},
                 {"--layout tall --host-vendor Elsewhere", kFakeWideSize}};
    for (const auto& c : cases) {
        HostRun host(kEditorOfFake + " --seconds 0.1 " + c.options);
        ClientArea area;
        EXPECT_TRUE(parseWindowLine(host.waitForLine("window "), area)) << c.options;
        EXPECT_EQ(area.width, c.size[0]) << c.options;
        EXPECT_EQ(area.height, c.size[1]) << c.options;
        EXPECT_EQ(host.finish(), 0) << c.options << host.errors();
    }
}

TEST(EditorVerb, RefusedEditorsAndBadOptionsEndWithAReason) {
    const struct {
        const char* options;
        const char* mode;
        const char* message;
        bool showsWindow;
        int opens; // -1: the plug-in is not loaded
    } cases[] = {
        {"", "refuse", "kelhost: the plug-in opened no editor\n", false, 0},
        {"", "no-editor", "kelhost: the plug-in has no editor\n", false, 0},
        {"--reopen 3", "once", "kelhost: the plug-in opened no editor when reopened\n", false, 1},
        {"--seconds 0.1 --screenshot Z:\\no\\such\\folder\\x.png", "",
         "kelhost: screenshot: ", true, 1},
        {"--layout diagonal", "", "kelhost: --layout wants tall or wide", false, -1},
        {"--seconds 0", "", "kelhost: --seconds wants a time above 0", false, -1},
        {"--reopen -2", "", "kelhost: --reopen wants a count", false, -1},
        {"--position 10", "", "kelhost: option --position needs two values", false, -1},
    };
    for (const auto& c : cases) {
        HostRun host(kEditorOfFake + " " + c.options, c.mode);
        EXPECT_EQ(host.finish(), 1) << c.options << " " << c.mode;
        const std::string errors = host.errors();
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
        EXPECT_EQ(indexOf(host.lines(), "ready") >= 0, c.showsWindow) << c.options << c.mode;
        FakeStats stats;
        EXPECT_EQ(parseStats(errors, stats), c.opens >= 0) << errors;
        EXPECT_EQ(stats.opens, c.opens) << c.options << " " << c.mode;
        EXPECT_EQ(stats.closes, c.opens) << c.options << " " << c.mode;
    }
}

} // namespace
