// QZ_Exec through the loaded DLL. A document type of the test's own is
// registered (and removed again), with a handler program that records the
// document it was asked to open, so the test sees what the shell really did.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "files_support.h"
#include "testhost/engine_host.h"

using qz::test::TempDir;

namespace {

using ExecFn = std::int32_t(__cdecl*)(const char*, const char*);
ExecFn exec_export() { return qz::test::Library::get().fn<ExecFn>("QZ_Exec"); }

const std::string kExtension = ".qzfilestestdoc";
const std::string kProgId = "QZFilesTest.Document";

bool set_default_value(const std::string& key, const std::string& value) {
    HKEY k = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &k, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG r = RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>(value.size() + 1));
    RegCloseKey(k);
    return r == ERROR_SUCCESS;
}

class FilesExec : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string handler = qz::test::exe_dir() + "\\files_open_handler.exe";
        ASSERT_TRUE(qz::test::file_exists(handler));
        ASSERT_TRUE(set_default_value(kExtension, kProgId));
        ASSERT_TRUE(set_default_value(kProgId + "\\shell", "open"));
        ASSERT_TRUE(set_default_value(kProgId + "\\shell\\open\\command", "\"" + handler + "\" \"%1\""));
    }
    void TearDown() override {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kExtension.c_str());
        RegDeleteKeyA(HKEY_CLASSES_ROOT, kExtension.c_str());
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kProgId.c_str());
        RegDeleteKeyA(HKEY_CLASSES_ROOT, kProgId.c_str());
    }

    // Waits for the handler's record of the document; empty when none came.
    static std::string opened_record(const std::string& document) {
        std::string text;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < until) {
            if (qz::test::read_file(document + ".opened", text) && !text.empty()) return text;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return {};
    }

    TempDir dir;
};

}  // namespace

TEST_F(FilesExec, MissingFileGivesFileNotFound) {
    EXPECT_EQ(exec_export()(nullptr, dir.file("missing.qzfilestestdoc").c_str()), 2);
    EXPECT_EQ(exec_export()("open", dir.file("missing.qzfilestestdoc").c_str()), 2);
    // No file at all: the same answer, and no crash.
    EXPECT_EQ(exec_export()(nullptr, nullptr), 2);
    EXPECT_EQ(exec_export()("open", nullptr), 2);
}

TEST_F(FilesExec, DocumentOpensWithTheDefaultVerb) {
    const std::string doc = dir.file("letter.qzfilestestdoc");
    qz::test::write_file(doc, "dear reader");
    EXPECT_GT(exec_export()(nullptr, doc.c_str()), 32);
    EXPECT_EQ(opened_record(doc), doc);
}

TEST_F(FilesExec, DocumentOpensWithANamedVerb) {
    const std::string doc = dir.file("named verb.qzfilestestdoc");
    qz::test::write_file(doc, "x");
    EXPECT_GT(exec_export()("open", doc.c_str()), 32);
    EXPECT_EQ(opened_record(doc), doc);
}

TEST_F(FilesExec, UnknownVerbIsAnErrorCode) {
    const std::string doc = dir.file("verbless.qzfilestestdoc");
    qz::test::write_file(doc, "x");
    const std::int32_t r = exec_export()("qzfilestestnoverb", doc.c_str());
    EXPECT_GE(r, 0);
    EXPECT_LE(r, 32);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(qz::test::file_exists(doc + ".opened"));
}

TEST_F(FilesExec, LaunchesLeaveNoHandleBehind) {
    // Each success starts a program, so twenty rather than a thousand.
    const std::string first = dir.file("warm.qzfilestestdoc");
    qz::test::write_file(first, "x");
    ASSERT_GT(exec_export()(nullptr, first.c_str()), 32);
    ASSERT_FALSE(opened_record(first).empty());
    const DWORD before = qz::test::files::handle_count();
    for (int i = 0; i < 20; ++i) {
        const std::string doc = dir.file("doc" + std::to_string(i) + ".qzfilestestdoc");
        qz::test::write_file(doc, "x");
        ASSERT_GT(exec_export()(nullptr, doc.c_str()), 32) << i;
        ASSERT_EQ(opened_record(doc), doc) << i;
    }
    const DWORD after = qz::test::files::handle_count();
    EXPECT_LE(after, before);
}
