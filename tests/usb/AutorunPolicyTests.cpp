#include <gtest/gtest.h>
#include <windows.h>

#include "tests/common/TestSupport.h"
#include "usb/DriveInventory.h"

#include <string>
#include <vector>

namespace {

const char POLICIES_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
const char SETTINGS_KEY[] = "Software\\VantorixTests\\AutorunSettings";
const char REGISTRY_MESSAGE[] =
    "Vantorix failed in accessing the registry.\r\n"
    "Please check if the current user has right to access the registry.";
const char AUTORUN_QUESTION[] =
    "AUTORUN of USB drive is potentially unsafe.\r\nDo you want to disable AUTORUN of USB drive?";

bool KeyExists(const char* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The policy value as "missing", or its type and data.
std::string ReadPolicy() {
    DWORD type = 0, value = 0, size = sizeof value;
    LONG rc = RegGetValueA(HKEY_CURRENT_USER, POLICIES_KEY, "NoDriveTypeAutoRun", RRF_RT_ANY, &type, &value, &size);
    if (rc != ERROR_SUCCESS) return "missing";
    char text[40];
    snprintf(text, sizeof text, "type %lu size %lu 0x%lX", type, size, value);
    return text;
}

std::string DwordPolicy(DWORD value) {
    char text[40];
    snprintf(text, sizeof text, "type %d size 4 0x%lX", REG_DWORD, value);
    return text;
}

// The current user's Explorer policy key as the test found it: whether it
// existed, and its values. Put back at the end of every test.
class PolicyKeySnapshot {
public:
    PolicyKeySnapshot() {
        HKEY key;
        m_existed = RegOpenKeyExA(HKEY_CURRENT_USER, POLICIES_KEY, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (!m_existed) return;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD nameSize = sizeof name, type = 0, dataSize = 0;
            if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS) break;
            Value v{name, type, std::vector<BYTE>(dataSize)};
            nameSize = sizeof name;
            RegEnumValueA(key, i, name, &nameSize, nullptr, &type, v.data.data(), &dataSize);
            m_values.push_back(v);
        }
        RegCloseKey(key);
    }

    void Restore() const {
        if (!m_existed) {
            RegDeleteKeyA(HKEY_CURRENT_USER, POLICIES_KEY);
            return;
        }
        HKEY key;
        RegCreateKeyExA(HKEY_CURRENT_USER, POLICIES_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegDeleteValueA(key, "NoDriveTypeAutoRun");
        for (const Value& v : m_values)
            RegSetValueExA(key, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
        RegCloseKey(key);
    }

    bool HasSubkeys() const {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, POLICIES_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        DWORD subkeys = 0;
        RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr);
        RegCloseKey(key);
        return subkeys > 0;
    }

private:
    struct Value {
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };
    bool m_existed = false;
    std::vector<Value> m_values;
};

class AutorunPolicyTest : public testing::Test {
protected:
    void TearDown() override {
        m_policies.Restore();
        if (m_settings) RegCloseKey(m_settings);
        RegDeleteKeyA(HKEY_CURRENT_USER, SETTINGS_KEY);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VantorixTests");
    }

    // The policy key exists and holds `value` (or no value when `value` is 0).
    static void GivePolicyKey(DWORD value) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, POLICIES_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        if (value) RegSetValueExA(key, "NoDriveTypeAutoRun", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
        else RegDeleteValueA(key, "NoDriveTypeAutoRun");
        RegCloseKey(key);
    }

    void TakePolicyKeyAway() {
        if (m_policies.HasSubkeys()) GTEST_SKIP() << "the policy key has subkeys and cannot be taken away";
        RegDeleteKeyA(HKEY_CURRENT_USER, POLICIES_KEY);
        ASSERT_FALSE(KeyExists(POLICIES_KEY));
    }

    // A fresh settings key with no "autorun" value, opened with `access`.
    void OpenSettingsKey(REGSAM access = KEY_ALL_ACCESS) {
        if (m_settings) RegCloseKey(m_settings);
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, access, nullptr,
                                                 &m_settings, nullptr));
    }

    // The "autorun" value as "missing", or its type, size and text.
    std::string ReadAnswered() const {
        char text[16] = {};
        DWORD type = 0, size = sizeof text - 1;
        if (RegQueryValueExA(m_settings, "autorun", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS)
            return "missing";
        return "type " + std::to_string(type) + " size " + std::to_string(size) + " \"" + text + "\"";
    }

    PolicyKeySnapshot m_policies;
    HKEY m_settings = nullptr;
};

const std::string ANSWERED = "type 1 size 2 \"1\"";

TEST_F(AutorunPolicyTest, MissingPolicyKeyShowsTheRegistryMessageOnceAndWritesNothing) {
    TakePolicyKeyAway();
    for (void (*write)() : {DisableDriveAutoRun, EnableDriveAutoRun}) {
        vxtest::ExpectMessage(REGISTRY_MESSAGE);
        write();
        EXPECT_FALSE(KeyExists(POLICIES_KEY)) << "the policy key must not be created";
    }
    ASSERT_EQ(2u, vxtest::ShownMessages().size());
    EXPECT_EQ(static_cast<UINT>(MB_OK), vxtest::ShownMessages()[0].type & MB_TYPEMASK);
}

TEST_F(AutorunPolicyTest, DisableThenEnableLeavesTheSystemDefault) {
    GivePolicyKey(0x4);
    DisableDriveAutoRun();
    EXPECT_EQ(DwordPolicy(0x9F), ReadPolicy());
    EnableDriveAutoRun();
    EXPECT_EQ(DwordPolicy(0x91), ReadPolicy()) << "not the value from before the disable";
}

TEST_F(AutorunPolicyTest, FirstStartQuestionIsAskedOnceEvenWhenCancelled) {
    GivePolicyKey(0x91);
    OpenSettingsKey();
    vxtest::ExpectMessage(AUTORUN_QUESTION, IDCANCEL);
    AskDisableAutorun(m_settings);
    ASSERT_EQ(1u, vxtest::ShownMessages().size());
    EXPECT_EQ(static_cast<UINT>(MB_OKCANCEL), vxtest::ShownMessages()[0].type & MB_TYPEMASK);
    EXPECT_EQ(ANSWERED, ReadAnswered());
    EXPECT_EQ(DwordPolicy(0x91), ReadPolicy()) << "Cancel leaves the policy alone";

    // The next start asks nothing.
    AskDisableAutorun(m_settings);
    EXPECT_EQ(1u, vxtest::ShownMessages().size());
}

TEST_F(AutorunPolicyTest, FirstStartQuestionAnsweredOkDisablesAutorun) {
    GivePolicyKey(0x91);
    OpenSettingsKey();
    vxtest::ExpectMessage(AUTORUN_QUESTION, IDOK);
    AskDisableAutorun(m_settings);
    EXPECT_EQ(DwordPolicy(0x9F), ReadPolicy());
    EXPECT_EQ(ANSWERED, ReadAnswered());
}

TEST_F(AutorunPolicyTest, FirstStartQuestionWithoutPolicyKeyStillRecordsTheAnswer) {
    TakePolicyKeyAway();
    OpenSettingsKey();
    vxtest::ExpectMessage(AUTORUN_QUESTION, IDOK);
    vxtest::ExpectMessage(REGISTRY_MESSAGE);
    AskDisableAutorun(m_settings);
    EXPECT_FALSE(KeyExists(POLICIES_KEY));
    EXPECT_EQ(ANSWERED, ReadAnswered());
}

TEST_F(AutorunPolicyTest, RecordedAnswerOfAnyValueSuppressesTheQuestion) {
    GivePolicyKey(0x91);
    OpenSettingsKey();
    RegSetValueExA(m_settings, "autorun", 0, REG_SZ, reinterpret_cast<const BYTE*>("0"), 2);
    AskDisableAutorun(m_settings);
    EXPECT_EQ("type 1 size 2 \"0\"", ReadAnswered()) << "nothing is written when the value exists";
    EXPECT_EQ(DwordPolicy(0x91), ReadPolicy());
}

TEST_F(AutorunPolicyTest, QuestionComesBackWhenTheAnswerCannotBeWritten) {
    GivePolicyKey(0x91);
    OpenSettingsKey(KEY_QUERY_VALUE);
    for (int start = 0; start < 2; ++start) {
        vxtest::ExpectMessage(AUTORUN_QUESTION, IDCANCEL);
        AskDisableAutorun(m_settings);
        EXPECT_EQ("missing", ReadAnswered());
    }
}

}  // namespace
