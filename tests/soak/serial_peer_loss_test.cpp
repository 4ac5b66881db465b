// A serial peer that goes away while a script reads or writes: the socat of
// a pair of this test's own is killed (tests/soak/peer_watch.sh) in the
// middle of Serial.read and Serial.write.  The calls must return, and the
// instance must close and open again once a new pair is there.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "tests/serial/port_fixture.h"
#include "tests/support/script_host.h"

namespace {

using serial_test::comName;
using serial_test::jsString;

// The watcher's folder, through Wine's drive Z: (the Unix root).
std::string statePath(const std::string &file)
{
    std::string p = "Z:" PEER_STATE_DIR "/" + file;
    for (char &c : p)
        if (c == '/')
            c = '\\';
    return p;
}

bool exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Asks the watcher to "kill" the pair's socat or "start" a new pair, and
// waits until it has.
bool request(const std::string &what)
{
    std::string done = statePath("done-" + what);
    DeleteFileA(done.c_str());
    HANDLE f = CreateFileA(statePath("req-" + what).c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(f);
    for (int i = 0; i < 1000; i++) {
        if (exists(done)) {
            DeleteFileA(done.c_str());
            return true;
        }
        Sleep(10);
    }
    return false;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class SerialPeerLoss : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A fresh pair for every case: an earlier case may have killed it.
        ASSERT_TRUE(request("start")) << "no watcher: the SerialPeerWatch fixture of ctest starts it";
        ASSERT_EQ(host.load("pellun"), "");
        host.ok("var s = new Serial(), p = {port: " + jsString(comName(PEER_COM_SCRIPT)) +
                ", baudRate: 115200}; 0");
        ASSERT_EQ(host.ok("s.open(p)"), "true");
    }
    void TearDown() override
    {
        if (killer.joinable())
            killer.join();
    }

    // Kills the peer after ms milliseconds, from another thread, while the
    // script thread is inside a call.
    void killAfter(int ms)
    {
        killer = std::thread([this, ms] {
            Sleep(ms);
            killing = true;
            killed = request("kill");
        });
    }

    // Closes the instance, brings up a new pair and checks that the same
    // instance opens it again and carries bytes both ways.
    void reopenWithNewPair()
    {
        if (killer.joinable())
            killer.join();
        ASSERT_TRUE(killed) << "the watcher did not kill the pair";
        host.ok("s.close()");
        ASSERT_TRUE(request("start"));
        ASSERT_EQ(host.ok("s.open(p)"), "true");
        serial_test::DeviceEnd device;
        ASSERT_EQ(device.open(comName(PEER_COM_DEVICE)), "");
        device.drain();
        ASSERT_EQ(host.ok("s.write({content: 'after\\x00'})"), "6");
        EXPECT_EQ(device.read(6), std::string("after\0", 6));
        device.write("back");
        EXPECT_EQ(host.ok("s.read({count: 4})"), "back");
        host.ok("s.close()");
    }

    testing_support::ScriptHost host;
    std::thread killer;
    std::atomic<bool> killing{false}; // set as the kill is asked for
    bool killed = false;
};

// count 1000 gives a budget of 15000 polls (15 s or more): the peer goes
// while the read waits.
TEST_F(SerialPeerLoss, ReadWhenThePeerGoes)
{
    killAfter(300);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(host.ok("var got = s.read({count: 1000}); got.length"), "0");
    EXPECT_TRUE(killing) << "the read ended before the peer went";
    std::printf("peer loss: read returned after %.2f s\n", secondsSince(start));
    // Calls on the orphaned port keep answering.
    EXPECT_EQ(host.ok("s.read({count: 1}).length"), "0");
    EXPECT_EQ(host.ok("s.write({content: 'lost'})"), "0");
    reopenWithNewPair();
}

// Nobody reads the far end, so the pty queues and socat's buffer fill and
// WriteFile blocks until the peer goes.
TEST_F(SerialPeerLoss, WriteWhenThePeerGoes)
{
    killAfter(500);
    auto start = std::chrono::steady_clock::now();
    std::string written = host.ok("var big = 'x'; while (big.length < 262144) big += big;"
                                  "s.write({content: big})");
    EXPECT_TRUE(killing) << "the write ended before the peer went";
    std::printf("peer loss: write of 262144 bytes returned %s after %.2f s\n", written.c_str(),
                secondsSince(start));
    EXPECT_LT(std::stol(written), 262144) << "the write cannot have gone through";
    EXPECT_EQ(host.ok("s.write({content: 'lost'})"), "0");
    EXPECT_EQ(host.ok("s.read({count: 1}).length"), "0");
    reopenWithNewPair();
}

// The peer already gone when the calls start.
TEST_F(SerialPeerLoss, CallsAfterThePeerWent)
{
    ASSERT_TRUE(request("kill"));
    killed = true;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(host.ok("s.read({count: 10}).length"), "0");
    EXPECT_EQ(host.ok("s.write({content: 'lost'})"), "0");
    EXPECT_EQ(host.ok("s.set({baudRate: 9600})"), "true");
    std::printf("peer loss: read, write and set on the orphaned port took %.2f s\n",
                secondsSince(start));
    reopenWithNewPair();
}

} // namespace
