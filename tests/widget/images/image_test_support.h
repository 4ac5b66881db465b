// Shared pieces of the image tests: a host with zorvex loaded, PNG bytes
// handed to script through readFile, and script helpers.
#ifndef TESTS_WIDGET_IMAGES_IMAGE_TEST_SUPPORT_H
#define TESTS_WIDGET_IMAGES_IMAGE_TEST_SUPPORT_H

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/script_host.h"

namespace imagetest {

// codes(s): the character codes of s joined by commas.
// bytes(list): a byte string from a list of codes.
// fill(n, list): list repeated n times as a byte string.
// message(f): the message f throws, or 'no error'.
inline const char *scriptHelpers()
{
    return "function codes(s) { var a = []; for (var i = 0; i < s.length; i++)"
           " a.push(s.charCodeAt(i)); return a.join(','); }"
           "function bytes(list) { return String.fromCharCode.apply(null, list); }"
           "function fill(n, list) { var one = bytes(list), s = ''; for (var i = 0; i < n; i++)"
           " s += one; return s; }"
           "function message(f) { try { f(); return 'no error'; } catch (e) { return e.message; } }";
}

class ImageHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(host.load("zorvex"), "");
        host.ok(scriptHelpers());
    }
    void TearDown() override
    {
        for (const std::string &f : files_)
            std::remove(f.c_str());
    }
    // Sets the script global `name` to the given bytes, read back with readFile.
    void give(const std::string &name, const std::string &bytes)
    {
        std::string path = testing_support::tempPath(".png");
        FILE *f = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        files_.push_back(path);
        std::string escaped;
        for (char c : path)
            escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
        host.ok("var " + name + " = readFile('" + escaped + "'); " + name + ".length");
    }
    testing_support::ScriptHost host;

private:
    std::vector<std::string> files_;
};

} // namespace imagetest

#endif
