#include <zep3/zep3.h>

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>
#include <string>
#include <unistd.h>

TEST(Module, LoadLookUpAndFreeBySharedObjectName) {
    HMODULE math = LoadLibrary("libm.so.6");
    ASSERT_NE(math, nullptr);
    auto cosine = reinterpret_cast<double (*)(double)>(GetProcAddress(math, "cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(GetProcAddress(math, "no_such_export"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetModuleHandle("libm.so.6"), math);
    EXPECT_TRUE(FreeLibrary(math));

    EXPECT_EQ(LoadLibrary("/no/such/module.so"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    int local = 0;
    EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(&local))); // never handed out
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(&local), "cos"), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "cos"), nullptr);
}

TEST(Module, FileNamesOfTheExecutableAndTheLibrary) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe);
    ASSERT_GT(n, 0);
    char buf[4096];
    EXPECT_EQ(GetModuleFileName(nullptr, buf, sizeof buf), DWORD(n));
    EXPECT_EQ(std::string(buf), std::string(exe, size_t(n)));

    char small[8];
    EXPECT_EQ(GetModuleFileName(nullptr, small, sizeof small), DWORD(sizeof small));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(small), std::string(exe, sizeof small - 1));

    // The library's handle is the loader's: loading it by path gives it back.
    HINSTANCE self = ZEP3GetInstanceHandle();
    ASSERT_NE(self, nullptr);
    ASSERT_GT(GetModuleFileName(self, buf, sizeof buf), 0u);
    EXPECT_NE(std::string(buf).find("libzep3.so"), std::string::npos);
    HMODULE again = LoadLibrary(buf);
    EXPECT_EQ(again, self);
    EXPECT_EQ(GetProcAddress(again, "_Z21ZEP3GetInstanceHandlev"), reinterpret_cast<FARPROC>(&ZEP3GetInstanceHandle));
    FreeLibrary(again);
    EXPECT_EQ(GetModuleHandle(nullptr), AfxGetInstanceHandle());
}

TEST(Resource, BlocksAndStringsByModuleTypeAndName) {
    static const unsigned char kBlock[] = {0, 1, 2, 0xFF};
    HINSTANCE exe = AfxGetInstanceHandle();
    ASSERT_TRUE(ZEP3RegisterResource(exe, "Custom", MAKEINTRESOURCE(7), kBlock, sizeof kBlock));
    ASSERT_TRUE(ZEP3RegisterResource(exe, RT_RCDATA, "Logo", kBlock, 2));
    for (HRSRC found : {FindResource(exe, MAKEINTRESOURCE(7), "CUSTOM"), FindResource(nullptr, "#7", "custom")}) {
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(LockResource(LoadResource(exe, found)), kBlock);
        EXPECT_EQ(SizeofResource(exe, found), DWORD(sizeof kBlock));
    }
    EXPECT_NE(FindResource(exe, "logo", MAKEINTRESOURCE(10)), nullptr);
    EXPECT_EQ(FindResource(exe, "logo", RT_HTML), nullptr);
    EXPECT_EQ(FindResource(ZEP3GetInstanceHandle(), "Logo", RT_RCDATA), nullptr);
    EXPECT_EQ(LoadResource(exe, nullptr), nullptr);
    EXPECT_EQ(SizeofResource(exe, reinterpret_cast<HRSRC>(const_cast<unsigned char*>(kBlock))), 0u);

    const ZEP3StringEntry strings[] = {{5000, "first"}, {5001, "second text"}, {5000, "replaced"}};
    ASSERT_TRUE(ZEP3RegisterStringTable(nullptr, strings, 3));
    char buf[8];
    EXPECT_EQ(LoadString(exe, 5000, buf, sizeof buf), 7);
    EXPECT_STREQ(buf, "replace"); // cut to fit, always terminated
    EXPECT_EQ(LoadString(exe, 5002, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "");

    // CString::LoadString: the resource module, the executable, then the library.
    CString text;
    EXPECT_TRUE(text.LoadString(5001));
    EXPECT_EQ(text, "second text");
    EXPECT_TRUE(text.LoadString(31));
    EXPECT_EQ(text, "Zaloguj ponownie");
    const ZEP3StringEntry override31[] = {{31, "application's own"}};
    HMODULE math = LoadLibrary("libm.so.6");
    ZEP3RegisterStringTable(math, override31, 1);
    AfxSetResourceHandle(math);
    EXPECT_TRUE(text.LoadString(31));
    EXPECT_EQ(text, "application's own");
    AfxSetResourceHandle(nullptr);
    FreeLibrary(math);
    EXPECT_FALSE(text.LoadString(4999));
    EXPECT_EQ(text, "");
}

namespace {

struct Script {
    std::vector<std::string> seen;
    int answer = 0;
};

int scripted(const char* text, const char* caption, UINT type, void* context) {
    auto s = static_cast<Script*>(context);
    s->seen.push_back(std::string(caption) + "|" + text + "|" + std::to_string(type));
    return s->answer;
}

} // namespace

TEST(MessageBox, AnswersOkOrWhatTheHookScripts) {
    EXPECT_EQ(AfxMessageBox("no hook"), IDOK);
    Script script;
    EXPECT_EQ(ZEP3SetMessageBoxHook(scripted, &script), nullptr);
    EXPECT_EQ(MessageBox(nullptr, "Warning! Error Setting TTL", "Title", MB_YESNO), IDOK);
    script.answer = IDNO;
    EXPECT_EQ(AfxMessageBox("Delete?", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(AfxMessageBox(UINT(34)), IDNO);
    EXPECT_EQ(ZEP3SetMessageBoxHook(nullptr, nullptr), &scripted);
    EXPECT_EQ(script.seen, (std::vector<std::string>{"Title|Warning! Error Setting TTL|4", "|Delete?|36",
                                                     "|Brak strony|0"}));
}

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD other = 1;
    std::thread([&other] { other = GetLastError(); }).join();
    EXPECT_EQ(other, DWORD(ERROR_SUCCESS));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}
