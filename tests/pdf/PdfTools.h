// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Real readers for the PDF tests: qpdf, pdftotext and pdftoppm, run as processes. A missing
// tool fails the test with the package to install.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace halvik::testing {

struct ToolResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr
};

inline ToolResult RunTool(const std::string& command) {
    ToolResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

inline bool HaveTool(const std::string& name) {
    return RunTool("command -v " + name + " >/dev/null").exitCode == 0;
}

#define HALVIK_REQUIRE_TOOL(name, package)                               \
    ASSERT_TRUE(::halvik::testing::HaveTool(name))                       \
        << name << " is missing; install the Debian package " << package \
        << " (scripts/install-deps does)"

inline std::string Quote(const std::string& path) {
    return "'" + path + "'";
}

// A fresh folder under the system's temporary folder.
inline std::string MakeTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base ? base : "/tmp") + "/halvik-pdf-XXXXXX";
    char* made = ::mkdtemp(pattern.data());
    return made ? std::string(made) : std::string();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// qpdf --check: exit 0 and no warnings.
inline void ExpectQpdfClean(const std::string& path) {
    ToolResult r = RunTool("qpdf --check " + Quote(path));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("No syntax or stream encoding errors"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("WARNING"), std::string::npos) << r.output;
}

// qpdf --check on every regular *.pdf file in a folder (what a test left behind).
inline void ExpectEveryPdfInFolderClean(const std::string& dir) {
    ToolResult list = RunTool("find " + Quote(dir) + " -maxdepth 1 -type f -name '*.pdf'");
    std::istringstream lines(list.output);
    std::string path;
    while (std::getline(lines, path)) {
        if (!path.empty())
            ExpectQpdfClean(path);
    }
}

// The text of the file as pdftotext reads it (UTF-8), page layout kept.
inline std::string PdfText(const std::string& path) {
    ToolResult r = RunTool("pdftotext -layout -enc UTF-8 " + Quote(path) + " -");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    return r.output;
}

// Renders page 1 to a PPM at the given resolution and returns the file's bytes.
inline std::string RenderPpm(const std::string& path, const std::string& outBase, int dpi) {
    ToolResult r = RunTool("pdftoppm -r " + std::to_string(dpi) + " -f 1 -l 1 -singlefile " +
                           Quote(path) + " " + Quote(outBase));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.find("Error"), std::string::npos) << r.output;
    return ReadFile(outBase + ".ppm");
}

// A parsed binary PPM (P6, maxval 255).
struct Ppm {
    int width = 0;
    int height = 0;
    std::string pixels;  // RGB rows from the top
    bool Parse(const std::string& bytes) {
        std::istringstream in(bytes);
        std::string magic;
        int maxval = 0;
        in >> magic >> width >> height >> maxval;
        if (magic != "P6" || maxval != 255)
            return false;
        in.get();
        pixels.assign(std::istreambuf_iterator<char>(in), {});
        return pixels.size() == static_cast<std::size_t>(width) * height * 3;
    }
    unsigned char At(int x, int y, int channel) const {
        return static_cast<unsigned char>(
            pixels[(static_cast<std::size_t>(y) * width + x) * 3 + channel]);
    }
};

}  // namespace halvik::testing
