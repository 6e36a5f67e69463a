// Tests of the option store: typed values, persistence across restarts and crashes, damage.
#include "qorvix/OptionStore.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "host/brisko/Exception.h"
#include "host/qorvix/IoManager.h"
#include "support/TestSupport.h"

namespace dornel::test {
namespace {

using qorvix::IoManager;
using qorvix::OptionStore;
using qorvix::OptionValue;

TEST(OptionStore, PersistentValuesSurviveARestartAndSessionValuesDoNot) {
    TempDir dir;
    const std::string path = dir.Path("cfg/options.json");
    {
        IoManager m{brisko::RString(path)};
        m.SetOption("StartRow", 2, true);
        m.SetOption("Delimiter", "\t;", true);
        m.SetOption("MaxRow", 5, false);
        m.SetOption("EatWhitespace", true, true);
        m.SetOption("ImportCodePage", 1252u, true);
        int maxRow = 0;
        ASSERT_TRUE(m.GetOption("MaxRow", maxRow, true));
        EXPECT_EQ(maxRow, 5);
        // A later session write does not reach the file either.
        m.SetOption("StartRow", 9, false);
    }
    IoManager m{brisko::RString(path)};
    int startRow = 0, maxRow = -1;
    unsigned page = 0;
    bool eat = false;
    brisko::RString delimiter;
    EXPECT_TRUE(m.GetOption("StartRow", startRow, true));
    EXPECT_EQ(startRow, 2);
    EXPECT_FALSE(m.GetOption("MaxRow", maxRow, false));
    EXPECT_EQ(maxRow, -1);
    EXPECT_TRUE(m.GetOption("eatwhitespace", eat, true));
    EXPECT_TRUE(eat);
    EXPECT_TRUE(m.GetOption("Delimiter", delimiter, true));
    EXPECT_EQ(delimiter.str(), "\t;");
    EXPECT_TRUE(m.GetOption("ImportCodePage", page, true));
    EXPECT_EQ(page, 1252u);

    std::vector<brisko::RString> list;
    m.GetOptions(list);
    ASSERT_EQ(list.size(), 8u);
    EXPECT_EQ(list[0].str(), "StartRow");
    EXPECT_EQ(list[2].str(), "Delimiter");
    EXPECT_EQ(list[5].str(), "true");
}

TEST(OptionStore, ACrashBetweenWriteAndRenameLeavesTheLastGoodStore) {
    TempDir dir;
    const std::string path = dir.Path("options.json");
    {
        OptionStore store(path);
        store.Set("StartRow", OptionValue::Int(3), true);
    }
    // What a crash before the rename leaves: a half-written temporary file beside the store.
    dir.Write("options.json.tmp", "{\"format\":\"dornel-opt");
    OptionStore store(path);
    OptionValue v;
    ASSERT_TRUE(store.Get("StartRow", v));
    EXPECT_EQ(v.i, 3);
    store.Set("StartRow", OptionValue::Int(4), true);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("options.json.tmp")));
    OptionValue again;
    ASSERT_TRUE(OptionStore(path).Get("StartRow", again));
    EXPECT_EQ(again.i, 4);
}

TEST(OptionStore, ADamagedStoreIsAClearErrorAndIsLeftAlone) {
    TempDir dir;
    const std::string damaged[] = {
        "{not json",
        "[]",
        "{\"format\":\"other\",\"options\":[]}",
        "{\"format\":\"dornel-options\",\"options\":[{\"name\":\"A\",\"type\":\"int\",\"value\":"
        "\"x\"}]}",
        "{\"format\":\"dornel-options\",\"options\":[{\"name\":\"A\",\"type\":\"blob\",\"value\":1}"
        "]}",
        "{\"format\":\"dornel-options\",\"options\":[{\"type\":\"int\",\"value\":1}]}",
        std::string("\xFF\xFE\0\0", 4),
    };
    for (const std::string& content : damaged) {
        const std::string path = dir.Write("options.json", content);
        try {
            OptionStore store(path);
            ADD_FAILURE() << "accepted " << content;
        } catch (const brisko::Exception& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
        EXPECT_EQ(ReadBytes(path), content);
    }
}

TEST(OptionStore, AStoreThatCannotBeSavedKeepsItsFile) {
    TempDir dir;
    const std::string path = dir.Path("options.json");
    OptionStore store(path);
    store.Set("A", OptionValue::Int(1), true);
    const std::string before = ReadBytes(path);
    // A folder where the temporary file must go makes every save fail.
    std::filesystem::create_directory(dir.Path("options.json.tmp"));
    EXPECT_THROW(store.Set("A", OptionValue::Int(2), true), brisko::Exception);
    EXPECT_EQ(ReadBytes(path), before);
    OptionValue v;
    ASSERT_TRUE(OptionStore(path).Get("A", v));
    EXPECT_EQ(v.i, 1);
}

TEST(OptionValue, ConvertsBetweenTypesOnlyWhereNothingIsLost) {
    struct Case {
        OptionValue value;
        bool asBool;
        bool boolValue;
        bool asInt;
        int32_t intValue;
        bool asUInt;
        uint32_t uintValue;
        const char* text;
    } cases[] = {
        {OptionValue::Bool(true), true, true, true, 1, true, 1, "true"},
        {OptionValue::Int(-1), false, false, true, -1, true, 4294967295u, "-1"},
        {OptionValue::Int(0), true, false, true, 0, true, 0, "0"},
        {OptionValue::UInt(4294967295u), false, false, true, -1, true, 4294967295u, "4294967295"},
        {OptionValue::Text(" 42 "), false, false, true, 42, true, 42, " 42 "},
        {OptionValue::Text("True"), true, true, false, 0, false, 0, "True"},
        {OptionValue::Text("abc"), false, false, false, 0, false, 0, "abc"},
        {OptionValue::Text("99999999999"), false, false, false, 0, false, 0, "99999999999"},
        {OptionValue::Text("12abc"), false, false, false, 0, false, 0, "12abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        bool b = false;
        int32_t i = 0;
        uint32_t u = 0;
        EXPECT_EQ(c.value.AsBool(b), c.asBool);
        if (c.asBool) {
            EXPECT_EQ(b, c.boolValue);
        }
        EXPECT_EQ(c.value.AsInt(i), c.asInt);
        if (c.asInt) {
            EXPECT_EQ(i, c.intValue);
        }
        EXPECT_EQ(c.value.AsUInt(u), c.asUInt);
        if (c.asUInt) {
            EXPECT_EQ(u, c.uintValue);
        }
        EXPECT_EQ(c.value.ToText(), c.text);
    }
}

TEST(IoManager, OptionStringValuesThatDoNotParseCountAsAbsent) {
    IoManager m;
    const brisko::RString options("StartRow=abc;MaxRow=-3;Eat=maybe;Page=-1;Name=x y");
    int startRow = 7, maxRow = 0;
    bool eat = true;
    unsigned page = 5;
    brisko::RString name;
    EXPECT_FALSE(m.GetStringOption(options, "StartRow", startRow));
    EXPECT_EQ(startRow, 7);
    EXPECT_TRUE(m.GetStringOption(options, "MaxRow", maxRow));
    EXPECT_EQ(maxRow, -3);
    EXPECT_FALSE(m.GetStringOption(options, "Eat", eat));
    EXPECT_FALSE(m.GetStringOption(options, "Page", page));
    EXPECT_EQ(page, 5u);
    EXPECT_TRUE(m.GetStringOption(options, "Name", name));
    EXPECT_EQ(name.str(), "x y");
}

}  // namespace
}  // namespace dornel::test
