// SPDX-License-Identifier: GPL-3.0-or-later
// halvik-card-sim as a user runs it. On machines without /dev/uhid (this build machine) it must
// say so and fail; where uhid works it must come up and unplug cleanly on Ctrl+C.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace {

struct Result {
    std::string output;
    int status = -1;
};

Result Shell(const std::string& command) {
    Result result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe))
        result.output += buffer;
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

Result CardSim(const std::string& arguments) {
    return Shell(std::string(HALVIK_CARD_SIM) + " " + arguments);
}

bool UhidUsable() {
    const int fd = open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

TEST(CardSimTool, SaysPlainlyWhenUhidIsMissingOrNotPermitted) {
    if (UhidUsable())
        GTEST_SKIP() << "/dev/uhid works here; see ServesAVirtualCardWhereUhidWorks";
    const Result r = CardSim("");
    EXPECT_EQ(r.status, 1) << r.output;
    const bool missing = access("/dev/uhid", F_OK) != 0;
    EXPECT_NE(r.output.find(missing ? "/dev/uhid is missing" : "/dev/uhid is not permitted"),
              std::string::npos)
        << r.output;
}

TEST(CardSimTool, ServesAVirtualCardWhereUhidWorks) {
    if (!UhidUsable())
        GTEST_SKIP() << "no usable /dev/uhid on this machine";
    const Result r = Shell(std::string("(") + HALVIK_CARD_SIM +
                           " & pid=$!; sleep 1; kill -INT $pid; wait $pid)");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("virtual card 3543:3543 ready"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("unplugged"), std::string::npos) << r.output;
}

TEST(CardSimTool, BadCardImageOrArgumentsAreRefusedBeforeAnythingIsCreated) {
    char name[] = "/tmp/halvik-sim-card-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "0123456789", 10), 10);
    close(fd);
    Result r = CardSim(name);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("is 10 bytes long"), std::string::npos) << r.output;
    unlink(name);

    r = CardSim("/nonexistent/card.bin");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("cannot be opened"), std::string::npos) << r.output;

    r = CardSim("--bogus");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("Usage"), std::string::npos);
    EXPECT_EQ(CardSim("--help").status, 0);
}

}  // namespace
