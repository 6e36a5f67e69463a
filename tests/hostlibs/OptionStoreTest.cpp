// Tests of the option store: typed values, persistence across restarts and crashes, damage.
#include "host/qorvix/OptionStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "host/brisko/Exception.h"
#include "host/qorvix/IoManager.h"
#include "support/TestSupport.h"

namespace dornel::test {
namespace {

using qorvix::IoManager;
using qorvix::OptionStore;
using qorvix::OptionValue;
constexpr const char* kShared = qorvix::kSharedScope;

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

TEST(OptionStore, FilesBesideTheStoreAreNeverTakenOrTouched) {
    TempDir dir;
    const std::string path = dir.Path("options.json");
    OptionStore(path).Set(kShared, "StartRow", OptionValue::Int(3), true);
    // A user's own files, or what a crash before a rename left, with the names a careless
    // saver would pick for its temporary file.
    const std::string mine = "{\"format\":\"dornel-opt";
    dir.Write("options.json.tmp", mine);
    dir.Write("options.json.part", mine);
    OptionStore store(path);
    OptionValue v;
    ASSERT_TRUE(store.Get(kShared, "StartRow", v));
    EXPECT_EQ(v.i, 3);
    store.Set(kShared, "StartRow", OptionValue::Int(4), true);
    EXPECT_EQ(ReadBytes(dir.Path("options.json.tmp")), mine);
    EXPECT_EQ(ReadBytes(dir.Path("options.json.part")), mine);
    OptionValue again;
    ASSERT_TRUE(OptionStore(path).Get(kShared, "StartRow", again));
    EXPECT_EQ(again.i, 4);
    // Nothing else is left in the folder: the store, its lock, and the user's two files.
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path("")))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 4u);
}

TEST(OptionStore, ADamagedStoreIsNamedAndLeftAloneWhileReadsGoOn) {
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
        // A negative number would wrap round to a huge unsigned one; an int past its range
        // would be cut; a scope must be a text.
        "{\"format\":\"dornel-options\",\"options\":[{\"name\":\"A\",\"type\":\"uint\",\"value\":-"
        "1}"
        "]}",
        "{\"format\":\"dornel-options\",\"options\":[{\"name\":\"A\",\"type\":\"int\",\"value\":"
        "2147483648}]}",
        "{\"format\":\"dornel-options\",\"options\":[{\"name\":\"A\",\"type\":\"int\",\"value\":1,"
        "\"scope\":7}]}",
    };
    for (const std::string& content : damaged) {
        SCOPED_TRACE(content);
        const std::string path = dir.Write("options.json", content);
        OptionStore store(path);
        try {
            store.Load();
            ADD_FAILURE() << "accepted";
        } catch (const brisko::Exception& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
        // A session goes on with its own values; a save would lose the user's file.
        OptionValue v;
        EXPECT_FALSE(store.Get(kShared, "A", v));
        store.Set(kShared, "B", OptionValue::Int(1), false);
        EXPECT_TRUE(store.Get(kShared, "B", v));
        EXPECT_THROW(store.Set(kShared, "C", OptionValue::Int(2), true), brisko::Exception);
        EXPECT_EQ(ReadBytes(path), content);
    }
}

TEST(OptionStore, OnlyTheValueTheFileHoldsCountsAsSaved) {
    TempDir dir;
    const std::string path = dir.Path("options.json");
    OptionStore(path).Set("import/txt", "StartRow", OptionValue::Int(2), true);
    OptionStore store(path);
    EXPECT_TRUE(store.IsSaved("import/txt", "StartRow"));
    // The same name in another scope, or a value of this session alone, is not what was saved.
    EXPECT_FALSE(store.IsSaved(kShared, "StartRow"));
    store.Set("import/txt", "StartRow", OptionValue::Int(3), false);
    EXPECT_FALSE(store.IsSaved("import/txt", "StartRow"));
    store.Set("import/txt", "StartRow", OptionValue::UInt(2), false);
    EXPECT_FALSE(store.IsSaved("import/txt", "StartRow"));
    store.Set("import/txt", "StartRow", OptionValue::Int(2), false);
    EXPECT_TRUE(store.IsSaved("import/txt", "StartRow"));
}

TEST(OptionStore, AnEmptyFileIsAnEmptyStoreAndAFolderIsNamedAsOne) {
    TempDir dir;
    for (const char* content : {"", " \n"}) {
        const std::string path = dir.Write("empty.json", content);
        OptionStore store(path);
        EXPECT_NO_THROW(store.Load());
        store.Set(kShared, "A", OptionValue::Int(1), true);
        OptionValue v;
        ASSERT_TRUE(OptionStore(path).Get(kShared, "A", v));
        EXPECT_EQ(v.i, 1);
    }
    std::filesystem::create_directory(dir.Path("folder.json"));
    OptionStore folder(dir.Path("folder.json"));
    EXPECT_FALSE(folder.TryLoad());
    EXPECT_NE(folder.Problem().find("is a directory"), std::string::npos) << folder.Problem();
    EXPECT_THROW(folder.Set(kShared, "A", OptionValue::Int(1), true), brisko::Exception);
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path("folder.json")));
}

#if !defined(_WIN32)
TEST(OptionStore, AReadOnlyStoreIsRefusedAndKeepsItsContentAndMode) {
    TempDir dir;
    const std::string path = dir.Path("options.json");
    OptionStore(path).Set(kShared, "A", OptionValue::Int(1), true);
    const std::string before = ReadBytes(path);
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_read, fs::perm_options::replace);
    OptionStore store(path);
    EXPECT_THROW(store.Set(kShared, "A", OptionValue::Int(2), true), brisko::Exception);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read);
    // The session still has what it was told.
    OptionValue v;
    ASSERT_TRUE(store.Get(kShared, "A", v));
    EXPECT_EQ(v.i, 2);
}

TEST(OptionStore, ALinkedStoreIsWrittenThroughAndAStoreKeepsItsMode) {
    TempDir dir;
    namespace fs = std::filesystem;
    const std::string real = dir.Path("real.json");
    OptionStore(real).Set(kShared, "A", OptionValue::Int(1), true);
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::replace);
    fs::create_symlink("real.json", dir.Path("link.json"));
    OptionStore(dir.Path("link.json")).Set(kShared, "B", OptionValue::Int(2), true);
    EXPECT_TRUE(fs::is_symlink(dir.Path("link.json")));
    EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    OptionValue a, b;
    OptionStore store(real);
    ASSERT_TRUE(store.Get(kShared, "A", a));
    ASSERT_TRUE(store.Get(kShared, "B", b));
    EXPECT_EQ(a.i + b.i, 3);
}
#endif

TEST(OptionStore, WritersShareTheFileAndNoneLosesAnothersWrites) {
    TempDir dir;
    const std::string path = dir.Path("options.json");
    OptionStore first(path), second(path);
    first.Set(kShared, "Delimiter", OptionValue::Text(";"), true);
    second.Set(kShared, "StartRow", OptionValue::Int(2), true);
    first.Set(kShared, "MaxRow", OptionValue::Int(9), true);
    second.Remove(kShared, "StartRow", true);
    second.Set(kShared, "EatWhitespace", OptionValue::Bool(true), true);
    OptionStore after(path);
    after.Load();
    std::vector<std::string> names;
    for (const auto& [name, value] : after.List(kShared))
        names.push_back(name);
    // In the order first saved, without the removed one.
    EXPECT_EQ(names, (std::vector<std::string>{"Delimiter", "MaxRow", "EatWhitespace"}));
}

TEST(OptionStore, ABatchGoesOutAsOneSaveWhenItEnds) {
    TempDir dir;
    const std::string path = dir.Path("options.json");
    OptionStore store(path);
    store.Set(kShared, "A", OptionValue::Int(1), true);
    const std::string before = ReadBytes(path);
    store.BeginBatch();
    store.BeginBatch();
    store.Set(kShared, "B", OptionValue::Int(2), true);
    store.Set(kShared, "A", OptionValue::Int(3), true);
    store.EndBatch();
    EXPECT_EQ(ReadBytes(path), before);
    store.EndBatch();
    OptionValue a, b;
    OptionStore after(path);
    ASSERT_TRUE(after.Get(kShared, "A", a));
    ASSERT_TRUE(after.Get(kShared, "B", b));
    EXPECT_EQ(a.i, 3);
    EXPECT_EQ(b.i, 2);
}

TEST(OptionStore, ManyWritersAtOnceLoseNothingAndLeaveAValidStore) {
    TempDir dir;
    const std::string path = dir.Path("options.json");
    constexpr int kWriters = 8, kRounds = 5;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<std::thread> writers;
        std::atomic<int> failures{0};
        for (int w = 0; w < kWriters; ++w) {
            writers.emplace_back([&, w] {
                try {
                    // Each writer is a host of its own: its own store object, its own lock.
                    OptionStore store(path);
                    store.Set(kShared, "Name_" + std::to_string(w), OptionValue::Int(round), true);
                } catch (const std::exception&) {
                    ++failures;
                }
            });
        }
        for (auto& t : writers)
            t.join();
        EXPECT_EQ(failures.load(), 0);
        OptionStore after(path);
        ASSERT_NO_THROW(after.Load()) << "round " << round;
        for (int w = 0; w < kWriters; ++w) {
            OptionValue v;
            ASSERT_TRUE(after.Get(kShared, "Name_" + std::to_string(w), v)) << "round " << round;
            EXPECT_EQ(v.i, round);
        }
    }
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
