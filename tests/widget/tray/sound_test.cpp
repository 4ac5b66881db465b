// Widget.playSound: the name and SND_ASYNC through an intercepted
// sndPlaySoundW (Wine here has no sound output to observe), and a real call.
#include <windows.h>

#include <mmsystem.h>

#include <string>

#include "tests/support/iat_patch.h"
#include "tests/widget/tray/request_probe.h"
#include "tests/widget/widget_fixture.h"

using namespace widget_test;
using testing_support::ImportPatch;

namespace {

struct SoundCall {
    std::wstring name;
    bool nameNull;
    UINT flags;
};
std::vector<SoundCall> g_sounds;
bool g_probe = false;

BOOL WINAPI fakePlay(LPCWSTR name, UINT flags)
{
    if (g_probe)
        tray_test::touchHost();
    g_sounds.push_back({name ? name : L"", !name, flags});
    return FALSE; // a failure is not looked at
}

class SoundCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        host();
        g_sounds.clear();
        g_probe = false;
        ASSERT_NE(patch_.original(), nullptr);
    }
    ImportPatch patch_{tray_test::zorvex(), "winmm.dll", "sndPlaySoundW", (void *)fakePlay};
};

} // namespace

TEST_F(SoundCalls, NameAndAsyncFlag)
{
    struct Case {
        const char *arg;
        std::wstring name;
    } cases[] = {
        {"'SystemAsterisk'", L"SystemAsterisk"},
        {"'C:\\\\no\\\\such\\\\file.wav'", L"C:\\no\\such\\file.wav"},
        {"'\\u00e9t\\u00e9.wav'", L"\u00e9t\u00e9.wav"},
        {"''", L""},
        {"42", L"42"},
        {"undefined", L"undefined"},
        {"null", L"null"},
        {"{}", L"[object Object]"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arg);
        g_sounds.clear();
        EXPECT_EQ(host().ok(std::string("String(Widget.playSound(") + c.arg + "))"), "undefined");
        ASSERT_EQ(g_sounds.size(), 1u);
        EXPECT_FALSE(g_sounds[0].nameNull);
        EXPECT_EQ(g_sounds[0].name, c.name);
        EXPECT_EQ(g_sounds[0].flags, (UINT)SND_ASYNC); // no SND_NODEFAULT: the default sound
    }
}

TEST_F(SoundCalls, Errors)
{
    EXPECT_EQ(host().ok("try { Widget.playSound(); 'no error' } catch (e) { e.message }"),
              "Native function format error: Widget.playSound(<alias>)");
    EXPECT_TRUE(g_sounds.empty());
    EXPECT_EQ(host().ok("try { Widget.playSound({toString: function () { throw new Error('no name'); }});"
                        " 'no error' } catch (e) { e.message }"),
              "no name");
}

TEST_F(SoundCalls, RequestSuspendedAroundTheSound)
{
    EXPECT_DEATH(
        {
            g_probe = true;
            host().eval("Widget.playSound('SystemAsterisk')");
        },
        tray_test::kSuspended);
}

// The real call: a missing file (the default sound, if any) and an alias
// both return at once with success.
TEST(Sound, RealCallsSucceed)
{
    host();
    EXPECT_EQ(host().ok("Widget.playSound('C:\\\\no\\\\such\\\\file.wav'); Widget.playSound('SystemAsterisk');"
                        " Widget.playSound(''); 'done'"),
              "done");
}
