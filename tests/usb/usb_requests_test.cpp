// Request bracketing.  The host's checker is on in every test: a slot called
// while the request is suspended, or unbalanced suspensions, abort the
// program.  A hook in the fake calls a slot from inside library calls:
// surviving it proves the call ran with the request held, dying with the
// checker's message proves the request was suspended around it.
#include <gmock/gmock.h>

#include <set>

#include "scripthost/engine.h"
#include "tests/usb/usb_fixture.h"

namespace {

ScriptContext *g_context = nullptr;
std::set<std::string> g_probed;     // library functions to call a slot from
std::set<std::string> g_probesDone; // and those that did

void probe(const char *function)
{
    if (!g_probed.count(function) && !g_probed.count("*"))
        return;
    engine::table()->newNumber(g_context, 1);
    g_probesDone.insert(function);
}

} // namespace

class UsbRequests : public Usb {
protected:
    void SetUp() override
    {
        Usb::SetUp();
        if (HasFatalFailure())
            return;
        g_context = host.context();
        g_probed.clear();
        g_probesDone.clear();
        addDevice("bus-1", "dev-a", 0x0592, 1, 3, {9, 0x21, 0x11, 1, 0, 1, 0x22, 0x34, 1});
        fake.setHook(probe);
    }
};

using UsbRequestsDeathTest = UsbRequests;

TEST_F(UsbRequests, EverythingButTheTransfersRunsWithTheRequestHeld)
{
    g_probed = {"usb_init", "usb_set_debug", "usb_find_busses", "usb_find_devices",
                "usb_get_busses", "usb_open", "usb_set_configuration", "usb_claim_interface",
                "usb_set_altinterface", "usb_clear_halt", "usb_release_interface", "usb_close",
                "usb_strerror"};
    host.ok("var u = new USB(); u.enumerate(); var e = u.enumerate()[0]; u.open(e);"
            "try { u.send(e, {}); } catch (x) {}"
            "try { u.getAnswer(e, {}); } catch (x) {}"
            "u.close(e)");
    EXPECT_EQ(g_probesDone, g_probed);
}

TEST_F(UsbRequests, AFailingOpenRunsWithTheRequestHeld)
{
    g_probed = {"*"};
    fake.setResult("usb_claim_interface", -1, "busy");
    EXPECT_EQ(host.eval("try { new USB().open({dirName: 'bus-1', fileName: 'dev-a'}) }"
                        " catch (x) { x.message }"),
              "USB.open: ERROR! Unable to open device: -1 busy");
    EXPECT_TRUE(g_probesDone.count("usb_strerror"));
}

TEST_F(UsbRequestsDeathTest, SendSuspendsTheRequestAroundTheControlTransfer)
{
    host.ok("var u = new USB(), e = {dirName: 'bus-1', fileName: 'dev-a'}; u.open(e)");
    g_probed = {"usb_control_msg"};
    EXPECT_DEATH(host.eval("u.send(e, {length: 1})"),
                 "contract violation: newNumber called while the request is suspended");
}

TEST_F(UsbRequestsDeathTest, GetAnswerSuspendsTheRequestAroundTheRead)
{
    host.ok("var u = new USB(), e = {dirName: 'bus-1', fileName: 'dev-a'}; u.open(e)");
    g_probed = {"usb_interrupt_read"};
    EXPECT_DEATH(host.eval("u.getAnswer(e, {length: 1})"),
                 "contract violation: newNumber called while the request is suspended");
}
