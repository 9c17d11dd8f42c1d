// QZ_Exec through the loaded DLL. A document type of the test's own is
// registered (and removed again) with a handler program that records the
// document it was asked to open, so the test sees what the shell really did.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "tests/files/files_support.h"
#include "testhost/engine_host.h"

namespace {

auto exec_export() { return QZ_FN(qz::test::Library::get(), QZ_Exec); }

const std::string kExtension = ".qzfilestestdoc";
const std::string kProgId = "QZFilesTest.Document";

class FilesExec : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string handler = qz::test::exe_dir() + "\\files_open_handler.exe";
        ASSERT_TRUE(qz::test::file_exists(handler));
        const std::pair<std::string, std::string> keys[] = {
            {kExtension, kProgId}, {kProgId + "\\shell", "open"},
            {kProgId + "\\shell\\open\\command", "\"" + handler + "\" \"%1\""}};
        for (const auto& [key, value] : keys)
            ASSERT_EQ(RegSetKeyValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                                      static_cast<DWORD>(value.size() + 1)), ERROR_SUCCESS) << key;
    }
    void TearDown() override {
        for (const auto& key : {kExtension, kProgId}) {
            RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
            RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
        }
    }

    // Writes a document, opens it with `verb` and waits up to a minute for
    // the handler's record of it: true when the record names the document.
    bool open_document(const std::string& name, const char* verb) {
        const std::string doc = dir.file(name + kExtension);
        qz::test::write_file(doc, "x");
        EXPECT_GT(exec_export()(verb, doc.c_str()), 32) << name;
        std::string text;
        for (auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
             std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(std::chrono::milliseconds(100)))
            if (qz::test::read_file(doc + ".opened", text) && !text.empty()) return text == doc;
        return false;
    }

    qz::test::TempDir dir;
};

}  // namespace

TEST_F(FilesExec, ReturnsWhatTheShellDid) {
    // Launches leave no handle behind: twenty, as each one starts a program.
    int n = 0;
    EXPECT_EQ(qz::test::files::growth_after(20, [&] {
                  EXPECT_TRUE(open_document("letter " + std::to_string(n++), nullptr));
              }), 0u);
    EXPECT_TRUE(open_document("named verb", "open"));
    // A verb the document type lacks is an error code, not the default action.
    const std::int32_t r = exec_export()("qzfilestestnoverb", dir.file("letter 0" + kExtension).c_str());
    EXPECT_TRUE(r >= 0 && r <= 32) << r;
    const std::string missing = dir.file("missing" + kExtension);  // 2: file not found
    for (const char* verb : {static_cast<const char*>(nullptr), "open"})
        for (const char* file : {missing.c_str(), static_cast<const char*>(nullptr)})
            EXPECT_EQ(exec_export()(verb, file), 2) << (verb ? verb : "no verb") << (file ? "" : ", null file");
}
